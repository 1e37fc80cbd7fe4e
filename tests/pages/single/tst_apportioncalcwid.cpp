#include "pages/single/apportioncalcwid.h"
#include "pagetest.h"
#include "widgets/historylist.h"

#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

using namespace pagetest;

namespace {

struct ApportionView
{
    explicit ApportionView(ApportionCalcWid *page)
        : page(page), wage(inputFor<QDoubleSpinBox>(page, QStringLiteral("月应发工资"))),
          insurance(inputFor<QDoubleSpinBox>(page, QStringLiteral("三险一金"))),
          bonus(inputFor<QDoubleSpinBox>(page, QStringLiteral("奖金金额"))),
          months(inputFor<QSpinBox>(page, QStringLiteral("分摊月数"))),
          calc(buttonFor<QPushButton>(page, QStringLiteral("分摊"))),
          local(buttonFor<QRadioButton>(page, QStringLiteral("3500元"))),
          foreign(buttonFor<QRadioButton>(page, QStringLiteral("4800元(外籍人员)"))),
          taxDecrease(valueBeside(page, QStringLiteral("个人所得税减少："))),
          netIncrease(valueBeside(page, QStringLiteral("税后收入增加：")))
    {
        for (QTableWidget *t : page->findChildren<QTableWidget *>())
            (t->columnCount() == 10 ? result : history) = t;
    }
    // Columns 1–8 of a value row.
    QStringList row(int r) const { return rowTexts(result, r, 1, 8); }
    void enter(double w, double i, double b, int n) const
    {
        wage->setValue(w);
        insurance->setValue(i);
        bonus->setValue(b);
        months->setValue(n);
    }

    ApportionCalcWid *page;
    QDoubleSpinBox *wage;
    QDoubleSpinBox *insurance;
    QDoubleSpinBox *bonus;
    QSpinBox *months;
    QPushButton *calc;
    QRadioButton *local;
    QRadioButton *foreign;
    QLabel *taxDecrease;
    QLabel *netIncrease;
    QTableWidget *result = nullptr;
    QTableWidget *history = nullptr;
};

// One hand-written "*.ac" record; each bad-file row spoils one field of an otherwise sound one.
struct Record
{
    double wage = 100;
    double insurance = 10;
    double bonus = 1000;
    bool local = false;
    qint32 months = 7;
    QString taxDecrease = QStringLiteral("hidden 1");
    QString netIncrease = QStringLiteral("shown 2");
    qint32 rows = 4;
    qint32 columns = 10;

    QString write() const
    {
        HistoryWriter w(historyDir(), ApportionCalcWid::extension(), 3, 4);
        w.stream() << wage << insurance << bonus << local << months << taxDecrease << netIncrease;
        writeTableClaiming(w.stream(), rows, columns, 4, 10);
        return w.commit() ? w.path() : QString();
    }
};

} // namespace

class TestApportionCalcWid : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void initialLook();
    void spreads_data();
    void spreads();
    void onlyTheGainIsShown();
    void historyListShowsGainAndTaxDecrease();
    void historyReloadsWhatWasShown();
    void goodRecordLoadsAsStored();
    void badFilesChangeNothing_data();
    void badFilesChangeNothing();

private:
    pagetest::TemporaryHome m_home;
};

void TestApportionCalcWid::init()
{
    QVERIFY(m_home.renew());
}

void TestApportionCalcWid::initialLook()
{
    ApportionCalcWid page;
    ApportionView v(&page);
    QVERIFY(v.wage && v.insurance && v.bonus && v.months && v.calc && v.taxDecrease && v.netIncrease);
    QCOMPARE(v.months->value(), 3);
    QCOMPARE(v.months->minimum(), 1);
    QCOMPARE(v.months->maximum(), 12);
    QVERIFY(v.local->isChecked());
    QCOMPARE(v.result->rowCount(), 4);
    QStringList letters;
    for (int c = 0; c < 10; ++c)
        letters << v.result->horizontalHeaderItem(c)->text();
    QCOMPARE(letters.join(QString()), QStringLiteral("ABCDEFGHIJ"));
    // The longer captions break into two lines; the words are these.
    QCOMPARE(rowTexts(v.result, 0, 0, 9).replaceInStrings(QStringLiteral("\n"), QString()),
             (QStringList{"分摊前", "个人所得税合计", "实发数合计", "当月应税收入", "当月奖金",
                          "当月个人所得税", "当月实发数", "税率", "速算扣除数"}));
    QCOMPARE(rowTexts(v.result, 2, 0, 9).replaceInStrings(QStringLiteral("\n"), QString()),
             (QStringList{"分摊后", "个人所得税合计", "实发数合计", "每月应税收入", "每月奖金",
                          "每月个人所得税", "每月实发数", "税率", "速算扣除数"}));
    QCOMPARE(v.result->item(0, 3)->textAlignment(), int(Qt::AlignCenter));
    QCOMPARE(v.row(1), QStringList(8));
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 10; ++c) {
            const QTableWidgetItem *item = v.result->item(r, c);
            QVERIFY(item);
            QCOMPARE(item->background().color() == QColor(255, 204, 51), r >= 2);
        }
    }
    QVERIFY(v.netIncrease->isHidden());
    QVERIFY(v.taxDecrease->isHidden());
}

