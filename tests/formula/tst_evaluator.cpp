#include "formula/evaluator.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

class TestEvaluator : public QObject
{
    Q_OBJECT

private slots:
    void values_data();
    void values();
    void errors_data();
    void errors();
    void variablesAfter_data();
    void variablesAfter();
    void nonFinite_data();
    void nonFinite();
    void normalisedText_data();
    void normalisedText();
    void textLength_data();
    void textLength();
    void nesting_data();
    void nesting();
    void longChains_data();
    void longChains();
    void clearKeepsVariablesResetDoesNot();
    void setVariableLetters_data();
    void setVariableLetters();
    void stopsAtNulByte();
    void evaluateWithoutParse();
    void sharedInstanceIsOne();
};

static EvalOutcome run(const QByteArray &text)
{
    Evaluator e;
    return evaluateText(e, text);
}

void TestEvaluator::values_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");

    // Equal precedence groups to the right; saved formulas were written against that.
    QTest::newRow("10-3-2 groups right") << "10-3-2"_ba << 9.0;
    QTest::newRow("8/4/2 groups right") << "8/4/2"_ba << 4.0;
    QTest::newRow("2^3^2") << "2^3^2"_ba << 512.0;
    QTest::newRow("1+2*3") << "1+2*3"_ba << 7.0;
    QTest::newRow("2*3+1 climbs") << "2*3+1"_ba << 7.0;
    QTest::newRow("1<2==1") << "1<2==1"_ba << 1.0;
    QTest::newRow("brackets override") << "(10-3)-2"_ba << 5.0;
    QTest::newRow("spaces skipped") << "  1 +  2 * 3 "_ba << 7.0;

    QTest::newRow("7\\2") << "7\\2"_ba << 3.0;
    QTest::newRow("-7\\2 truncates toward zero") << "-7\\2"_ba << -3.0;
    QTest::newRow("7%3") << "7%3"_ba << 1.0;
    QTest::newRow("-7%3 takes dividend sign") << "-7%3"_ba << -1.0;
    QTest::newRow("7.9%3 truncates first") << "7.9%3"_ba << 1.0;
    QTest::newRow("int min % -1") << "-2147483648%-1"_ba << 0.0;
    QTest::newRow("1<<4") << "1<<4"_ba << 16.0;
    QTest::newRow("shift count low 5 bits") << "1<<33"_ba << 2.0;
    QTest::newRow("-16>>2 arithmetic") << "-16>>2"_ba << -4.0;
    QTest::newRow("1<<31 wraps") << "1<<31"_ba << -2147483648.0;
    QTest::newRow("6&3") << "6&3"_ba << 2.0;
    QTest::newRow("6|3") << "6|3"_ba << 7.0;
    QTest::newRow("out of int range is int min") << "5000000000|0"_ba << -2147483648.0;
    QTest::newRow("7\\0 is int min") << "7\\0"_ba << -2147483648.0;

    QTest::newRow("1<2") << "1<2"_ba << 1.0;
    QTest::newRow("2<>2") << "2<>2"_ba << 0.0;
    QTest::newRow("2!=3") << "2!=3"_ba << 1.0;
    QTest::newRow("2>=2") << "2>=2"_ba << 1.0;
    QTest::newRow("3<=2") << "3<=2"_ba << 0.0;
    QTest::newRow("2>3") << "2>3"_ba << 0.0;
    QTest::newRow("3==3") << "3==3"_ba << 1.0;
    QTest::newRow("2&&3 is exactly 1") << "2&&3"_ba << 1.0;
    QTest::newRow("0||0") << "0||0"_ba << 0.0;
    QTest::newRow("0&&(x=5)") << "0&&(x=5)"_ba << 0.0;
    QTest::newRow("1||(x=5)") << "1||(x=5)"_ba << 1.0;

    QTest::newRow("0x1F") << "0x1F"_ba << 31.0;
    QTest::newRow("0b101") << "0b101"_ba << 5.0;
    QTest::newRow("017 octal") << "017"_ba << 15.0;
    QTest::newRow("0 alone") << "0"_ba << 0.0;
    QTest::newRow("-0x10") << "-0x10"_ba << -16.0;
    QTest::newRow("1.5e2") << "1.5e2"_ba << 150.0;
    QTest::newRow("2e-1") << "2e-1"_ba << 0.2;
    QTest::newRow("1.5E2 capital") << "1.5E2"_ba << 150.0;
    QTest::newRow("lone dot") << "."_ba << 0.0;
    QTest::newRow(".5") << ".5"_ba << 0.5;
    QTest::newRow("0.25") << "0.25"_ba << 0.25;
    QTest::newRow("exponent without digits") << "2e+1"_ba << 3.0;
    QTest::newRow("3--2") << "3--2"_ba << 5.0;
    QTest::newRow("2^-1") << "2^-1"_ba << 0.5;
    QTest::newRow("twelve fraction digits") << "0.123456789012"_ba << 0.123456789012;
    QTest::newRow("fraction digits past 32 bits") << "1.99999999999"_ba << 1.99999999999;
    QTest::newRow("1e-400 underflows to 0") << "1e-400"_ba << 0.0;
    QTest::newRow("zero with huge exponent") << "0.0e999999999"_ba << 0.0;

    QTest::newRow("{1+2]*3") << "{1+2]*3"_ba << 9.0;
    QTest::newRow("[2]*[3]") << "[2]*[3]"_ba << 6.0;
    QTest::newRow("nested brackets") << "((1+(2)))*2"_ba << 6.0;

    QTest::newRow("sqrt") << "sqrt(16)"_ba << 4.0;
    QTest::newRow("abs") << "abs(-2.5)"_ba << 2.5;
    QTest::newRow("log10") << "log10(1000)"_ba << 3.0;
    QTest::newRow("log") << "log(1)"_ba << 0.0;
    QTest::newRow("exp") << "exp(0)"_ba << 1.0;
    QTest::newRow("ceil") << "ceil(1.2)"_ba << 2.0;
    QTest::newRow("floor") << "floor(-1.2)"_ba << -2.0;
    QTest::newRow("sinh not sin") << "sinh(0)+cosh(0)"_ba << 1.0;
    QTest::newRow("tanh") << "tanh(0)"_ba << 0.0;
    QTest::newRow("atan asin acos") << "atan(0)+asin(0)+acos(1)"_ba << 0.0;
    QTest::newRow("cos tan") << "cos(0)+tan(0)"_ba << 1.0;
    QTest::newRow("SQRT capitals") << "SQRT(9)"_ba << 3.0;
    QTest::newRow("function of expression") << "sqrt(8+8)*2"_ba << 8.0;

    QTest::newRow("a=5") << "a=5"_ba << 5.0;
    QTest::newRow("a=b=5") << "a=b=5"_ba << 5.0;
    QTest::newRow("(a)=3 is a variable") << "(a)=3"_ba << 3.0;
    QTest::newRow("unset variable is 0") << "q+1"_ba << 1.0;
    QTest::newRow("assignment then use") << "(a=2)*a"_ba << 4.0;
    QTest::newRow("power evaluates right first") << "a^(a=3)"_ba << 27.0;

    QTest::newRow("1,2 is 1") << "1,2"_ba << 1.0;
    QTest::newRow("text after comma ignored") << "4,@#$"_ba << 4.0;
}

