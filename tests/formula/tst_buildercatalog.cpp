#include "formula/buildercatalog.h"
#include "formula/formularewrite.h"

#include <QIcon>
#include <QTest>

using namespace Qt::StringLiterals;

class TestBuilderCatalog : public QObject
{
    Q_OBJECT

private slots:
    void categories_data();
    void categories();
    void modelRefusesOtherIndexes_data();
    void modelRefusesOtherIndexes();
    void classes_data();
    void classes();
    void items_data();
    void items();
    void builtInColumns();
    void helpText_data();
    void helpText();
    void itemInsertion_data();
    void itemInsertion();
    void insertedFormulaImports_data();
    void insertedFormulaImports();
    void singleLine_data();
    void singleLine();
    void actions_data();
    void actions();
    void actionGroups();
};

void TestBuilderCatalog::categories_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("icon");
    QTest::newRow("0 数据来源") << 0 << u"数据来源"_s << u":/contentWidget/database"_s;
    QTest::newRow("1 常数") << 1 << u"常数"_s << u":/contentWidget/constant"_s;
    QTest::newRow("2 运算符") << 2 << u"运算符"_s << u":/contentWidget/math"_s;
    QTest::newRow("3 函数") << 3 << u"函数"_s << u":/contentWidget/function"_s;
}

void TestBuilderCatalog::categories()
{
    QFETCH(int, row);
    QFETCH(QString, name);
    QFETCH(QString, icon);
    CatalogModel model;
    QCOMPARE(model.rowCount(), 4);
    const QModelIndex index = model.index(row, 0);
    QCOMPARE(model.data(index, Qt::DisplayRole).toString(), name);
    QCOMPARE(model.data(index).toString(), name);
    QCOMPARE(model.data(index, Qt::DecorationRole).metaType(), QMetaType::fromType<QIcon>());
    QCOMPARE(CatalogModel::categoryName(row), name);
    QCOMPARE(CatalogModel::categoryIcon(row), icon);
    for (int role : {int(Qt::EditRole), int(Qt::ToolTipRole), int(Qt::UserRole), int(Qt::FontRole)})
        QVERIFY2(!model.data(index, role).isValid(), qPrintable(QString::number(role)));
    // A list: no row has children.
    QCOMPARE(model.rowCount(index), 0);
}

void TestBuilderCatalog::modelRefusesOtherIndexes_data()
{
    QTest::addColumn<int>("row");
    QTest::newRow("row -1") << -1;
    QTest::newRow("row 4, one past the last") << 4;
    QTest::newRow("row 256") << 256;
}

void TestBuilderCatalog::modelRefusesOtherIndexes()
{
    QFETCH(int, row);
    CatalogModel model;
    // index() refuses such rows itself; an index made by another model must not be read as ours.
    QVERIFY(!model.index(row, 0).isValid());
    QVERIFY(!model.data(QModelIndex()).isValid());
    CatalogModel other;
    QVERIFY(!model.data(other.index(0, 0)).isValid());
    QVERIFY(CatalogModel::categoryName(row).isEmpty());
    QVERIFY(CatalogModel::categoryIcon(row).isEmpty());
}

void TestBuilderCatalog::classes_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("数据来源") << 0 << QStringList{u"来源数据列"_s, u"内置系统列"_s};
    QTest::newRow("常数") << 1 << QStringList{u"<全部>"_s};
    QTest::newRow("运算符") << 2 << QStringList{u"算术"_s, u"比较"_s, u"逻辑"_s};
    QTest::newRow("函数") << 3 << QStringList{u"<全部>"_s};
    QTest::newRow("no category -1") << -1 << QStringList{};
    QTest::newRow("no category 4") << 4 << QStringList{};
}

void TestBuilderCatalog::classes()
{
    QFETCH(int, category);
    QFETCH(QStringList, expected);
    const BuilderCatalog catalog({QString(), u"A"_s});
    QCOMPARE(catalog.classes(category), expected);
}

