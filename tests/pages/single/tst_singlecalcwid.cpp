#include "pages/single/displaymemodlg.h"
#include "pages/single/singlecalcwid.h"
#include "pagetest.h"
#include "widgets/historylist.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace {

// The page's widgets, found the way a user sees them.
struct PageView
{
    explicit PageView(SingleCalcWid *page) : page(page)
    {
        const auto boxes = page->findChildren<QDoubleSpinBox *>();
        // Construction order: 月应发工资, 三险一金, 年终奖金, 企业年金.
        gross = boxes.at(0);
        insurance = boxes.at(1);
        bonus = boxes.at(2);
        annuity = boxes.at(3);
        for (QRadioButton *r : page->findChildren<QRadioButton *>())
            (r->text() == QStringLiteral("3500元") ? local : foreign) = r;
        for (QTableWidget *t : page->findChildren<QTableWidget *>())
            (t->columnCount() == 7 ? result : history) = t;
        for (QPushButton *b : page->findChildren<QPushButton *>()) {
            if (b->text() == QStringLiteral("计算"))
                calc = b;
            else if (b->text() == QStringLiteral("查看计算过程"))
                memo = b;
        }
    }
    QString cell(int r, int c) const { return result->item(r, c) ? result->item(r, c)->text() : QString(); }
    QStringList row(int r) const
    {
        QStringList texts;
        for (int c = 1; c <= 5; ++c)
            texts << cell(r, c);
        return texts;
    }
    QStringList allCells() const
    {
        QStringList texts;
        for (int r = 0; r < result->rowCount(); ++r)
            for (int c = 0; c < result->columnCount(); ++c)
                texts << cell(r, c);
        return texts;
    }
    SingleCalcWid *page;
    QDoubleSpinBox *gross = nullptr;
    QDoubleSpinBox *insurance = nullptr;
    QDoubleSpinBox *bonus = nullptr;
    QDoubleSpinBox *annuity = nullptr;
    QRadioButton *local = nullptr;
    QRadioButton *foreign = nullptr;
    QTableWidget *result = nullptr;
    QTableWidget *history = nullptr;
    QPushButton *calc = nullptr;
    QPushButton *memo = nullptr;
};

QStringList scFiles()
{
    return listHistoryFiles(historyDir(), QStringLiteral("*.sc"));
}

// Runs `action`, which opens a modal window; reads what the window shows and closes it.
QString modalText(const std::function<void()> &action, QString *title = nullptr)
{
    QString text;
    QTimer::singleShot(0, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (title)
            *title = modal->windowTitle();
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            text = box->text();
        else if (auto *dlg = qobject_cast<DisplayMemoDlg *>(modal))
            text = dlg->text();
        modal->close();
    });
    action();
    return text;
}

} // namespace

class TestSingleCalcWid : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void results_data();
    void results();
    void thresholdSwitchWaitsForCalc();
    void processDialog();
    void everyCalcAddsAnEntry();
    void thirteenthSaveDeletesOldestOnly();
    void startUpTrimsToTwelve();
    void loadRestoresWithoutRecalculating();
    void doubleClickOpensEntry();
    void badFilesChangeNothing_data();
    void badFilesChangeNothing();

private:
    pagetest::TemporaryHome m_home;
};

void TestSingleCalcWid::init()
{
    QVERIFY(m_home.renew());
}

