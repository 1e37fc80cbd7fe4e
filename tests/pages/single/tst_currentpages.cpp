// The four single pages under the rules in force since 2019: every figure they show against the
// core on generated inputs, the rules choice of the window (remembered, pages rebuilt, inputs
// carried over) and one history list for both rules, whose entries reopen under their own rules.
#include "engine/currentrules.h"
#include "history/currentrecords.h"
#include "pages/batch/currentmonthwid.h"
#include "pages/single/currentcalcwid.h"
#include "pages/single/currentcomparewid.h"
#include "pages/single/currentinversewid.h"
#include "pages/single/currentsavecalcwid.h"
#include "pages/single/currentyearform.h"
#include "pages/single/singlecalcwid.h"
#include "pagetest.h"
#include "shell/config.h"
#include "shell/lumo.h"
#include "shell/mainmenu.h"
#include "shell/titlewidget.h"
#include "widgets/historypanel.h"
#include "widgets/taxrules.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTabWidget>

using namespace CurrentRules;
using pagetest::cell;

Q_DECLARE_METATYPE(CurrentYearRecord)

namespace {

// The year as the page's inputs mean it, built apart from the record converter.
YearInput yearOf(const CurrentYearRecord &r, BonusMethod method)
{
    YearInput in;
    in.year = r.year;
    in.startMonth = r.startMonth;
    for (int m = r.startMonth; m <= 12; ++m)
        in.gross << r.wage;
    in.insurance = r.insurance;
    in.deductions = r.special + r.other;
    in.bonus = r.bonus;
    in.bonusMonth = r.bonusMonth;
    in.method = method;
    return in;
}

void fill(CurrentYearForm *form, const CurrentYearRecord &r)
{
    form->year->setValue(r.year);
    form->startMonth->setValue(r.startMonth);
    form->wage->setValue(yuanFromFen(r.wage));
    form->insurance->setValue(yuanFromFen(r.insurance));
    form->special->setValue(yuanFromFen(r.special));
    form->other->setValue(yuanFromFen(r.other));
    form->bonus->setValue(yuanFromFen(r.bonus));
    form->bonusMonth->setValue(r.bonusMonth);
    if (form->method)
        form->method->setCurrentIndex(r.method);
}

// Generated years (fixed seed) and the edges: a bonus in a blind zone, a mid-year start, a bonus
// month inside the period, the last year of separate taxation.
void addYearRows()
{
    QTest::addColumn<CurrentYearRecord>("record");
    QRandomGenerator random(29);
    for (int i = 0; i < 6; ++i) {
        CurrentYearRecord r;
        r.year = 2026;
        r.startMonth = random.bounded(1, 13);
        r.wage = random.bounded(0, 6000000);
        r.insurance = random.bounded(0, 300000);
        r.special = random.bounded(0, 400000);
        r.other = random.bounded(0, 50000);
        r.bonus = i % 3 == 0 ? 0 : random.bounded(0, 100000000);
        r.bonusMonth = random.bounded(r.startMonth, 13);
        r.method = i % 3;
        QTest::addRow("generated %d (method %d)", i, r.method) << r;
    }
    CurrentYearRecord blind;
    blind.wage = 800000;
    blind.bonus = 3600001;
    blind.method = 0;
    QTest::newRow("separate bonus just inside the first blind zone") << blind;
    CurrentYearRecord late = blind;
    late.startMonth = 7;
    late.bonusMonth = 9;
    late.method = 1;
    late.wage = 1500000;
    QTest::newRow("start in July, bonus merged into September") << late;
    CurrentYearRecord last = blind;
    last.year = kLastSeparateBonusYear;
    last.method = 2;
    QTest::newRow("last year of separate taxation, cheaper method") << last;
}

QString settlementOf(const YearResult &y)
{
    if (y.settlement > 0)
        return QStringLiteral("应补税 %1 元").arg(formatAmount(y.settlement));
    if (y.settlement < 0)
        return QStringLiteral("应退税 %1 元").arg(formatAmount(-y.settlement));
    return QStringLiteral("汇算无需补退");
}

void compareYearTable(const QTableWidget *table, const YearResult &y)
{
    QCOMPARE(table->rowCount(), int(y.months.size()));
    for (int r = 0; r < table->rowCount(); ++r) {
        const MonthResult &m = y.months[size_t(r)];
        const QStringList expected{QStringLiteral("%1月").arg(m.month),
                                   formatAmount(m.gross),
                                   formatAmount(m.cumulativeTaxable),
                                   QStringLiteral("%1%").arg(m.rate),
                                   formatAmount(m.quickDeduction),
                                   formatAmount(m.cumulativeTax),
                                   formatAmount(m.withheld),
                                   formatAmount(m.net)};
        QCOMPARE(pagetest::rowTexts(table, r, 0, 8), expected);
    }
}

// Answers the next message box and returns its text.
QString answerBox(const std::function<void()> &action)
{
    return pagetest::modalText(action, [](QWidget *) { return QString(); });
}

} // namespace

class TestCurrentPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void calcFigures_data();
    void calcFigures();
    void calcRefusesSeparateBonusAfterTheLastYear();
    void splitFigures_data();
    void splitFigures();
    void compareFigures_data();
    void compareFigures();
    void inverseFigures_data();
    void inverseFigures();
    void rulesChoice_data();
    void rulesChoice();
    void switchCarriesInputs();
    void historyOfBothRules();

private:
    pagetest::TemporaryHome m_home;
};

void TestCurrentPages::initTestCase()
{
    qunsetenv("XDG_CONFIG_HOME");
}

void TestCurrentPages::init()
{
    QVERIFY(m_home.renew());
    QVERIFY(QDir::setCurrent(m_home.path()));
}

void TestCurrentPages::calcFigures_data()
{
    addYearRows();
}

void TestCurrentPages::calcFigures()
{
    QFETCH(CurrentYearRecord, record);
    CurrentCalcWid page;
    fill(page.form(), record);
    page.calc();
    const BonusMethod methods[] = {BonusMethod::Separate, BonusMethod::Merged, BonusMethod::Best};
    const YearResult y = calculateYear(yearOf(record, methods[record.method]), true);
    compareYearTable(page.table(), y);
    QCOMPARE(page.settlementLine()->text(), QStringLiteral("年度汇算：") + settlementOf(y));
    for (const Amount figure : {y.withheldTotal, y.annualTax, y.netTotal})
        QVERIFY2(page.totalsLine()->text().contains(formatAmount(figure) + QStringLiteral(" 元")),
                 qPrintable(page.totalsLine()->text()));
    QCOMPARE(page.bonusLine()->isVisibleTo(&page), record.bonus > 0);
    if (y.bonus.present && y.bonus.method == BonusMethod::Separate)
        QVERIFY(
            page.bonusLine()->text().contains(QStringLiteral("税额 %1 元").arg(formatAmount(y.bonus.tax))));
    // With the cheaper method both years' taxes stand side by side.
    if (record.method == 2 && record.bonus > 0) {
        const Amount separate = calculateYear(yearOf(record, BonusMethod::Separate)).annualTax;
        const Amount merged = calculateYear(yearOf(record, BonusMethod::Merged)).annualTax;
        QVERIFY2(
            page.methodsLine()->text().contains(QStringLiteral("单独计税 %1 元").arg(formatAmount(separate))),
            qPrintable(page.methodsLine()->text()));
        QVERIFY(page.methodsLine()->text().contains(
            QStringLiteral("并入综合所得 %1 元").arg(formatAmount(merged))));
    }
    QCOMPARE(page.processText(), y.processText);
    QCOMPARE(pagetest::historyFiles(QStringLiteral("sc19")).size(), 1);
}

