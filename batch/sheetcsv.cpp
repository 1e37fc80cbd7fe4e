#include "batch/sheetcsv.h"
#include "excel/utf8.h"

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

// Appends the text as UTF-8, encoded straight into the buffer: process texts make up most of a
// large file's bytes. A lone surrogate, which Qt's encoder replaces in its own way, sends the whole
// text to that encoder instead, so the bytes are always the ones Qt would write.
void appendUtf8(QByteArray &out, QStringView text)
{
    const auto *p = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    const qsizetype at = out.size();
    out.resize(at + 3 * n); // no UTF-16 unit takes more than three bytes
    char *o = out.data() + at;
    for (qsizetype i = 0; i < n; ++i) {
        const char32_t u = p[i];
        if (u < 0x80) {
            *o++ = char(u);
        } else if (u < 0xD800 || u > 0xDFFF) {
            o = putUtf8(o, u);
        } else if (u < 0xDC00 && i + 1 < n && p[i + 1] >= 0xDC00 && p[i + 1] <= 0xDFFF) {
            o = putUtf8(o, 0x10000 + ((u - 0xD800) << 10) + (p[i + 1] - 0xDC00));
            ++i;
        } else {
            out.resize(at);
            out += text.toUtf8();
            return;
        }
    }
    out.resize(o - out.data());
}

void appendField(QByteArray &out, const SheetCell &cell)
{
    const QString &text = cell.text;
    double unused = 0;
    if (cell.numeric && amountFromText(text, &unused)) {
        // An amount text is ASCII digits, signs and separators; the separators go.
        for (const QChar ch : text) {
            if (ch != u',')
                out += char(ch.unicode());
        }
        return;
    }
    const bool formula = looksLikeFormula(text);
    bool quote = false;
    for (const QChar ch : text) {
        if (ch == u',' || ch == u'"' || ch == u'\n' || ch == u'\r') {
            quote = true;
            break;
        }
    }
    if (!quote) {
        if (formula)
            out += '\'';
        appendUtf8(out, text);
        return;
    }
    out += '"';
    if (formula)
        out += '\'';
    const QStringView view(text);
    qsizetype from = 0;
    for (qsizetype i = view.indexOf(u'"'); i >= 0; i = view.indexOf(u'"', from)) {
        appendUtf8(out, view.mid(from, i + 1 - from));
        out += '"';
        from = i + 1;
    }
    appendUtf8(out, view.mid(from));
    out += '"';
}

void appendRow(QByteArray &out, const SheetRow &row, int columns)
{
    int c = 0;
    while (c < columns) {
        if (c > 0)
            out += ',';
        const SheetCell *cell = size_t(c) < row.cells.size() ? &row.cells[size_t(c)] : nullptr;
        if (!cell || !cell->present) {
            ++c;
            continue;
        }
        appendField(out, *cell);
        const int span = std::clamp(cell->colSpan, 1, columns - c);
        for (int k = 1; k < span; ++k)
            out += ',';
        c += span;
    }
    out += "\r\n";
}

// Hands the file's bytes to `out` in pieces of about a megabyte, so a large sheet is never held
// as one text, and the file gets few large writes.
bool forEachCsvPiece(const SheetLayout &layout, const std::function<bool(const QByteArray &)> &out)
{
    constexpr qsizetype kPiece = qsizetype(1) << 20;
    const int columns = std::max(1, layout.columnCount());
    QByteArray bytes;
    bytes.reserve(kPiece + (kPiece >> 2));
    bytes += "\xEF\xBB\xBF";
    const auto flush = [&](bool last) {
        if (bytes.size() < kPiece && !last)
            return true;
        const bool ok = out(bytes);
        bytes.resize(0);
        return ok;
    };
    if (!layout.title.isEmpty()) {
        SheetRow title;
        SheetCell cell;
        cell.present = true;
        cell.text = layout.title;
        title.cells.push_back(cell);
        appendRow(bytes, title, columns);
    }
    for (const SheetRow &row : layout.headings)
        appendRow(bytes, row, columns);
    for (const SheetRow &row : layout.rows) {
        appendRow(bytes, row, columns);
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
