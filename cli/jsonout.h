// JSON output of lumo-cli. Objects keep their keys in the order they are written, so the output
// reads in the same order as the screens and the documentation.
#pragma once

#include "engine/salary.h"

#include <QString>
#include <QStringList>

class JsonWriter
{
public:
    JsonWriter &field(const QString &key, qint64 value);
    JsonWriter &field(const QString &key, int value) { return field(key, static_cast<qint64>(value)); }
    JsonWriter &field(const QString &key, double value);
    JsonWriter &field(const QString &key, bool value);
    JsonWriter &field(const QString &key, const QString &value);
    JsonWriter &field(const QString &key, const char *) = delete; // say what the text is
    JsonWriter &null(const QString &key);
    // `json` must already be valid JSON (an object, an array, null).
    JsonWriter &raw(const QString &key, const QString &json);
    QString finish() const { return QLatin1Char('{') + m_body + QLatin1Char('}'); }

    static QString quote(const QString &text);

private:
    void key(const QString &key);
    QString m_body;
};

// The object of one tax item: amount, tax, afterTax (fen), rate (percent) and quickDeduction (fen),
// or null for an absent item.
QString taxItemJson(const std::unique_ptr<TaxItem> &item);

// The fields of a calculated salary in the order of lumo-cli calc --json, threshold first.
void writeSalaryFields(JsonWriter &w, const Salary &s, Amount threshold, bool withProcessText = true);
QString salaryJson(const Salary &s, Amount threshold, bool withProcessText = true);

// The array of cells a run left out, one object each: row, column, text, reason. For every kind of
// such cell (an unreadable amount, a payroll row with a problem), which name these fields alike.
template<typename Cells> QString cellProblemsJson(const Cells &cells)
{
    QStringList items;
    for (const auto &c : cells) {
        JsonWriter w;
        w.field(QStringLiteral("row"), c.sheetRow)
            .field(QStringLiteral("column"), c.column)
            .field(QStringLiteral("text"), c.text)
            .field(QStringLiteral("reason"), c.reason);
        items << w.finish();
    }
    return QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']');
}