void TestCurrentPages::calcRefusesSeparateBonusAfterTheLastYear()
{
    CurrentCalcWid page;
    CurrentYearRecord r;
    r.year = kLastSeparateBonusYear + 1;
    r.wage = 1000000;
    r.bonus = 2000000;
    r.method = 0;
    fill(page.form(), r);
    const QString text = answerBox([&] { page.calc(); });
    QVERIFY2(text.contains(QStringLiteral("不再单独计税")), qPrintable(text));
    QCOMPARE(page.table()->rowCount(), 12);
    QVERIFY(cell(page.table(), 0, 0).isEmpty());
    QVERIFY(pagetest::historyFiles(QStringLiteral("sc19")).isEmpty());
}

void TestCurrentPages::splitFigures_data()
{
    QTest::addColumn<Amount>("annual");
    QTest::addColumn<Amount>("insurance");
    QTest::addColumn<Amount>("special");
    QTest::addColumn<Amount>("bonus");
    QTest::addColumn<QString>("zone");
    QRandomGenerator random(2019);
    for (int i = 0; i < 5; ++i)
        QTest::addRow("generated %d", i)
            << Amount(random.bounded(0, 300000000)) << Amount(random.bounded(0, 3000000))
            << Amount(random.bounded(0, 4800000)) << Amount(0) << QString();
    QTest::newRow("the documented year: 200,000 with 20,000 insurance")
        << Amount(20000000) << Amount(2000000) << Amount(0) << Amount(3600001)
        << QStringLiteral("36,000.01–38,566.67");
    QTest::newRow("bonus at a row bound is no blind zone")
        << Amount(20000000) << Amount(0) << Amount(0) << Amount(3600000) << QString();
    QTest::newRow("bonus at the top of the last zone")
        << Amount(300000000) << Amount(0) << Amount(0) << Amount(112000000)
        << QStringLiteral("960,000.01–1,120,000");
    QTest::newRow("no pay") << Amount(0) << Amount(0) << Amount(0) << Amount(0) << QString();
}

void TestCurrentPages::splitFigures()
{
    QFETCH(Amount, annual);
    QFETCH(Amount, insurance);
    QFETCH(Amount, special);
    QFETCH(Amount, bonus);
    QFETCH(QString, zone);
    CurrentSaveCalcWid page;
    page.annualInput()->setValue(yuanFromFen(annual));
    page.insuranceInput()->setValue(yuanFromFen(insurance));
    page.specialInput()->setValue(yuanFromFen(special));
    page.bonusInput()->setValue(yuanFromFen(bonus));
    QTest::keyClick(page.annualInput(), Qt::Key_Return);

    SplitInput in;
    in.annual = annual;
    in.insurance = insurance;
    in.deductions = special;
    const SplitResult best = bestSplit(in);
    const QString monthly = best.monthly[0] == best.monthly[11]
                                ? formatAmount(best.monthly[0])
                                : formatAmount(best.monthly[0]) + u'/' + formatAmount(best.monthly[11]);
    const QStringList expected{formatAmount(best.bonus),       monthly,
                               formatAmount(best.taxTotal),    formatAmount(best.allWageTax),
                               formatAmount(best.taxDecrease), formatAmount(best.netTotal)};
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(page.resultLabel(i)->text(), expected.at(i));
    // Every compared split: its tax is the core's, none is cheaper than the best, the best is listed.
    QTableWidget *rows = page.candidates();
    bool bestListed = false;
    for (int r = 0; r < rows->rowCount(); ++r) {
        Amount candidate = 0;
        QVERIFY(parseYuan(cell(rows, r, 1).remove(u','), &candidate));
        QCOMPARE(cell(rows, r, 5), formatAmount(splitTax(in, candidate)));
        QCOMPARE(cell(rows, r, 6), formatAmount(splitTax(in, candidate) - best.taxTotal));
        QCOMPARE(cell(rows, r, 7), formatAmount(annual - insurance - splitTax(in, candidate)));
        bestListed = bestListed || (candidate == best.bonus && cell(rows, r, 0) == QStringLiteral("最优"));
    }
    QVERIFY(bestListed);
    if (zone.isEmpty())
        QVERIFY(!page.blindZoneLine()->text().contains(QStringLiteral("落入盲区")));
    else
        QVERIFY2(page.blindZoneLine()->text().contains(QStringLiteral("落入盲区 ") + zone),
                 qPrintable(page.blindZoneLine()->text()));
    QCOMPARE(pagetest::historyFiles(QStringLiteral("ssc19")).size(), 1);
}

