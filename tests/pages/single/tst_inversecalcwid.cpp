#include "pages/single/inversecalcwid.h"
#include "pagetest.h"
#include "widgets/historylist.h"

#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>

using namespace pagetest;

namespace {

const QString kEmployerCaption = QStringLiteral("单位年承担三险一金总额：");

struct InverseView
{
    explicit InverseView(InverseCalcWid *page)
        : page(page), netAnnualMode(buttonFor<QRadioButton>(page, QStringLiteral("不含税年收入反算"))),
          grossAnnualMode(buttonFor<QRadioButton>(page, QStringLiteral("含税年收入反算"))),
          netMonthMode(buttonFor<QRadioButton>(page, QStringLiteral("月收入年终奖反算"))),
          netAnnual(inputFor<QDoubleSpinBox>(page, QStringLiteral("全年税后收入："))),
          employer(inputFor<QDoubleSpinBox>(page, kEmployerCaption)),
          grossAnnual(inputFor<QDoubleSpinBox>(page, QStringLiteral("全年税前计税收入："))),
          netMonth(inputFor<QDoubleSpinBox>(page, QStringLiteral("税后月收入："))),
          netBonus(inputFor<QDoubleSpinBox>(page, QStringLiteral("税后年终奖："))),
          calc(buttonFor<QPushButton>(page, QStringLiteral("计算"))),
          local(buttonFor<QRadioButton>(page, QStringLiteral("3500元"))),
          foreign(buttonFor<QRadioButton>(page, QStringLiteral("4800元(外籍人员)"))),
          taxTotal(valueBeside(page, QStringLiteral("全年个税总计："))),
          employerTotal(valueBeside(page, kEmployerCaption)),
          expenseTotal(valueBeside(page, QStringLiteral("单位支出总额：")))
    {
        for (QTableWidget *t : page->findChildren<QTableWidget *>())
            (t->columnCount() == 7 ? result : history) = t;
    }
    QStringList labels() const { return {taxTotal->text(), employerTotal->text(), expenseTotal->text()}; }
    // Columns 1–5 of a row.
    QStringList row(int r) const { return rowTexts(result, r, 1, 5); }
    // Which inputs a user can see, in the order 全年税后收入, 全年税前计税收入, 税后月收入, 税后年终奖.
    QList<bool> shownInputs() const
    {
        return {!netAnnual->isHidden(), !grossAnnual->isHidden(), !netMonth->isHidden(),
                !netBonus->isHidden()};
    }

    InverseCalcWid *page;
    QRadioButton *netAnnualMode;
    QRadioButton *grossAnnualMode;
    QRadioButton *netMonthMode;
    QDoubleSpinBox *netAnnual;
    QDoubleSpinBox *employer;
    QDoubleSpinBox *grossAnnual;
    QDoubleSpinBox *netMonth;
    QDoubleSpinBox *netBonus;
    QPushButton *calc;
    QRadioButton *local;
    QRadioButton *foreign;
    QLabel *taxTotal;
    QLabel *employerTotal;
    QLabel *expenseTotal;
    QTableWidget *result = nullptr;
    QTableWidget *history = nullptr;
};

// One hand-written "*.ic" record; each bad-file row spoils one field of an otherwise sound one.
struct Record
{
    bool modes[3] = {false, true, false};
    double inputs[5] = {1, 2, 3, 4, 5}; // net annual, employer, gross annual, net month, net bonus
    bool local = false;
    QString labels[3] = {QStringLiteral("t"), QStringLiteral("e"), QStringLiteral("x")};
    qint32 rows = 3;
    qint32 columns = 7;

    QString write() const
    {
        HistoryWriter w(historyDir(), InverseCalcWid::extension(), 6, 7);
        w.stream() << modes[0] << inputs[0] << inputs[1] << modes[1] << inputs[2] << modes[2] << inputs[3]
                   << inputs[4] << local << labels[0] << labels[1] << labels[2];
        writeTableClaiming(w.stream(), rows, columns, 3, 7);
        return w.commit() ? w.path() : QString();
    }
};

} // namespace

