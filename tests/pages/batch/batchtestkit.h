// Helpers the tests of the planning and apportionment pages share: catching message boxes,
// filling a source table as an import would, generated sheets, cell texts and asking lumo-cli.
#pragma once

#include "engine/amount.h"
#include "excel/cellkind.h"
#include "tests/childrun.h"
#include "tests/testkit.h"
#include "widgets/ptablewidget.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTableWidget>

namespace batchtest {

using testkit::MessageCatcher;
using testkit::numberItem;
using testkit::saveSeed;

struct Row
{
    QString code, name;
    double gross = 0, insurance = 0, bonus = 0;
};

// Code and name as texts, amounts as number cells (0 leaves the cell empty).
inline void fillSource(PTableWidget *table, const QList<Row> &rows)
{
    table->setRowCount(2 + int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        const Row &row = rows[i];
        table->setItem(i + 2, 0, new QTableWidgetItem(row.code, TextCell));
        table->setItem(i + 2, 1, new QTableWidgetItem(row.name, TextCell));
        const double amounts[] = {row.gross, row.insurance, row.bonus};
        for (int c = 0; c < 3; ++c) {
            if (amounts[c] != 0)
                table->setItem(i + 2, c + 2, numberItem(amounts[c]));
        }
    }
}

inline QList<Row> generatedRows(int count, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<Row> rows;
    for (int i = 0; i < count; ++i) {
        Row row;
        row.code = QString::number(1000 + i);
        row.name = QStringLiteral("员工%1").arg(i);
        auto yuan = [&](int maxYuan) { return random.bounded(maxYuan * 100 + 1) / 100.0; };
        row.gross = i % 17 == 3 ? 0 : yuan(i % 5 == 0 ? 60000 : 15000);
        row.insurance = i % 17 == 3 ? 0 : yuan(2000);
        row.bonus = i % 3 == 0 ? 0 : yuan(i % 2 ? 300000 : 60000);
        rows << row;
    }
    return rows;
}

inline QString cell(const QTableWidget *table, int row, int column)
{
    return testkit::cellText(table, row, column);
}

inline QStringList allTexts(const QTableWidget *table)
{
    QStringList texts;
    for (int r = 0; r < table->rowCount(); ++r)
        for (int c = 0; c < table->columnCount(); ++c) {
            const QTableWidgetItem *item = table->item(r, c);
            texts << cell(table, r, c) + u'|' + (item ? item->background().color().name() : QString()) +
                         u'|' + QLatin1String(item && item->font().bold() ? "b" : "");
        }
    return texts;
}

// One lumo-cli answer per input object, in order.
inline QList<QJsonObject> askCli(const QStringList &args, const QList<QJsonObject> &inputs)
{
    QByteArray lines;
    for (const QJsonObject &o : inputs)
        lines += QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
    const childrun::Result cli = childrun::run(QStringLiteral(LUMO_CLI_PATH), args, lines, 120000);
    if (cli.exitCode < 0)
        return {};
    QList<QJsonObject> answers;
    for (const QByteArray &line : cli.out.split('\n')) {
        if (!line.isEmpty())
            answers << QJsonDocument::fromJson(line).object();
    }
    return answers;
}

inline QString fen(const QJsonObject &o, const char *key)
{
    return formatAmount(qint64(o.value(QLatin1String(key)).toDouble()));
}

} // namespace batchtest