void TestCurrentPages::compareFigures_data()
{
    addYearRows();
    CurrentYearRecord after;
    after.year = kLastSeparateBonusYear + 1;
    after.wage = 2000000;
    after.bonus = 5000000;
    QTest::newRow("after the last year: only merged") << after;
}

void TestCurrentPages::compareFigures()
{
    QFETCH(CurrentYearRecord, record);
    CurrentCompareWid page;
    QVERIFY(!page.form()->method);
    fill(page.form(), record);
    page.calc();
    const bool allowed = separateBonusAllowed(record.year) || record.bonus == 0;
    const YearResult merged = calculateYear(yearOf(record, BonusMethod::Merged));
    compareYearTable(page.mergedTable(), merged);
    QCOMPARE(pagetest::rowTexts(page.summary(), 1, 1, 4),
             QStringList({formatAmount(merged.withheldTotal), formatAmount(merged.annualTax),
                          settlementOf(merged), formatAmount(merged.netTotal)}));
    QCOMPARE(page.years()->isTabEnabled(0), allowed);
    if (!allowed) {
        QCOMPARE(cell(page.summary(), 0, 3), QStringLiteral("不可单独计税"));
        return;
    }
    const YearResult separate = calculateYear(yearOf(record, BonusMethod::Separate));
    compareYearTable(page.separateTable(), separate);
    QCOMPARE(cell(page.summary(), 0, 2), formatAmount(separate.annualTax));
    // The cheaper one, and only that one, is marked; a tie marks neither.
    QCOMPARE(cell(page.summary(), 0, 5).isEmpty(), separate.annualTax >= merged.annualTax);
    QCOMPARE(cell(page.summary(), 1, 5).isEmpty(), merged.annualTax >= separate.annualTax);
    const Amount difference = merged.annualTax - separate.annualTax;
    if (difference != 0)
        QVERIFY2(page.verdict()->text().contains(formatAmount(qAbs(difference))),
                 qPrintable(page.verdict()->text()));
}

void TestCurrentPages::inverseFigures_data()
{
    QTest::addColumn<bool>("fromNet");
    QTest::addColumn<Amount>("amount");
    QTest::addColumn<Amount>("insurance");
    QTest::addColumn<Amount>("special");
    QRandomGenerator random(6);
    for (int i = 0; i < 4; ++i)
        QTest::addRow("net %d", i) << true << Amount(random.bounded(0, 200000000))
                                   << Amount(random.bounded(0, 3000000))
                                   << Amount(random.bounded(0, 4800000));
    QTest::newRow("net 0") << true << Amount(0) << Amount(1200000) << Amount(0);
    QTest::newRow("pay 200,000 with 20,000 insurance")
        << false << Amount(20000000) << Amount(2000000) << Amount(0);
    QTest::newRow("pay 0") << false << Amount(0) << Amount(0) << Amount(0);
}