class TestInverseCalcWid : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void initialLook();
    void modesShowTheirInputs_data();
    void modesShowTheirInputs();
    void inverts_data();
    void inverts();
    void employerContributionsOnlyAddToExpense();
    void hiddenInputsKeptAndSaved();
    void modeSwitchClearsResults_data();
    void modeSwitchClearsResults();
    void historyReloadsWhatWasShown();
    void goodRecordLoadsAsStored();
    void badFilesChangeNothing_data();
    void badFilesChangeNothing();

private:
    pagetest::TemporaryHome m_home;
};

void TestInverseCalcWid::init()
{
    QVERIFY(m_home.renew());
}

void TestInverseCalcWid::initialLook()
{
    InverseCalcWid page;
    InverseView v(&page);
    QVERIFY(v.netAnnual && v.employer && v.grossAnnual && v.netMonth && v.netBonus && v.calc);
    QVERIFY(v.taxTotal && v.employerTotal && v.expenseTotal);
    QVERIFY(v.netAnnualMode->isChecked());
    QVERIFY(v.local->isChecked());
    QCOMPARE(v.shownInputs(), (QList<bool>{true, false, false, false}));
    QVERIFY(!v.employer->isHidden());
    QVERIFY(!v.taxTotal->isVisibleTo(&page));
    QCOMPARE(v.result->rowCount(), 3);
    QCOMPARE(rowTexts(v.result, 0, 0, 1) + rowTexts(v.result, 1, 0, 1) + rowTexts(v.result, 2, 0, 1),
             (QStringList{"月应发工资", "年终奖金", "总计"}));
    QCOMPARE(v.result->horizontalHeaderItem(0)->text(), QStringLiteral(" "));
    QCOMPARE(v.result->horizontalHeaderItem(5)->text(), QStringLiteral("速算扣除数"));
    QVERIFY(v.result->alternatingRowColors());
}

void TestInverseCalcWid::modesShowTheirInputs_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<bool>>("shown");
    QTest::newRow("after-tax annual income") << 0 << QList<bool>{true, false, false, false};
    QTest::newRow("pre-tax annual income") << 1 << QList<bool>{false, true, false, false};
    QTest::newRow("after-tax month and bonus") << 2 << QList<bool>{false, false, true, true};
}

void TestInverseCalcWid::modesShowTheirInputs()
{
    QFETCH(int, mode);
    QFETCH(QList<bool>, shown);
    InverseCalcWid page;
    InverseView v(&page);
    // Go through another mode first, so every mode is also entered from a different one.
    QRadioButton *modes[] = {v.netAnnualMode, v.grossAnnualMode, v.netMonthMode};
    QTest::mouseClick(modes[(mode + 1) % 3], Qt::LeftButton);
    QTest::mouseClick(modes[mode], Qt::LeftButton);
    QCOMPARE(v.shownInputs(), shown);
    QVERIFY(!v.employer->isHidden());
}