void TestSingleCalcWid::results_data()
{
    QTest::addColumn<double>("gross");
    QTest::addColumn<double>("insurance");
    QTest::addColumn<double>("bonus");
    QTest::addColumn<double>("annuity");
    QTest::addColumn<bool>("foreign");
    QTest::addColumn<QStringList>("monthly");
    QTest::addColumn<QStringList>("bonusRow");
    QTest::addColumn<QStringList>("annuityRow");
    QTest::addColumn<QStringList>("total"); // 应税收入, 个人所得税, 实发数
    const QStringList empty(5);
    QTest::newRow("10000 less 1000 at 3500")
        << 10000.0 << 1000.0 << 0.0 << 0.0 << false << QStringList{"9,000", "545", "8,455", "20%", "555"}
        << empty << empty << QStringList{"9,000", "545", "8,455"};
    QTest::newRow("10000 less 1000 at 4800")
        << 10000.0 << 1000.0 << 0.0 << 0.0 << true << QStringList{"9,000", "315", "8,685", "10%", "105"}
        << empty << empty << QStringList{"9,000", "315", "8,685"};
    QTest::newRow("only a bonus of 24000, shortfall taken from it")
        << 0.0 << 0.0 << 24000.0 << 0.0 << false << empty
        << QStringList{"24,000", "1,945", "22,055", "10%", "105"} << empty
        << QStringList{"24,000", "1,945", "22,055"};
    QTest::newRow("bonus in the blind zone, fen exact")
        << 5000.0 << 0.0 << 18001.0 << 0.0 << false << QStringList{"5,000", "45", "4,955", "3%", "0"}
        << QStringList{"18,001", "1,695.1", "16,305.9", "10%", "105"} << empty
        << QStringList{"23,001", "1,740.1", "21,260.9"};
    // An item in no row of the table shows its figures but leaves rate and deduction empty.
    QTest::newRow("wage below the threshold, bonus absorbed")
        << 3000.0 << 0.0 << 400.0 << 1000.0 << false << QStringList{"3,000", "0", "3,000", "", ""}
        << QStringList{"400", "0", "400", "", ""} << QStringList{"1,000", "27", "973", "3%", "0"}
        << QStringList{"3,400", "27", "3,400"};
}

void TestSingleCalcWid::results()
{
    QFETCH(double, gross);
    QFETCH(double, insurance);
    QFETCH(double, bonus);
    QFETCH(double, annuity);
    QFETCH(bool, foreign);
    QFETCH(QStringList, monthly);
    QFETCH(QStringList, bonusRow);
    QFETCH(QStringList, annuityRow);
    QFETCH(QStringList, total);
    SingleCalcWid page;
    PageView v(&page);
    v.gross->setValue(gross);
    v.insurance->setValue(insurance);
    v.bonus->setValue(bonus);
    v.annuity->setValue(annuity);
    (foreign ? v.foreign : v.local)->setChecked(true);
    QTest::mouseClick(v.calc, Qt::LeftButton);
    QCOMPARE(v.row(0), monthly);
    QCOMPARE(v.row(1), bonusRow);
    QCOMPARE(v.row(2), annuityRow);
    QCOMPARE(v.row(3).mid(0, 3), total);
    QCOMPARE(v.cell(0, 0), QStringLiteral("月应发工资"));
    QCOMPARE(v.cell(3, 0), QStringLiteral("总计"));
    QCOMPARE(v.result->item(3, 1)->textAlignment(), int(Qt::AlignRight | Qt::AlignVCenter));
    QVERIFY(!page.processText().isEmpty());
}

void TestSingleCalcWid::thresholdSwitchWaitsForCalc()
{
    SingleCalcWid page;
    PageView v(&page);
    v.gross->setValue(10000);
    v.insurance->setValue(1000);
    page.calc();
    v.foreign->setChecked(true);
    QCOMPARE(v.cell(0, 2), QStringLiteral("545"));
    page.calc();
    QCOMPARE(v.cell(0, 2), QStringLiteral("315"));
}

void TestSingleCalcWid::processDialog()
{
    SingleCalcWid page;
    PageView v(&page);
    QString title;
    QCOMPARE(modalText([&] { QTest::mouseClick(v.memo, Qt::LeftButton); }, &title),
             QStringLiteral("查看计算过程前，请先计算薪资的个人所得税。"));
    QCOMPARE(title, QStringLiteral("信息提示"));
    // All inputs 0 still give a process text and the dialog opens with it.
    page.calc();
    QVERIFY(!page.processText().isEmpty());
    QCOMPARE(modalText([&] { page.browseCalculateMemo(); }, &title), page.processText());
    QCOMPARE(title, QStringLiteral("个税计算过程"));
}

