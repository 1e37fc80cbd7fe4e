#include "batch/sheetcsv.h"

#include <QFileInfo>
#include <QSaveFile>

#include <functional>

namespace {

bool looksLikeFormula(const QString &text)
{
    if (text.isEmpty())
        return false;
    const QChar first = text.front();
    if (first == u'=' || first == u'+' || first == u'@' || first == u'\t' || first == u'\r')
        return true;
    double unused = 0;
    return first == u'-' && !amountFromText(text, &unused);
}

QString field(const SheetCell &cell)
{
    QString text = cell.text;
    double unused = 0;
    if (cell.numeric && amountFromText(text, &unused))
        return text.remove(u',');
    if (looksLikeFormula(text))
        text.prepend(u'\'');
    if (text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r')) {
        text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        return u'"' + text + u'"';
    }
    return text;
}

void appendRow(QString &out, const SheetRow &row, int columns)
{
    int c = 0;
    while (c < columns) {
        if (c > 0)
            out += u',';
        const SheetCell *cell = size_t(c) < row.cells.size() ? &row.cells[size_t(c)] : nullptr;
        if (!cell || !cell->present) {
            ++c;
            continue;
        }
        out += field(*cell);
        const int span = std::clamp(cell->colSpan, 1, columns - c);
        for (int k = 1; k < span; ++k)
            out += u',';
        c += span;
    }
    out += QStringLiteral("\r\n");
}

// Hands the file's bytes to `out` in pieces of about a megabyte, so a large sheet is never held
// as one text.
bool forEachCsvPiece(const SheetLayout &layout, const std::function<bool(const QByteArray &)> &out)
{
    if (!out(QByteArray("\xEF\xBB\xBF")))
        return false;
    const int columns = std::max(1, layout.columnCount());
    QString text;
    const auto flush = [&](bool last) {
        if (text.size() < (1 << 19) && !last)
            return true;
        const bool ok = out(text.toUtf8());
        text.clear();
        return ok;
    };
    if (!layout.title.isEmpty()) {
        SheetRow title;
        SheetCell cell;
        cell.present = true;
        cell.text = layout.title;
        title.cells.push_back(cell);
        appendRow(text, title, columns);
    }
    for (const SheetRow &row : layout.headings)
        appendRow(text, row, columns);
    for (const SheetRow &row : layout.rows) {
        appendRow(text, row, columns);
        if (!flush(false))
            return false;
    }
    return flush(true);
}

} // namespace

QByteArray sheetLayoutCsv(const SheetLayout &layout)
{
    QByteArray bytes;
    forEachCsvPiece(layout, [&](const QByteArray &piece) {
        bytes += piece;
        return true;
    });
    return bytes;
}

bool writeSheetCsv(const SheetLayout &layout, const QString &fileName, QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QFileInfo target(fileName);
    if (target.isDir())
        return fail(QStringLiteral("“%1”是一个文件夹，不能作为导出文件。").arg(fileName));
    if (target.exists() &&
        !(target.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)))
        return fail(QStringLiteral("文件“%1”是只读的，未被覆盖。").arg(fileName));
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("无法写入文件“%1”：%2").arg(fileName, file.errorString()));
    const bool written =
        forEachCsvPiece(layout, [&](const QByteArray &piece) { return file.write(piece) == piece.size(); });
    if (!written || !file.commit())
        return fail(QStringLiteral("无法写入文件“%1”：%2").arg(fileName, file.errorString()));
    return true;
}