void TestInverseCalcWid::inverts_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<double>>("amounts"); // the mode's inputs, yuan
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QStringList>("monthly");
    QTest::addColumn<QStringList>("bonus");
    QTest::addColumn<QStringList>("total");
    QTest::addColumn<QStringList>("historyRow");

    QTest::newRow("month 5000 and bonus 10000 after tax")
        << 2 << QList<double>{5000, 10000} << QStringList{"909.28", "0", "70,909.28"}
        << QStringList{"5,050", "50", "5,000", "10%", "105"}
        << QStringList{"10,309.28", "309.28", "10,000", "3%", "0"}
        << QStringList{"70,909.28", "909.28", "70,000", "", ""} << QStringList{"70,909.28", "909.28"};
    QTest::newRow("month below the threshold leaves part of the bonus untaxed")
        << 2 << QList<double>{3000, 10000} << QStringList{"293.81", "0", "46,293.81"}
        << QStringList{"3,000", "0", "3,000", "", ""}
        << QStringList{"10,293.81", "293.81", "10,000", "3%", "0"}
        << QStringList{"46,293.81", "293.81", "46,000", "", ""} << QStringList{"46,293.81", "293.81"};
    QTest::newRow("only a bonus after tax")
        << 2 << QList<double>{0, 5000} << QStringList{"46.39", "0", "5,046.39"}
        << QStringList{"0", "0", "0", "", ""} << QStringList{"5,046.39", "46.39", "5,000", "3%", "0"}
        << QStringList{"5,046.39", "46.39", "5,000", "", ""} << QStringList{"5,046.39", "46.39"};
    QTest::newRow("nothing after tax: zeros, rows empty")
        << 2 << QList<double>{0, 0} << QStringList{"0", "0", "0"} << QStringList(5) << QStringList(5)
        << QStringList{"0", "0", "0", "", ""} << QStringList{"0", "0"};
    QTest::newRow("annual after-tax 0 cannot be inverted")
        << 0 << QList<double>{0} << QStringList{"0", "0", "0"} << QStringList(5) << QStringList(5)
        << QStringList{"0", "0", "0", "", ""} << QStringList{"0", "0"};
    QTest::newRow("untaxed year stays twelve monthly wages")
        << 0 << QList<double>{36000} << QStringList{"0", "0", "36,000"}
        << QStringList{"3,000", "0", "3,000", "", ""} << QStringList(5)
        << QStringList{"36,000", "0", "36,000", "", ""} << QStringList{"36,000", "0"};
    QTest::newRow("annual after-tax 200000 split for the least cost")
        << 0 << QList<double>{200000} << QStringList{"25,646.64", "0", "225,646.68"}
        << QStringList{"14,303.89", "1,695.97", "12,607.92", "25%", "1,005"}
        << QStringList{"54,000", "5,295", "48,705", "10%", "105"}
        << QStringList{"225,646.68", "25,646.64", "200,000.04", "", ""}
        << QStringList{"225,646.68", "25,646.64"};
    QTest::newRow("annual pre-tax 200000 split for the most net")
        << 1 << QList<double>{200000} << QStringList{"19,434.96", "0", "200,000.04"}
        << QStringList{"12,166.67", "1,178.33", "10,988.34", "20%", "555"}
        << QStringList{"54,000", "5,295", "48,705", "10%", "105"}
        << QStringList{"200,000.04", "19,434.96", "180,565.08", "", ""}
        << QStringList{"200,000.04", "19,434.96"};
}