void TestBuilderCatalog::items_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<int>("classRow");
    QTest::addColumn<QStringList>("expected");
    const QStringList sources{QString(), u"A"_s, u"C"_s, u"AB"_s};
    const QStringList targets{u"编码"_s, u"姓名"_s, u"基本工资"_s};
    QTest::newRow("来源数据列 is the box's list as given") << 0 << 0 << sources;
    QTest::newRow("内置系统列 are the target names") << 0 << 1 << targets;
    QTest::newRow("常数") << 1 << 0 << QStringList{u"False"_s, u"Null"_s, u"Pi"_s, u"True"_s};
    QTest::newRow("算术") << 2 << 0 << QStringList{u"+"_s, u"-"_s, u"*"_s, u"/"_s};
    QTest::newRow("比较") << 2 << 1 << QStringList{u"<"_s, u"<="_s, u"<>"_s, u"=="_s, u">"_s, u">="_s};
    QTest::newRow("逻辑") << 2 << 2 << QStringList{u"&&"_s, u"||"_s};
    QTest::newRow("函数") << 3 << 0
                          << QStringList{u"sin(数字)"_s,  u"cos(数字)"_s,   u"tan(数字)"_s,   u"sinh(数字)"_s,
                                         u"cosh(数字)"_s, u"tanh(数字)"_s,  u"asin(数字)"_s,  u"acos(数字)"_s,
                                         u"atan(数字)"_s, u"exp(数字)"_s,   u"log10(数字)"_s, u"sqrt(数字)"_s,
                                         u"ceil(数字)"_s, u"floor(数字)"_s, u"abs(数字)"_s};
    QTest::newRow("operators have no fourth class") << 2 << 3 << QStringList{};
    QTest::newRow("constants have no second class") << 1 << 1 << QStringList{};
    QTest::newRow("negative class") << 2 << -1 << QStringList{};
    // 1 × 256 + 256 would be the key of category 2's first class.
    QTest::newRow("class 256 does not reach the next category") << 1 << 256 << QStringList{};
    QTest::newRow("no category") << 7 << 0 << QStringList{};
}

void TestBuilderCatalog::items()
{
    QFETCH(int, category);
    QFETCH(int, classRow);
    QFETCH(QStringList, expected);
    const BuilderCatalog catalog({QString(), u"A"_s, u"C"_s, u"AB"_s}, {u"编码"_s, u"姓名"_s, u"基本工资"_s});
    QCOMPARE(catalog.items(category, classRow), expected);
}

void TestBuilderCatalog::builtInColumns()
{
    const QStringList expected{u"编码"_s,     u"姓名"_s,     u"月应发工资"_s,
                               u"三险一金"_s, u"年终奖金"_s, u"企业年金"_s};
    QCOMPARE(BuilderCatalog::builtInColumns(), expected);
    // Without target names of its own the catalogue offers the built-in ones.
    QCOMPARE(BuilderCatalog({QString()}).items(SourceCategory, TargetColumnClass), expected);
    // An empty source list stays empty: no entry is made up.
    QCOMPARE(BuilderCatalog({}).items(SourceCategory, SourceColumnClass), QStringList{});
}

