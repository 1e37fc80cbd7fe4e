#include "batch/sheetlayout.h"

#include "excel/workbook.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

SheetCell textCell(const QString &text, SheetCellStyle style)
{
    SheetCell c;
    c.present = true;
    c.text = text;
    c.style = style;
    return c;
}

SheetCell amountCell(Amount fen, SheetCellStyle style)
{
    SheetCell c = textCell(formatAmount(fen), style);
    c.numeric = true;
    return c;
}

namespace {

// Excel's built-in number formats "#,##0.00" and "#,##0".
constexpr int kAmountNumFormat = 4;
constexpr int kWholeNumFormat = 3;
// The number formats by kind: text (general), amount, whole number.
constexpr int kNumFormats[3] = {0, kAmountNumFormat, kWholeNumFormat};
constexpr int kHeadingFill = 23;
constexpr int kTotalFill = 54;
constexpr double kBodyFontSize = 10;

int rowWidth(const SheetRow &row)
{
    int width = 0;
    for (size_t c = 0; c < row.cells.size(); ++c) {
        if (row.cells[c].present)
            width = std::max(width, int(c) + std::max(1, row.cells[c].colSpan));
    }
    return width;
}

QString cellText(const QString &text)
{
    if (text.size() <= kMaxCellTextLength)
        return text;
    const QString marker = sheetCellMarker();
    return text.left(kMaxCellTextLength - marker.size()) + marker;
}

struct Formats
{
    const Format *title;
    const Format *heading;
    const Format *body[3][3]; // left, centre, right × text, amount, whole number
    const Format *total[3];
};

Formats makeFormats(Workbook &book)
{
    const auto font = [&book](double size, bool bold) {
        Font *f = book.addFont();
        f->setName(QStringLiteral("微软雅黑"));
        f->setSize(size);
        f->setBold(bold);
        return f;
    };
    const Font *titleFont = font(20, false);
    const Font *headingFont = font(11, true);
    const Font *bodyFont = font(kBodyFontSize, false);

    Formats f;
    Format *title = book.addFormat();
    title->setFont(titleFont);
    title->setAlignH(CellAlignH::Center);
    title->setAlignV(CellAlignV::Center);
    f.title = title;

    Format *heading = book.addFormat();
    heading->setFont(headingFont);
    heading->setAlignH(CellAlignH::Center);
    heading->setAlignV(CellAlignV::Center);
    heading->setBorder(CellBorder::Thin);
    heading->setFillPattern(CellFill::Solid);
    heading->setPatternForegroundColor(kHeadingFill);
    f.heading = heading;

    const int aligns[3] = {CellAlignH::Left, CellAlignH::Center, CellAlignH::Right};
    for (int a = 0; a < 3; ++a) {
        for (int n = 0; n < 3; ++n) {
            Format *body = book.addFormat();
            body->setFont(bodyFont);
            body->setAlignH(aligns[a]);
            body->setAlignV(CellAlignV::Center);
            body->setNumFormat(kNumFormats[n]);
            body->setBorder(CellBorder::Thin);
            f.body[a][n] = body;
        }
    }
    for (int n = 0; n < 3; ++n) {
        Format *total = book.addFormat();
        total->setFont(headingFont);
        total->setAlignH(CellAlignH::Right);
        total->setAlignV(CellAlignV::Center);
        total->setNumFormat(kNumFormats[n]);
        total->setBorder(CellBorder::Thin);
        total->setFillPattern(CellFill::Solid);
        total->setPatternForegroundColor(kTotalFill);
        f.total[n] = total;
    }
    return f;
}

// `number`: 0 text, 1 amount, 2 whole number.
const Format *formatFor(const Formats &f, SheetCellStyle style, int number)
{
    switch (style) {
    case SheetCellStyle::BodyLeft:
        return f.body[0][number];
    case SheetCellStyle::BodyRight:
        return f.body[2][number];
    case SheetCellStyle::Heading:
        return f.heading;
    case SheetCellStyle::Total:
        return f.total[number];
    case SheetCellStyle::BodyCenter:
        break;
    }
    return f.body[1][number];
}

// Writes one row; false with the workbook's limits or an overlapping span as the reason.
bool writeRow(Sheet *sheet, const Formats &f, int r, const SheetRow &row, int columns, bool heading)
{
    int c = 0;
    while (c < columns) {
        const SheetCell *cell = size_t(c) < row.cells.size() ? &row.cells[size_t(c)] : nullptr;
        if (!cell || !cell->present) {
            const SheetCellStyle style = heading     ? SheetCellStyle::Heading
                                         : row.total ? SheetCellStyle::Total
                                                     : SheetCellStyle::BodyCenter;
            if (!sheet->writeBlank(r, c, formatFor(f, style, 0)))
                return false;
            ++c;
            continue;
        }
        const SheetCellStyle style = heading     ? SheetCellStyle::Heading
                                     : row.total ? SheetCellStyle::Total
                                                 : cell->style;
        double value = 0;
        bool ok;
        if (cell->numeric && amountFromText(cell->text, &value))
            ok = sheet->writeNum(r, c, value,
                                 formatFor(f, style, cell->whole && value == std::trunc(value) ? 2 : 1));
        else
            ok = sheet->writeStr(r, c, cellText(cell->text), formatFor(f, style, 0));
        if (!ok)
            return false;
        const int span = std::clamp(cell->colSpan, 1, columns - c);
        if (span > 1) {
            // The covered cells keep the borders and fill of the merged cell.
            for (int k = c + 1; k < c + span; ++k) {
                if (!sheet->writeBlank(r, k, formatFor(f, style, 0)))
                    return false;
            }
            if (!sheet->setMerge(r, r, c, c + span - 1))
                return false;
        }
        c += span;
    }
    return true;
}

// Character units a text takes in the body font: wide (CJK, full-width) characters take two, a
// character beyond the basic plane two in all, and a text of several lines its longest line.
int textUnits(const QString &text)
{
    int longest = 0;
    int line = 0;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == u'\n') {
            longest = std::max(longest, line);
            line = 0;
        } else if (!QChar::isLowSurrogate(u)) {
            line += u >= 0x2E80 ? 2 : 1;
        }
    }
    return std::max(longest, line);
}

