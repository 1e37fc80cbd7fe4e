// The batch core: reading amounts from cells, splitting rows among workers, and the texts of a
// result row and of the totals row.
#include "batch/amountcell.h"
#include "batch/batchcalc.h"
#include "batch/columncatalogue.h"
#include "batch/resulttexts.h"
#include "engine/taxengine.h"
#include "formula/formularewrite.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(AmountProblem)

class TestBatchCalc : public QObject
{
    Q_OBJECT

private slots:
    void cellText_data();
    void cellText();
    void cellNumber_data();
    void cellNumber();
    void worksheetRow();
    void resultTexts();
    void arenaTextsAsHeapTexts_data();
    void arenaTextsAsHeapTexts();
    void arenaNestsAndCopiesOut();
    void emptyWageRowHasNoMonthlyCells();
    void totals();
    void completionMessage_data();
    void completionMessage();
};

void TestBatchCalc::cellText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("fen");
    QTest::addColumn<AmountProblem>("problem");
    const auto ok = AmountProblem::None;
    QTest::newRow("empty") << QString() << 0LL << ok;
    QTest::newRow("blanks only") << u"   "_s << 0LL << ok;
    QTest::newRow("plain") << u"8000"_s << 800000LL << ok;
    QTest::newRow("thousands") << u"12,000.00"_s << 1200000LL << ok;
    QTest::newRow("thousands with fraction") << u"1,234.50"_s << 123450LL << ok;
    QTest::newRow("blanks inside") << u" 12 000 "_s << 1200000LL << ok;
    QTest::newRow("full-width comma") << u"3，500"_s << 350000LL << ok;
    QTest::newRow("full-width digits") << u"１２０００"_s << 1200000LL << ok;
    QTest::newRow("full-width separators and point") << u"１，２３４．５０"_s << 123450LL << ok;
    QTest::newRow("full-width signs") << u"＋１０"_s << 1000LL << ok;
    QTest::newRow("ideographic blank") << u"\u3000８０００\u3000"_s << 800000LL << ok;
    QTest::newRow("full-width minus") << u"－５"_s << 0LL << AmountProblem::Negative;
    QTest::newRow("full-width minus alone") << u"－"_s << 0LL << AmountProblem::NotANumber;
    QTest::newRow("three decimals round half up") << u"0.005"_s << 1LL << ok;
    QTest::newRow("leading point") << u".5"_s << 50LL << ok;
    QTest::newRow("plus sign") << u"+10"_s << 1000LL << ok;
    QTest::newRow("largest") << u"999999999.99"_s << 99999999999LL << ok;
    QTest::newRow("minus zero") << u"-0"_s << 0LL << ok;
    QTest::newRow("letters") << u"abc"_s << 0LL << AmountProblem::NotANumber;
    QTest::newRow("exponent") << u"1e30"_s << 0LL << AmountProblem::NotANumber;
    QTest::newRow("nan") << u"nan"_s << 0LL << AmountProblem::NotANumber;
    QTest::newRow("inf") << u"inf"_s << 0LL << AmountProblem::NotANumber;
    QTest::newRow("two points") << u"1.2.3"_s << 0LL << AmountProblem::NotANumber;
    QTest::newRow("sign only") << u"-"_s << 0LL << AmountProblem::NotANumber;
    QTest::newRow("currency sign") << u"¥100"_s << 0LL << AmountProblem::NotANumber;
    QTest::newRow("error cell") << u"#N/A"_s << 0LL << AmountProblem::NotANumber;
    QTest::newRow("unstored formula") << u"=C3*0.105"_s << 0LL << AmountProblem::NotANumber;
    QTest::newRow("negative") << u"-5"_s << 0LL << AmountProblem::Negative;
    QTest::newRow("just above the largest") << u"1000000000"_s << 0LL << AmountProblem::TooLarge;
    QTest::newRow("rounds above the largest") << u"999999999.995"_s << 0LL << AmountProblem::TooLarge;
    QTest::newRow("400 digits") << QString(400, u'9') << 0LL << AmountProblem::TooLarge;
    QTest::newRow("300 digits negative") << u"-"_s + QString(300, u'9') << 0LL << AmountProblem::Negative;
}

