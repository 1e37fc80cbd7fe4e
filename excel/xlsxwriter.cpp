// Writes .xlsx workbooks through libxlsxwriter, which writes a file; the bytes are read back so
// Workbook::save can replace the user's file in one step.
#include <xlsxwriter.h>

#include "excel/celldisplay.h"
#include "excel/formats.h"
#include "excel/workbook.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <climits>

namespace {

// Readers of .xlsx decode "_xHHHH_" in cell text as the character HHHH; a cell whose text holds
// such a sequence literally must have its "_" written as "_x005F_" to read back unchanged.
QString escapeXmlCharRefs(const QString &text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    static const QRegularExpression ref(QStringLiteral("_(?=x[0-9A-Fa-f]{4}_)"));
    QString out = text;
    out.replace(ref, QStringLiteral("_x005F_"));
    return out;
}

lxw_format *makeFormat(lxw_workbook *wb, const Workbook &book, const Format &f)
{
    lxw_format *x = workbook_add_format(wb);
    const Font *font = f.font();
    format_set_font_name(x, font->name().toUtf8().constData());
    format_set_font_size(x, font->size());
    if (font->bold())
        format_set_bold(x);
    if (font->italic())
        format_set_italic(x);
    if (font->underline())
        format_set_underline(x, font->underline() == 2 ? LXW_UNDERLINE_DOUBLE : LXW_UNDERLINE_SINGLE);
    if (font->strikeOut())
        format_set_font_strikeout(x);
    if (f.numFormat() > 0 && f.numFormat() < 164 && book.numFormatCode(f.numFormat()).isEmpty())
        format_set_num_format_index(x, uint8_t(f.numFormat()));
    else if (f.numFormat() > 0 && !book.numFormatCode(f.numFormat()).isEmpty())
        format_set_num_format(x, book.numFormatCode(f.numFormat()).toUtf8().constData());
    if (f.alignH() >= CellAlignH::Left && f.alignH() <= CellAlignH::Distributed)
        format_set_align(x, uint8_t(f.alignH())); // libxlsxwriter numbers them as Excel does
    switch (f.alignV()) {
    case CellAlignV::Top:
        format_set_align(x, LXW_ALIGN_VERTICAL_TOP);
        break;
    case CellAlignV::Center:
        format_set_align(x, LXW_ALIGN_VERTICAL_CENTER);
        break;
    case CellAlignV::Justify:
        format_set_align(x, LXW_ALIGN_VERTICAL_JUSTIFY);
        break;
    case CellAlignV::Distributed:
        format_set_align(x, LXW_ALIGN_VERTICAL_DISTRIBUTED);
        break;
    default:
        break; // bottom is the default
    }
    auto border = [](int style) { return uint8_t(std::clamp(style, 0, 13)); };
    if (f.borderLeft())
        format_set_left(x, border(f.borderLeft()));
    if (f.borderRight())
        format_set_right(x, border(f.borderRight()));
    if (f.borderTop())
        format_set_top(x, border(f.borderTop()));
    if (f.borderBottom())
        format_set_bottom(x, border(f.borderBottom()));
    if (f.fillPattern() > 0) {
        format_set_pattern(x, uint8_t(std::clamp(f.fillPattern(), 1, 18)));
        format_set_fg_color(x, paletteColor(f.patternForegroundColor()));
    }
    return x;
}

// libxlsxwriter always writes the 1900 date system; a 1904 workbook's dates move by the 1462 days
// between the two epochs so that they show the same dates. Other numbers stay as they are.
double storedNumber(const Workbook &book, double value, const Format *format)
{
    if (!book.isDate1904() || !format)
        return value;
    const int id = effectiveNumFormat(format->numFormat(), book.numFormatCode(format->numFormat()));
    const bool date = (id >= 14 && id <= 17) || id == 22;
    return date ? value + 1462 : value;
}

} // namespace

