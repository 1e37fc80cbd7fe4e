// The history records of the four single pages ("sc", "ssc", "ac", "ic"), read and checked whole
// before a page changes anything. Each record is the common head, the page's own fields and its
// result table (see historyrecord.h):
//   sc:  head (gross, bonus); insurance, annuity, threshold flag, process text; table 4 × 7;
//   ssc: head (net increase, cost decrease); the method sentence and the tax, cost and net texts,
//        gross, insurance, bonus, threshold flag, raise-net flag, bonus-only flag, N, process text;
//        table 6 × 8;
//   ac:  head (net increase, tax decrease); wage, insurance, bonus, threshold flag, N, the tax and
//        net texts; table 4 × 10;
//   ic:  head (employer expense, annual tax); net-annual flag, net annual, employer contributions,
//        gross-annual flag, gross annual, month-and-bonus flag, net month, net bonus, threshold flag,
//        the three figure texts; table 3 × 7.
// Amounts are stored in yuan as the input fields hold them. A reader returns false for anything
// the page did not write: a short record, a text or table larger than the page shows (checked
// before it is read), an amount no field accepts, N outside 1–12, not exactly one inverse mode.
// QtCore only, so the fuzz target and the sanitizer build read records as the pages do.
#pragma once

#include "history/historyrecord.h"

#include <QString>

// The result tables of the single pages.
inline constexpr qint32 kSingleCalcRows = 4, kSingleCalcColumns = 7;
inline constexpr qint32 kSingleSaveRows = 6, kSingleSaveColumns = 8;
inline constexpr qint32 kApportionRows = 4, kApportionColumns = 10;
inline constexpr qint32 kInverseRows = 3, kInverseColumns = 7;
// The longest stored label (a figure, a method sentence) and process text a page accepts back.
inline constexpr qsizetype kMaxStoredLabelLength = 1024;
inline constexpr qsizetype kMaxStoredProcessText = 1024 * 1024;
inline constexpr qint32 kMaxStoredMonths = 12;

// Whether a stored yuan value could have come from an input field: finite, 0 to 999999999.99.
bool isInputYuan(double yuan);

// A text of at most `maxLength` characters as QDataStream writes a QString. The stored length is
// checked against the limit and against the bytes left before anything is allocated.
bool readBoundedText(HistoryReader &reader, qsizetype maxLength, QString *text);

struct SingleCalcRecord
{
    double gross = 0, bonus = 0, insurance = 0, annuity = 0;
    bool local = true;
    QString processText;
    TableSnapshot table;
};

struct SingleSaveRecord
{
    QString method, taxDecrease, costDecrease, netIncrease;
    double gross = 0, insurance = 0, bonus = 0;
    bool local = true, raiseNet = true, bonusOnly = true;
    qint32 months = 6;
    QString processText;
    double headNet = 0, headCost = 0;
    TableSnapshot table;
};

struct ApportionRecord
{
    double wage = 0, insurance = 0, bonus = 0;
    bool local = true;
    qint32 months = 3;
    QString taxDecrease, netIncrease;
    double headNet = 0, headTax = 0;
    TableSnapshot table;
};

struct InverseRecord
{
    bool netAnnualMode = true, grossAnnualMode = false, netMonthMode = false;
    double netAnnual = 0, employer = 0, grossAnnual = 0, netMonth = 0, netBonus = 0;
    bool local = true;
    QString taxTotal, employerTotal, expenseTotal;
    double headExpense = 0, headTax = 0;
    TableSnapshot table;
};

// Each reads the rest of a record whose head `reader` has read (reader.ok() must hold).
bool readSingleCalcRecord(HistoryReader &reader, SingleCalcRecord *record);
bool readSingleSaveRecord(HistoryReader &reader, SingleSaveRecord *record);
bool readApportionRecord(HistoryReader &reader, ApportionRecord *record);
bool readInverseRecord(HistoryReader &reader, InverseRecord *record);