void TestBuilderCatalog::helpText_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("expected");
    const QString head = u"<font size='3' color='#0033ff'><b>"_s;
    const QString tail = u"</b></font>"_s;
    auto framed = [&](const QString &form, const QString &meaning) {
        return head + form + tail + u"<br><font size='3'>"_s + meaning + u"</font>"_s;
    };

    // Written out once in full, so the frame itself is pinned.
    QTest::newRow("True, in full") << u"True"_s << u"<font size='3' color='#0033ff'><b>真</b></font>"_s;
    QTest::newRow("+, in full")
        << u"+"_s
        << u"<font size='3' color='#0033ff'><b>[数字1] + [数字2]</b></font><br><font size='3'>两个数字相加求和。</font>"_s;

    QTest::newRow("False") << u"False"_s << head + u"假"_s + tail;
    QTest::newRow("Null") << u"Null"_s << head + u"虚无"_s + tail;
    // The help gives 3.1415926 although the import uses 3.1415925.
    QTest::newRow("Pi") << u"Pi"_s << head + u"圆周率 3.1415926"_s + tail;

    QTest::newRow("-") << u"-"_s << framed(u"[数字1] - [数字2]"_s, u"两个数字相减求差。"_s);
    QTest::newRow("*") << u"*"_s << framed(u"[数字1] * [数字2]"_s, u"两个数字相乘求积。"_s);
    QTest::newRow("/") << u"/"_s << framed(u"[数字1] / [数字2]"_s, u"两个数字相除求商。"_s);
    QTest::newRow("< escaped") << u"<"_s << framed(u"[数字1] &lt; [数字2]"_s, u"判断数字1是否小于数字2。"_s);
    QTest::newRow("<= escaped") << u"<="_s
                                << framed(u"[数字1] &lt;= [数字2]"_s, u"判断数字1是否小于等于数字2。"_s);
    QTest::newRow("<> escaped") << u"<>"_s
                                << framed(u"[数字1] &lt;&gt; [数字2]"_s, u"判断数字1是否不等于数字2。"_s);
    QTest::newRow("==") << u"=="_s << framed(u"[数字1] == [数字2]"_s, u"判断数字1是否等于数字2。"_s);
    QTest::newRow("> escaped") << u">"_s << framed(u"[数字1] &gt; [数字2]"_s, u"判断数字1是否大于数字2。"_s);
    QTest::newRow(">= escaped") << u">="_s
                                << framed(u"[数字1] &gt;= [数字2]"_s, u"判断数字1是否大于等于数字2。"_s);
    QTest::newRow("&&") << u"&&"_s << framed(u"[条件1] && [条件2]"_s, u"判断条件1和条件2是否都为真。"_s);
    QTest::newRow("||") << u"||"_s
                        << framed(u"[条件1] || [条件2]"_s, u"判断条件1或条件2其中之一是否为真。"_s);

    const struct
    {
        const char16_t *item, *meaning;
    } functions[] = {
        {u"sin(数字)", u"计算数字正弦值。"},
        {u"cos(数字)", u"计算数字余弦值。"},
        {u"tan(数字)", u"计算数字正切值。"},
        {u"sinh(数字)", u"计算数字双曲正弦值。"},
        {u"cosh(数字)", u"计算数字双曲余弦值。"},
        {u"tanh(数字)", u"计算数字双曲正切值。"},
        {u"asin(数字)", u"计算数字反正弦值。"},
        {u"acos(数字)", u"计算数字反余弦值。"},
        {u"atan(数字)", u"计算数字反正切值。"},
        {u"exp(数字)", u"计算以e为底的指定数字的次方的值。"},
        {u"log10(数字)", u"计算以10为底的指定数字的对数值。"},
        {u"sqrt(数字)", u"计算指定数字的平方根。"},
        {u"ceil(数字)", u"计算大于或者等于指定数字的最小整数。"},
        {u"floor(数字)", u"计算小于或者等于指定数字的最大整数。"},
        {u"abs(数字)", u"计算指定数字的绝对值。"},
    };
    for (const auto &f : functions) {
        const QString item = QString::fromUtf16(f.item);
        QTest::newRow(qPrintable(item)) << item << framed(item, QString::fromUtf16(f.meaning));
    }

    QTest::newRow("source column A has none") << u"A"_s << QString();
    QTest::newRow("the empty source entry has none") << QString() << QString();
    QTest::newRow("target column 姓名 has none") << u"姓名"_s << QString();
    QTest::newRow("constants are case-sensitive here") << u"pi"_s << QString();
    QTest::newRow("a bare function name has none") << u"sin"_s << QString();
    QTest::newRow("a function with its argument filled in has none") << u"sin(1)"_s << QString();
    QTest::newRow("= is no builder item") << u"="_s << QString();
}

void TestBuilderCatalog::helpText()
{
    QFETCH(QString, item);
    QFETCH(QString, expected);
    QCOMPARE(BuilderCatalog::helpText(item), expected);
}

