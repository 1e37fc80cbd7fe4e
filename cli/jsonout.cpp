#include "cli/jsonout.h"

void JsonWriter::key(const QString &k)
{
    if (!m_body.isEmpty())
        m_body += QLatin1Char(',');
    m_body += quote(k);
    m_body += QLatin1Char(':');
}

JsonWriter &JsonWriter::field(const QString &k, qint64 value)
{
    key(k);
    m_body += QString::number(value);
    return *this;
}

JsonWriter &JsonWriter::field(const QString &k, double value)
{
    key(k);
    m_body += QString::number(value, 'g', 17);
    return *this;
}

JsonWriter &JsonWriter::field(const QString &k, bool value)
{
    key(k);
    m_body += value ? QStringLiteral("true") : QStringLiteral("false");
    return *this;
}

JsonWriter &JsonWriter::field(const QString &k, const QString &value)
{
    key(k);
    m_body += quote(value);
    return *this;
}

JsonWriter &JsonWriter::null(const QString &k)
{
    key(k);
    m_body += QStringLiteral("null");
    return *this;
}

JsonWriter &JsonWriter::raw(const QString &k, const QString &json)
{
    key(k);
    m_body += json;
    return *this;
}

QString JsonWriter::quote(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out += QStringLiteral("\\\"");
            break;
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString taxItemJson(const std::unique_ptr<TaxItem> &item)
{
    if (!item)
        return QStringLiteral("null");
    JsonWriter w;
    w.field(QStringLiteral("amount"), item->amount)
        .field(QStringLiteral("tax"), item->tax)
        .field(QStringLiteral("afterTax"), item->afterTax);
    if (item->bracket)
        w.field(QStringLiteral("rate"), item->bracket->rate)
            .field(QStringLiteral("quickDeduction"), item->bracket->quickDeduction);
    else
        w.null(QStringLiteral("rate")).null(QStringLiteral("quickDeduction"));
    return w.finish();
}

void writeSalaryFields(JsonWriter &w, const Salary &s, Amount threshold, bool withProcessText)
{
    w.field(QStringLiteral("threshold"), threshold)
        .field(QStringLiteral("monthlyGross"), s.monthlyGross)
        .field(QStringLiteral("insurance"), s.insurance)
        .field(QStringLiteral("months"), s.months)
        .raw(QStringLiteral("monthly"), taxItemJson(s.monthly))
        .raw(QStringLiteral("bonus"), taxItemJson(s.bonus))
        .raw(QStringLiteral("annuity"), taxItemJson(s.annuity))
        .field(QStringLiteral("annualGross"), s.annualGross)
        .field(QStringLiteral("annualMonthlyTax"), s.annualMonthlyTax)
        .field(QStringLiteral("annualMonthlyAfterTax"), s.annualMonthlyAfterTax)
        .field(QStringLiteral("grossTotal"), s.grossTotal)
        .field(QStringLiteral("taxableTotal"), s.taxableTotal)
        .field(QStringLiteral("taxTotal"), s.taxTotal)
        .field(QStringLiteral("netTotal"), s.netTotal);
    if (withProcessText)
        w.field(QStringLiteral("processText"), s.processText);
}

QString salaryJson(const Salary &s, Amount threshold, bool withProcessText)
{
    JsonWriter w;
    writeSalaryFields(w, s, threshold, withProcessText);
    return w.finish();
}
