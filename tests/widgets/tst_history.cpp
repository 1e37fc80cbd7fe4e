#include "widgets/historylist.h"
#include "widgets/historypanel.h"

#include <QApplication>
#include <QBrush>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDateTime kNoon(QDate(2026, 12, 8), QTime(12, 30, 45));

void touch(const QString &path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

QStringList namesIn(const QString &dir, const QString &filter)
{
    QStringList names;
    for (const QString &path : listHistoryFiles(dir, filter))
        names << path.mid(dir.size() + 1);
    return names;
}

// A record as a page writes it: the head, then one table.
QByteArray recordBytes(const QTableWidget &table)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(kHistoryStreamVersion);
    out << QStringLiteral("26-12-08 12:30") << 1.0 << 2.0;
    writeTableSnapshot(out, &table);
    return bytes;
}

bool readBack(const QString &path, const QByteArray &bytes, TableSnapshot *snapshot, qint32 maxRows = 100,
              qint32 maxColumns = 100)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(bytes);
    f.close();
    HistoryReader reader(path);
    return reader.ok() && readTableSnapshot(reader, maxRows, maxColumns, snapshot) && reader.finish();
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void historyDirIsUnderHome();
    void sameSecondGetsCounter();
    void listOrder_data();
    void listOrder();
    void fillKeepsNewestTwelve_data();
    void fillKeepsNewestTwelve();
    void addRowTrimsOnlyItsOwnList();
    void writerCommitsWholeFilesOnly();
    void repeatOfNewestIsNotWritten_data();
    void repeatOfNewestIsNotWritten();
    void headLayoutIsPinned();
    void itemStreamOfTheToolkitIsRead();
    void tableRoundTrip();
    void hostileTables_data();
    void hostileTables();
    void everyTruncationIsRejected();
    void listShowsFourDigitYears_data();
    void listShowsFourDigitYears();
    void listShowsWholeFigures_data();
    void listShowsWholeFigures();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestHistory::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv("HOME", m_dir->path().toLocal8Bit());
}

void TestHistory::historyDirIsUnderHome()
{
    const QString dir = historyDir();
    QCOMPARE(dir, m_dir->path() + QStringLiteral("/lumo/log/"));
    QVERIFY(QFileInfo(dir).isDir());
}

void TestHistory::sameSecondGetsCounter()
{
    const QString dir = historyDir();
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        HistoryWriter writer(dir, QStringLiteral("sc"), 1, 2, kNoon);
        QVERIFY(writer.commit());
        names << QFileInfo(writer.path()).fileName();
    }
    QCOMPARE(names, QStringList({QStringLiteral("261208123045.sc"), QStringLiteral("261208123045-1.sc"),
                                 QStringLiteral("261208123045-2.sc")}));
    // Another kind in the same second starts without a counter.
    HistoryWriter other(dir, QStringLiteral("ssc"), 1, 2, kNoon);
    QCOMPARE(QFileInfo(other.path()).fileName(), QStringLiteral("261208123045.ssc"));
}

void TestHistory::listOrder_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("timestamps in save order")
        << QStringList{"261208120000.sc", "251208120000.sc", "261108120000.sc"}
        << QStringList{"251208120000.sc", "261108120000.sc", "261208120000.sc"};
    QTest::newRow("counter follows the plain name") << QStringList{"261208120000-1.sc", "261208120000.sc"}
                                                    << QStringList{"261208120000.sc", "261208120000-1.sc"};
    QTest::newRow("counter compared as a number")
        << QStringList{"261208120000-10.sc", "261208120000-9.sc", "261208120000-2.sc"}
        << QStringList{"261208120000-2.sc", "261208120000-9.sc", "261208120000-10.sc"};
    QTest::newRow("other kinds left out")
        << QStringList{"261208120000.ssc", "261208120000.sc", "261208120000.bsc"}
        << QStringList{"261208120000.sc"};
    QTest::newRow("subdirectory after the directory")
        << QStringList{"sub/251208120000.sc", "261208120000.sc"}
        << QStringList{"261208120000.sc", "sub/251208120000.sc"};
}

