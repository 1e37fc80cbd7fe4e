// How a worksheet cell appears in a salary table: its text, its cell kind, its alignment and its
// font. This is the one place that turns Excel's number formats into text, so the import wizard's
// tables, the formula checks and lumo-cli sheet dump always agree.
#pragma once

#include "excel/cellkind.h"

#include <QString>

class Workbook;
class Sheet;

struct CellFontSpec
{
    QString family;
    double pointSize = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

struct CellDisplay
{
    QString text;
    CellKind kind = NumberCell;
    // Qt::Alignment flags: AlignLeft, AlignHCenter, AlignRight or AlignJustify with AlignTop,
    // AlignVCenter or AlignBottom.
    int alignment = 0;
    bool hasFont = false; // the cell has a format, whose font the table shows
    CellFontSpec font;
};

CellDisplay displayCell(const Workbook &book, const Sheet &sheet, int row, int col);

// The text and kind of a number under a number format id, as the table of display rules gives
// them. `code` is the format code the workbook defines for the id (always for a custom id, 164 on),
// used to recognise dates and times.
QString numberText(double value, int numFormat, const QString &code, bool date1904, CellKind *kind);

// The built-in id whose display a number format resembles. `code` is what the workbook defines for
// the id, if anything; when it does, the code decides, whatever the id: a date or time pattern
// becomes 14, 16, 17, 22 or one of 18–21, 45–47, a plain number code its built-in twin (0–4, 9, 10),
// and any other code stays a custom number (its own id from 164 on, kOtherNumberFormat below
// that), except that ids 1–10 keep their meaning under codes of their own (Excel writes its
// currency codes for 5–8). Ids without a code are themselves, the Chinese built-in dates and times
// mapped to their international twins.
int effectiveNumFormat(int numFormat, const QString &code);
constexpr int kOtherNumberFormat = 164;

// round(v) of the display rules: the program's one rounding, roundHalfUp (half toward positive
// infinity), as digits with an optional "-". Values beyond qint64 are whole numbers already.
// Thousands grouping is groupDigits of engine/amount.h.
QString roundedText(double value);
