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

static QString formatMagnitude(quint64 fen)
{
    const QString digits = QString::number(fen);
    QString text;
    if (digits.size() == 1) {
        text = QStringLiteral("0.0") + digits;
    } else if (digits.size() == 2) {
        text = QStringLiteral("0.") + digits;
    } else {
        const qsizetype intLength = digits.size() - 2;
        text.reserve(digits.size() + intLength / 3 + 1);
        for (qsizetype i = 0; i < intLength; ++i) {
            if (i > 0 && (intLength - i) % 3 == 0)
                text += QLatin1Char(',');
            text += digits.at(i);
        }
        text += QLatin1Char('.');
        text += QStringView(digits).right(2);
    }
    while (text.contains(QLatin1Char('.'))) {
        const QChar last = text.back();
        if (last == QLatin1Char('0')) {
            text.chop(1);
            continue;
        }
        if (last == QLatin1Char('.'))
            text.chop(1);
        break;
    }
    return text;
}

QString formatAmount(Amount amount)
{
    if (amount < 0)
        return QLatin1Char('-') + formatMagnitude(0 - static_cast<quint64>(amount));
    return formatMagnitude(static_cast<quint64>(amount));
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