void TestHistory::listOrder()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);
    const QString dir = m_dir->path() + QStringLiteral("/list");
    for (const QString &f : files) {
        QDir().mkpath(QFileInfo(dir + u'/' + f).absolutePath());
        touch(dir + u'/' + f);
    }
    QCOMPARE(namesIn(dir, QStringLiteral("*.sc")), expected);
}

void TestHistory::fillKeepsNewestTwelve_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("none") << 0;
    QTest::newRow("five") << 5;
    QTest::newRow("exactly twelve") << 12;
    QTest::newRow("twenty") << 20;
}

void TestHistory::fillKeepsNewestTwelve()
{
    QFETCH(int, count);
    const QString dir = historyDir();
    for (int i = 0; i < count; ++i) {
        HistoryWriter writer(dir, QStringLiteral("sc"), 1000 + i, 0.5, kNoon.addSecs(60 * i));
        QVERIFY(writer.commit());
    }
    HistoryWriter other(dir, QStringLiteral("ssc"), 1, 1, kNoon);
    QVERIFY(other.commit());

    QTableWidget list(0, 3);
    fillHistoryList(&list, dir, QStringLiteral("*.sc"));
    const int kept = std::min(count, kHistoryKeep);
    QCOMPARE(list.rowCount(), kept);
    QCOMPARE(listHistoryFiles(dir, QStringLiteral("*.sc")).size(), kept);
    QVERIFY(QFile::exists(other.path()));
    if (count > 0) {
        // Newest first, with the figures of its head.
        QCOMPARE(list.item(0, 1)->text(), historyFigureText(1000 + count - 1));
        QCOMPARE(list.item(0, 2)->text(), QStringLiteral("0.5"));
        // Shown with the four-digit year; the record keeps the two-digit one it always kept.
        QCOMPARE(list.item(0, 0)->text(),
                 kNoon.addSecs(60 * (count - 1)).toString(QStringLiteral("yyyy-MM-dd hh:mm")));
        QCOMPARE(list.item(kept - 1, 1)->text(), historyFigureText(1000 + count - kept));
        QVERIFY(QFile::exists(historyPathAt(&list, kept - 1)));
    }
}

void TestHistory::addRowTrimsOnlyItsOwnList()
{
    const QString dir = historyDir();
    QTableWidget list(0, 3);
    QStringList paths;
    HistoryWriter other(dir, QStringLiteral("ssc"), 1, 1, kNoon);
    QVERIFY(other.commit());
    for (int i = 0; i < 13; ++i) {
        HistoryWriter writer(dir, QStringLiteral("sc"), i, 0, kNoon);
        QVERIFY(writer.commit());
        addHistoryRow(&list, writer.path(), writer.timeText(), i, 0);
        paths << writer.path();
    }
    QCOMPARE(list.rowCount(), kHistoryKeep);
    QVERIFY(!QFile::exists(paths.first()));
    for (int i = 1; i < 13; ++i)
        QVERIFY(QFile::exists(paths.at(i)));
    QVERIFY(QFile::exists(other.path()));
    QCOMPARE(historyPathAt(&list, 0), paths.last());
    QCOMPARE(list.item(0, 1)->text(), QStringLiteral("12"));
}

void TestHistory::writerCommitsWholeFilesOnly()
{
    const QString missing = m_dir->path() + QStringLiteral("/no/such/dir");
    HistoryWriter writer(missing, QStringLiteral("sc"), 1, 2, kNoon);
    writer.stream() << QStringLiteral("body");
    QVERIFY(!writer.commit());
    QVERIFY(!QFile::exists(writer.path()));

    // Until commit nothing is visible under the final name.
    HistoryWriter pending(historyDir(), QStringLiteral("sc"), 1, 2, kNoon);
    pending.stream() << QStringLiteral("body");
    QVERIFY(!QFile::exists(pending.path()));
    QVERIFY(pending.commit());
    QVERIFY(QFile::exists(pending.path()));
}