void TestBuilderCatalog::itemInsertion_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<int>("classRow");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("expected");
    QTest::newRow("source column C") << 0 << 0 << u"C"_s << u" C "_s;
    QTest::newRow("the empty source entry") << 0 << 0 << QString() << u"  "_s;
    QTest::newRow("target column 基本工资 in brackets") << 0 << 1 << u"基本工资"_s << u" [基本工资] "_s;
    QTest::newRow("constant Pi") << 1 << 0 << u"Pi"_s << u" Pi "_s;
    QTest::newRow("operator <>") << 2 << 1 << u"<>"_s << u" <> "_s;
    QTest::newRow("logic &&") << 2 << 2 << u"&&"_s << u" && "_s;
    QTest::newRow("function text as it stands") << 3 << 0 << u"sin(数字)"_s << u" sin(数字) "_s;
    // Only category 0's class 1 brackets its items; class row 1 elsewhere does not.
    QTest::newRow("comparison class row 1 is not bracketed") << 2 << 1 << u"<"_s << u" < "_s;
}

void TestBuilderCatalog::itemInsertion()
{
    QFETCH(int, category);
    QFETCH(int, classRow);
    QFETCH(QString, item);
    QFETCH(QString, expected);
    QCOMPARE(BuilderCatalog::itemInsertion(category, classRow, item), expected);
}

// A formula put together only from the builder's insertions must mean to the import what the user
// picked: the spaces around a column letter or a bracketed name must not hide the reference.
void TestBuilderCatalog::insertedFormulaImports_data()
{
    QTest::addColumn<QStringList>("pieces"); // "item:category:class" or "op:text" or "raw:text"
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("number");
    QTest::newRow("C * 1.1") << QStringList{u"item:0:0:C"_s, u"op:*"_s, u"raw:1.1"_s} << u"2200.00"_s << true;
    QTest::newRow("( A + C ) / 2") << QStringList{u"op:("_s, u"item:0:0:A"_s, u"op:+"_s, u"item:0:0:C"_s,
                                                  u"op:)"_s, u"op:/"_s,       u"raw:2"_s}
                                   << u"1000.50"_s << true;
    QTest::newRow("[月应发工资] * 0.1 uses the earlier result")
        << QStringList{u"item:0:1:月应发工资"_s, u"op:*"_s, u"raw:0.1"_s} << u"200.00"_s << true;
    QTest::newRow("C >= 2000") << QStringList{u"item:0:0:C"_s, u"op:>="_s, u"raw:2000"_s} << u"1.00"_s
                               << true;
    QTest::newRow("Pi * A") << QStringList{u"item:1:0:Pi"_s, u"op:*"_s, u"item:0:0:A"_s} << u"3.14"_s << true;
    // A lone inserted column has spaces around it, so it is computed (two decimals), not copied.
    QTest::newRow("a lone inserted C") << QStringList{u"item:0:0:C"_s} << u"2000.00"_s << true;
    QTest::newRow("text column B stays text")
        << QStringList{u"item:0:0:B"_s, u"op:+"_s, u"raw:1"_s} << u" 张三  + 1"_s << false;
}

void TestBuilderCatalog::insertedFormulaImports()
{
    QFETCH(QStringList, pieces);
    QFETCH(QString, expected);
    QFETCH(bool, number);
    QString formula;
    for (const QString &piece : pieces) {
        const QStringList parts = piece.split(u':');
        if (parts.at(0) == u"item"_s)
            formula += BuilderCatalog::itemInsertion(parts.at(1).toInt(), parts.at(2).toInt(), parts.at(3));
        else if (parts.at(0) == u"op"_s)
            formula += BuilderCatalog::spaced(parts.at(1));
        else
            formula += parts.at(1);
    }
    PlainWorksheetRow row;
    row.append(PlainWorksheetRow::numberCell(1, u"1"_s));
    row.append(PlainWorksheetRow::textCell(u"张三"_s));
    row.append(PlainWorksheetRow::numberCell(2000, u"2,000.00"_s));
    Evaluator evaluator;
    evaluator.reset();
    RowResults results;
    computeFormulaCell(evaluator, tokenizeFormula(u"C+0"_s), row, u"月应发工资"_s, results);
    const FormulaCell cell = computeFormulaCell(evaluator, tokenizeFormula(formula), row, u"目标"_s, results);
    QCOMPARE(cell.text, expected);
    QCOMPARE(cell.kind == NumberCell, number);
    QVERIFY2(cell.errorNote.isEmpty(), qPrintable(cell.errorNote));
}