bool writeXlsx(const Workbook &book, QByteArray *out, QString *error)
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        *error = QStringLiteral("无法创建临时文件夹来生成工作簿。");
        return false;
    }
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("book.xlsx")));
    QByteArray tmp = QFile::encodeName(dir.path());
    lxw_workbook_options options = {};
    options.tmpdir = tmp.data();
    // Rows go out in ascending order, each written to the temporary file when the next one begins,
    // with its text inline: memory stays flat however large the sheet.
    options.constant_memory = LXW_TRUE;
    lxw_workbook *wb = workbook_new_opt(path.constData(), &options);
    if (!wb) {
        *error = QStringLiteral("无法创建 .xlsx 工作簿。");
        return false;
    }
    QHash<const Format *, lxw_format *> formats;
    for (int i = 0; i < book.formatCount(); ++i)
        formats.insert(book.format(i), makeFormat(wb, book, *book.format(i)));
    auto fmt = [&](const Format *f) { return f ? formats.value(f) : nullptr; };

    QString failure;
    for (int s = 0; s < book.sheetCount() && failure.isEmpty(); ++s) {
        const Sheet &sheet = *book.getSheet(s);
        lxw_worksheet *ws = workbook_add_worksheet(wb, sheet.name().toUtf8().constData());
        if (!ws) {
            failure = QStringLiteral("工作表名称无效：%1").arg(sheet.name());
            break;
        }
        for (const auto &[col, width] : sheet.colWidths())
            worksheet_set_column(ws, lxw_col_t(col), lxw_col_t(col), width, nullptr);
        // Merges first, before any row: only the ranges are recorded (no format, so no cell is
        // written), and the cells written next fill them.
        for (const CellRange &m : sheet.merges()) {
            if (m.firstRow == m.lastRow && m.firstCol == m.lastCol)
                continue;
            const lxw_error e =
                worksheet_merge_range(ws, lxw_row_t(m.firstRow), lxw_col_t(m.firstCol), lxw_row_t(m.lastRow),
                                      lxw_col_t(m.lastCol), "", nullptr);
            if (e != LXW_NO_ERROR) {
                failure = QStringLiteral("无法合并单元格：%1").arg(QString::fromUtf8(lxw_strerror(e)));
                break;
            }
        }
        // Rows with cells and rows with a height of their own, in one ascending walk: a row left
        // behind cannot be written again.
        const std::vector<std::pair<int, double>> heights = sheet.rowHeights();
        size_t h = 0;
        auto heightsUpTo = [&](int row) {
            for (; h < heights.size() && heights[h].first <= row; ++h)
                worksheet_set_row(ws, lxw_row_t(heights[h].first), heights[h].second, nullptr);
        };
        int lastRow = -1;
        const Format *lastFormat = nullptr;
        lxw_format *lastLxwFormat = nullptr;
        QByteArray utf8;
        sheet.forEachCell([&](const Sheet::CellView &cell) {
            if (!failure.isEmpty())
                return;
            if (cell.row != lastRow) {
                heightsUpTo(cell.row);
                lastRow = cell.row;
            }
            const auto row = lxw_row_t(cell.row);
            const auto col = lxw_col_t(cell.col);
            if (cell.format != lastFormat) { // neighbouring cells mostly share their format
                lastFormat = cell.format;
                lastLxwFormat = fmt(cell.format);
            }
            lxw_format *f = lastLxwFormat;
            lxw_error e = LXW_NO_ERROR;
            switch (cell.type) {
            case CellType::Number:
                e = worksheet_write_number(ws, row, col, storedNumber(book, cell.num, cell.format), f);
                break;
            case CellType::String:
                if (cell.str->isEmpty()) {
                    e = worksheet_write_blank(ws, row, col, f);
                } else {
                    utf8 = escapeXmlCharRefs(*cell.str).toUtf8();
                    e = worksheet_write_string(ws, row, col, utf8.constData(), f);
                }
                break;
            case CellType::Boolean:
                e = worksheet_write_boolean(ws, row, col, cell.num != 0, f);
                break;
            default:
                e = worksheet_write_blank(ws, row, col, f);
                break;
            }
            if (e != LXW_NO_ERROR)
                failure = QStringLiteral("无法写入单元格：%1").arg(QString::fromUtf8(lxw_strerror(e)));
        });
        if (failure.isEmpty())
            heightsUpTo(INT_MAX);
    }
    const lxw_error closed = workbook_close(wb);
    if (!failure.isEmpty()) {
        *error = failure;
        return false;
    }
    if (closed != LXW_NO_ERROR) {
        *error = QStringLiteral("生成 .xlsx 工作簿失败：%1").arg(QString::fromUtf8(lxw_strerror(closed)));
        return false;
    }
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("生成 .xlsx 工作簿失败：%1").arg(file.errorString());
        return false;
    }
    *out = file.readAll();
    return true;
}
