#include "formula/formularewrite.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

class TestFormulaRewrite : public QObject
{
    Q_OBJECT

private slots:
    void constants_data();
    void constants();
    void tokens_data();
    void tokens();
    void columnIndex_data();
    void columnIndex();
    void resultText_data();
    void resultText();
    void literalReadsBack_data();
    void literalReadsBack();
    void errorNote_data();
    void errorNote();
    void row_data();
    void row();
    void variablesCarryOverRows();
    void resultsDoNotLeakBetweenRows();
};

// "C:A" column reference, "N:name" name reference, "L:text" literal.
static QStringList describe(const FormulaTokens &tokens)
{
    QStringList out;
    for (const FormulaToken &t : tokens) {
        const QChar kind = t.kind == FormulaToken::ColumnRef ? u'C'
                           : t.kind == FormulaToken::NameRef ? u'N'
                                                             : u'L';
        out << QString(kind) + u':' + t.text;
    }
    return out;
}

// "n:1234.5|1,234.50" a number cell with its display text, "t:张三" a text cell, "d:2013-01-01" a
// date cell, "-" no cell at all.
static PlainWorksheetRow makeRow(const QStringList &cells)
{
    PlainWorksheetRow row;
    for (const QString &spec : cells) {
        if (spec == u"-"_s) {
            row.append(PlainWorksheetRow::missingCell());
        } else if (spec.startsWith(u"n:"_s)) {
            const QStringList parts = spec.mid(2).split(u'|');
            row.append(PlainWorksheetRow::numberCell(parts.at(0).toDouble(), parts.value(1, parts.at(0))));
        } else if (spec.startsWith(u"d:"_s)) {
            row.append(PlainWorksheetRow::textCell(spec.mid(2), DateCell));
        } else {
            row.append(PlainWorksheetRow::textCell(spec.mid(2)));
        }
    }
    return row;
}

void TestFormulaRewrite::constants_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("rewritten");

    QTest::newRow("PI*2") << u"PI*2"_s << u"3.1415925*2"_s;
    QTest::newRow("pi*2") << u"pi*2"_s << u"3.1415925*2"_s;
    QTest::newRow("Pi2 left alone") << u"Pi2"_s << u"Pi2"_s;
    QTest::newRow("TRUE") << u"TRUE"_s << u"1"_s;
    QTest::newRow("False and Null") << u"False+null"_s << u"0+0"_s;
    QTest::newRow("followed by bracket left alone") << u"true(1)"_s << u"true(1)"_s;
    QTest::newRow("inside square brackets") << u"[Pi]"_s << u"[3.1415925]"_s;
    // False goes first, and its 0 then keeps the True before it from being replaced.
    QTest::newRow("replacement blocks earlier name") << u"TrueFalse"_s << u"True0"_s;
    QTest::newRow("nothing to replace") << u"A+B"_s << u"A+B"_s;
}

void TestFormulaRewrite::constants()
{
    QFETCH(QString, formula);
    QFETCH(QString, rewritten);
    QCOMPARE(replaceFormulaConstants(formula), rewritten);
}

void TestFormulaRewrite::tokens_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QStringList>("tokens");

    QTest::newRow("one column") << u"A"_s << QStringList{u"C:A"_s};
    QTest::newRow("columns and literals")
        << u"A+B*2"_s << QStringList{u"C:A"_s, u"L:+"_s, u"C:B"_s, u"L:*2"_s};
    QTest::newRow("two-letter columns") << u"AA-AZ"_s << QStringList{u"C:AA"_s, u"L:-"_s, u"C:AZ"_s};
    QTest::newRow("name reference") << u"[基本工资]*0.1"_s << QStringList{u"N:基本工资"_s, u"L:*0.1"_s};
    QTest::newRow("capitals inside a name stay in it")
        << u"B+[A列]"_s << QStringList{u"C:B"_s, u"L:+"_s, u"N:A列"_s};
    QTest::newRow("shortest bracket match") << u"[a]+[b]"_s << QStringList{u"N:a"_s, u"L:+"_s, u"N:b"_s};
    QTest::newRow("unclosed bracket is literal") << u"[x+A"_s << QStringList{u"L:[x+"_s, u"C:A"_s};
    QTest::newRow("letter and digit are no column") << u"A1+B"_s << QStringList{u"L:A1+"_s, u"C:B"_s};
    QTest::newRow("lower case is literal") << u"sqrt(A)"_s << QStringList{u"L:sqrt("_s, u"C:A"_s, u"L:)"_s};
    QTest::newRow("constant becomes literal") << u"Pi*A"_s << QStringList{u"L:3.1415925*"_s, u"C:A"_s};
    QTest::newRow("variables only") << u"n=n+1"_s << QStringList{u"L:n=n+1"_s};
    QTest::newRow("empty") << QString() << QStringList();
}