void TestEvaluator::values()
{
    QFETCH(QByteArray, text);
    QFETCH(double, value);
    const EvalOutcome r = run(text);
    QVERIFY2(r.ok, qPrintable(u"error %1 at %2"_s.arg(r.error).arg(r.errorPos)));
    QCOMPARE(r.value, value);
}

void TestEvaluator::errors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("position");

    QTest::newRow("08 octal stops at 8") << "08"_ba << 2 << 1;
    QTest::newRow("-a") << "-a"_ba << 2 << 1;
    QTest::newRow("-(1)") << "-(1)"_ba << 2 << 1;
    QTest::newRow("-sin(1)") << "-sin(1)"_ba << 2 << 1;
    QTest::newRow("+1 leading plus") << "+1"_ba << 2 << 0;
    QTest::newRow("foo(1)") << "foo(1)"_ba << 2 << 0;
    QTest::newRow("sin without bracket") << "sin 1"_ba << 2 << 0;
    QTest::newRow("two variables") << "ab"_ba << 2 << 0;
    QTest::newRow("empty") << ""_ba << 2 << 0;
    QTest::newRow("blanks only") << "   "_ba << 2 << 3;
    QTest::newRow("missing operand at end") << "1+"_ba << 2 << 2;
    QTest::newRow("no operator between") << "1 2"_ba << 2 << 2;
    QTest::newRow("unknown operator") << "1#2"_ba << 2 << 1;
    QTest::newRow("variable then digit") << "a1"_ba << 2 << 1;
    QTest::newRow("minus then blank") << "3-- 2"_ba << 2 << 3;
    QTest::newRow("Chinese byte") << "1+\xe4\xb8\xad"_ba << 2 << 2;
    QTest::newRow("Chinese byte as operator") << "12\xe4\xb8\xad"_ba << 2 << 2;
    QTest::newRow("high byte not a letter") << "\xc1"_ba << 2 << 0;

    QTest::newRow("(1+2") << "(1+2"_ba << 3 << 5;
    QTest::newRow("1+2)") << "1+2)"_ba << 3 << 3;
    QTest::newRow("sin(1,2) at the comma") << "sin(1,2)"_ba << 3 << 5;
    QTest::newRow("(1,2) at the comma") << "(1,2)"_ba << 3 << 2;
    QTest::newRow("close before open") << ")("_ba << 3 << 0;
    QTest::newRow("mixed kinds unbalanced") << "{1+2"_ba << 3 << 5;

    QTest::newRow("0&&x=5") << "0&&x=5"_ba << 5 << 4;
    QTest::newRow("5=a") << "5=a"_ba << 5 << 1;
    QTest::newRow("1+a=5") << "1+a=5"_ba << 5 << 3;
    QTest::newRow("a+1=5 spaced") << "a + 1 = 5"_ba << 5 << 6;
}