void TestApportionCalcWid::spreads_data()
{
    QTest::addColumn<double>("wage");
    QTest::addColumn<double>("insurance");
    QTest::addColumn<double>("bonus");
    QTest::addColumn<int>("months");
    QTest::addColumn<bool>("foreign");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("netIncrease");
    QTest::addColumn<QString>("taxDecrease");

    QTest::newRow("6000 over 3 months saves 380")
        << 5800.0 << 0.0 << 6000.0 << 3 << false
        << QStringList{"1,355", "22,045", "5,800", "6,000", "1,105", "10,695", "20%", "555"}
        << QStringList{"975", "22,425", "5,800", "2,000", "325", "7,475", "10%", "105"}
        << QStringLiteral("380") << QStringLiteral("380");
    const QStringList oneMonth{"1,105", "10,695", "5,800", "6,000", "1,105", "10,695", "20%", "555"};
    QTest::newRow("one month changes nothing") << 5800.0 << 0.0 << 6000.0 << 1 << false << oneMonth
                                               << oneMonth << QStringLiteral("0") << QStringLiteral("0");
    QTest::newRow("no bonus") << 8000.0 << 0.0 << 0.0 << 3 << false
                              << QStringList{"1,035", "22,965", "8,000", "0", "345", "7,655", "10%", "105"}
                              << QStringList{"1,035", "22,965", "8,000", "0", "345", "7,655", "10%", "105"}
                              << QStringLiteral("0") << QStringLiteral("0");
    QTest::newRow("1000 over 3 months: a share of 333.33")
        << 5000.0 << 0.0 << 1000.0 << 3 << false
        << QStringList{"235", "15,765", "5,000", "1,000", "145", "5,855", "10%", "105"}
        << QStringList{"234.99", "15,765.01", "5,000", "333.33", "78.33", "5,255", "10%", "105"}
        << QStringLiteral("0.01") << QStringLiteral("0.01");
    QTest::newRow("insurance above the wage, at 4800")
        << 3000.0 << 4000.0 << 9000.0 << 3 << true
        << QStringList{"215", "5,785", "0", "9,000", "215", "7,785", "10%", "105"}
        << QStringList{"0", "6,000", "0", "3,000", "0", "2,000", "", ""} << QStringLiteral("215")
        << QStringLiteral("215");
}

void TestApportionCalcWid::spreads()
{
    QFETCH(double, wage);
    QFETCH(double, insurance);
    QFETCH(double, bonus);
    QFETCH(int, months);
    QFETCH(bool, foreign);
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(QString, netIncrease);
    QFETCH(QString, taxDecrease);
    ApportionCalcWid page;
    ApportionView v(&page);
    v.enter(wage, insurance, bonus, months);
    (foreign ? v.foreign : v.local)->setChecked(true);
    QTest::mouseClick(v.calc, Qt::LeftButton);
    QCOMPARE(v.row(1), before);
    QCOMPARE(v.row(3), after);
    QCOMPARE(v.netIncrease->text(), netIncrease);
    QCOMPARE(v.taxDecrease->text(), taxDecrease);
    QCOMPARE(v.result->item(1, 1)->textAlignment(), int(Qt::AlignRight | Qt::AlignVCenter));
    // New texts keep the tint of the "after" rows.
    QCOMPARE(v.result->item(3, 4)->background().color(), QColor(255, 204, 51));
    QCOMPARE(cell(v.result, 2, 0), QStringLiteral("分摊后"));
    QCOMPARE(historyFiles(QStringLiteral("ac")).size(), 1);
}

void TestApportionCalcWid::onlyTheGainIsShown()
{
    ApportionCalcWid page;
    ApportionView v(&page);
    v.enter(5800, 0, 6000, 3);
    page.calc();
    QVERIFY(!v.netIncrease->isHidden());
    QVERIFY(v.taxDecrease->isHidden());
    QCOMPARE(v.taxDecrease->text(), QStringLiteral("380"));
}