void TestInverseCalcWid::inverts()
{
    QFETCH(int, mode);
    QFETCH(QList<double>, amounts);
    QFETCH(QStringList, labels);
    QFETCH(QStringList, monthly);
    QFETCH(QStringList, bonus);
    QFETCH(QStringList, total);
    QFETCH(QStringList, historyRow);
    InverseCalcWid page;
    InverseView v(&page);
    QRadioButton *modes[] = {v.netAnnualMode, v.grossAnnualMode, v.netMonthMode};
    modes[mode]->setChecked(true);
    if (mode == 0)
        v.netAnnual->setValue(amounts.at(0));
    else if (mode == 1)
        v.grossAnnual->setValue(amounts.at(0));
    else {
        v.netMonth->setValue(amounts.at(0));
        v.netBonus->setValue(amounts.at(1));
    }
    QTest::mouseClick(v.calc, Qt::LeftButton);
    QVERIFY(v.taxTotal->isVisibleTo(&page));
    QCOMPARE(v.labels(), labels);
    QCOMPARE(v.row(0), monthly);
    QCOMPARE(v.row(1), bonus);
    QCOMPARE(v.row(2), total);
    QCOMPARE(v.result->item(2, 1)->textAlignment(), int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(historyFiles(QStringLiteral("ic")).size(), 1);
    QCOMPARE(rowTexts(v.history, 0, 1, 2), historyRow);
}

void TestInverseCalcWid::employerContributionsOnlyAddToExpense()
{
    InverseCalcWid page;
    InverseView v(&page);
    v.netMonthMode->setChecked(true);
    v.netMonth->setValue(5000);
    v.netBonus->setValue(10000);
    v.employer->setValue(12000);
    page.calc();
    QCOMPARE(v.labels(), (QStringList{"909.28", "12,000", "82,909.28"}));
    QCOMPARE(v.row(0), (QStringList{"5,050", "50", "5,000", "10%", "105"}));
    QCOMPARE(rowTexts(v.history, 0, 1, 2), (QStringList{"82,909.28", "909.28"}));

    // With nothing to invert there is no result: every figure reads 0 and the zero entry is saved.
    v.netMonth->setValue(0);
    v.netBonus->setValue(0);
    page.calc();
    QCOMPARE(v.labels(), (QStringList{"0", "0", "0"}));
    QCOMPARE(rowTexts(v.history, 0, 1, 2), (QStringList{"0", "0"}));
    QCOMPARE(v.row(0), QStringList(5));
}

void TestInverseCalcWid::hiddenInputsKeptAndSaved()
{
    InverseCalcWid page;
    InverseView v(&page);
    v.netAnnual->setValue(111111.11);
    v.grossAnnualMode->setChecked(true);
    v.grossAnnual->setValue(222222.22);
    v.netMonthMode->setChecked(true);
    v.netMonth->setValue(3333.33);
    v.netBonus->setValue(4444.44);
    v.grossAnnualMode->setChecked(true);
    QCOMPARE(v.netAnnual->value(), 111111.11);
    QCOMPARE(v.netMonth->value(), 3333.33);
    page.calc();
    // Another page, as after a restart, shows every input of the record, hidden ones included.
    InverseCalcWid other;
    InverseView o(&other);
    QTRY_COMPARE(o.history->rowCount(), 1);
    other.openHistory(0, 2);
    QVERIFY(o.grossAnnualMode->isChecked());
    QCOMPARE(o.shownInputs(), (QList<bool>{false, true, false, false}));
    QCOMPARE(o.netAnnual->value(), 111111.11);
    QCOMPARE(o.grossAnnual->value(), 222222.22);
    QCOMPARE(o.netMonth->value(), 3333.33);
    QCOMPARE(o.netBonus->value(), 4444.44);
}

void TestInverseCalcWid::modeSwitchClearsResults_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("不含税 → 月收入年终奖") << 0 << 2;
    QTest::newRow("不含税 → 含税") << 0 << 1;
    QTest::newRow("含税 → 不含税") << 1 << 0;
    QTest::newRow("月收入年终奖 → 含税") << 2 << 1;
}

void TestInverseCalcWid::modeSwitchClearsResults()
{
    QFETCH(int, from);
    QFETCH(int, to);
    InverseCalcWid page;
    InverseView v(&page);
    QRadioButton *modes[] = {v.netAnnualMode, v.grossAnnualMode, v.netMonthMode};
    v.netAnnual->setValue(100000);
    v.grossAnnual->setValue(120000);
    v.netMonth->setValue(5000);
    v.netBonus->setValue(10000);
    modes[from]->setChecked(true);
    page.calc();
    QVERIFY(!v.taxTotal->text().isEmpty());
    QVERIFY(!cell(v.result, 2, 1).isEmpty());
    modes[to]->setChecked(true);
    // The other mode's answer is gone, not merely greyed; the inputs stay.
    QVERIFY(!v.taxTotal->isVisibleTo(&page));
    QCOMPARE(v.labels(), (QStringList{QString(), QString(), QString()}));
    for (int r = 0; r < 3; ++r)
        QCOMPARE(v.row(r), QStringList(5));
    QCOMPARE(v.netAnnual->value(), 100000.0);
    for (QLabel *label : page.findChildren<QLabel *>()) {
        if (label->text() == QStringLiteral("输入已修改，请重新计算。"))
            QVERIFY(label->isHidden());
    }
    // Back to the first mode: its answer was cleared too and comes only from a new calculation.
    modes[from]->setChecked(true);
    QCOMPARE(v.row(2), QStringList(5));
    page.calc();
    QVERIFY(!cell(v.result, 2, 1).isEmpty());
    QCOMPARE(historyFiles(QStringLiteral("ic")).size(), 1);
}

