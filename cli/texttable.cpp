#include "cli/texttable.h"

int TextTable::displayWidth(const QString &text)
{
    int width = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // CJK ideographs, full-width forms and CJK punctuation take two terminal columns.
        const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) ||
                          (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF) ||
                          (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) ||
                          (u >= 0xFFE0 && u <= 0xFFE6);
        width += wide ? 2 : 1;
    }
    return width;
}

QString TextTable::render() const
{
    QList<int> widths;
    for (const QStringList &row : m_rows) {
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (widths.size() <= c)
                widths << 0;
            widths[c] = qMax(widths[c], displayWidth(row.at(c)));
        }
    }
    QString out;
    for (const QStringList &row : m_rows) {
        QString line;
        for (qsizetype c = 0; c < row.size(); ++c) {
            const QString &cell = row.at(c);
            const QString pad(widths[c] - displayWidth(cell), QLatin1Char(' '));
            if (c > 0)
                line += QStringLiteral("  ");
            line += c == 0 ? cell + pad : pad + cell;
        }
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        out += line + QLatin1Char('\n');
    }
    return out;
}