void TestApportionCalcWid::historyListShowsGainAndTaxDecrease()
{
    ApportionCalcWid page;
    ApportionView v(&page);
    // Pay is the same before and after, so the gain is the tax saved: both columns show it (the
    // insurance above the wage is deducted from the net pay before as after).
    v.enter(3000, 4000, 9000, 3);
    v.foreign->setChecked(true);
    page.calc();
    QCOMPARE(v.history->horizontalHeaderItem(1)->text(), QStringLiteral("税后收入增加"));
    QCOMPARE(v.history->horizontalHeaderItem(2)->text(), QStringLiteral("个税减少"));
    QCOMPARE(rowTexts(v.history, 0, 1, 2), (QStringList{"215", "215"}));
    HistoryHead head;
    QVERIFY(readHistoryHead(historyPathAt(v.history, 0), &head));
    QCOMPARE(head.value1, 215.0);
    QCOMPARE(head.value2, 215.0);
}

void TestApportionCalcWid::historyReloadsWhatWasShown()
{
    QString path;
    QStringList cells;
    {
        ApportionCalcWid page;
        ApportionView v(&page);
        v.enter(5800.55, 120.3, 6000.07, 5);
        v.foreign->setChecked(true);
        page.calc();
        path = historyPathAt(v.history, 0);
        cells = allCells(v.result);
    }
    ApportionCalcWid page;
    ApportionView v(&page);
    QTRY_COMPARE(v.history->rowCount(), 1);
    page.openHistory(0, 0);
    QCOMPARE(v.wage->value(), 5800.55);
    QCOMPARE(v.insurance->value(), 120.3);
    QCOMPARE(v.bonus->value(), 6000.07);
    QCOMPARE(v.months->value(), 5);
    QVERIFY(v.foreign->isChecked());
    QCOMPARE(allCells(v.result), cells);
    QCOMPARE(v.result->item(2, 0)->background().color(), QColor(255, 204, 51));
    QVERIFY(!v.netIncrease->isHidden());
    QVERIFY(v.taxDecrease->isHidden());
    QCOMPARE(historyPathAt(v.history, 0), path);
    QCOMPARE(historyFiles(QStringLiteral("ac")).size(), 1);
}

void TestApportionCalcWid::goodRecordLoadsAsStored()
{
    const QString path = Record().write();
    ApportionCalcWid page;
    ApportionView v(&page);
    page.load(path);
    QCOMPARE(cell(v.result, 3, 4), QStringLiteral("r3c4"));
    QCOMPARE(v.netIncrease->text(), QStringLiteral("shown 2"));
    // Hidden, yet restored, so a later save records it again.
    QCOMPARE(v.taxDecrease->text(), QStringLiteral("hidden 1"));
    QVERIFY(v.taxDecrease->isHidden());
    QCOMPARE(v.months->value(), 7);
    QCOMPARE(v.wage->value(), 100.0);
    QVERIFY(v.foreign->isChecked());
}

void TestApportionCalcWid::badFilesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    auto bytesOf = [](const Record &r) { return fileBytes(r.write()); };
    const QByteArray good = bytesOf(Record());
    QVERIFY(good.size() > 200);
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("random bytes") << QByteArray::fromHex("7fffffff00ff00ffdeadbeef").repeated(40);
    for (qsizetype cut : {qsizetype(30), good.size() / 3, good.size() - 1})
        QTest::newRow(qPrintable(QStringLiteral("cut to %1 bytes").arg(cut))) << good.left(cut);
    Record r;
    r.months = 0;
    QTest::newRow("zero months") << bytesOf(r);
    r = Record();
    r.months = 99;
    QTest::newRow("99 months") << bytesOf(r);
    r = Record();
    r.wage = 1e12;
    QTest::newRow("wage above the input range") << bytesOf(r);
    r = Record();
    r.insurance = std::numeric_limits<double>::infinity();
    QTest::newRow("infinite insurance") << bytesOf(r);
    r = Record();
    r.columns = 7;
    QTest::newRow("seven columns") << bytesOf(r);
    r = Record();
    r.rows = 1 << 30;
    QTest::newRow("a billion rows claimed") << bytesOf(r);
}

void TestApportionCalcWid::badFilesChangeNothing()
{
    QFETCH(QByteArray, bytes);
    ApportionCalcWid page;
    ApportionView v(&page);
    v.enter(5800, 0, 6000, 3);
    page.calc();
    const QStringList cells = allCells(v.result);

    const QString path = m_home.path() + QStringLiteral("/bad.ac");
    QVERIFY(writeBytes(path, bytes));
    page.load(path);
    QCOMPARE(allCells(v.result), cells);
    QCOMPARE(v.netIncrease->text(), QStringLiteral("380"));
    QCOMPARE(v.taxDecrease->text(), QStringLiteral("380"));
    QCOMPARE(v.wage->value(), 5800.0);
    QCOMPARE(v.months->value(), 3);
    QVERIFY(v.local->isChecked());
}

QTEST_MAIN(TestApportionCalcWid)
#include "tst_apportioncalcwid.moc"