void TestEvaluator::errors()
{
    QFETCH(QByteArray, text);
    QFETCH(int, error);
    QFETCH(int, position);
    const EvalOutcome r = run(text);
    QVERIFY(!r.ok);
    QCOMPARE(r.error, error);
    QCOMPARE(r.errorPos, position);
    QCOMPARE(r.message, exprErrorMessage(error));
    QVERIFY(!r.message.isEmpty());
}

void TestEvaluator::variablesAfter_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<char>("letter");
    QTest::addColumn<double>("expected");

    QTest::newRow("&& skips right side") << "0&&(x=5)"_ba << 'x' << 0.0;
    QTest::newRow("|| skips right side") << "1||(x=5)"_ba << 'x' << 0.0;
    QTest::newRow("&& runs right side") << "1&&(x=5)"_ba << 'x' << 5.0;
    QTest::newRow("|| runs right side") << "0||(x=5)"_ba << 'x' << 5.0;
    QTest::newRow("a=b=5 sets a") << "a=b=5"_ba << 'a' << 5.0;
    QTest::newRow("a=b=5 sets b") << "a=b=5"_ba << 'b' << 5.0;
    QTest::newRow("capital letter is the variable") << "Z=7"_ba << 'z' << 7.0;
    QTest::newRow("failed parse assigns nothing") << "y=1+"_ba << 'y' << 0.0;
}

void TestEvaluator::variablesAfter()
{
    QFETCH(QByteArray, text);
    QFETCH(char, letter);
    QFETCH(double, expected);
    Evaluator e;
    evaluateText(e, text);
    QCOMPARE(e.variable(letter), expected);
}