void TestSingleCalcWid::everyCalcAddsAnEntry()
{
    SingleCalcWid page;
    PageView v(&page);
    v.gross->setValue(8000);
    v.bonus->setValue(2000);
    page.calc();
    v.bonus->setValue(3000);
    page.calc();
    // Two calculations within a second give two files, not one overwritten.
    QCOMPARE(scFiles().size(), 2);
    QCOMPARE(v.history->rowCount(), 2);
    QCOMPARE(v.history->item(0, 1)->text(), QStringLiteral("8,000"));
    QCOMPARE(v.history->item(0, 2)->text(), QStringLiteral("3,000"));
    QCOMPARE(v.history->item(1, 2)->text(), QStringLiteral("2,000"));
    QCOMPARE(historyPathAt(v.history, 0), scFiles().last());
}

void TestSingleCalcWid::thirteenthSaveDeletesOldestOnly()
{
    HistoryWriter planning(historyDir(), QStringLiteral("ssc"), 1, 1);
    QVERIFY(planning.commit());
    SingleCalcWid page;
    PageView v(&page);
    QStringList made;
    for (int i = 0; i < 13; ++i) {
        v.gross->setValue(1000 + i);
        page.calc();
        made << historyPathAt(v.history, 0);
    }
    QCOMPARE(v.history->rowCount(), 12);
    QVERIFY(!QFile::exists(made.first()));
    QCOMPARE(scFiles().size(), 12);
    QVERIFY(QFile::exists(planning.path()));
    QCOMPARE(v.history->item(11, 1)->text(), QStringLiteral("1,001"));
}

void TestSingleCalcWid::startUpTrimsToTwelve()
{
    const QDateTime start(QDate(2026, 1, 1), QTime(9, 0));
    for (int i = 0; i < 20; ++i) {
        HistoryWriter w(historyDir(), QStringLiteral("sc"), i, 0, start.addSecs(i * 3600));
        QVERIFY(w.commit());
    }
    SingleCalcWid page;
    PageView v(&page);
    QTRY_COMPARE(v.history->rowCount(), 12);
    QCOMPARE(scFiles().size(), 12);
    QCOMPARE(v.history->item(0, 1)->text(), QStringLiteral("19"));
    QCOMPARE(v.history->item(11, 1)->text(), QStringLiteral("8"));
}

void TestSingleCalcWid::loadRestoresWithoutRecalculating()
{
    QString path;
    QStringList saved;
    QString savedProcess;
    {
        SingleCalcWid page;
        PageView v(&page);
        v.gross->setValue(12000.5);
        v.insurance->setValue(800.25);
        v.bonus->setValue(30000);
        v.annuity->setValue(1200);
        v.foreign->setChecked(true);
        page.calc();
        path = historyPathAt(v.history, 0);
        saved = v.allCells();
        savedProcess = page.processText();
    }
    // Tamper with the stored table through the same writer: what shows must be what was stored.
    {
        SingleCalcWid page;
        PageView v(&page);
        page.load(path);
        QVERIFY(v.foreign->isChecked());
        QCOMPARE(v.gross->value(), 12000.5);
        QCOMPARE(v.insurance->value(), 800.25);
        QCOMPARE(v.bonus->value(), 30000.0);
        QCOMPARE(v.annuity->value(), 1200.0);
        QCOMPARE(v.allCells(), saved);
        QCOMPARE(page.processText(), savedProcess);
        QCOMPARE(scFiles().size(), 1); // loading writes no entry
    }
    {
        HistoryWriter w(historyDir(), QStringLiteral("sc"), 1, 2);
        QTableWidget table(4, 7);
        table.setItem(0, 1, new QTableWidgetItem(QStringLiteral("stored, not computed")));
        w.stream() << 3.0 << 4.0 << false << QStringLiteral("stored process");
        writeTableSnapshot(w.stream(), &table);
        QVERIFY(w.commit());
        SingleCalcWid page;
        PageView v(&page);
        page.load(w.path());
        QCOMPARE(v.cell(0, 1), QStringLiteral("stored, not computed"));
        QCOMPARE(page.processText(), QStringLiteral("stored process"));
        QCOMPARE(v.gross->value(), 1.0);
        QCOMPARE(v.bonus->value(), 2.0);
        QVERIFY(v.foreign->isChecked());
    }
}

