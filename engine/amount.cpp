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

namespace {

// The grouped text of the `size` characters at `number` written to `out`, which holds at least
// size * 4 / 3 + 1 characters; returns its length.
qsizetype writeGrouped(const char16_t *number, qsizetype size, char16_t *out)
{
    const qsizetype start = size > 0 && number[0] == u'-' ? 1 : 0;
    qsizetype end = start;
    while (end < size && number[end] != u'.')
        ++end;
    char16_t *o = out;
    if (start > 0)
        *o++ = u'-';
    // The first group holds one to three digits, every later group three.
    const char16_t *digit = number + start;
    const char16_t *const intEnd = number + end;
    qsizetype group = (end - start) % 3;
    if (group == 0)
        group = 3;
    while (digit < intEnd) {
        if (o > out + start)
            *o++ = u',';
        for (; group > 0; --group)
            *o++ = *digit++;
        group = 3;
    }
    for (const char16_t *rest = intEnd; rest < number + size; ++rest)
        *o++ = *rest;
    return o - out;
}

} // namespace

void appendGroupedDigits(QString &out, QStringView number)
{
    QVarLengthArray<char16_t, 64> text(number.size() * 4 / 3 + 1);
    out.append(QStringView(text.data(), writeGrouped(number.utf16(), number.size(), text.data())));
}

QString groupDigits(QStringView number)
{
    QString text;
    appendGroupedDigits(text, number);
    return text;
}

void appendAmount(QString &out, Amount amount)
{
    char16_t text[kAmountTextMax];
    out.append(QStringView(text, writeAmount(text, amount)));
}

int writeAmount(char16_t *out, Amount amount)
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
    // An amount is at most 21 characters before grouping, 27 after.
    return int(writeGrouped(text, length, out));
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
