#include "cli/texttable.h"

#include "engine/amount.h"

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

QStringList itemTableHeader(const QString &corner)
{
    return {corner,
            QStringLiteral("应税收入"),
            QStringLiteral("个人所得税"),
            QStringLiteral("实发数"),
            QStringLiteral("税率"),
            QStringLiteral("速算扣除数")};
}

QStringList itemRow(const QString &caption, const std::unique_ptr<TaxItem> &item)
{
    if (!item)
        return {caption, QString(), QString(), QString(), QString(), QString()};
    const TaxBracket *row = item->bracket;
    return {caption,
            formatAmount(item->amount),
            formatAmount(item->tax),
            formatAmount(item->afterTax),
            row ? QString::number(row->rate) + QLatin1Char('%') : QString(),
            row ? formatAmount(row->quickDeduction) : QString()};
}

QStringList totalsRow(const QString &caption, const Salary &s)
{
    return {
        caption,  formatAmount(s.taxableTotal), formatAmount(s.taxTotal), formatAmount(s.netTotal), QString(),
        QString()};
}