void TestInverseCalcWid::historyReloadsWhatWasShown()
{
    QString path;
    QStringList cells;
    QStringList labels;
    {
        InverseCalcWid page;
        InverseView v(&page);
        v.netMonthMode->setChecked(true);
        v.netMonth->setValue(5000);
        v.netBonus->setValue(10000);
        v.employer->setValue(999.99);
        v.foreign->setChecked(true);
        page.calc();
        path = historyPathAt(v.history, 0);
        cells = allCells(v.result);
        labels = v.labels();
    }
    InverseCalcWid page;
    InverseView v(&page);
    QTRY_COMPARE(v.history->rowCount(), 1);
    QCOMPARE(historyPathAt(v.history, 0), path);
    page.openHistory(0, 0);
    QVERIFY(v.netMonthMode->isChecked());
    QCOMPARE(v.shownInputs(), (QList<bool>{false, false, true, true}));
    QVERIFY(v.foreign->isChecked());
    QCOMPARE(v.employer->value(), 999.99);
    QCOMPARE(allCells(v.result), cells);
    QCOMPARE(v.labels(), labels);
    QVERIFY(v.taxTotal->isVisibleTo(&page));
    QCOMPARE(historyFiles(QStringLiteral("ic")).size(), 1);
}

void TestInverseCalcWid::goodRecordLoadsAsStored()
{
    const QString path = Record().write();
    InverseCalcWid page;
    InverseView v(&page);
    page.load(path);
    QVERIFY(v.grossAnnualMode->isChecked());
    QCOMPARE(v.labels(), (QStringList{"t", "e", "x"}));
    QCOMPARE(cell(v.result, 1, 3), QStringLiteral("r1c3"));
    QCOMPARE(v.netBonus->value(), 5.0);
    QVERIFY(v.foreign->isChecked());
}

void TestInverseCalcWid::badFilesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    auto bytesOf = [](const Record &r) { return fileBytes(r.write()); };
    const QByteArray good = bytesOf(Record());
    QVERIFY(good.size() > 150);
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("text garbage") << QByteArray("年薪反算 history? no.\n").repeated(25);
    for (qsizetype cut : {qsizetype(25), good.size() / 2, good.size() - 1})
        QTest::newRow(qPrintable(QStringLiteral("cut to %1 bytes").arg(cut))) << good.left(cut);
    Record r;
    r.modes[1] = false;
    QTest::newRow("no mode selected") << bytesOf(r);
    r = Record();
    r.modes[0] = true;
    QTest::newRow("two modes selected") << bytesOf(r);
    r = Record();
    r.inputs[3] = -0.01;
    QTest::newRow("negative monthly net") << bytesOf(r);
    r = Record();
    r.inputs[1] = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("employer contributions not a number") << bytesOf(r);
    r = Record();
    r.rows = 4;
    QTest::newRow("four rows") << bytesOf(r);
    r = Record();
    r.columns = 100000;
    QTest::newRow("a hundred thousand columns claimed") << bytesOf(r);
    r = Record();
    r.labels[2] = QString(3000, u'9');
    QTest::newRow("expense text far too long") << bytesOf(r);
}

void TestInverseCalcWid::badFilesChangeNothing()
{
    QFETCH(QByteArray, bytes);
    InverseCalcWid page;
    InverseView v(&page);
    v.netMonthMode->setChecked(true);
    v.netMonth->setValue(5000);
    v.netBonus->setValue(10000);
    page.calc();
    const QStringList cells = allCells(v.result);
    const QStringList labels = v.labels();

    const QString path = m_home.path() + QStringLiteral("/bad.ic");
    QVERIFY(writeBytes(path, bytes));
    page.load(path);
    QCOMPARE(allCells(v.result), cells);
    QCOMPARE(v.labels(), labels);
    QVERIFY(v.netMonthMode->isChecked());
    QCOMPARE(v.shownInputs(), (QList<bool>{false, false, true, true}));
    QCOMPARE(v.netMonth->value(), 5000.0);
    QCOMPARE(v.employer->value(), 0.0);
    QVERIFY(v.local->isChecked());
}

QTEST_MAIN(TestInverseCalcWid)
#include "tst_inversecalcwid.moc"
