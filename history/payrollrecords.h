// The history record of the month's payroll page (extension pm19). Like the single pages'
// current-rules records it keeps the inputs and not the cells: the ledger file, the period, the
// bonus method, the sheet the import settled (file, worksheet, rows, one formula per field) and,
// when the month was recorded, the time the ledger gave the recording. Reopening reads the sheet
// again and computes the month against the ledger's months before it, and the time tells whether
// the ledger still holds the month as it was recorded then.
//
// After the common head: ledger path, year, month, method (0 单独计税, 1 并入当月工资), file,
// sheet index, title row, first row, last row, formula count, formulas, recording time. Texts are
// a byte count and UTF-8 bytes, checked against kMaxPayrollRecordText and the bytes left before
// anything is allocated. A reader returns false for anything the page could not have written: a
// short record or bytes after it, a year outside kCurrentFirstYear–kCurrentLastYear, a month
// outside 1–12, a separate bonus in a year that no longer allows it, rows or a sheet index the
// import would not give, more formulas than the payroll fields. QtCore only.
#pragma once

#include "batch/sheetsource.h"
#include "engine/currentrules.h"
#include "history/historyrecord.h"

inline constexpr char kPayrollMonthExtension[] = "pm19"; // 批量个税计算 under the current rules
inline constexpr qint32 kMaxPayrollRecordText = 32768;   // bytes of one text

struct PayrollMonthRecord
{
    QString ledger;
    qint32 year = 2026, month = 1;
    CurrentRules::BonusMethod method = CurrentRules::BonusMethod::Separate;
    SheetImport import;
    QString recordedAt; // empty when the month was only previewed
};

void writePayrollMonthRecord(QDataStream &out, const PayrollMonthRecord &r);
// Reads the rest of a record whose head `reader` has read; `r` changes only when all of it reads.
bool readPayrollMonthRecord(HistoryReader &reader, PayrollMonthRecord *r);