void TestHistory::repeatOfNewestIsNotWritten_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<double>("value1");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("cut"); // bytes cut off the earlier file's end
    QTest::addColumn<bool>("repeats");
    const QDateTime later = kNoon.addSecs(3600);
    QTest::newRow("same record, same minute") << kNoon << 1.0 << "body" << 0 << true;
    QTest::newRow("same record, an hour later") << later << 1.0 << "body" << 0 << true;
    QTest::newRow("another head figure") << kNoon << 1.01 << "body" << 0 << false;
    QTest::newRow("another field") << kNoon << 1.0 << "bodz" << 0 << false;
    QTest::newRow("a longer field") << kNoon << 1.0 << "body!" << 0 << false;
    QTest::newRow("earlier file cut short") << kNoon << 1.0 << "body" << 2 << false;
}

void TestHistory::repeatOfNewestIsNotWritten()
{
    QFETCH(QDateTime, when);
    QFETCH(double, value1);
    QFETCH(QString, field);
    QFETCH(int, cut);
    QFETCH(bool, repeats);
    QTableWidget table(2, 2);
    table.setItem(1, 1, new QTableWidgetItem(QStringLiteral("45")));
    QTableWidget list(0, 3);
    HistoryWriter first(historyDir(), QStringLiteral("sc"), 1, 2, kNoon);
    first.stream() << QStringLiteral("body");
    writeTableSnapshot(first.stream(), &table);
    QVERIFY(addHistoryEntry(&list, first));
    if (cut > 0) {
        QFile f(first.path());
        QVERIFY(f.resize(f.size() - cut));
    }
    HistoryWriter second(historyDir(), QStringLiteral("sc"), value1, 2, when);
    second.stream() << field;
    writeTableSnapshot(second.stream(), &table);
    QCOMPARE(second.repeats(first.path()), repeats);
    QCOMPARE(addHistoryEntry(&list, second), !repeats);
    QCOMPARE(list.rowCount(), repeats ? 1 : 2);
    QCOMPARE(listHistoryFiles(historyDir(), QStringLiteral("*.sc")).size(), repeats ? 1 : 2);
    QCOMPARE(QFile::exists(second.path()), !repeats);
    // A missing file is never a repeat.
    QVERIFY(!second.repeats(historyDir() + QStringLiteral("gone.sc")));
}

void TestHistory::headLayoutIsPinned()
{
    HistoryWriter writer(historyDir(), QStringLiteral("sc"), 1.5, 0, kNoon);
    QCOMPARE(writer.stream().version(), int(QDataStream::Qt_6_4));
    QVERIFY(writer.commit());
    QFile f(writer.path());
    QVERIFY(f.open(QIODevice::ReadOnly));
    // "26-12-08 12:30" as big-endian UTF-16 behind its byte length, then the two doubles.
    const QByteArray expected = QByteArray::fromHex("0000001c"
                                                    "00320036002d00310032002d00300038002000310032003a00330030"
                                                    "3ff8000000000000"
                                                    "0000000000000000");
    QCOMPARE(f.readAll().toHex(), expected.toHex());
}

void TestHistory::itemStreamOfTheToolkitIsRead()
{
    // A cell written by the table item class itself must read back: the format is shared.
    QTableWidgetItem item(QStringLiteral("8,455"));
    item.setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    item.setBackground(QColor(255, 204, 51));
    item.setForeground(QColor(Qt::red));
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(kHistoryStreamVersion);
        out << QStringLiteral("t") << 0.0 << 0.0 << qint32(1) << qint32(1);
        item.write(out);
    }
    TableSnapshot snapshot;
    QVERIFY(readBack(m_dir->path() + QStringLiteral("/item.sc"), bytes, &snapshot));
    QTableWidget table;
    applyTableSnapshot(&table, snapshot);
    QCOMPARE(table.item(0, 0)->text(), QStringLiteral("8,455"));
    QCOMPARE(table.item(0, 0)->textAlignment(), int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(table.item(0, 0)->background().color(), QColor(255, 204, 51));
    QCOMPARE(table.item(0, 0)->foreground().color(), QColor(Qt::red));
}

