// The target columns of the sheets the core reads itself (a month's payroll, a year sheet), for the
// import wizard: their titles, which must be mapped, 自动匹配 by the reader's own titles and
// synonyms, a saved setting's formulas as the command line reads them, and the preview of the first
// rows as the reader gives them. The readers are the core's (readPayrollSheet, readSheetRecords);
// nothing here reads a sheet differently.
#pragma once

#include "batch/sheetsource.h"

#include <QList>
#include <QString>
#include <QStringList>

class Workbook;
class Sheet;
struct ImportSetting;

// True for the modes whose import hands back a SheetImport instead of filling a salary table.
bool isSheetImportMode(int mode);

struct SheetTarget
{
    QString title;
    bool required = false; // marked "*" on the mapping page
};
// The target columns of mode 3 or 4 in the reader's field order; empty for other modes.
QList<SheetTarget> sheetTargets(int mode);

// 自动匹配: `formulas` with each target whose title (or synonym) the title row holds set to that
// worksheet column, as the command line matches a sheet without a setting.
QStringList sheetAutoMatch(int mode, const QStringList &sheetTitles, const QStringList &formulas);
// A saved setting's formulas by target, found by the columns' titles as the command line does.
QStringList sheetSettingFormulas(int mode, const ImportSetting &setting);
// Empty when the formulas map what the reader needs; else the Chinese refusal.
QString sheetMappingError(int mode, const QStringList &formulas);

// The first rows of a range as the reader reads them.
struct SheetPreview
{
    QStringList headings;          // 行号, then the mapped targets
    std::vector<QStringList> rows; // one per row read
    QStringList problems;          // every row or cell the reader left out or read as 0, and why
    int rowsRead = 0;              // rows of the previewed range, skipped ones included
    bool more = false;             // the range goes on past the previewed rows
};
// Reads at most `rows` sheet rows from the start of `range`.
SheetPreview previewSheetImport(int mode, const Workbook &book, const Sheet &sheet,
                                const QStringList &formulas, SheetRange range, int rows);