void TestFormulaRewrite::tokens()
{
    QFETCH(QString, formula);
    QFETCH(QStringList, tokens);
    QCOMPARE(describe(tokenizeFormula(formula)), tokens);
}

void TestFormulaRewrite::columnIndex_data()
{
    QTest::addColumn<QString>("letters");
    QTest::addColumn<int>("index");

    QTest::newRow("A") << u"A"_s << 0;
    QTest::newRow("Z") << u"Z"_s << 25;
    QTest::newRow("AA") << u"AA"_s << 26;
    QTest::newRow("AZ") << u"AZ"_s << 51;
    QTest::newRow("BA") << u"BA"_s << 52;
    QTest::newRow("ZZ") << u"ZZ"_s << 701;
    QTest::newRow("AAA") << u"AAA"_s << 702;
    QTest::newRow("lower case") << u"a"_s << -1;
    QTest::newRow("with digit") << u"A1"_s << -1;
    QTest::newRow("empty") << QString() << -1;
    QTest::newRow("too long for an int") << u"ZZZZZZZZ"_s << -1;
    QTest::newRow("a thousand letters") << QString(1000, u'Q') << -1;
}

void TestFormulaRewrite::columnIndex()
{
    QFETCH(QString, letters);
    QFETCH(int, index);
    QCOMPARE(formulaColumnIndex(letters), index);
}

void TestFormulaRewrite::resultText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("1234.5") << 1234.5 << u"1234.50"_s;
    QTest::newRow("zero") << 0.0 << u"0.00"_s;
    QTest::newRow("integer") << 3000.0 << u"3000.00"_s;
    QTest::newRow("rounds to zero without sign") << -0.001 << u"0.00"_s;
    QTest::newRow("negative zero") << -0.0 << u"0.00"_s;
    QTest::newRow("10.15*0.7 half up") << 10.15 * 0.7 << u"7.11"_s;
    QTest::newRow("2.675 half up") << 2.675 << u"2.68"_s;
    QTest::newRow("-2.675 half toward +inf") << -2.675 << u"-2.67"_s;
    QTest::newRow("-2.6751 rounds away") << -2.6751 << u"-2.68"_s;
    QTest::newRow("0.005") << 0.005 << u"0.01"_s;
    QTest::newRow("0.004") << 0.004 << u"0.00"_s;
    QTest::newRow("carry through nines") << 999.995 << u"1000.00"_s;
    QTest::newRow("0.1+0.2") << 0.1 + 0.2 << u"0.30"_s;
    QTest::newRow("negative") << -1.5 << u"-1.50"_s;
    QTest::newRow("1e20") << 1e20 << u"100000000000000000000.00"_s;
    QTest::newRow("tiny") << 1e-300 << u"0.00"_s;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << u"inf"_s;
}

void TestFormulaRewrite::resultText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(formatFormulaResult(value), text);
}

void TestFormulaRewrite::literalReadsBack_data()
{
    QTest::addColumn<double>("value");

    QTest::newRow("1234.5") << 1234.5;
    QTest::newRow("negative") << -2.5;
    QTest::newRow("big exponent") << 1e21;
    QTest::newRow("small exponent") << 2.5e-7;
    QTest::newRow("max double") << std::numeric_limits<double>::max();
    QTest::newRow("0.1") << 0.1;
}

void TestFormulaRewrite::literalReadsBack()
{
    QFETCH(double, value);
    Evaluator e;
    const QString literal = numberLiteral(value);
    const EvalOutcome r = evaluateText(e, literal.toUtf8());
    QVERIFY2(r.ok, qPrintable(literal));
    QCOMPARE(r.value, value);
}