void TestBatchCalc::cellText()
{
    QFETCH(QString, text);
    QFETCH(qint64, fen);
    QFETCH(AmountProblem, problem);
    const AmountReading reading = amountFromCellText(text);
    QCOMPARE(reading.fen, fen);
    QCOMPARE(reading.problem, problem);
    // A text cell reads the same way, and the reason names the cell's text.
    const AmountReading cell = readAmountCell(TextCell, text, false, 0);
    QCOMPARE(cell.fen, fen);
    QCOMPARE(cell.problem, problem);
    QCOMPARE(amountProblemText(problem, text).isEmpty(), problem == AmountProblem::None);
    if (problem != AmountProblem::None)
        QVERIFY(amountProblemText(problem, text).contains(text));
}

void TestBatchCalc::cellNumber_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("number");
    QTest::addColumn<bool>("hasNumber");
    QTest::addColumn<qint64>("fen");
    QTest::addColumn<AmountProblem>("problem");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const auto ok = AmountProblem::None;
    QTest::newRow("number shown with separators")
        << int(NumberCell) << u"1,234.50"_s << 1234.5 << true << 123450LL << ok;
    QTest::newRow("number shown rounded")
        << int(NumberCell) << u"1,235"_s << 1234.5 << true << 123450LL << ok;
    QTest::newRow("number shown as a percentage") << int(NumberCell) << u"50%"_s << 0.5 << true << 50LL << ok;
    QTest::newRow("number without its value reads the text")
        << int(NumberCell) << u"1,234.50"_s << 0.0 << false << 123450LL << ok;
    QTest::newRow("tiny negative rounds to 0")
        << int(NumberCell) << u"-0.00"_s << -0.001 << true << 0LL << ok;
    QTest::newRow("negative number") << int(NumberCell) << u"-5"_s << -5.0 << true << 0LL
                                     << AmountProblem::Negative;
    QTest::newRow("-1e306 has no fen value")
        << int(NumberCell) << u"-1E+306"_s << -1e306 << true << 0LL << AmountProblem::Negative;
    QTest::newRow("1e30") << int(NumberCell) << u"1E+30"_s << 1e30 << true << 0LL << AmountProblem::TooLarge;
    QTest::newRow("NaN") << int(NumberCell) << u"nan"_s << nan << true << 0LL << AmountProblem::TooLarge;
    QTest::newRow("infinity") << int(NumberCell) << u"inf"_s << inf << true << 0LL << AmountProblem::TooLarge;
    QTest::newRow("minus infinity") << int(NumberCell) << u"-inf"_s << -inf << true << 0LL
                                    << AmountProblem::TooLarge;
    QTest::newRow("date") << int(DateCell) << u"2026-12-08"_s << 46364.0 << true << 0LL
                          << AmountProblem::NotAnAmount;
    QTest::newRow("empty date cell") << int(DateCell) << QString() << 0.0 << false << 0LL << ok;
    QTest::newRow("time") << int(TimeCell) << u"10:30"_s << 0.4375 << true << 0LL
                          << AmountProblem::NotAnAmount;
}

void TestBatchCalc::cellNumber()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(double, number);
    QFETCH(bool, hasNumber);
    QFETCH(qint64, fen);
    QFETCH(AmountProblem, problem);
    const AmountReading reading = readAmountCell(CellKind(kind), text, hasNumber, number);
    QCOMPARE(reading.fen, fen);
    QCOMPARE(reading.problem, problem);
}

void TestBatchCalc::worksheetRow()
{
    PlainWorksheetRow row({PlainWorksheetRow::numberCell(1234.5, u"1,234.50"_s),
                           PlainWorksheetRow::textCell(u"1,234.50"_s), PlainWorksheetRow::missingCell(),
                           PlainWorksheetRow::textCell(u"abc"_s)});
    QCOMPARE(readAmountCell(row, 0).fen, 123450);
    QCOMPARE(readAmountCell(row, 1).fen, 123450);
    QVERIFY(readAmountCell(row, 2).ok());
    QCOMPARE(readAmountCell(row, 2).fen, 0);
    QCOMPARE(readAmountCell(row, 3).problem, AmountProblem::NotANumber);
    // Beyond the row: a missing cell.
    QVERIFY(readAmountCell(row, 9).ok());
    QVERIFY(readAmountCell(row, -1).ok());
}

