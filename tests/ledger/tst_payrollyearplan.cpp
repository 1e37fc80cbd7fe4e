// The year-end plan from the ledger's year: employees whose months are recorded through the ledger,
// then December planned; every figure worked out apart from the program (each fen of the budget
// tried). The planned split and the best split's withholding must also be what the month itself
// computes for them; refusals and rows left out.
#include "ledger/payrollmonth.h"
#include "ledger/payrollyearplan.h"

#include <QTemporaryDir>
#include <QTest>

using CurrentRules::BonusMethod;
using namespace Qt::StringLiterals;

namespace {

QString residentId(int k)
{
    const QString first17 = u"110105199001"_s + QString::number(10000 + k).right(5);
    return first17 + idCheckCharacter(first17);
}

// One employee's month: fen.
struct Pay
{
    Amount income = 0, pension = 0, childEdu = 0, relief = 0, bonus = 0;
    bool firstJob = false;
    int sixty = -1;
};

PayrollInput inputOf(int k, const Pay &pay)
{
    PayrollInput in;
    in.sheetRow = k + 2;
    in.code = QString::number(k);
    in.name = u"员工%1"_s.arg(k);
    in.idType = residentIdType();
    in.idNumber = residentId(k);
    in.amounts[PfIncome] = pay.income;
    in.amounts[PfPension] = pay.pension;
    in.amounts[PfChildEdu] = pay.childEdu;
    in.amounts[PfRelief] = pay.relief;
    in.amounts[PfBonus] = pay.bonus;
    in.firstJob = pay.firstJob;
    in.sixty = pay.sixty;
    return in;
}

// Employee k's pay in month m of 2026 (income 0: not paid that month).
Pay payOf(int k, int m)
{
    Pay p;
    switch (k) {
    case 0: // a whole year, 专项附加扣除 growing by 2,000 a month; the planned bonus in a blind zone
        p = {2000000, 200000, 200000 * m, 0, m == 12 ? 3800000 : 0};
        break;
    case 1: // a first job of the year from July
    case 2: // joined in July from another employer
        if (m >= 7)
            p = {1500000, 150000, 0, 0, m == 12 ? 5000000 : 0, k == 1 && m == 7};
        break;
    case 3: // the 60,000 rule from January
        p = {800000, 0, 0, 0, m == 12 ? 3000000 : 0, false, m == 1 ? 1 : -1};
        break;
    case 4: // first paid in December: the ledger does not know them
        if (m == 12)
            p = {3000000, 300000, 0, 0, 10000000};
        break;
    case 5: // tax relief every month
        p = {700000, 0, 0, 10000, m == 12 ? 2400000 : 0};
        break;
    case 6: // last year's bonus paid in March, taxed separately: December's must be wages
        p = {1000000, 0, 0, 0, m == 3 ? 2000000 : m == 12 ? 3700000 : 0};
        break;
    }
    return p;
}

constexpr int kEmployees = 7;

std::vector<PayrollInput> monthRows(int m)
{
    std::vector<PayrollInput> rows;
    for (int k = 0; k < kEmployees; ++k) {
        const Pay p = payOf(k, m);
        if (p.income > 0)
            rows.push_back(inputOf(k, p));
    }
    return rows;
}

PayrollSheet sheetOf(std::vector<PayrollInput> rows)
{
    PayrollSheet sheet;
    sheet.rows = std::move(rows);
    return sheet;
}

} // namespace

class TestPayrollYearPlan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void december_data();
    void december();
    void refusals_data();
    void refusals();

private:
    QTemporaryDir m_dir;
    QString m_path;
    LedgerYearPlanRun m_run;
};

void TestPayrollYearPlan::initTestCase()
{
    m_path = m_dir.filePath(u"ledger.sqlite"_s);
    PayrollLedger ledger(m_path);
    QString error;
    QVERIFY2(ledger.openForWriting(&error), qPrintable(error));
    for (int m = 1; m <= 11; ++m) {
        PayrollMonthRun run;
        QVERIFY2(runPayrollMonth(ledger, sheetOf(monthRows(m)), 2026, m, BonusMethod::Separate, &run, &error),
                 qPrintable(error));
        QList<int> later;
        QVERIFY2(ledger.recordMonth(2026, m, u"test"_s, run.entries, &later, &error), qPrintable(error));
    }
    QVERIFY2(runLedgerYearPlan(ledger, sheetOf(monthRows(12)), 2026, 12, &m_run, &error, 2),
             qPrintable(error));
    QCOMPARE(m_run.recordedMonths, 11);
    QVERIFY(m_run.problems.empty());
    QCOMPARE(int(m_run.records.size()), kEmployees);
}