void TestFormulaRewrite::errorNote_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("note");

    QTest::newRow("middle") << u"1+@"_s << 2 << u"1+@\n --Δ-\n语法错误"_s;
    QTest::newRow("start") << u"@+1"_s << 0 << u"@+1\n Δ--\n语法错误"_s;
    QTest::newRow("long text") << u"12345+@+6789"_s << 6 << u"12345+@+6789\n     --Δ--\n语法错误"_s;
    QTest::newRow("past the end") << u"(1+2"_s << 5 << u"(1+2\n    --Δ\n语法错误"_s;
    // Byte position 4 is the third character: the marker counts characters.
    QTest::newRow("after Chinese") << u"中+@"_s << 4 << u"中+@\n --Δ-\n语法错误"_s;
}

void TestFormulaRewrite::errorNote()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(QString, note);
    QCOMPARE(formulaErrorNote(text, position, u"语法错误"_s), note);
}

void TestFormulaRewrite::row_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("formulas");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("kinds"); // N number cell, T text cell, E number cell with an error note

    const QStringList sheet = {u"n:1234.5|1,234.50"_s, u"t:张三"_s, u"d:2013-01-01"_s, u"-"_s,
                               u"n:-200|-200"_s};

    QTest::newRow("sum of number cells")
        << QStringList{u"x"_s} << QStringList{u"A+E"_s} << sheet << QStringList{u"1034.50"_s} << u"N"_s;
    // The display text "1,234.50" would stop the evaluator at the comma and give 1.
    QTest::newRow("thousands separator enters as number")
        << QStringList{u"x"_s} << QStringList{u"A*1"_s} << sheet << QStringList{u"1234.50"_s} << u"N"_s;
    QTest::newRow("one column copies display text")
        << QStringList{u"x"_s} << QStringList{u"A"_s} << sheet << QStringList{u"1,234.50"_s} << u"N"_s;
    QTest::newRow("one text column copies text")
        << QStringList{u"x"_s} << QStringList{u"B"_s} << sheet << QStringList{u"张三"_s} << u"T"_s;
    QTest::newRow("negative cell after minus")
        << QStringList{u"x"_s} << QStringList{u"100-E"_s} << sheet << QStringList{u"300.00"_s} << u"N"_s;
    QTest::newRow("name computed earlier")
        << QStringList{u"基本工资"_s, u"绩效"_s} << QStringList{u"A+0"_s, u"[基本工资]*0.1"_s} << sheet
        << QStringList{u"1234.50"_s, u"123.45"_s} << u"NN"_s;
    QTest::newRow("name of a one-token formula is not found")
        << QStringList{u"基本工资"_s, u"绩效"_s} << QStringList{u"A"_s, u"[基本工资]*0.1"_s} << sheet
        << QStringList{u"1,234.50"_s, u"基本工资*0.1"_s} << u"NT"_s;
    QTest::newRow("name computed later is not found")
        << QStringList{u"绩效"_s, u"基本工资"_s} << QStringList{u"[基本工资]*0.1"_s, u"A+0"_s} << sheet
        << QStringList{u"基本工资*0.1"_s, u"1234.50"_s} << u"TN"_s;
    QTest::newRow("name of a failed formula is not found")
        << QStringList{u"a"_s, u"b"_s} << QStringList{u"A+"_s, u"[a]+1"_s} << sheet
        << QStringList{u"1234.5+"_s, u"a+1"_s} << u"ET"_s;
    QTest::newRow("text cell makes text")
        << QStringList{u"x"_s} << QStringList{u"A+B"_s} << sheet << QStringList{u"1234.5+张三"_s} << u"T"_s;
    QTest::newRow("date cell is no number")
        << QStringList{u"x"_s} << QStringList{u"C+1"_s} << sheet << QStringList{u"2013-01-01+1"_s} << u"T"_s;
    QTest::newRow("missing cell keeps letters")
        << QStringList{u"x"_s} << QStringList{u"D+1"_s} << sheet << QStringList{u"D+1"_s} << u"T"_s;
    QTest::newRow("column past the sheet keeps letters")
        << QStringList{u"x"_s} << QStringList{u"Z+1"_s} << sheet << QStringList{u"Z+1"_s} << u"T"_s;
    QTest::newRow("syntax error keeps substituted text")
        << QStringList{u"x"_s} << QStringList{u"A+"_s} << sheet << QStringList{u"1234.5+"_s} << u"E"_s;
    QTest::newRow("Chinese left in a literal is an error")
        << QStringList{u"x"_s} << QStringList{u"A+元"_s} << sheet << QStringList{u"1234.5+元"_s} << u"E"_s;
    QTest::newRow("constant alone is one token")
        << QStringList{u"x"_s} << QStringList{u"PI*2"_s} << sheet << QStringList{u"3.1415925*2"_s} << u"N"_s;
    QTest::newRow("constant with a column")
        << QStringList{u"x"_s} << QStringList{u"A*Pi"_s} << sheet << QStringList{u"3878.30"_s} << u"N"_s;
    QTest::newRow("TRUE alone") << QStringList{u"x"_s} << QStringList{u"TRUE"_s} << sheet
                                << QStringList{u"1"_s} << u"N"_s;
    QTest::newRow("square brackets inside arithmetic")
        << QStringList{u"x"_s} << QStringList{u"{A+E}*2"_s} << sheet << QStringList{u"2069.00"_s} << u"N"_s;
    QTest::newRow("missing formula") << QStringList{u"x"_s, u"y"_s} << QStringList{u"A+0"_s} << sheet
                                     << QStringList{u"1234.50"_s, QString()} << u"NN"_s;
}