namespace {

QString textAt(const std::vector<ResultText> &texts, GroupKind kind, int id)
{
    const int column = ColumnCatalogue::instance().resultColumn(TreeCalcResult, kind, id);
    for (const ResultText &t : texts) {
        if (t.column == column)
            return t.text;
    }
    return u"<none>"_s;
}

Salary calculated(Amount gross, Amount insurance, Amount bonus, Amount annuity,
                  qint32 threshold = kThresholdLocal)
{
    Salary salary;
    setCalcInputs(salary, gross, insurance, bonus, annuity);
    TaxEngine(threshold).calculate(salary);
    return salary;
}

} // namespace

void TestBatchCalc::resultTexts()
{
    // 10,000 wage, 1,000 insurance, 18,001 bonus, 1,200 annuity.
    const Salary s = calculated(1000000, 100000, 1800100, 120000);
    const auto texts = calcResultTexts(s);
    for (size_t i = 1; i < texts.size(); ++i)
        QVERIFY(texts[i - 1].column < texts[i].column);
    QCOMPARE(textAt(texts, GroupMonthly, ColGross), u"10,000"_s);
    QCOMPARE(textAt(texts, GroupMonthly, ColInsurance), u"1,000"_s);
    QCOMPARE(textAt(texts, GroupMonthly, ColTaxable), u"9,000"_s);
    QCOMPARE(textAt(texts, GroupMonthly, ColTax), u"545"_s);
    QCOMPARE(textAt(texts, GroupMonthly, ColNet), u"8,455"_s);
    QCOMPARE(textAt(texts, GroupMonthly, ColRate), u"20%"_s);
    QCOMPARE(textAt(texts, GroupMonthly, ColQuickDeduction), u"555"_s);
    // 18,001 / 12 lies above 1,500: 10 % less 105.
    QCOMPARE(textAt(texts, GroupBonus, ColTaxable), u"18,001"_s);
    QCOMPARE(textAt(texts, GroupBonus, ColTax), u"1,695.1"_s);
    QCOMPARE(textAt(texts, GroupBonus, ColRate), u"10%"_s);
    QCOMPARE(textAt(texts, GroupAnnuity, ColTaxable), u"1,200"_s);
    QCOMPARE(textAt(texts, GroupSubtotal, ColGross), formatAmount(s.grossTotal));
    QCOMPARE(textAt(texts, GroupSubtotal, ColTax), formatAmount(s.taxTotal));
    QCOMPARE(textAt(texts, GroupSubtotal, ColNet), formatAmount(s.netTotal));
    QCOMPARE(textAt(texts, GroupRemark, ColProcess), s.processText);
    QVERIFY(!s.processText.isEmpty());
}

void TestBatchCalc::arenaTextsAsHeapTexts_data()
{
    QTest::addColumn<qint64>("wage");
    QTest::addColumn<qint64>("bonus");
    QTest::newRow("ordinary") << 1000000LL << 1800100LL;
    QTest::newRow("no bonus") << 350000LL << 0LL;
    QTest::newRow("below the threshold") << 120000LL << 55LL;
    QTest::newRow("largest amounts") << 99999999999999LL << 99999999999999LL;
}

// An arena changes where the figures live, never what they read.
void TestBatchCalc::arenaTextsAsHeapTexts()
{
    QFETCH(qint64, wage);
    QFETCH(qint64, bonus);
    const Salary s = calculated(wage, 0, bonus, 1000);
    const std::vector<ResultText> heap = calcResultTexts(s);
    std::vector<ResultText> held;
    {
        ResultTextArena arena;
        // Enough rows to fill several blocks of the arena.
        for (int i = 0; i < 20000; ++i)
            held = calcResultTexts(s);
        QCOMPARE(held.size(), heap.size());
        for (size_t i = 0; i < heap.size(); ++i) {
            QCOMPARE(held[i].column, heap[i].column);
            QCOMPARE(held[i].text, heap[i].text);
        }
        held.clear(); // nothing of the arena outlives it
    }
    QVERIFY(!ResultTextArena::current());
}