void TestEvaluator::nonFinite_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("isNan");

    QTest::newRow("1/0") << "1/0"_ba << false;
    QTest::newRow("% by zero") << "5%0"_ba << true;
    QTest::newRow("% by fraction truncating to zero") << "5%0.5"_ba << true;
    QTest::newRow("1e400") << "1e400"_ba << false;
    QTest::newRow("400 integer digits") << QByteArray(400, '9') << false;
    QTest::newRow("sqrt(-1)") << "sqrt(-1)"_ba << true;
    QTest::newRow("log(0)") << "log(0)"_ba << false;
}

void TestEvaluator::nonFinite()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, isNan);
    const EvalOutcome r = run(text);
    QVERIFY(r.ok);
    QVERIFY(!std::isfinite(r.value));
    QCOMPARE(std::isnan(r.value), isNan);
}

void TestEvaluator::normalisedText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("normalised");
    QTest::addColumn<int>("error");

    QTest::newRow("brackets and capitals") << "{A+[B]}*0X1F"_ba
                                           << "(a+(b))*0x1f"_ba << 0;
    // The walk stops at the stray bracket; what follows is left as it was.
    QTest::newRow("stops at stray bracket") << "1)+A[B"_ba
                                            << "1)+A[B"_ba << 3;
    QTest::newRow("non-ASCII bytes untouched") << "A\xe4\xb8\xad"_ba
                                               << "a\xe4\xb8\xad"_ba << 0;
}

void TestEvaluator::normalisedText()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, normalised);
    QFETCH(int, error);
    Evaluator e;
    e.setText(text);
    QCOMPARE(e.text(), normalised);
    QCOMPARE(e.error(), error);
}

void TestEvaluator::textLength_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("position");

    QByteArray sum999 = "1";
    while (sum999.size() < 999)
        sum999 += "+1";
    QTest::newRow("999 bytes fit") << sum999 << 0 << 0;
    QTest::newRow("1000 bytes refused") << (sum999 + '1') << int(TextTooLongError) << 999;
    QTest::newRow("100000 bytes refused") << QByteArray(100000, '1') << int(TextTooLongError) << 999;
}

void TestEvaluator::textLength()
{
    QFETCH(QByteArray, text);
    QFETCH(int, error);
    QFETCH(int, position);
    Evaluator e;
    const EvalOutcome r = evaluateText(e, text);
    QCOMPARE(r.error, error);
    QCOMPARE(r.errorPos, position);
    if (error == 0)
        QCOMPARE(r.value, 500.0);
    else
        QCOMPARE(r.message, u"表达式过长"_s);
}

void TestEvaluator::nesting_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("position");

    const int limit = Evaluator::kMaxNesting;
    QTest::newRow("brackets at the limit") << QByteArray(limit, '(') + '1' + QByteArray(limit, ')') << 0 << 0;
    QTest::newRow("brackets past the limit")
        << QByteArray(limit + 1, '(') + '1' + QByteArray(limit + 1, ')') << int(NestingTooDeepError) << limit;
    QTest::newRow("490 brackets") << QByteArray(490, '[') + '1' + QByteArray(490, ']')
                                  << int(NestingTooDeepError) << limit;
    QByteArray functions;
    for (int i = 0; i <= limit; ++i)
        functions += "abs(";
    functions += '1' + QByteArray(limit + 1, ')');
    QTest::newRow("functions past the limit") << functions << int(NestingTooDeepError) << 4 * limit;
    // An unbalanced deep text is a bracket error found before any parsing.
    QTest::newRow("deep and unbalanced") << QByteArray(300, '(') + '1' << int(BracketError) << 302;
}

void TestEvaluator::nesting()
{
    QFETCH(QByteArray, text);
    QFETCH(int, error);
    QFETCH(int, position);
    const EvalOutcome r = run(text);
    QCOMPARE(r.error, error);
    QCOMPARE(r.errorPos, position);
    if (error == 0)
        QCOMPARE(r.value, 1.0);
}