void TestFormulaRewrite::row()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, formulas);
    QFETCH(QStringList, cells);
    QFETCH(QStringList, texts);
    QFETCH(QString, kinds);

    const FormulaSheet sheet(names, formulas);
    Evaluator e;
    const QList<FormulaCell> out = sheet.computeRow(e, makeRow(cells));
    QCOMPARE(out.size(), texts.size());
    for (qsizetype i = 0; i < out.size(); ++i) {
        QCOMPARE(out.at(i).text, texts.at(i));
        const QChar kind = kinds.at(i);
        QCOMPARE(out.at(i).kind, kind == u'T' ? TextCell : NumberCell);
        QCOMPARE(!out.at(i).errorNote.isEmpty(), kind == u'E');
        if (kind == u'E')
            QVERIFY(out.at(i).errorNote.startsWith(texts.at(i) + u'\n'));
    }
}

void TestFormulaRewrite::variablesCarryOverRows()
{
    // A one-token "n=n+1" is copied, not evaluated; joined to a column it counts rows.
    const FormulaSheet sheet({u"序号"_s, u"原样"_s}, {u"A*0+(n=n+1)"_s, u"n=n+1"_s});
    Evaluator e;
    e.reset();
    const PlainWorksheetRow row = makeRow({u"n:5"_s});
    QStringList seen;
    for (int i = 0; i < 3; ++i) {
        const QList<FormulaCell> cells = sheet.computeRow(e, row);
        seen << cells.at(0).text;
        QCOMPARE(cells.at(1).text, u"n=n+1"_s);
    }
    QCOMPARE(seen, (QStringList{u"1.00"_s, u"2.00"_s, u"3.00"_s}));
}

void TestFormulaRewrite::resultsDoNotLeakBetweenRows()
{
    // Row 2's first column fails; the second column must not pick up row 1's result.
    const FormulaSheet sheet({u"工资"_s, u"个税"_s}, {u"A+0"_s, u"[工资]*0.1"_s});
    Evaluator e;
    const QList<FormulaCell> first = sheet.computeRow(e, makeRow({u"n:100"_s}));
    QCOMPARE(first.at(1).text, u"10.00"_s);
    const QList<FormulaCell> second = sheet.computeRow(e, makeRow({u"t:无"_s}));
    QCOMPARE(second.at(0).text, u"无+0"_s);
    QCOMPARE(second.at(1).text, u"工资*0.1"_s);
    QCOMPARE(second.at(1).kind, TextCell);
}

QTEST_GUILESS_MAIN(TestFormulaRewrite)
#include "tst_formularewrite.moc"