void TestBatchCalc::arenaNestsAndCopiesOut()
{
    QVERIFY(!ResultTextArena::current());
    QString copied;
    {
        ResultTextArena outer;
        QCOMPARE(ResultTextArena::current(), &outer);
        {
            ResultTextArena inner;
            QCOMPARE(ResultTextArena::current(), &inner);
            QString text = inner.keep(u"1,234.5");
            QString changed = text;
            changed += u'0'; // a change makes its own copy
            QCOMPARE(changed, u"1,234.50"_s);
            QCOMPARE(text, u"1,234.5"_s);
            copied = QString(text.constData(), text.size());
        }
        QCOMPARE(ResultTextArena::current(), &outer);
        const QString longText(100000, u'x');
        QCOMPARE(outer.keep(longText), longText); // too long for a block: a heap text
    }
    QVERIFY(!ResultTextArena::current());
    QCOMPARE(copied, u"1,234.5"_s);
}

void TestBatchCalc::emptyWageRowHasNoMonthlyCells()
{
    const Salary s = calculated(0, 0, 500000, 0);
    const auto texts = calcResultTexts(s);
    for (int id : {ColGross, ColInsurance, ColTaxable, ColTax, ColNet, ColRate, ColQuickDeduction})
        QCOMPARE(textAt(texts, GroupMonthly, id), u"<none>"_s);
    for (int id : {ColTaxable, ColTax, ColNet})
        QCOMPARE(textAt(texts, GroupAnnuity, id), u"<none>"_s);
    QCOMPARE(textAt(texts, GroupBonus, ColTaxable), u"5,000"_s);

    // It adds nothing to the monthly sums.
    CalcResultTotals totals;
    totals.add(calculated(800000, 0, 0, 0));
    totals.add(s);
    QCOMPARE(textAt(totals.texts(), GroupMonthly, ColGross), u"8,000"_s);
    QCOMPARE(textAt(totals.texts(), GroupBonus, ColTaxable), u"5,000"_s);
}

void TestBatchCalc::totals()
{
    CalcResultTotals totals;
    Amount tax = 0, net = 0, monthlyTax = 0;
    for (int i = 0; i < 500; ++i) {
        const Salary s = calculated(300000 + 4321 * i, 20000 + i, (i % 7) * 100001, (i % 3) * 9999,
                                    i % 2 ? kThresholdLocal : kThresholdForeign);
        tax += s.taxTotal;
        net += s.netTotal;
        monthlyTax += Salary::taxOf(s.monthly);
        totals.add(s);
    }
    QCOMPARE(totals.taxTotal(), tax);
    QCOMPARE(totals.netTotal(), net);
    const auto texts = totals.texts();
    QCOMPARE(textAt(texts, GroupSubtotal, ColTax), formatAmount(tax));
    QCOMPARE(textAt(texts, GroupMonthly, ColTax), formatAmount(monthlyTax));
    // Rates and quick deductions have no totals.
    QCOMPARE(textAt(texts, GroupMonthly, ColRate), u"<none>"_s);
    QCOMPARE(textAt(texts, GroupBonus, ColQuickDeduction), u"<none>"_s);
    QCOMPARE(texts.size(), size_t(14));
}

void TestBatchCalc::completionMessage_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("unreadable");
    QTest::addColumn<QString>("message");
    QTest::newRow("clean") << 3 << 0 << u"已完成 3 笔个税计算。"_s;
    QTest::newRow("unreadable cells")
        << 100000 << 2 << u"已完成 100000 笔个税计算。其中 2 个金额单元格无法识别，已按 0 计算。"_s;
}

void TestBatchCalc::completionMessage()
{
    QFETCH(int, count);
    QFETCH(int, unreadable);
    QFETCH(QString, message);
    QCOMPARE(calcCompletionMessage(count, unreadable), message);
}

QTEST_APPLESS_MAIN(TestBatchCalc)
#include "tst_batchcalc.moc"