void TestHistory::tableRoundTrip()
{
    QTableWidget table(3, 2);
    table.setItem(0, 0, new QTableWidgetItem(QStringLiteral("月应发工资")));
    auto *amount = new QTableWidgetItem(QStringLiteral("9,000"));
    amount->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    amount->setData(Qt::UserRole + 7, 42);
    table.setItem(0, 1, amount);
    auto *font = new QTableWidgetItem(QStringLiteral("bold"));
    font->setFont(QFont(QStringLiteral("Sans"), 20));
    table.setItem(2, 1, font);
    // (1, 0), (1, 1) and (2, 0) are missing and come back as empty cells.
    TableSnapshot snapshot;
    QVERIFY(readBack(m_dir->path() + QStringLiteral("/round.sc"), recordBytes(table), &snapshot));
    QTableWidget restored;
    applyTableSnapshot(&restored, snapshot);
    QCOMPARE(restored.rowCount(), 3);
    QCOMPARE(restored.columnCount(), 2);
    QCOMPARE(restored.item(0, 0)->text(), QStringLiteral("月应发工资"));
    QCOMPARE(restored.item(0, 1)->text(), QStringLiteral("9,000"));
    QCOMPARE(restored.item(0, 1)->textAlignment(), int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(restored.item(0, 1)->data(Qt::UserRole + 7).toInt(), 42);
    QCOMPARE(restored.item(1, 1)->text(), QString());
    // Fonts are not stored (their stream holds lists no reader could bound); the text is.
    QCOMPARE(restored.item(2, 1)->text(), QStringLiteral("bold"));
}

void TestHistory::hostileTables_data()
{
    QTest::addColumn<QByteArray>("body"); // after the head
    QTest::addColumn<int>("maxRows");
    auto be32 = [](quint32 v) {
        QByteArray b;
        QDataStream s(&b, QIODevice::WriteOnly);
        s << v;
        return b;
    };
    QTest::newRow("nothing after the head") << QByteArray() << 100;
    QTest::newRow("rows over the page's limit") << be32(5) + be32(7) << 4;
    QTest::newRow("negative rows") << be32(quint32(-1)) + be32(7) << 100;
    QTest::newRow("a billion cells in a small file") << be32(40000) + be32(30000) << 100000;
    QTest::newRow("role count of four billion") << be32(1) + be32(1) + be32(0xfffffff0u) << 100;
    QTest::newRow("role count over the cell limit")
        << be32(1) + be32(1) + be32(65) + QByteArray(2000, '\0') << 100;
    // Role 0 with a font value: its stream holds an unchecked list count.
    QTest::newRow("font value") << be32(1) + be32(1) + be32(1) + be32(0) + be32(QMetaType::QFont) +
                                       QByteArray(1, '\0') + QByteArray(64, '\xff')
                                << 100;
    QTest::newRow("image value") << be32(1) + be32(1) + be32(1) + be32(0) + be32(QMetaType::QImage) +
                                        QByteArray(1, '\0') + QByteArray(64, '\0')
                                 << 100;
    QTest::newRow("user type value") << be32(1) + be32(1) + be32(1) + be32(0) + be32(QMetaType::User) +
                                            QByteArray(1, '\0') + be32(0x7fffffff)
                                     << 100;
    // A gradient brush: style 15 carries a stop list.
    QTest::newRow("gradient brush") << be32(1) + be32(1) + be32(1) + be32(8) + be32(QMetaType::QBrush) +
                                           QByteArray(1, '\0') + QByteArray(1, '\x0f') +
                                           QByteArray(200, '\xff')
                                    << 100;
    QTest::newRow("string longer than the file")
        << be32(1) + be32(1) + be32(1) + be32(0) + be32(QMetaType::QString) + QByteArray(1, '\0') +
               be32(0x7ffffffe) + QByteArray(10, 'a')
        << 100;
}

void TestHistory::hostileTables()
{
    QFETCH(QByteArray, body);
    QFETCH(int, maxRows);
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(kHistoryStreamVersion);
        out << QStringLiteral("26-12-08 12:30") << 1.0 << 2.0;
    }
    TableSnapshot snapshot;
    snapshot.rows = -7; // untouched on failure
    QVERIFY(!readBack(m_dir->path() + QStringLiteral("/bad.sc"), bytes + body, &snapshot, maxRows, 100000));
    QCOMPARE(snapshot.rows, -7);
}