void TestEvaluator::longChains_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");

    auto chain = [](const QByteArray &operand, const QByteArray &op) {
        QByteArray t = operand;
        while (t.size() + op.size() + operand.size() <= Evaluator::kMaxTextBytes)
            t += op + operand;
        return t;
    };
    // Right grouping of a long subtraction chain alternates: 1-(1-(1-…)) over 500 ones is 0.
    QTest::newRow("499 subtractions") << chain("1", "-") << 0.0;
    QTest::newRow("499 powers") << chain("1", "^") << 1.0;
    QTest::newRow("498 assignments") << "a="_ba.repeated(498) + '7' << 7.0;
    QTest::newRow("alternating precedence") << chain("2", "*1+") << 2.0 * 250;
    QTest::newRow("332 equality tests") << chain("1", "==") << 1.0;
}

void TestEvaluator::longChains()
{
    QFETCH(QByteArray, text);
    QFETCH(double, value);
    QVERIFY(text.size() <= Evaluator::kMaxTextBytes);
    const EvalOutcome r = run(text);
    QVERIFY2(r.ok, qPrintable(u"error %1 at %2"_s.arg(r.error).arg(r.errorPos)));
    QCOMPARE(r.value, value);
}

void TestEvaluator::clearKeepsVariablesResetDoesNot()
{
    Evaluator e;
    // n=n+1 counts rows of an import: the count survives clear between formulas.
    for (int i = 0; i < 3; ++i)
        QVERIFY(evaluateText(e, "n=n+1"_ba).ok);
    QCOMPARE(e.variable('n'), 3.0);
    e.setText("1+");
    e.parse();
    QCOMPARE(e.error(), 2);
    e.clear();
    QCOMPARE(e.error(), 0);
    QCOMPARE(e.errorPos(), 0);
    QCOMPARE(e.text(), QByteArray());
    QCOMPARE(e.variable('n'), 3.0);
    e.reset();
    QCOMPARE(e.variable('n'), 0.0);
}

void TestEvaluator::setVariableLetters_data()
{
    QTest::addColumn<char>("letter");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("a") << 'a' << true;
    QTest::newRow("z") << 'z' << true;
    QTest::newRow("capital A") << 'A' << false;
    QTest::newRow("digit") << '1' << false;
    QTest::newRow("brace after z") << '{' << false;
    QTest::newRow("high byte") << char(0xe4) << false;
}

void TestEvaluator::setVariableLetters()
{
    QFETCH(char, letter);
    QFETCH(bool, accepted);
    Evaluator e;
    QCOMPARE(e.setVariable(letter, 4.5), accepted);
    QCOMPARE(e.variable(letter), accepted ? 4.5 : 0.0);
    if (accepted) {
        const EvalOutcome r = evaluateText(e, QByteArray(1, letter) + "*2");
        QCOMPARE(r.value, 9.0);
    }
}

void TestEvaluator::stopsAtNulByte()
{
    Evaluator e;
    const EvalOutcome r = evaluateText(e, QByteArray("2*3\0+@", 6));
    QVERIFY(r.ok);
    QCOMPARE(r.value, 6.0);
}

void TestEvaluator::evaluateWithoutParse()
{
    Evaluator e;
    QCOMPARE(e.evaluate(), 0.0);
    e.setText("(1");
    e.parse(); // refused: the bracket error stands
    QCOMPARE(e.error(), 3);
    QCOMPARE(e.evaluate(), 0.0);
    // Without clear in between, the next text is read on its own merits.
    e.setText("2*4");
    e.parse();
    QCOMPARE(e.error(), 0);
    QCOMPARE(e.evaluate(), 8.0);
}

void TestEvaluator::sharedInstanceIsOne()
{
    Evaluator &a = sharedEvaluator();
    QCOMPARE(&a, &sharedEvaluator());
    a.reset();
    QVERIFY(evaluateText(a, "k=2"_ba).ok);
    QCOMPARE(sharedEvaluator().variable('k'), 2.0);
    a.reset();
}

QTEST_GUILESS_MAIN(TestEvaluator)
#include "tst_evaluator.moc"