// Units an amount text takes once shown as "#,##0.00": its integer digits grouped by three, two
// decimals and a sign; never less than the text itself (a text that is no amount stays a text).
int amountUnits(const QString &text)
{
    int digits = 0;
    for (const QChar ch : text) {
        if (ch == u'.')
            break;
        if (ch >= u'0' && ch <= u'9')
            ++digits;
    }
    digits = std::max(digits, 1);
    const int shown = digits + (digits - 1) / 3 + 3 + (text.startsWith(u'-') ? 1 : 0);
    return std::max(shown, int(text.size()));
}

} // namespace

std::vector<double> sheetColumnWidths(const SheetLayout &layout)
{
    // Headings and totals are bold and a size larger than the body; both get a little padding.
    constexpr double kBodyScale = 1.1;
    constexpr double kBoldScale = 1.25;
    constexpr double kPadding = 1.5;
    constexpr double kMaxFitted = 60;
    constexpr double kMaxWidth = 255;
    const size_t columns = size_t(layout.columnCount());
    std::vector<double> widths(columns, 0.0);
    for (size_t c = 0; c < columns && c < layout.columnWidths.size(); ++c)
        widths[c] = std::max(0, layout.columnWidths[c]) / kBodyFontSize;
    std::vector<double> fitted(columns, 0.0);
    const auto fit = [&](const SheetRow &row, bool heading) {
        const bool bold = heading || row.total;
        const double scale = bold ? kBoldScale : kBodyScale;
        for (size_t c = 0; c < row.cells.size() && c < columns; ++c) {
            const SheetCell &cell = row.cells[c];
            // A merged heading spreads over its columns; the title is merged over the sheet.
            if (!cell.present || cell.colSpan > 1)
                continue;
            if (fitted[c] >= kMaxFitted)
                continue;
            const int units = cell.numeric ? amountUnits(cell.text) : textUnits(cell.text);
            // Whole units: a stored width is kept to the pixel, a whole unit round-trips exactly.
            fitted[c] = std::max(fitted[c], std::min(std::ceil(units * scale + kPadding), kMaxFitted));
        }
    };
    for (const SheetRow &row : layout.headings)
        fit(row, true);
    for (const SheetRow &row : layout.rows)
        fit(row, false);
    for (size_t c = 0; c < columns; ++c)
        widths[c] = std::min(std::max(widths[c], fitted[c]), kMaxWidth);
    return widths;
}

int SheetLayout::columnCount() const
{
    int n = int(columnWidths.size());
    for (const SheetRow &row : headings)
        n = std::max(n, rowWidth(row));
    for (const SheetRow &row : rows)
        n = std::max(n, rowWidth(row));
    return n;
}

int SheetLayout::sheetRowCount() const
{
    return (title.isEmpty() ? 0 : 3) + int(headings.size()) + int(rows.size());
}

