// The history records of the single pages under the rules in force since 2019. They share the
// history list with the 2011 records but have their own extensions, and they store the inputs only
// (amounts as integer fen): a page reopens an entry by computing it again. Each record is the
// common head (see historyrecord.h; the page chooses its two figures) and then:
//   sc19:  year, start month, wage, 三险一金, 专项附加扣除, 其他扣除 (a month), bonus, bonus month, method;
//   ac19:  the same fields (the comparison ignores the method);
//   ssc19: annual pay, 三险一金, 专项附加扣除 (for the year), the bonus the user entered (-1: none);
//   ic19:  direction flag, amount, 三险一金, 专项附加扣除 (for the year);
//   bp19, ba19 (the year-sheet batch pages): the import (file, worksheet, title row, rows, one
//          formula per field), the ledger flag and file, the year and the month.
// A reader returns false for anything the page could not have written: a short record or bytes
// after it, a year outside kCurrentFirstYear–kCurrentLastYear, a month outside 1–12, a bonus paid
// before the start month, a method outside 0–2, an amount below 0 or above kMaxInputFen.
// QtCore only, so the fuzz target and the sanitizer build read records as the pages do.
#pragma once

#include "batch/sheetsource.h"
#include "engine/amount.h"
#include "engine/currentrules.h"
#include "history/historyrecord.h"

inline constexpr char kCurrentCalcExtension[] = "sc19";       // 单人个税计算
inline constexpr char kCurrentSplitExtension[] = "ssc19";     // 单人节税筹划
inline constexpr char kCurrentCompareExtension[] = "ac19";    // 年终奖金计税方式比较
inline constexpr char kCurrentInverseExtension[] = "ic19";    // 年薪节税筹划
inline constexpr char kCurrentSheetPlanExtension[] = "bp19";  // 批量节税筹划
inline constexpr char kCurrentSheetBonusExtension[] = "ba19"; // 批量奖金比较

// The tax years a page offers and a record may hold.
inline constexpr qint32 kCurrentFirstYear = 2019, kCurrentLastYear = 2099;

struct CurrentYearRecord // 单人个税计算 and the comparison of the bonus methods
{
    qint32 year = 2026, startMonth = 1;
    Amount wage = 0, insurance = 0, special = 0, other = 0; // a month
    Amount bonus = 0;
    qint32 bonusMonth = 12;
    qint32 method = 2; // 0 单独计税, 1 并入综合所得, 2 自动选择较省税的方式 (the comparison ignores it)
};

struct CurrentSplitRecord // 单人节税筹划
{
    Amount annual = 0, insurance = 0, special = 0; // for the year
    Amount enteredBonus = -1;                      // the bonus the user entered, -1 for none
};

struct CurrentInverseRecord // 年薪节税筹划
{
    bool fromNet = true; // true: after-tax annual → pay; false: pay → best split and net
    Amount amount = 0, insurance = 0, special = 0; // for the year
};

struct CurrentSheetRecord // the year-sheet batch pages: what was imported and how it was computed
{
    SheetImport import; // at most kMaxSheetRecordFormulas formulas, texts of at most 4,096 characters
    bool fromLedger = false;
    QString ledger; // the ledger file when fromLedger
    qint32 year = 2026, month = 12;
};
inline constexpr qint32 kMaxSheetRecordFormulas = 64;

void writeCurrentYearRecord(QDataStream &out, const CurrentYearRecord &r);
void writeCurrentSplitRecord(QDataStream &out, const CurrentSplitRecord &r);
void writeCurrentInverseRecord(QDataStream &out, const CurrentInverseRecord &r);
void writeCurrentSheetRecord(QDataStream &out, const CurrentSheetRecord &r);

// Each reads the rest of a record whose head `reader` has read (reader.ok() must hold); `r` is
// changed only when the whole record reads.
bool readCurrentYearRecord(HistoryReader &reader, CurrentYearRecord *r);
bool readCurrentSplitRecord(HistoryReader &reader, CurrentSplitRecord *r);
bool readCurrentInverseRecord(HistoryReader &reader, CurrentInverseRecord *r);
// Also false for an empty file name, a worksheet, title row or range outside what the import
// settles, a ledger flag other than 0 or 1, or a ledger plan without its file.
bool readCurrentSheetRecord(HistoryReader &reader, CurrentSheetRecord *r);

// The core's inputs of a record, so pages do not rebuild them.
// The year from the start month to December at the same wage; 专项附加扣除 + 其他扣除 as the
// deductions; the method 0/1/2 as Separate/Merged/Best.
CurrentRules::YearInput toYearInput(const CurrentYearRecord &r);
// The year's pay with its 三险一金 and 专项附加扣除; no limit on the bonus.
CurrentRules::SplitInput toSplitInput(const CurrentSplitRecord &r);
// The same for the inverse: the amount is the pay when !fromNet, and ignored (0) when fromNet.
CurrentRules::SplitInput toSplitInput(const CurrentInverseRecord &r);
