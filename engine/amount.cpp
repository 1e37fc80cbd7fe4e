#include "engine/amount.h"

#include <QRegularExpression>
#include <QVarLengthArray>
#include <cmath>

qint64 roundHalfUp(double x)
{
    const double below = std::floor(x);
    return static_cast<qint64>(x - below >= 0.5 ? below + 1 : below);
}

Amount fenFromInput(double yuan)
{
    return roundHalfUp(yuan * 100.0);
}

void appendGroupedDigits(QString &out, QStringView number)
{
    const qsizetype start = number.startsWith(u'-') ? 1 : 0;
    qsizetype end = number.indexOf(u'.');
    if (end < 0)
        end = number.size();
    const qsizetype intLength = end - start;
    // One buffer for the whole text, so that an amount costs one append however many digits it has.
    QVarLengthArray<char16_t, 48> text(number.size() + (intLength > 0 ? (intLength - 1) / 3 : 0));
    qsizetype length = 0;
    if (start > 0)
        text[length++] = u'-';
    for (qsizetype i = 0; i < intLength; ++i) {
        if (i > 0 && (intLength - i) % 3 == 0)
            text[length++] = u',';
        text[length++] = number[start + i].unicode();
    }
    for (qsizetype i = end; i < number.size(); ++i)
        text[length++] = number[i].unicode();
    out.append(QStringView(text.data(), length));
}

QString groupDigits(QStringView number)
{
    QString text;
    appendGroupedDigits(text, number);
    return text;
}

void appendAmount(QString &out, Amount amount)
{
    // The magnitude's digits, least significant first, then written out in reading order with
    // the fraction's trailing zeros left off, and grouped.
    quint64 fen = amount < 0 ? 0 - static_cast<quint64>(amount) : static_cast<quint64>(amount);
    char digits[24];
    int count = 0;
    do {
        digits[count++] = char('0' + fen % 10);
        fen /= 10;
    } while (fen > 0);
    while (count < 3)
        digits[count++] = '0'; // at least one yuan digit and two fraction digits

    char16_t text[32];
    int length = 0;
    if (amount < 0)
        text[length++] = u'-';
    for (int i = count - 1; i >= 2; --i)
        text[length++] = char16_t(digits[i]);
    const char tenths = digits[1];
    const char hundredths = digits[0];
    if (tenths != '0' || hundredths != '0') {
        text[length++] = u'.';
        text[length++] = char16_t(tenths);
        if (hundredths != '0')
            text[length++] = char16_t(hundredths);
    }
    appendGroupedDigits(out, QStringView(text, length));
}

QString formatAmount(Amount amount)
{
    QString text;
    appendAmount(text, amount);
    return text;
}

bool parseYuan(const QString &text, Amount *fen)
{
    // What a two-decimal spin box accepts: no sign, no exponent, no grouping.
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(?:\\d{1,9}(?:\\.\\d{0,2})?|\\.\\d{1,2})\\s*$"));
    if (!pattern.match(text).hasMatch())
        return false;
    *fen = fenFromInput(text.trimmed().toDouble());
    return true;
}
