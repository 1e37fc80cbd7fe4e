// Helpers the tests of the planning and apportionment pages share: catching message boxes,
// filling a source table as an import would, generated sheets, cell texts and asking lumo-cli.
#pragma once

#include "excel/cellkind.h"
#include "pages/batch/ptablewidget.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QProcess>
#include <QRandomGenerator>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace batchtest {

// Catches every message box the page opens, keeps its text and closes it.
class MessageCatcher : public QObject
{
public:
    MessageCatcher()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                m_texts << box->text();
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start(5);
    }
    QStringList takeAll() { return std::exchange(m_texts, {}); }
    bool waitForMessage(int ms = 120000)
    {
        return QTest::qWaitFor([this] { return !m_texts.isEmpty(); }, ms);
    }

private:
    QTimer m_timer;
    QStringList m_texts;
};

struct Row
{
    QString code, name;
    double gross = 0, insurance = 0, bonus = 0;
};

inline QTableWidgetItem *numberItem(double yuan)
{
    auto *item = new QTableWidgetItem(QString::number(yuan, 'f', 2), NumberCell);
    item->setData(kCellNumberRole, yuan);
    return item;
}

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
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
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
    QProcess cli;
    cli.start(QStringLiteral(LUMO_CLI_PATH), args);
    if (!cli.waitForStarted())
        return {};
    cli.write(lines);
    cli.closeWriteChannel();
    if (!cli.waitForFinished(120000))
        return {};
    QList<QJsonObject> answers;
    for (const QByteArray &line : cli.readAllStandardOutput().split('\n')) {
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

namespace batchtest {

// With LUMO_FUZZ_SEED_DIR set, keeps a record the test wrote (or damaged) as a seed of the history
// fuzz target.
inline void saveSeed(const QString &name, const QByteArray &bytes)
{
    const QString dir = qEnvironmentVariable("LUMO_FUZZ_SEED_DIR");
    if (dir.isEmpty() || bytes.isEmpty())
        return;
    QDir().mkpath(dir);
    QFile file(dir + u'/' + name);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

} // namespace batchtest
