// lumo-cli sheet: what the workbook layer reads from a workbook (dump), and the same contents
// written again in either format (convert), so the layer can be checked against other programs.
#include "cli/cliargs.h"
#include "cli/commands.h"
#include "cli/jsonout.h"
#include "cli/texttable.h"
#include "excel/celldisplay.h"
#include "excel/columnletters.h"
#include "excel/workbook.h"

#include <QHash>
#include <QLocale>

namespace {

const char kUsage[] =
    "用法: lumo-cli sheet dump 文件 [--json]\n"
    "      lumo-cli sheet convert 输入文件 输出文件\n"
    "dump 列出每个工作表的名称、末行末列、列宽、行高、合并区域和每个非空单元格"
    "（类型 number/string/boolean/error/formula、原值、数字格式、对齐、字体、显示文本、单元格种类）；\n"
    "convert 把每个单元格按显示文本写入输出文件（按后缀选 .xls 或 .xlsx），"
    "保留合并区域、列宽、行高、字体名称、字号、粗体和水平对齐。\n";

int usageError(const QString &message)
{
    printErr(QStringLiteral("lumo-cli sheet: %1\n").arg(message));
    printErr(QString::fromUtf8(kUsage));
    return 2;
}

QString number(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

QString cellName(int row, int col)
{
    return columnLetters(col) + QString::number(row + 1);
}

std::unique_ptr<Workbook> open(const QString &path)
{
    auto book = Workbook::create(path);
    if (!book->load(path)) {
        printErr(QStringLiteral("无法读取工作簿 %1：%2\n").arg(path, book->errorMessage()));
        return nullptr;
    }
    for (const QString &warning : book->loadWarnings())
        printErr(QStringLiteral("警告：%1：%2\n").arg(path, warning));
    return book;
}

QString fontJson(const Font *f)
{
    JsonWriter w;
    w.field(QStringLiteral("name"), f->name())
        .raw(QStringLiteral("size"), number(f->size()))
        .field(QStringLiteral("bold"), f->bold())
        .field(QStringLiteral("italic"), f->italic())
        .field(QStringLiteral("underline"), f->underline() != 0)
        .field(QStringLiteral("strike"), f->strikeOut());
    return w.finish();
}

QString sheetJson(const Workbook &book, const Sheet &sheet)
{
    QStringList widths, heights, merges, cells;
    for (int c = 0; c <= sheet.lastCol(); ++c)
        widths << number(sheet.colWidth(c));
    for (int r = 0; r <= sheet.lastRow(); ++r)
        heights << number(sheet.rowHeight(r));
    for (const CellRange &m : sheet.merges())
        merges
            << QStringLiteral("[%1,%2,%3,%4]").arg(m.firstRow).arg(m.lastRow).arg(m.firstCol).arg(m.lastCol);
    for (const int r : sheet.rowIndexes()) {
        for (const int c : sheet.colIndexes(r)) {
            const CellType type = sheet.cellType(r, c);
            if (type == CellType::Empty)
                continue;
            const Format *f = sheet.cellFormat(r, c);
            const CellDisplay d = displayCell(book, sheet, r, c);
            JsonWriter w;
            w.field(QStringLiteral("r"), r).field(QStringLiteral("c"), c);
            w.field(QStringLiteral("type"), QString::fromLatin1(cellTypeName(sheet, r, c)));
            if (type == CellType::Number)
                w.raw(QStringLiteral("value"), number(sheet.readNum(r, c)));
            else if (type == CellType::String)
                w.field(QStringLiteral("value"), sheet.readStr(r, c));
            else
                w.field(QStringLiteral("value"), sheet.readBool(r, c));
            w.field(QStringLiteral("numFormat"), f ? f->numFormat() : 0)
                .field(QStringLiteral("alignH"), f ? f->alignH() : int(CellAlignH::General))
                .field(QStringLiteral("alignV"), f ? f->alignV() : int(CellAlignV::Bottom))
                .raw(QStringLiteral("font"), fontJson(f ? f->font() : book.defaultFont()))
                .field(QStringLiteral("text"), d.text)
                .field(QStringLiteral("kind"), int(d.kind));
            cells << w.finish();
        }
    }
    JsonWriter w;
    w.field(QStringLiteral("name"), sheet.name())
        .field(QStringLiteral("lastRow"), sheet.lastRow())
        .field(QStringLiteral("lastCol"), sheet.lastCol())
        .raw(QStringLiteral("colWidths"), QLatin1Char('[') + widths.join(QLatin1Char(',')) + QLatin1Char(']'))
        .raw(QStringLiteral("rowHeights"),
             QLatin1Char('[') + heights.join(QLatin1Char(',')) + QLatin1Char(']'))
        .raw(QStringLiteral("merges"), QLatin1Char('[') + merges.join(QLatin1Char(',')) + QLatin1Char(']'))
        .raw(QStringLiteral("cells"), QLatin1Char('[') + cells.join(QLatin1Char(',')) + QLatin1Char(']'));
    return w.finish();
}

QString sheetText(const Workbook &book, const Sheet &sheet, int index)
{
    QString out = QStringLiteral("工作表 %1【%2】 末行 %3 末列 %4\n")
                      .arg(index + 1)
                      .arg(sheet.name())
                      .arg(sheet.lastRow())
                      .arg(sheet.lastCol());
    QStringList widths;
    for (const auto &[col, width] : sheet.colWidths())
        widths << QStringLiteral("%1=%2").arg(columnLetters(col), number(width));
    out += QStringLiteral("列宽：%1（其余 %2）\n")
               .arg(widths.isEmpty() ? QStringLiteral("无") : widths.join(QLatin1Char(' ')),
                    number(sheet.colWidth(kXlsxMaxCols)));
    QStringList heights;
    for (const auto &[row, height] : sheet.rowHeights())
        heights << QStringLiteral("%1=%2").arg(row + 1).arg(number(height));
    out += QStringLiteral("行高：%1（其余 %2）\n")
               .arg(heights.isEmpty() ? QStringLiteral("无") : heights.join(QLatin1Char(' ')),
                    number(sheet.rowHeight(kXlsxMaxRows)));
    QStringList merges;
    for (const CellRange &m : sheet.merges())
        merges << cellName(m.firstRow, m.firstCol) + QLatin1Char(':') + cellName(m.lastRow, m.lastCol);
    out += QStringLiteral("合并：%1\n")
               .arg(merges.isEmpty() ? QStringLiteral("无") : merges.join(QLatin1Char(' ')));
    TextTable table({QStringLiteral("单元格"), QStringLiteral("类型"), QStringLiteral("原值"),
                     QStringLiteral("格式"), QStringLiteral("对齐"), QStringLiteral("字体"),
                     QStringLiteral("显示文本"), QStringLiteral("种类")});
    for (const int r : sheet.rowIndexes()) {
        for (const int c : sheet.colIndexes(r)) {
            const CellType type = sheet.cellType(r, c);
            if (type == CellType::Empty)
                continue;
            const Format *f = sheet.cellFormat(r, c);
            const Font *font = f ? f->font() : book.defaultFont();
            const CellDisplay d = displayCell(book, sheet, r, c);
            QString raw = type == CellType::Number   ? number(sheet.readNum(r, c))
                          : type == CellType::String ? sheet.readStr(r, c)
                          : sheet.readBool(r, c)     ? QStringLiteral("TRUE")
                                                     : QStringLiteral("FALSE");
            QString style = QStringLiteral("%1 %2").arg(font->name(), number(font->size()));
            if (font->bold())
                style += QStringLiteral(" 粗");
            if (font->italic())
                style += QStringLiteral(" 斜");
            if (font->underline())
                style += QStringLiteral(" 下划线");
            if (font->strikeOut())
                style += QStringLiteral(" 删除线");
            // Long texts are cut here only; --json gives them whole.
            auto shortText = [](const QString &t) {
                const QString s = t.simplified();
                return s.size() > 40 ? s.left(39) + QChar(0x2026) : s;
            };
            table.addRow({cellName(r, c), QString::fromLatin1(cellTypeName(sheet, r, c)), shortText(raw),
                          QString::number(f ? f->numFormat() : 0),
                          QStringLiteral("%1/%2")
                              .arg(f ? f->alignH() : 0)
                              .arg(f ? f->alignV() : int(CellAlignV::Bottom)),
                          style, shortText(d.text), QString::number(int(d.kind))});
        }
    }
    return out + table.render();
}

int dump(const QString &path, bool json)
{
    const auto book = open(path);
    if (!book)
        return 1;
    if (json) {
        QStringList sheets;
        for (int i = 0; i < book->sheetCount(); ++i)
            sheets << sheetJson(*book, *book->getSheet(i));
        printOut(QStringLiteral("{\"sheets\":[") + sheets.join(QLatin1Char(',')) + QStringLiteral("]}\n"));
        return 0;
    }
    QString text;
    for (int i = 0; i < book->sheetCount(); ++i) {
        if (i > 0)
            text += QLatin1Char('\n');
        text += sheetText(*book, *book->getSheet(i), i);
    }
    printOut(text);
    return 0;
}

int alignFromDisplay(int alignment)
{
    if (alignment & Qt::AlignHCenter)
        return CellAlignH::Center;
    if (alignment & Qt::AlignRight)
        return CellAlignH::Right;
    if (alignment & Qt::AlignJustify)
        return CellAlignH::Justify;
    return CellAlignH::Left;
}

int convert(const QString &in, const QString &outPath)
{
    const auto source = open(in);
    if (!source)
        return 1;
    auto target = Workbook::create(outPath);
    // One output format per distinct font and alignment, as few as the source needs.
    QHash<QString, Format *> formats;
    auto formatFor = [&](const CellDisplay &d) -> Format * {
        const int alignH = alignFromDisplay(d.alignment);
        const QString key = QStringLiteral("%1|%2|%3|%4")
                                .arg(d.font.family)
                                .arg(d.font.pointSize)
                                .arg(d.font.bold)
                                .arg(alignH);
        Format *&f = formats[key];
        if (!f) {
            Font *font = target->addFont();
            font->setName(d.font.family);
            font->setSize(d.font.pointSize);
            font->setBold(d.font.bold);
            f = target->addFormat();
            f->setFont(font);
            f->setAlignH(alignH);
        }
        return f;
    };
    for (int i = 0; i < source->sheetCount(); ++i) {
        const Sheet &from = *source->getSheet(i);
        Sheet *to = target->addSheet(from.name());
        if (!to) {
            printErr(QStringLiteral("无法写入工作簿 %1：%2\n").arg(outPath, target->errorMessage()));
            return 1;
        }
        for (const auto &[col, width] : from.colWidths()) {
            if (col < target->maxCols())
                to->setCol(col, col, width);
        }
        for (const auto &[row, height] : from.rowHeights()) {
            if (row < target->maxRows())
                to->setRow(row, height);
        }
        for (const int r : from.rowIndexes()) {
            for (const int c : from.colIndexes(r)) {
                if (from.cellType(r, c) == CellType::Empty)
                    continue;
                CellDisplay d = displayCell(*source, from, r, c);
                if (!d.hasFont) { // the source's default font, which may not be the target's
                    const Font *f = source->defaultFont();
                    d.font = CellFontSpec{f->name(),   f->size(),           f->bold(),
                                          f->italic(), f->underline() != 0, f->strikeOut()};
                }
                if (!to->writeStr(r, c, d.text, formatFor(d))) {
                    printErr(
                        QStringLiteral("无法写入工作簿 %1：工作表【%2】的单元格 %3 超出了这种格式的范围。\n")
                            .arg(outPath, from.name(), cellName(r, c)));
                    return 1;
                }
            }
        }
        for (const CellRange &m : from.merges()) {
            if (!to->setMerge(m.firstRow, m.lastRow, m.firstCol, m.lastCol)) {
                printErr(
                    QStringLiteral("无法写入工作簿 %1：工作表【%2】的合并区域 %3:%4 超出了这种格式的范围。\n")
                        .arg(outPath, from.name(), cellName(m.firstRow, m.firstCol),
                             cellName(m.lastRow, m.lastCol)));
                return 1;
            }
        }
    }
    if (target->sheetCount() == 0)
        target->addSheet(QStringLiteral("Sheet1"));
    if (!target->save(outPath)) {
        printErr(QStringLiteral("无法写入工作簿 %1：%2\n").arg(outPath, target->errorMessage()));
        return 1;
    }
    printOut(QStringLiteral("已写入：%1\n").arg(outPath));
    return 0;
}

} // namespace

int runSheet(const QStringList &args)
{
    if (asksForHelp(args)) {
        printOut(QString::fromUtf8(kUsage));
        return 0;
    }
    ArgParser p({}, {QStringLiteral("json")});
    QString error;
    if (!p.parse(args, &error, true))
        return usageError(error);
    const QStringList pos = p.positional();
    if (pos.isEmpty())
        return usageError(QStringLiteral("缺少子命令 dump 或 convert"));
    if (pos.first() == QLatin1String("dump")) {
        if (pos.size() != 2)
            return usageError(QStringLiteral("dump 需要一个文件"));
        return dump(pos.at(1), p.flag(QStringLiteral("json")));
    }
    if (pos.first() == QLatin1String("convert")) {
        if (pos.size() != 3)
            return usageError(QStringLiteral("convert 需要输入文件和输出文件"));
        if (p.flag(QStringLiteral("json")))
            return usageError(QStringLiteral("convert 不接受 --json"));
        return convert(pos.at(1), pos.at(2));
    }
    return usageError(QStringLiteral("未知子命令：%1").arg(pos.first()));
}