void TestCurrentPages::inverseFigures()
{
    QFETCH(bool, fromNet);
    QFETCH(Amount, amount);
    QFETCH(Amount, insurance);
    QFETCH(Amount, special);
    CurrentInverseWid page;
    (fromNet ? page.fromNetButton() : page.fromPayButton())->setChecked(true);
    page.amountInput()->setValue(yuanFromFen(amount));
    page.insuranceInput()->setValue(yuanFromFen(insurance));
    page.specialInput()->setValue(yuanFromFen(special));
    page.calc();
    SplitInput in;
    in.annual = amount;
    in.insurance = insurance;
    in.deductions = special;
    const SplitResult split = fromNet ? annualForNet(in, amount).split : bestSplit(in);
    Amount pay = 0;
    QVERIFY(parseYuan(page.resultLabel(0)->text().remove(u','), &pay));
    QCOMPARE(pay, split.annual);
    QCOMPARE(page.resultLabel(1)->text(), formatAmount(split.netTotal));
    QCOMPARE(page.resultLabel(2)->text(), formatAmount(split.bonus));
    QCOMPARE(page.resultLabel(4)->text(), formatAmount(split.taxTotal));
    QCOMPARE(page.resultLabel(5)->text(), formatAmount(split.taxDecrease));
    if (fromNet) {
        // Checked forward: the pay shown nets at least the amount asked, a fen less does not.
        in.annual = pay;
        QVERIFY(bestSplit(in).netTotal >= amount);
        if (pay > 0) {
            in.annual = pay - 1;
            QVERIFY(bestSplit(in).netTotal < amount);
        }
    }
    QCOMPARE(pagetest::historyFiles(QStringLiteral("ic19")).size(), 1);
}

void TestCurrentPages::rulesChoice_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("rules");
    QTest::newRow("first start: the rules in force") << QString() << int(TaxRules::Current);
    QTest::newRow("2011 remembered") << QStringLiteral("2011") << int(TaxRules::Rules2011);
    QTest::newRow("current remembered") << QStringLiteral("2019") << int(TaxRules::Current);
    QTest::newRow("unknown value: the rules in force") << QStringLiteral("1994") << int(TaxRules::Current);
}

void TestCurrentPages::rulesChoice()
{
    QFETCH(QString, stored);
    QFETCH(int, rules);
    if (!stored.isNull())
        QVERIFY(writeConfigValue(userIniPath(), QStringLiteral("rules"), stored));
    const auto expected = TaxRules(rules);
    Lumo window;
    QCOMPARE(int(window.rules()), rules);
    QVERIFY(window.titleWidget()->rulesLabel()->text().contains(taxRulesName(expected)));
    QVERIFY(window.mainMenu()->rulesAction(expected)->isChecked());
    window.actFunction(0);
    QCOMPARE(bool(qobject_cast<CurrentCalcWid *>(window.page(0))), expected == TaxRules::Current);
    QCOMPARE(bool(qobject_cast<SingleCalcWid *>(window.page(0))), expected == TaxRules::Rules2011);
    // Function 1 is the month's payroll under the current rules.
    window.actFunction(1);
    QCOMPARE(bool(qobject_cast<CurrentMonthWid *>(window.page(1))), expected == TaxRules::Current);
    window.actFunction(2);

    // The menu's other choice switches and is remembered for the next start.
    const TaxRules other = expected == TaxRules::Current ? TaxRules::Rules2011 : TaxRules::Current;
    window.mainMenu()->rulesAction(other)->trigger();
    QCOMPARE(window.rules(), other);
    QCOMPARE(configuredRules(), other);
    QVERIFY(window.titleWidget()->rulesLabel()->text().contains(taxRulesName(other)));
    QCOMPARE(bool(qobject_cast<CurrentSaveCalcWid *>(window.page(2))), other == TaxRules::Current);
    QVERIFY(window.page(2)->isVisibleTo(&window));
    QVERIFY(!window.page(0)->isVisibleTo(&window));
    Lumo again;
    QCOMPARE(again.rules(), other);
}