void TestBuilderCatalog::singleLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one line stays") << u" C * 1.1 "_s << u" C * 1.1 "_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("LF") << u"C\n*2"_s << u"C *2"_s;
    QTest::newRow("CR LF is one space") << u"C\r\n*2"_s << u"C *2"_s;
    QTest::newRow("lone CR") << u"C\r*2"_s << u"C *2"_s;
    QTest::newRow("trailing Enter") << u"A+B\n"_s << u"A+B "_s;
    QTest::newRow("unicode separators") << u"A\u2028B\u2029C"_s << u"A B C"_s;
    QTest::newRow("tabs are left to the import") << u"A\tB"_s << u"A\tB"_s;
}

void TestBuilderCatalog::singleLine()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(BuilderCatalog::singleLine(text), expected);
}

void TestBuilderCatalog::actions_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("inserts");
    const QString arith = u"算术运算符"_s, logic = u"逻辑运算符"_s, brackets = u"括号"_s;
    QTest::newRow("加号") << 0 << arith << u":/sysButton/plus"_s << u"加号"_s << u"插入加号"_s << u"+"_s;
    QTest::newRow("减号") << 1 << arith << u":/sysButton/subtract"_s << u"减号"_s << u"插入减号"_s << u"-"_s;
    QTest::newRow("乘号") << 2 << arith << u":/sysButton/star"_s << u"乘号"_s << u"插入乘号"_s << u"*"_s;
    QTest::newRow("除号") << 3 << arith << u":/sysButton/divide"_s << u"除号"_s << u"插入除号"_s << u"/"_s;
    QTest::newRow("等于号 is ==") << 4 << logic << u":/sysButton/equal"_s << u"等于号"_s << u"插入等于号"_s
                                  << u"=="_s;
    QTest::newRow("大于号") << 5 << logic << u":/sysButton/great"_s << u"大于号"_s << u"插入大于号"_s
                            << u">"_s;
    QTest::newRow("小于号") << 6 << logic << u":/sysButton/little"_s << u"小于号"_s << u"插入小于号"_s
                            << u"<"_s;
    QTest::newRow("不等号") << 7 << logic << u":/sysButton/unequal"_s << u"不等号"_s << u"插入不等号"_s
                            << u"<>"_s;
    QTest::newRow("左括号") << 8 << brackets << u":/sysButton/lblacket"_s << u"左括号"_s << u"插入左括号"_s
                            << u"("_s;
    QTest::newRow("右括号") << 9 << brackets << u":/sysButton/rblacket"_s << u"右括号"_s << u"插入右括号"_s
                            << u")"_s;
}

void TestBuilderCatalog::actions()
{
    QFETCH(int, index);
    QFETCH(QString, group);
    QFETCH(QString, icon);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(QString, inserts);
    QCOMPARE(builderActions().size(), 10);
    const BuilderAction &a = builderActions().at(index);
    QCOMPARE(a.group, group);
    QCOMPARE(a.icon, icon);
    QCOMPARE(a.text, text);
    QCOMPARE(a.toolTip, toolTip);
    QCOMPARE(a.inserts, inserts);
}

void TestBuilderCatalog::actionGroups()
{
    QCOMPARE(builderActionGroups(), (QStringList{u"算术运算符"_s, u"逻辑运算符"_s, u"括号"_s}));
}

QTEST_MAIN(TestBuilderCatalog)
#include "tst_buildercatalog.moc"