void TestPayrollYearPlan::december_data()
{
    QTest::addColumn<int>("k");
    QTest::addColumn<int>("months");
    QTest::addColumn<Amount>("annual");
    QTest::addColumn<Amount>("deductions");
    QTest::addColumn<Amount>("plannedTax");
    QTest::addColumn<Amount>("mergedTax");
    QTest::addColumn<Amount>("bestBonus");
    QTest::addColumn<Amount>("bestTax");
    QTest::addColumn<Amount>("periodWithheld");
    QTest::addColumn<int>("zone");
    // Expected figures: every fen of bonus from 0 to the budget tried by a separate script; of
    // bonuses that tie (rounding makes 35,999.96 cost what 36,000 costs) the row bound.
    QTest::newRow("whole year: 60,000 basic, the 专项附加扣除 of December")
        << 0 << 12 << 27800000LL << 10800000LL << 1427000LL << 1708000LL << 3600000LL << 1196000LL << 130000LL
        << 0;
    QTest::newRow("first job from July: 5,000 × 12") << 1 << 6 << 14000000LL << 6900000LL << 542000LL
                                                     << 458000LL << 3500000LL << 213000LL << 70500LL << -1;
    QTest::newRow("joined in July, not a first job: 5,000 × 6")
        << 2 << 6 << 14000000LL << 3900000LL << 737000LL << 758000LL << 3600000LL << 506000LL << 225000LL
        << -1;
    QTest::newRow("the 60,000 rule: the planned bonus is already best")
        << 3 << 12 << 12600000LL << 6000000LL << 198000LL << 408000LL << 3000000LL << 198000LL << 24000LL
        << -1;
    QTest::newRow("unknown to the ledger: the period alone")
        << 4 << 1 << 13000000LL << 800000LL << 1045000LL << 968000LL << 3600000LL << 716000LL << 608000LL
        << -1;
    QTest::newRow("relief: the wages' tax stops at 0, so less bonus is cheaper")
        << 5 << 12 << 10800000LL << 6000000LL << 72000LL << 108000LL << 1080000LL << 32400LL << 0LL << -1;
    QTest::newRow("a bonus taxed separately in March: December's is wages, no blind zone")
        << 6 << 12 << 15700000LL << 6000000LL << 718000LL << 718000LL << 0LL << 718000LL << 420000LL << -1;
}

void TestPayrollYearPlan::december()
{
    QFETCH(int, k);
    const LedgerYearPlan &r = m_run.records[size_t(k)];
    const YearPlan &p = r.plan;
    QCOMPARE(r.input.idNumber, residentId(k));
    QTEST(r.months, "months");
    QTEST(p.annual, "annual");
    QTEST(p.deductions, "deductions");
    QTEST(p.plannedTax, "plannedTax");
    QTEST(p.mergedTax, "mergedTax");
    QTEST(p.bestBonus, "bestBonus");
    QTEST(p.bestTax, "bestTax");
    QTEST(r.periodWithheld, "periodWithheld");
    QTEST(p.blindZone, "zone");
    const Amount budget = r.input.amounts[PfIncome] + r.input.amounts[PfBonus];
    QCOMPARE(r.periodWage, budget - p.bestBonus);
    QCOMPARE(r.bonusTax, CurrentRules::separateBonusTax(p.bestBonus));
    QCOMPARE(p.saving, p.plannedTax - p.bestTax);

    // December computed by the month itself, as planned and as the best split pays it.
    PayrollLedger ledger(m_path);
    QString error;
    QVERIFY(ledger.openForReading(&error));
    PayrollInput best = r.input;
    best.amounts[PfIncome] = r.periodWage;
    best.amounts[PfBonus] = p.bestBonus;
    QCOMPARE(r.separateBefore, k == 6);
    for (const bool asPlanned : {true, false}) {
        PayrollMonthRun month;
        QVERIFY(runPayrollMonth(ledger, sheetOf({asPlanned ? r.input : best}), 2026, 12,
                                r.separateBefore ? BonusMethod::Merged : BonusMethod::Separate, &month,
                                &error));
        QCOMPARE(month.entries.size(), size_t(1));
        const PayrollEntry &e = month.entries[0];
        QCOMPARE(e.withheldBefore, r.withheldBefore);
        QCOMPARE(e.cumulativeBasic, r.basic);
        const Amount yearTax = std::max<Amount>(e.cumulativeTax - e.cumulativeRelief, 0) + e.bonusTax;
        QCOMPARE(yearTax, asPlanned ? p.plannedTax : p.bestTax);
        if (!asPlanned)
            QCOMPARE(e.withheld, r.periodWithheld);
    }
}

void TestPayrollYearPlan::refusals_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<bool>("planned");
    QTest::addColumn<QString>("message"); // a part of the error, or of the one problem
    QTest::newRow("a later month is recorded") << 2026 << 10 << false << u"已记入 11 月"_s;
    QTest::newRow("no separate bonus from 2028") << 2028 << 12 << false << u"2028 年起"_s;
    QTest::newRow("a name the ledger knows otherwise") << 2026 << 12 << true << u"台账中该证件号码的姓名"_s;
}

void TestPayrollYearPlan::refusals()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(bool, planned);
    QFETCH(QString, message);
    PayrollLedger ledger(m_path);
    QString error;
    QVERIFY(ledger.openForReading(&error));
    std::vector<PayrollInput> rows = monthRows(12);
    rows[0].name = u"别人"_s;
    LedgerYearPlanRun run;
    QCOMPARE(runLedgerYearPlan(ledger, sheetOf(rows), year, month, &run, &error), planned);
    if (planned) {
        QCOMPARE(run.problems.size(), size_t(1));
        QVERIFY2(run.problems[0].reason.contains(message), qPrintable(run.problems[0].reason));
        QCOMPARE(int(run.records.size()), kEmployees - 1);
    } else {
        QVERIFY2(error.contains(message), qPrintable(error));
    }
}

QTEST_GUILESS_MAIN(TestPayrollYearPlan)
#include "tst_payrollyearplan.moc"