void TestHistory::everyTruncationIsRejected()
{
    QTableWidget table(2, 3);
    for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 3; ++c) {
            auto *item = new QTableWidgetItem(QStringLiteral("%1-%2").arg(r).arg(c));
            item->setBackground(QColor(255, 204, 51));
            table.setItem(r, c, item);
        }
    }
    const QByteArray bytes = recordBytes(table);
    const QString path = m_dir->path() + QStringLiteral("/cut.sc");
    TableSnapshot whole;
    QVERIFY(readBack(path, bytes, &whole));
    for (qsizetype n = 0; n < bytes.size(); ++n) {
        TableSnapshot snapshot;
        if (readBack(path, bytes.left(n), &snapshot))
            QFAIL(qPrintable(QStringLiteral("a record cut to %1 bytes was accepted").arg(n)));
    }
}

QTEST_MAIN(TestHistory)
#include "tst_history.moc"

void TestHistory::listShowsFourDigitYears_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("two-digit year of every record") << "26-12-10 08:00"
                                                    << "2026-12-10 08:00";
    QTest::newRow("four digits already") << "2026-12-10 08:00"
                                         << "2026-12-10 08:00";
    QTest::newRow("seconds: not the record format") << "26-12-10 08:00:01"
                                                    << "26-12-10 08:00:01";
    QTest::newRow("damaged text as it is") << "x6-12-10 08:00"
                                           << "x6-12-10 08:00";
    QTest::newRow("empty") << ""
                           << "";
}

void TestHistory::listShowsFourDigitYears()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QCOMPARE(historyTimeDisplay(stored), shown);
    // A record as written keeps its stored time; the list shows it with the four-digit year.
    QTableWidget list(0, 3);
    addHistoryRow(&list, m_dir->path() + QStringLiteral("/a.sc"), stored, 1, 2);
    QCOMPARE(list.item(0, 0)->text(), shown);
}

void TestHistory::listShowsWholeFigures_data()
{
    QTest::addColumn<double>("value1");
    QTest::addColumn<double>("value2");
    QTest::addColumn<int>("panelWidth");
    QTest::newRow("largest figures in a narrow box") << 999999999.99 << 452749823.45 << 260;
    QTest::newRow("large second figure") << 12.5 << 452749823.45 << 300;
    QTest::newRow("small figures: last column fills the box") << 1.0 << 2.0 << 400;
}

void TestHistory::listShowsWholeFigures()
{
    QFETCH(double, value1);
    QFETCH(double, value2);
    QFETCH(int, panelWidth);
    HistoryPanel panel({QStringLiteral("时间"), QStringLiteral("个人所得税"), QStringLiteral("实发数")},
                       {85, 82, 82});
    panel.resize(panelWidth, 300);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QTableWidget *list = panel.list();
    addHistoryRow(list, m_dir->path() + QStringLiteral("/a.bc"), QStringLiteral("26-12-10 08:00"), 1, 1);
    addHistoryRow(list, m_dir->path() + QStringLiteral("/b.bc"), QStringLiteral("26-12-10 09:00"), value1,
                  value2);
    QApplication::processEvents();
    int total = 0;
    for (int c = 0; c < 3; ++c) {
        const QTableWidgetItem *item = list->item(0, c);
        // Nothing elided: the column holds the whole text with the cell's margins.
        const QFontMetrics metrics(list->font());
        QVERIFY2(list->columnWidth(c) >= metrics.horizontalAdvance(item->text()) + 8,
                 qPrintable(item->text()));
        QCOMPARE(item->toolTip(), item->text());
        total += list->columnWidth(c);
    }
    QVERIFY(total >= list->viewport()->width());
}