bool amountFromText(const QString &text, double *yuan)
{
    // One pass over the characters, the value kept as whole fen: every layout cell of a large
    // sheet comes through here, so no text is built on the way.
    // constData, not utf16: a text held by an arena would be copied to gain a terminator.
    const auto *p = reinterpret_cast<const char16_t *>(text.constData());
    const qsizetype n = text.size();
    qsizetype i = 0;
    bool negative = false;
    if (i < n && p[i] == u'-') {
        negative = true;
        ++i;
    }
    quint64 whole = 0;
    int digits = 0;
    int group = 0; // digits since the last comma
    bool comma = false;
    const qsizetype start = i;
    for (; i < n && p[i] != u'.'; ++i) {
        const char16_t ch = p[i];
        if (ch == u',') {
            if (group == 0 || (comma && group != 3) || (!comma && group > 3))
                return false;
            comma = true;
            group = 0;
        } else if (ch >= u'0' && ch <= u'9') {
            if (++digits > 15)
                return false;
            whole = whole * 10 + (ch - u'0');
            ++group;
        } else {
            return false;
        }
    }
    if (i == start || group == 0 || (comma && group != 3))
        return false;
    int decimals = 0;
    if (i < n) { // the fraction
        ++i;
        decimals = int(n - i);
        if (decimals < 1 || decimals > 2)
            return false;
        for (; i < n; ++i) {
            if (p[i] < u'0' || p[i] > u'9')
                return false;
            whole = whole * 10 + (p[i] - u'0');
        }
    }
    // Below 2^53 the scaled value is exact, and one correctly rounded division gives the double
    // nearest to the decimal, which is what reading the text would give.
    constexpr quint64 kExact = quint64(1) << 53;
    double v;
    if (whole < kExact) {
        v = decimals == 0 ? double(whole) : double(whole) / (decimals == 1 ? 10.0 : 100.0);
    } else {
        char buffer[24];
        int length = 0;
        quint64 rest = whole;
        char reversed[24];
        int count = 0;
        do {
            reversed[count++] = char('0' + rest % 10);
            rest /= 10;
        } while (rest > 0);
        for (int k = count - 1; k >= 0; --k) {
            if (k == decimals - 1 && decimals > 0)
                buffer[length++] = '.';
            buffer[length++] = reversed[k];
        }
        bool ok = false;
        v = QByteArray::fromRawData(buffer, length).toDouble(&ok);
        if (!ok)
            return false;
    }
    *yuan = negative ? -v : v;
    return true;
}

QString exportFileName(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"xls" || suffix == u"xlsx")
        return fileName;
    return fileName + QStringLiteral(".xlsx");
}

QString sheetCellMarker()
{
    return QStringLiteral("…（内容过长，已截断）");
}

bool sheetLayoutFits(const SheetLayout &layout, const QString &fileName, QString *error)
{
    const Workbook::Kind kind = QFileInfo(fileName).suffix().compare(u"xlsx", Qt::CaseInsensitive) == 0
                                    ? Workbook::Kind::Xlsx
                                    : Workbook::Kind::Xls;
    const int maxRows = kind == Workbook::Kind::Xls ? kXlsMaxRows : kXlsxMaxRows;
    const int maxCols = kind == Workbook::Kind::Xls ? kXlsMaxCols : kXlsxMaxCols;
    const int rows = layout.sheetRowCount();
    const int cols = layout.columnCount();
    if (rows <= maxRows && cols <= maxCols)
        return true;
    if (error) {
        // Before the columns are chosen only the rows are known: a count of 0 columns would mislead.
        const QString size = cols > 0 ? QStringLiteral("共 %1 行、%2 列").arg(rows).arg(cols)
                                      : QStringLiteral("至少有 %1 行").arg(rows);
        *error = kind == Workbook::Kind::Xls
                     ? QStringLiteral("导出的表格%1，超出了 .xls 文件最多 65,536 行、256 列"
                                      "的限制。请把文件名的后缀改为 .xlsx 后重新导出。")
                           .arg(size)
                     : QStringLiteral("导出的表格%1，超出了 .xlsx 文件最多 1,048,576 行、"
                                      "16,384 列的限制。")
                           .arg(size);
    }
    return false;
}

bool writeSheetLayout(const SheetLayout &layout, const QString &fileName, QString *error)
{
    QString message;
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!sheetLayoutFits(layout, fileName, &message))
        return fail(message);
    const QFileInfo target(fileName);
    if (target.isDir())
        return fail(QStringLiteral("“%1”是一个文件夹，不能作为导出文件。").arg(fileName));
    // Root may write anywhere, so the file's own permission bits are what a user set on it.
    if (target.exists() &&
        !(target.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)))
        return fail(QStringLiteral("文件“%1”是只读的，未被覆盖。").arg(fileName));

    const std::unique_ptr<Workbook> book = Workbook::create(fileName);
    Sheet *sheet = book->addSheet(layout.sheetName);
    if (!sheet)
        return fail(book->errorMessage());
    const Formats formats = makeFormats(*book);
    const int columns = layout.columnCount();
    const QString limit = QStringLiteral("导出的数据超出了工作表的限制。");

    int r = 0;
    if (!layout.title.isEmpty()) {
        r = 1;
        const int span = std::clamp(layout.titleSpan, 1, std::max(1, columns));
        if (!sheet->writeStr(r, 0, cellText(layout.title), formats.title) ||
            (span > 1 && !sheet->setMerge(r, r, 0, span - 1)))
            return fail(limit);
        r = 3;
    }
    for (const SheetRow &row : layout.headings) {
        if (!writeRow(sheet, formats, r++, row, columns, true))
            return fail(limit);
    }
    for (const SheetRow &row : layout.rows) {
        if (!writeRow(sheet, formats, r++, row, columns, false))
            return fail(limit);
    }
    const std::vector<double> widths = sheetColumnWidths(layout);
    for (size_t c = 0; c < widths.size(); ++c) {
        if (widths[c] > 0)
            sheet->setCol(int(c), int(c), widths[c]);
    }
    if (!book->save(fileName))
        return fail(book->errorMessage());
    return true;
}
