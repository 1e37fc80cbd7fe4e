// Shared by the .xls reader and writer: the compound-file container (through libgsf) and the BIFF8
// record numbers.
#pragma once

#include <QByteArray>
#include <QString>

namespace biff {

enum Record : quint16
{
    Formula = 0x0006,
    Eof = 0x000A,
    CalcMode = 0x000D,
    DateMode = 0x0022,
    FilePass = 0x002F,
    Font = 0x0031,
    Continue = 0x003C,
    Window1 = 0x003D,
    CodePage = 0x0042,
    DefColWidth = 0x0055,
    ColInfo = 0x007D,
    BoundSheet = 0x0085,
    Palette = 0x0092,
    MulRk = 0x00BD,
    MulBlank = 0x00BE,
    RString = 0x00D6,
    Xf = 0x00E0,
    MergedCells = 0x00E5,
    Sst = 0x00FC,
    LabelSst = 0x00FD,
    ExtSst = 0x00FF,
    Dimensions = 0x0200,
    Blank = 0x0201,
    Number = 0x0203,
    Label = 0x0204,
    BoolErr = 0x0205,
    String = 0x0207,
    Row = 0x0208,
    Window2 = 0x023E,
    DefaultRowHeight = 0x0225,
    Rk = 0x027E,
    Style = 0x0293,
    Format = 0x041E,
    Bof = 0x0809,
};

// The "Workbook" stream of a compound file; false with a Chinese message for a damaged container
// or one without a BIFF8 workbook.
bool readWorkbookStream(const QByteArray &file, QByteArray *stream, QString *error);
// A compound file holding `stream` as its "Workbook" stream.
bool writeWorkbookStream(const QByteArray &stream, QByteArray *file, QString *error);

} // namespace biff