void TestCurrentPages::switchCarriesInputs()
{
    Lumo window;
    window.show();
    const int functions[] = {0, 2, 4, 6};
    for (int f : functions)
        window.actFunction(f);
    window.actFunction(0);
    auto set = [&](int function, const QString &name, double value) {
        window.page(function)->findChild<QDoubleSpinBox *>(name)->setValue(value);
    };
    set(0, kCarryGross, 12345.67);
    set(0, kCarryInsurance, 1234.5);
    set(0, kCarryBonus, 36000.01);
    set(2, kCarryBonus, 50000);
    set(4, kCarryGross, 8000);
    window.setRules(TaxRules::Rules2011);
    QVERIFY(qobject_cast<SingleCalcWid *>(window.page(0)));
    QVERIFY(window.page(0)->isVisible());
    auto value = [&](int function, const QString &name) {
        auto *box = window.page(function)->findChild<QDoubleSpinBox *>(name);
        return box ? box->value() : -1.0;
    };
    QCOMPARE(value(0, kCarryGross), 12345.67);
    QCOMPARE(value(0, kCarryInsurance), 1234.5);
    QCOMPARE(value(0, kCarryBonus), 36000.01);
    QCOMPARE(value(2, kCarryBonus), 50000.0);
    QCOMPARE(value(4, kCarryGross), 8000.0);
    // A 2011 non-annual bonus is not the annual bonus: it does not come back as one.
    window.page(4)->findChild<QDoubleSpinBox *>(kCarryGross)->setValue(9000);
    window.setRules(TaxRules::Current);
    QCOMPARE(value(4, kCarryGross), 9000.0);
    QCOMPARE(value(0, kCarryGross), 12345.67);
    for (int f : functions)
        QCOMPARE(window.page(f)->isVisible(), f == 0);
}

void TestCurrentPages::historyOfBothRules()
{
    Lumo window;
    window.show();
    window.actFunction(0);
    auto *current = qobject_cast<CurrentCalcWid *>(window.page(0));
    QVERIFY(current);
    CurrentYearRecord r;
    r.wage = 1500000;
    r.insurance = 150000;
    r.bonus = 3000000;
    fill(current->form(), r);
    current->calc();
    QCOMPARE(pagetest::historyFiles(QStringLiteral("sc19")).size(), 1);

    window.setRules(TaxRules::Rules2011);
    auto *old = qobject_cast<SingleCalcWid *>(window.page(0));
    QVERIFY(old);
    QTest::qWait(20); // a later write time than the entry above, should both fall in one second
    old->calc();
    QCOMPARE(pagetest::historyFiles(QStringLiteral("sc")).size(), 1);
    old->searchHistory();
    QTableWidget *list = old->findChild<HistoryPanel *>()->list();
    QCOMPARE(list->rowCount(), 2);
    QVERIFY(historyPathAt(list, 0).endsWith(QStringLiteral(".sc")));
    QVERIFY(historyPathAt(list, 1).endsWith(QStringLiteral(".sc19")));
    QVERIFY(list->item(1, 0)->toolTip().contains(taxRulesName(TaxRules::Current)));
    QVERIFY(list->item(1, 0)->font().italic());
    QVERIFY(!list->item(0, 0)->font().italic());

    // The current-rules entry reopens under its rules, after saying so.
    old->openHistory(1, 0);
    const QString said = answerBox([] { QTest::qWait(50); });
    QVERIFY2(said.contains(taxRulesName(TaxRules::Current)), qPrintable(said));
    QTRY_COMPARE(window.rules(), TaxRules::Current);
    current = qobject_cast<CurrentCalcWid *>(window.page(0));
    QVERIFY(current);
    QTRY_COMPARE(current->form()->wage->value(), 15000.0);
    QCOMPARE(current->form()->bonus->value(), 30000.0);
    QCOMPARE(cell(current->table(), 0, 6),
             formatAmount(calculateYear(yearOf(r, BonusMethod::Best)).months[0].withheld));
    QCOMPARE(configuredRules(), TaxRules::Current);

    // And back: the 2011 entry from the current page.
    current->searchHistory();
    QTableWidget *both = current->history()->list();
    QCOMPARE(both->rowCount(), 2);
    current->openHistory(0, 0);
    answerBox([] { QTest::qWait(50); });
    QTRY_COMPARE(window.rules(), TaxRules::Rules2011);
    QVERIFY(qobject_cast<SingleCalcWid *>(window.page(0)));
}

QTEST_MAIN(TestCurrentPages)
#include "tst_currentpages.moc"
