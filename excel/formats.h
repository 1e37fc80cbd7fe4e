// The file formats behind Workbook::load and Workbook::save: one reader and one writer per format,
// each over the whole file in memory. Readers fill the workbook through its public interface and
// set its error message; writers produce the complete file's bytes or a Chinese message.
#pragma once

#include <QByteArray>
#include <QString>

#include <cmath>
#include <functional>

class Sheet;
class Workbook;

// A sheet of a file being read, under its own name when Excel allows it, else under the nearest
// name it allows (characters replaced, cut to 31, numbered when taken).
Sheet *addSheetForReading(Workbook *book, const QString &name);

// Every merge is checked against the others, so a hostile file's merges are capped; a load that
// reaches the cap succeeds with this warning.
constexpr size_t kMaxMergesRead = 20000;
inline QString mergesCappedWarning()
{
    return QStringLiteral("部分合并单元格过多，已忽略");
}

// The texts of Excel's error values, by their code in .xls files (#NULL! 0x00 … #N/A 0x2A); an
// unknown code shows as #N/A.
QString errorText(int code);

// A formula's text with its relative references moved by the given rows and columns, as a shared
// formula reads in the cells after the first: "C3*0.105" one row down is "C4*0.105". Texts in
// quotes, sheet names and absolute ($) parts stay; a reference moved off the sheet becomes #REF!.
QString shiftFormula(const QString &formula, int rows, int cols);

// Widths are stored with the cell padding of the default font (7-pixel digits, 5 pixels of
// padding); what Excel shows, and what Sheet::setCol takes, is the number of digit characters.
inline double widthFromStored(double stored)
{
    const double pixels = std::round(stored * 7.0);
    const double chars = pixels >= 12 ? (pixels - 5) / 7.0 : pixels / 12.0;
    return std::round(chars * 100.0) / 100.0;
}

// The other way: the stored width, in characters, for `chars` digit characters (whole pixels;
// widths under one character have no padding). Both writers store widths by this one rule, so a
// column is as wide in an .xls as in an .xlsx.
inline double storedWidth(double chars)
{
    if (chars <= 0)
        return 0;
    const double pixels = chars < 1 ? std::floor(chars * 12 + 0.5) : std::floor(chars * 7 + 0.5) + 5;
    return pixels / 7.0;
}

// The parts are parsed as they inflate, `chunkSize` bytes at a time. Both readers stop, with
// Workbook::cancelledMessage(), soon after `cancelled` (when given) answers true.
constexpr qsizetype kXlsxChunkSize = 64 * 1024;
bool readXlsx(const QByteArray &bytes, Workbook *book, qsizetype chunkSize = kXlsxChunkSize,
              const std::function<bool()> &cancelled = {});
bool readXls(const QByteArray &bytes, Workbook *book, const std::function<bool()> &cancelled = {});
// The BIFF8 records of a workbook stream, without the compound file around them.
bool readXlsStream(const QByteArray &stream, Workbook *book);
bool writeXlsx(const Workbook &book, QByteArray *out, QString *error);
bool writeXls(const Workbook &book, QByteArray *out, QString *error);

// Excel's default colour palette, indexes 0–63 (0–7 repeat 8–15; 64 and above are the system's
// window colours, answered with white), as 0xRRGGBB.
quint32 paletteColor(int index);