void TestSingleCalcWid::doubleClickOpensEntry()
{
    SingleCalcWid page;
    PageView v(&page);
    v.gross->setValue(6000);
    page.calc();
    v.gross->setValue(0);
    page.openHistory(0, 2);
    QCOMPARE(v.gross->value(), 6000.0);
    page.openHistory(5, 0); // no such row: nothing happens
    QCOMPARE(v.gross->value(), 6000.0);
}

void TestSingleCalcWid::badFilesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QByteArray good;
    {
        QTemporaryDir home;
        qputenv("HOME", home.path().toLocal8Bit());
        SingleCalcWid page;
        PageView(&page).gross->setValue(5000);
        page.calc();
        QFile f(scFiles().first());
        if (f.open(QIODevice::ReadOnly))
            good = f.readAll();
    }
    QVERIFY(good.size() > 100);
    // The patched rows below find their fields by value; make sure they are there.
    QVERIFY(good.contains(QByteArray::fromHex("0000000400000007")));
    QVERIFY(good.contains(QByteArray::fromHex("40b3880000000000")));
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("text garbage") << QByteArray("this is not a history record at all\n").repeated(20);
    QTest::newRow("random bytes") << QByteArray::fromHex("ffffffff00000000deadbeef").repeated(50);
    for (qsizetype cut : {qsizetype(10), good.size() / 3, good.size() / 2, good.size() - 1})
        QTest::newRow(qPrintable(QStringLiteral("cut to %1 bytes").arg(cut))) << good.left(cut);
    auto patchedTable = [&](qint32 rows, qint32 columns) {
        // The counts sit right after the process text; find them by their known values.
        QByteArray b = good;
        const QByteArray counts = QByteArray::fromHex("0000000400000007");
        const qsizetype at = b.indexOf(counts);
        QByteArray repl;
        QDataStream s(&repl, QIODevice::WriteOnly);
        s << rows << columns;
        return at < 0 ? QByteArray() : b.replace(at, 8, repl);
    };
    QTest::newRow("three rows") << patchedTable(3, 7);
    QTest::newRow("a million rows") << patchedTable(1000000, 7);
    QTest::newRow("negative columns") << patchedTable(4, -7);
    QByteArray nan = good;
    const QByteArray fiveThousand = QByteArray::fromHex("40b3880000000000");
    nan.replace(nan.indexOf(fiveThousand), 8, QByteArray::fromHex("7ff8000000000000"));
    QTest::newRow("not a number as the wage") << nan;
}

void TestSingleCalcWid::badFilesChangeNothing()
{
    QFETCH(QByteArray, bytes);
    SingleCalcWid page;
    PageView v(&page);
    v.gross->setValue(10000);
    v.insurance->setValue(1000);
    v.foreign->setChecked(true);
    page.calc();
    const QStringList cells = v.allCells();
    const QString process = page.processText();

    const QString path = m_home.path() + QStringLiteral("/bad.sc");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    page.load(path);
    QCOMPARE(v.allCells(), cells);
    QCOMPARE(page.processText(), process);
    QCOMPARE(v.gross->value(), 10000.0);
    QCOMPARE(v.insurance->value(), 1000.0);
    QVERIFY(v.foreign->isChecked());
}

QTEST_MAIN(TestSingleCalcWid)
#include "tst_singlecalcwid.moc"
