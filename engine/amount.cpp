#include "engine/amount.h"

#include <QRegularExpression>
#include <cmath>

qint64 roundHalfUp(double x)
{
    if (x >= 0)
        return static_cast<qint64>(std::trunc(x + 0.5));
    // Computed from the integer below x so that the fraction is taken from a non-negative value.
    const double t = std::trunc(x - 1);
    return static_cast<qint64>(t + std::trunc(x - t + 0.5));
}

Amount fenFromInput(double yuan)
{
    return roundHalfUp(yuan * 100.0);
}

void appendAmount(QString &out, Amount amount)
{
    // The magnitude's digits, least significant first, then written out in reading order with
    // the grouping commas and the fraction's trailing zeros left off.
    quint64 fen = amount < 0 ? 0 - static_cast<quint64>(amount) : static_cast<quint64>(amount);
    char digits[24];
    int count = 0;
    do {
        digits[count++] = char('0' + fen % 10);
        fen /= 10;
    } while (fen > 0);
    while (count < 3)
        digits[count++] = '0'; // at least one yuan digit and two fraction digits

    char16_t text[40];
    int length = 0;
    if (amount < 0)
        text[length++] = u'-';
    const int intLength = count - 2;
    for (int i = 0; i < intLength; ++i) {
        if (i > 0 && (intLength - i) % 3 == 0)
            text[length++] = u',';
        text[length++] = char16_t(digits[count - 1 - i]);
    }
    const char tenths = digits[1];
    const char hundredths = digits[0];
    if (tenths != '0' || hundredths != '0') {
        text[length++] = u'.';
        text[length++] = char16_t(tenths);
        if (hundredths != '0')
            text[length++] = char16_t(hundredths);
    }
    out.append(reinterpret_cast<const QChar *>(text), length);
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
