// lumo-cli batch end to end: salary sheets made by another program's writer (openpyxl, xlwt under
// Debian's Python) go in, the result sheet is read back through the workbook layer, and every
// row's figures must equal what lumo-cli calc gives for that row's amounts.
#include "clirunner.h"

#include "batch/importsetting.h"
#include "batch/sheetlayout.h"
#include "engine/amount.h"
#include "excel/workbook.h"
#include "tests/testkit.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestCliBatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rowsEqualSingleCalc_data();
    void rowsEqualSingleCalc();
    void planRowsEqualSinglePlan_data();
    void planRowsEqualSinglePlan();
    void apportionRowsEqualSingleApportion_data();
    void apportionRowsEqualSingleApportion();
    void savedSetting_data();
    void savedSetting();
    void sheetChoice_data();
    void sheetChoice();
    void titlesBySynonyms_data();
    void titlesBySynonyms();
    void mapWithFormula_data();
    void mapWithFormula();
    void skippedRowsAndRange_data();
    void skippedRowsAndRange();
    void unreadableCellsReported();
    void noCodeOrNameRefused_data();
    void noCodeOrNameRefused();
    void csvOutput();
    void noProcessAndTemplate_data();
    void noProcessAndTemplate();
    void failingWriteKeepsOldFile_data();
    void failingWriteKeepsOldFile();
    void unreadableInput_data();
    void unreadableInput();
    void badArguments_data();
    void badArguments();
    void sheetShape_data();
    void sheetShape();
    void fullWidthAmounts_data();
    void fullWidthAmounts();
    void effectiveTotalsAddUp();
    void apportionKeepsPay_data();
    void apportionKeepsPay();
    void yearPlanRows_data();
    void yearPlanRows();
    void yearPlanFromLedger_data();
    void yearPlanFromLedger();
    void yearPlanLedgerRefused_data();
    void yearPlanLedgerRefused();

private:
    // Writes a sheet with /usr/bin/python3: `rows` is a Python list literal of rows, the first the
    // titles. False (with the reason logged) when the writer is not there.
    bool makeSheet(const QString &path, const QString &rows,
                   const QString &sheetName = QStringLiteral("工资"));
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // A ledger with January to November of 2026 recorded through lumo-cli month, made once.
    QString recordedLedger();

    QTemporaryDir m_dir;
    bool m_haveOpenpyxl = false;
    bool m_haveXlwt = false;
};

namespace {

bool pythonHas(const QString &module)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import ") + module});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A result sheet read back: the heading rows name each column by its group and title.
struct ResultSheet
{
    std::unique_ptr<Workbook> book;
    const Sheet *sheet = nullptr;
    int firstData = 0; // the row after the two heading rows

    // The column under group `group` titled `title`; -1 when there is none.
    int column(const QString &group, const QString &title) const
    {
        QString current;
        for (int c = 0; c <= sheet->lastCol(); ++c) {
            if (sheet->cellType(firstData - 2, c) == CellType::String)
                current = sheet->readStr(firstData - 2, c);
            if (current == group && sheet->readStr(firstData - 1, c) == title)
                return c;
        }
        return -1;
    }
    QString text(int row, int col) const
    {
        if (sheet->cellType(row, col) == CellType::Number)
            return QString::number(sheet->readNum(row, col), 'f', 2);
        return sheet->readStr(row, col);
    }
    // An amount cell in fen.
    qint64 fen(int row, int col) const { return qRound64(sheet->readNum(row, col) * 100); }
};

ResultSheet readResult(const QString &file, bool titled = true)
{
    ResultSheet r;
    r.book = Workbook::create(file);
    if (!r.book->load(file) || r.book->sheetCount() != 1)
        return r;
    r.sheet = r.book->getSheet(0);
    r.firstData = titled ? 5 : 2;
    return r;
}

QJsonObject jsonOf(const CliRun &r)
{
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

QByteArray readAll(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// lumo-cli run in another working directory that is also its home: settings files left in the
// working directory are taken into the settings folder under that home on the first run.
CliRun runCliIn(const QString &dir, const QStringList &args)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir);
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(LUMO_CLI_PATH), args);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    CliRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// One line of a --jsonl run per row of amounts.
QList<QJsonObject> jsonLines(const QString &command, const QStringList &lines)
{
    QByteArray input;
    for (const QString &line : lines)
        input += line.toUtf8() + '\n';
    const CliRun r = runCli({command, QStringLiteral("--jsonl")}, input);
    QList<QJsonObject> out;
    for (const QString &line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        out << QJsonDocument::fromJson(line.toUtf8()).object();
    return out;
}

qint64 field(const QJsonObject &o, const char *key)
{
    return o.value(QString::fromUtf8(key)).toInteger();
}

// Wage, insurance and bonus of people around the bonus blind zones (18001, 54001, 108001), a
// bonus that pays better as wage, a wage-only person and one with nothing.
const QList<QStringList> kPlanAmounts = {
    {QStringLiteral("10000"), QStringLiteral("1000"), QStringLiteral("18001")},
    {QStringLiteral("6000"), QStringLiteral("500"), QStringLiteral("54500")},
    {QStringLiteral("25000"), QStringLiteral("2000"), QStringLiteral("108100")},
    {QStringLiteral("3000"), QStringLiteral("0"), QStringLiteral("60000")},
    {QStringLiteral("8000"), QStringLiteral("800"), QStringLiteral("0")},
    {QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")},
};

QString planRows(const QString &bonusTitle)
{
    QString rows = QStringLiteral("[['编码','姓名','月应发工资','三险一金','%1']").arg(bonusTitle);
    for (int i = 0; i < kPlanAmounts.size(); ++i)
        rows += QStringLiteral(",['P%1','员工%1',%2]").arg(i).arg(kPlanAmounts[i].join(QLatin1Char(',')));
    return rows + QLatin1Char(']');
}

const QString kTitles = QStringLiteral("['编码','姓名','月应发工资','三险一金','年终奖金','企业年金']");

} // namespace

void TestCliBatch::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_haveOpenpyxl = pythonHas(QStringLiteral("openpyxl"));
    m_haveXlwt = pythonHas(QStringLiteral("xlwt"));
}

bool TestCliBatch::makeSheet(const QString &file, const QString &rows, const QString &sheetName)
{
    const bool xls = file.endsWith(QLatin1String(".xls"));
    if (xls ? !m_haveXlwt : !m_haveOpenpyxl)
        return false;
    const QString script =
        xls ? QStringLiteral("import sys, xlwt\n"
                             "wb = xlwt.Workbook(); ws = wb.add_sheet(sys.argv[2])\n"
                             "for r, row in enumerate(%1):\n"
                             "    for c, v in enumerate(row):\n"
                             "        if v is not None: ws.write(r, c, v)\n"
                             "wb.save(sys.argv[1])\n")
                  .arg(rows)
            : QStringLiteral("import sys, openpyxl\n"
                             "wb = openpyxl.Workbook(); ws = wb.active; ws.title = sys.argv[2]\n"
                             "for row in %1: ws.append(row)\n"
                             "wb.save(sys.argv[1])\n")
                  .arg(rows);
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, file, sheetName});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        qWarning("%s", p.readAllStandardError().constData());
        return false;
    }
    return true;
}

#define MAKE_SHEET(file, rows)                                                                               \
    do {                                                                                                     \
        if (!makeSheet(file, rows))                                                                          \
            LUMO_SKIP_WITHOUT_TOOL(                                                                          \
                "Debian's python3 with openpyxl/xlwt is needed to write the input sheets");                  \
    } while (false)

void TestCliBatch::rowsEqualSingleCalc_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("threshold");
    QTest::newRow("xlsx, 3500") << QStringLiteral("xlsx") << QStringLiteral("3500");
    QTest::newRow("xlsx, 4800 for foreign staff") << QStringLiteral("xlsx") << QStringLiteral("4800");
    QTest::newRow("xls, 3500") << QStringLiteral("xls") << QStringLiteral("3500");
    QTest::newRow("xls in, xls out, 4800") << QStringLiteral("xls") << QStringLiteral("4800");
}

void TestCliBatch::rowsEqualSingleCalc()
{
    QFETCH(QString, suffix);
    QFETCH(QString, threshold);
    // Rows around the brackets and the bonus blind zone, a wage under the threshold that the bonus
    // tops up, fractional yuan, and a text amount with thousands separators.
    const QList<QList<QString>> amounts = {
        {QStringLiteral("10000"), QStringLiteral("1000"), QStringLiteral("20000"), QStringLiteral("500")},
        {QStringLiteral("3000"), QStringLiteral("0"), QStringLiteral("18001"), QStringLiteral("0")},
        {QStringLiteral("8000.55"), QStringLiteral("912.3"), QStringLiteral("54000"), QStringLiteral("1200")},
        {QStringLiteral("120000"), QStringLiteral("3000"), QStringLiteral("960000"), QStringLiteral("20000")},
        {QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")},
        {QStringLiteral("'12,000.50'"), QStringLiteral("800"), QStringLiteral("0"), QStringLiteral("0")},
    };
    QString rows = QLatin1Char('[') + kTitles;
    for (int i = 0; i < amounts.size(); ++i)
        rows += QStringLiteral(",['E%1','员工%1',%2]").arg(i).arg(amounts[i].join(QLatin1Char(',')));
    rows += QLatin1Char(']');
    const QString in = path(QStringLiteral("rows_%1_%2.%3").arg(suffix, threshold, suffix));
    MAKE_SHEET(in, rows);
    const QString out = path(QStringLiteral("rows_%1_%2_out.%3").arg(suffix, threshold, suffix));
    const CliRun r = runCli({QStringLiteral("batch"), QStringLiteral("calc"), in, out,
                             QStringLiteral("--threshold"), threshold, QStringLiteral("--json")});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject summary = jsonOf(r);
    QCOMPARE(summary.value(QStringLiteral("records")).toInt(), int(amounts.size()));
    QCOMPARE(summary.value(QStringLiteral("unreadable")).toArray().size(), 0);

    QByteArray lines;
    for (const QList<QString> &a : amounts) {
        QString gross = a[0];
        gross.remove(QLatin1Char('\'')).remove(QLatin1Char(','));
        lines += QStringLiteral("{\"threshold\":%1,\"gross\":\"%2\",\"insurance\":\"%3\",\"bonus\":\"%4\","
                                "\"annuity\":\"%5\"}\n")
                     .arg(threshold, gross, a[1], a[2], a[3])
                     .toUtf8();
    }
    const CliRun single = runCli({QStringLiteral("calc"), QStringLiteral("--jsonl")}, lines);
    QCOMPARE(single.exitCode, 0);
    const QStringList results = single.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(results.size(), amounts.size());

    const ResultSheet sheet = readResult(out);
    QVERIFY(sheet.sheet);
    const int taxCol = sheet.column(QStringLiteral("小计"), QStringLiteral("个人所得税"));
    const int netCol = sheet.column(QStringLiteral("小计"), QStringLiteral("实发数"));
    const int grossCol = sheet.column(QStringLiteral("小计"), QStringLiteral("应发数"));
    const int monthlyTaxCol = sheet.column(QStringLiteral("月应发工资"), QStringLiteral("个人所得税"));
    const int bonusTaxCol = sheet.column(QStringLiteral("年终奖金"), QStringLiteral("个人所得税"));
    const int annuityTaxCol = sheet.column(QStringLiteral("企业年金"), QStringLiteral("个人所得税"));
    const int codeCol = sheet.column(QStringLiteral("基础信息"), QStringLiteral("编码"));
    QVERIFY(taxCol >= 0 && netCol >= 0 && grossCol >= 0 && monthlyTaxCol >= 0 && bonusTaxCol >= 0 &&
            annuityTaxCol >= 0 && codeCol >= 0);
    qint64 taxSum = 0, netSum = 0;
    for (int i = 0; i < results.size(); ++i) {
        const QJsonObject want = QJsonDocument::fromJson(results[i].toUtf8()).object();
        const int row = sheet.firstData + i;
        QCOMPARE(sheet.text(row, codeCol), QStringLiteral("E%1").arg(i));
        QCOMPARE(sheet.fen(row, taxCol), want.value(QStringLiteral("taxTotal")).toInteger());
        QCOMPARE(sheet.fen(row, netCol), want.value(QStringLiteral("netTotal")).toInteger());
        QCOMPARE(sheet.fen(row, grossCol), want.value(QStringLiteral("grossTotal")).toInteger());
        QCOMPARE(sheet.fen(row, monthlyTaxCol),
                 want.value(QStringLiteral("monthly")).toObject().value(QStringLiteral("tax")).toInteger());
        QCOMPARE(sheet.fen(row, bonusTaxCol),
                 want.value(QStringLiteral("bonus")).toObject().value(QStringLiteral("tax")).toInteger());
        QCOMPARE(sheet.fen(row, annuityTaxCol),
                 want.value(QStringLiteral("annuity")).toObject().value(QStringLiteral("tax")).toInteger());
        taxSum += want.value(QStringLiteral("taxTotal")).toInteger();
        netSum += want.value(QStringLiteral("netTotal")).toInteger();
    }
    // The totals row follows the data rows, and the summary carries the same sums.
    const int totalsRow = sheet.firstData + int(results.size());
    QCOMPARE(sheet.fen(totalsRow, taxCol), taxSum);
    QCOMPARE(sheet.fen(totalsRow, netCol), netSum);
    QCOMPARE(summary.value(QStringLiteral("taxTotal")).toInteger(), taxSum);
    QCOMPARE(summary.value(QStringLiteral("netTotal")).toInteger(), netSum);
    QCOMPARE(sheet.sheet->lastRow(), totalsRow);
}

void TestCliBatch::planRowsEqualSinglePlan_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("goal");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("months");
    QTest::newRow("raise net, bonus only, xlsx")
        << QStringLiteral("xlsx") << QStringLiteral("0") << QStringLiteral("bonus") << QStringLiteral("6");
    QTest::newRow("lower cost, bonus only, xls")
        << QStringLiteral("xls") << QStringLiteral("1") << QStringLiteral("bonus") << QStringLiteral("6");
    QTest::newRow("raise net, balanced over 12 months") << QStringLiteral("xlsx") << QStringLiteral("0")
                                                        << QStringLiteral("balanced") << QStringLiteral("12");
    QTest::newRow("lower cost, balanced over 3 months, xls")
        << QStringLiteral("xls") << QStringLiteral("1") << QStringLiteral("balanced") << QStringLiteral("3");
}

void TestCliBatch::planRowsEqualSinglePlan()
{
    QFETCH(QString, suffix);
    QFETCH(QString, goal);
    QFETCH(QString, method);
    QFETCH(QString, months);
    const QString in = path(QStringLiteral("plan.") + suffix);
    MAKE_SHEET(in, planRows(QStringLiteral("年终奖金")));
    QStringList lines;
    for (const QStringList &a : kPlanAmounts)
        lines << QStringLiteral("{\"goal\":%1,\"method\":\"%2\",\"months\":%3,\"gross\":\"%4\","
                                "\"insurance\":\"%5\",\"bonus\":\"%6\"}")
                     .arg(goal, method, months, a[0], a[1], a[2]);
    const QList<QJsonObject> want = jsonLines(QStringLiteral("plan"), lines);
    QCOMPARE(want.size(), kPlanAmounts.size());

    qint64 taxDecrease = 0, costDecrease = 0, netIncrease = 0;
    for (const QString &scope : {QStringLiteral("before"), QStringLiteral("after")}) {
        const QString out = path(QStringLiteral("plan_out_%1.%2").arg(scope, suffix));
        const CliRun r = runCli({QStringLiteral("batch"), QStringLiteral("plan"), in, out,
                                 QStringLiteral("--goal"), goal, QStringLiteral("--method"), method,
                                 QStringLiteral("--months"), months, QStringLiteral("--template=1"),
                                 QStringLiteral("--scope"), scope, QStringLiteral("--json")});
        QCOMPARE(r.exitCode, 0);
        const ResultSheet sheet = readResult(out);
        QVERIFY(sheet.sheet);
        const int taxCol = sheet.column(QStringLiteral("小计"), QStringLiteral("个人所得税"));
        const int netCol = sheet.column(QStringLiteral("小计"), QStringLiteral("实发数"));
        const int bonusCol = sheet.column(QStringLiteral("年终奖金"), QStringLiteral("应税收入"));
        const int wageCol = sheet.column(QStringLiteral("月应发工资"), QStringLiteral("应发数"));
        const int gainCol = sheet.column(QStringLiteral("小计"), QStringLiteral("税后收入增加"));
        const int costCol = sheet.column(QStringLiteral("小计"), QStringLiteral("单位开支减少"));
        QVERIFY(taxCol >= 0 && netCol >= 0 && bonusCol >= 0 && wageCol >= 0 && gainCol >= 0 && costCol >= 0);
        for (int i = 0; i < want.size(); ++i) {
            const QJsonObject input = want[i].value(QStringLiteral("input")).toObject();
            const QJsonArray results = want[i].value(QStringLiteral("results")).toArray();
            // Without a better split the planned row repeats the input with zero differences.
            const QJsonObject shown =
                scope == QLatin1String("before") || results.isEmpty() ? input : results.first().toObject();
            const int row = sheet.firstData + i;
            QCOMPARE(sheet.text(row, 0), QStringLiteral("P%1").arg(i));
            QCOMPARE(sheet.fen(row, taxCol), field(shown, "taxTotal"));
            QCOMPARE(sheet.fen(row, netCol), field(shown, "netTotal"));
            QCOMPARE(sheet.fen(row, wageCol), field(shown, "monthlyGross"));
            QCOMPARE(sheet.fen(row, bonusCol),
                     field(shown.value(QStringLiteral("bonus")).toObject(), "amount"));
            if (scope == QLatin1String("after")) {
                QCOMPARE(sheet.fen(row, gainCol), field(shown, "netIncrease"));
                QCOMPARE(sheet.fen(row, costCol), field(shown, "costDecrease"));
                taxDecrease += field(shown, "taxDecrease");
                costDecrease += field(shown, "costDecrease");
                netIncrease += field(shown, "netIncrease");
            } else {
                QCOMPARE(sheet.text(row, gainCol), QString());
            }
        }
        if (scope == QLatin1String("after")) {
            const QJsonObject summary = jsonOf(r);
            QCOMPARE(field(summary, "taxDecrease"), taxDecrease);
            QCOMPARE(field(summary, "costDecrease"), costDecrease);
            QCOMPARE(field(summary, "netIncrease"), netIncrease);
        }
    }
    // The blind-zone bonus of the first person always plans to something better.
    QVERIFY(netIncrease + costDecrease > 0);
}

void TestCliBatch::apportionRowsEqualSingleApportion_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("months");
    QTest::newRow("xlsx, default 3 months") << QStringLiteral("xlsx") << QString();
    QTest::newRow("xls, 12 months") << QStringLiteral("xls") << QStringLiteral("12");
    QTest::newRow("xlsx, one month changes nothing") << QStringLiteral("xlsx") << QStringLiteral("1");
}

void TestCliBatch::apportionRowsEqualSingleApportion()
{
    QFETCH(QString, suffix);
    QFETCH(QString, months);
    const QString in = path(QStringLiteral("apportion.") + suffix);
    // The catalogue takes "奖金金额" for the non-annual bonus (its own title it does not match).
    MAKE_SHEET(in, planRows(QStringLiteral("奖金金额")));
    QStringList lines;
    for (const QStringList &a : kPlanAmounts)
        lines << QStringLiteral("{\"months\":%1,\"gross\":\"%2\",\"insurance\":\"%3\",\"bonus\":\"%4\"}")
                     .arg(months.isEmpty() ? QStringLiteral("3") : months, a[0], a[1], a[2]);
    const QList<QJsonObject> want = jsonLines(QStringLiteral("apportion"), lines);
    QCOMPARE(want.size(), kPlanAmounts.size());
    const QString out = path(QStringLiteral("apportion_out.") + suffix);
    QStringList args = {QStringLiteral("batch"), QStringLiteral("apportion"), in, out,
                        QStringLiteral("--json")};
    if (!months.isEmpty())
        args << QStringLiteral("--months") << months;
    // The default template shows each person before and then after.
    const CliRun r = runCli(args);
    QCOMPARE(r.exitCode, 0);
    const ResultSheet sheet = readResult(out);
    QVERIFY(sheet.sheet);
    const int taxCol = sheet.column(QStringLiteral("小计"), QStringLiteral("个人所得税"));
    const int netCol = sheet.column(QStringLiteral("小计"), QStringLiteral("实发数"));
    const int gainCol = sheet.column(QStringLiteral("小计"), QStringLiteral("税后收入增加"));
    QVERIFY(taxCol >= 0 && netCol >= 0 && gainCol >= 0);
    qint64 taxDecrease = 0, netIncrease = 0;
    for (int i = 0; i < want.size(); ++i) {
        const int before = sheet.firstData + 2 * i;
        QCOMPARE(sheet.text(before, 0), QStringLiteral("P%1").arg(i));
        QCOMPARE(sheet.fen(before, taxCol), field(want[i], "taxBefore"));
        QCOMPARE(sheet.fen(before, netCol), field(want[i], "netBefore"));
        QCOMPARE(sheet.fen(before + 1, taxCol), field(want[i], "taxAfter"));
        QCOMPARE(sheet.fen(before + 1, netCol), field(want[i], "netAfter"));
        QCOMPARE(sheet.fen(before + 1, gainCol), field(want[i], "netIncrease"));
        taxDecrease += field(want[i], "taxDecrease");
        netIncrease += field(want[i], "netIncrease");
    }
    const QJsonObject summary = jsonOf(r);
    QCOMPARE(field(summary, "taxDecrease"), taxDecrease);
    QCOMPARE(field(summary, "netIncrease"), netIncrease);
    QCOMPARE(field(summary, "costDecrease"), qint64(0));
    // The two totals rows close the sheet.
    QCOMPARE(sheet.sheet->lastRow(), sheet.firstData + 2 * int(want.size()) + 1);
    if (months == QLatin1String("1"))
        QCOMPARE(netIncrease, qint64(0));
    else
        QVERIFY(netIncrease > 0);
}

void TestCliBatch::savedSetting_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<qint64>("taxTotal");
    QTest::addColumn<int>("records");
    // The setting: titles in row 2, people from row 3, wage from column D plus 10 %.
    QTest::newRow("the setting alone") << QStringList{} << qint64(74500 + 2 * 31500) << 3;
    QTest::newRow("a --map replaces one formula")
        << QStringList{QStringLiteral("--map"), QStringLiteral("月应发工资=D")} << qint64(54500 + 2 * 24500)
        << 3;
    QTest::newRow("--last-row given here wins")
        << QStringList{QStringLiteral("--last-row=3")} << qint64(74500) << 1;
    // Column G is not in the sheet: 三险一金 maps to nothing (not to the text "G").
    QTest::newRow("a formula naming a missing column maps to nothing")
        << QStringList{QStringLiteral("--map"), QStringLiteral("三险一金=B+G")} << qint64(94500 + 2 * 31500)
        << 3;
}

void TestCliBatch::savedSetting()
{
    QFETCH(QStringList, options);
    QFETCH(qint64, taxTotal);
    QFETCH(int, records);
    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString in = work.filePath(QStringLiteral("setting.xlsx"));
    MAKE_SHEET(in, QStringLiteral("[['月工资表'],['姓','扣款','号','工资'],['张三',1000,'001',10000],"
                                  "['李四',0,'002',5000+2000],['王五',0,'003',7000]]"));
    ImportSetting setting;
    setting.name = QStringLiteral("每月工资表");
    setting.titleRowNO = 2;
    setting.firstRowNO = 3;
    setting.columns = {{QStringLiteral("编码"), 40, QStringLiteral("C")},
                       {QStringLiteral("姓名"), 110, QStringLiteral("A")},
                       {QStringLiteral("月应发工资"), 110, QStringLiteral("D*1.1")},
                       {QStringLiteral("三险一金"), 110, QStringLiteral("B")},
                       {QStringLiteral("部门"), 80, QStringLiteral("E")}};
    ImportSettingsFile file(work.filePath(QStringLiteral("importset.ini")));
    QVERIFY2(file.save(0, 1, 1, setting), qPrintable(file.errorString()));

    const CliRun r =
        runCliIn(work.path(),
                 QStringList{QStringLiteral("batch"), QStringLiteral("calc"), in, QStringLiteral("out.xlsx"),
                             QStringLiteral("--setting"), setting.name, QStringLiteral("--json")} +
                     options);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(r.err.contains(QStringLiteral("工作表中没有的列 G")), options.join(u' ').contains(u'G'));
    QCOMPARE(jsonOf(r).value(QStringLiteral("records")).toInt(), records);
    QCOMPARE(field(jsonOf(r), "taxTotal"), taxTotal);
    const ResultSheet sheet = readResult(work.filePath(QStringLiteral("out.xlsx")));
    QCOMPARE(sheet.text(sheet.firstData, 0), QStringLiteral("001"));
    QCOMPARE(sheet.text(sheet.firstData, 1), QStringLiteral("张三"));

    // A name the file does not hold is refused with the names it does hold.
    const CliRun missing =
        runCliIn(work.path(), {QStringLiteral("batch"), QStringLiteral("calc"), in,
                               QStringLiteral("out2.xlsx"), QStringLiteral("--setting=其他")});
    QCOMPARE(missing.exitCode, 2);
    QVERIFY(missing.out.isEmpty());
    QVERIFY(missing.err.contains(setting.name));
    QVERIFY(!QFile::exists(work.filePath(QStringLiteral("out2.xlsx"))));
}

void TestCliBatch::sheetChoice_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("code");
    // Sheets "十一月", "十二月" and "1", each with one person coded 一, 二 and 三.
    QTest::newRow("default: the first") << QString() << 0 << QStringLiteral("一");
    QTest::newRow("by number") << QStringLiteral("2") << 0 << QStringLiteral("二");
    QTest::newRow("by name") << QStringLiteral("十二月") << 0 << QStringLiteral("二");
    QTest::newRow("a sheet named 1 wins over the first sheet")
        << QStringLiteral("1") << 0 << QStringLiteral("三");
    QTest::newRow("no fourth sheet") << QStringLiteral("4") << 2 << QString();
    QTest::newRow("no such name") << QStringLiteral("一月") << 2 << QString();
}

void TestCliBatch::sheetChoice()
{
    QFETCH(QString, sheet);
    QFETCH(int, exitCode);
    QFETCH(QString, code);
    if (!m_haveOpenpyxl)
        LUMO_SKIP_WITHOUT_TOOL("Debian's python3 with openpyxl is needed to write the input sheets");
    const QString in = path(QStringLiteral("sheets.xlsx"));
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import sys, openpyxl\n"
                            "wb = openpyxl.Workbook(); wb.remove(wb.active)\n"
                            "for name, code in (('十一月','一'), ('十二月','二'), ('1','三')):\n"
                            "    ws = wb.create_sheet(name); ws.append(['编码','姓名','月应发工资'])\n"
                            "    ws.append([code, '甲', 5000])\n"
                            "wb.save(sys.argv[1])\n"),
             in});
    QVERIFY(p.waitForFinished(60000) && p.exitCode() == 0);
    const QString out = path(QStringLiteral("sheets_out.xlsx"));
    QFile::remove(out);
    QStringList args = {QStringLiteral("batch"), QStringLiteral("calc"), in, out};
    if (!sheet.isEmpty())
        args << QStringLiteral("--sheet") << sheet;
    const CliRun r = runCli(args);
    QCOMPARE(r.exitCode, exitCode);
    if (exitCode != 0) {
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.contains(QStringLiteral("没有工作表")));
        QVERIFY(!QFile::exists(out));
        return;
    }
    const ResultSheet result = readResult(out);
    QCOMPARE(result.text(result.firstData, 0), code);
}

void TestCliBatch::titlesBySynonyms_data()
{
    QTest::addColumn<QString>("titles");
    QTest::newRow("Chinese synonyms, shuffled")
        << QStringLiteral("['年金','员工姓名','月工资','年终奖','五险一金','员工编码']");
    QTest::newRow("English code and name") << QStringLiteral("['年金','name','应发工资','年终一次性奖金',"
                                                             "'社会保险','employee id']");
}

void TestCliBatch::titlesBySynonyms()
{
    QFETCH(QString, titles);
    // The same person in the order annuity, name, wage, bonus, insurance, code.
    const QString in =
        path(QStringLiteral("synonyms_%1.xlsx").arg(QString::fromUtf8(QTest::currentDataTag())));
    MAKE_SHEET(in, QStringLiteral("[%1,[500,'张三',10000,20000,1000,'001']]").arg(titles));
    const QString out = path(QStringLiteral("synonyms_out.xlsx"));
    const CliRun r =
        runCli({QStringLiteral("batch"), QStringLiteral("calc"), in, out, QStringLiteral("--json")});
    QCOMPARE(r.exitCode, 0);
    // 10000 − 1000 wage, 20000 bonus, 500 annuity at 3500: 545 + 1895 + 15.
    QCOMPARE(jsonOf(r).value(QStringLiteral("taxTotal")).toInteger(), 245500);
    const ResultSheet sheet = readResult(out);
    QCOMPARE(sheet.text(sheet.firstData, 0), QStringLiteral("001"));
    QCOMPARE(sheet.text(sheet.firstData, 1), QStringLiteral("张三"));
}

void TestCliBatch::mapWithFormula_data()
{
    QTest::addColumn<QStringList>("maps");
    QTest::addColumn<qint64>("taxTotal");
    // Wage 10000 in C, insurance 1000 in D; no titles the catalogue knows.
    QTest::newRow("code and name by letter, wage as is")
        << QStringList{QStringLiteral("编码=A"), QStringLiteral("姓名=B"), QStringLiteral("月应发工资=C"),
                       QStringLiteral("三险一金=D")}
        << qint64(54500);
    QTest::newRow("a raise of ten percent")
        << QStringList{QStringLiteral("编码=A"), QStringLiteral("姓名=B"), QStringLiteral("月应发工资=C*1.1"),
                       QStringLiteral("三险一金=D")}
        // 11000 − 1000 = 10000 taxable, 6500 over the threshold at 20 %: 1300 − 555.
        << qint64(74500);
    QTest::newRow("insurance computed from the wage")
        << QStringList{QStringLiteral("姓名=B"), QStringLiteral("月应发工资=C*1"),
                       QStringLiteral("三险一金=[月应发工资]*0.1")}
        << qint64(54500);
    QTest::newRow("inline form --map=")
        << QStringList{QStringLiteral("--map=编码=A"), QStringLiteral("月应发工资=C+0")} << qint64(74500);
}

void TestCliBatch::mapWithFormula()
{
    QFETCH(QStringList, maps);
    QFETCH(qint64, taxTotal);
    const QString in = path(QStringLiteral("map.xlsx"));
    MAKE_SHEET(in, QStringLiteral("[['工号','员工','工资','扣款'],['001','张三',10000,1000]]"));
    QStringList args = {QStringLiteral("batch"), QStringLiteral("calc"), in,
                        path(QStringLiteral("map_out.xlsx")), QStringLiteral("--json")};
    for (const QString &m : maps) {
        if (m.startsWith(QLatin1String("--")))
            args << m;
        else
            args << QStringLiteral("--map") << m;
    }
    const CliRun r = runCli(args);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(jsonOf(r).value(QStringLiteral("taxTotal")).toInteger(), taxTotal);
}

void TestCliBatch::skippedRowsAndRange_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("read");
    QTest::addColumn<int>("skipped");
    QTest::addColumn<QStringList>("codes");
    // Rows 2–6: A, (empty code and name), only a name, B, C.
    QTest::newRow("whole sheet") << QStringList{} << 5 << 1
                                 << QStringList{QStringLiteral("A"), QString(), QStringLiteral("B"),
                                                QStringLiteral("C")};
    QTest::newRow("rows 4 to 5") << QStringList{QStringLiteral("--first-row"), QStringLiteral("4"),
                                                QStringLiteral("--last-row"), QStringLiteral("5")}
                                 << 2 << 0 << QStringList{QString(), QStringLiteral("B")};
    QTest::newRow("last before first swaps")
        << QStringList{QStringLiteral("--first-row"), QStringLiteral("6"), QStringLiteral("--last-row"),
                       QStringLiteral("5")}
        << 2 << 0 << QStringList{QStringLiteral("B"), QStringLiteral("C")};
    QTest::newRow("last row past the end reads to the end")
        << QStringList{QStringLiteral("--first-row=5"), QStringLiteral("--last-row=900")} << 2 << 0
        << QStringList{QStringLiteral("B"), QStringLiteral("C")};
    QTest::newRow("first row past the end reads nothing")
        << QStringList{QStringLiteral("--first-row"), QStringLiteral("40")} << 0 << 0 << QStringList{};
}

void TestCliBatch::skippedRowsAndRange()
{
    QFETCH(QStringList, options);
    QFETCH(int, read);
    QFETCH(int, skipped);
    QFETCH(QStringList, codes);
    const QString in = path(QStringLiteral("skip.xlsx"));
    MAKE_SHEET(in, QStringLiteral("[%1,['A','甲',5000],[None,None,9000],[None,'乙',6000],['B','丙',7000],"
                                  "['C',None,8000]]")
                       .arg(kTitles));
    const QString out = path(QStringLiteral("skip_out.xlsx"));
    const CliRun r = runCli(
        QStringList{QStringLiteral("batch"), QStringLiteral("calc"), in, out, QStringLiteral("--json")} +
        options);
    QCOMPARE(r.exitCode, 0);
    const QJsonObject summary = jsonOf(r);
    QCOMPARE(summary.value(QStringLiteral("rowsRead")).toInt(), read);
    QCOMPARE(summary.value(QStringLiteral("rowsSkipped")).toInt(), skipped);
    QCOMPARE(summary.value(QStringLiteral("records")).toInt(), int(codes.size()));
    const ResultSheet sheet = readResult(out);
    for (int i = 0; i < codes.size(); ++i)
        QCOMPARE(sheet.text(sheet.firstData + i, 0), codes[i]);
}

void TestCliBatch::unreadableCellsReported()
{
    const QString in = path(QStringLiteral("unreadable.xlsx"));
    MAKE_SHEET(in, QStringLiteral("[%1,['A','甲',10000,'abc',0,0],['B','乙',-5,0,'1e3',0],"
                                  "['C','丙','5,000',0,0,0]]")
                       .arg(kTitles));
    const CliRun r = runCli({QStringLiteral("batch"), QStringLiteral("calc"), in,
                             path(QStringLiteral("unreadable_out.xlsx")), QStringLiteral("--json")});
    QCOMPARE(r.exitCode, 0); // reported, not fatal
    const QJsonArray cells = jsonOf(r).value(QStringLiteral("unreadable")).toArray();
    QCOMPARE(cells.size(), 3);
    const auto at = [&](int k, const char *key) { return cells[k].toObject().value(QString::fromUtf8(key)); };
    QCOMPARE(at(0, "row").toInt(), 2);
    QCOMPARE(at(0, "column").toString(), QStringLiteral("D"));
    QCOMPARE(at(0, "text").toString(), QStringLiteral("abc"));
    QVERIFY(at(0, "reason").toString().contains(QStringLiteral("abc")));
    QCOMPARE(at(1, "row").toInt(), 3);
    QCOMPARE(at(1, "column").toString(), QStringLiteral("C"));
    QCOMPARE(at(2, "row").toInt(), 3);
    QCOMPARE(at(2, "column").toString(), QStringLiteral("E"));
    QCOMPARE(at(2, "text").toString(), QStringLiteral("1e3"));

    // Without --json the same cells are listed in Chinese, with their positions.
    const CliRun human = runCli(
        {QStringLiteral("batch"), QStringLiteral("calc"), in, path(QStringLiteral("unreadable_out2.xlsx"))});
    QCOMPARE(human.exitCode, 0);
    QVERIFY2(human.out.contains(QStringLiteral("第 2 行 D 列")), qPrintable(human.out));
    QVERIFY(human.out.contains(QStringLiteral("3 个金额单元格无法识别")));
}

void TestCliBatch::noCodeOrNameRefused_data()
{
    QTest::addColumn<QString>("titles");
    QTest::addColumn<QStringList>("maps");
    QTest::newRow("no title recognised") << QStringLiteral("['工号','员工','月应发工资']") << QStringList{};
    QTest::newRow("code and name mapped to nothing")
        << kTitles
        << QStringList{QStringLiteral("--map"), QStringLiteral("编码="), QStringLiteral("--map"),
                       QStringLiteral("姓名=")};
}

void TestCliBatch::noCodeOrNameRefused()
{
    QFETCH(QString, titles);
    QFETCH(QStringList, maps);
    const QString in = path(QStringLiteral("nocode.xlsx"));
    MAKE_SHEET(in, QStringLiteral("[%1,['1','甲',5000]]").arg(titles));
    const QString out = path(QStringLiteral("nocode_out.xlsx"));
    const CliRun r = runCli(QStringList{QStringLiteral("batch"), QStringLiteral("calc"), in, out} + maps);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY(r.err.contains(QStringLiteral("没有【编码】和【姓名】列")));
    QVERIFY(!QFile::exists(out));
}

void TestCliBatch::csvOutput()
{
    const QString in = path(QStringLiteral("csv.xlsx"));
    MAKE_SHEET(
        in, QStringLiteral("[%1,['001','张三',10000,1000,20000,500],['002','=HYPERLINK(\"x\")',5000,0,0,0],"
                           "['003','李,四',4000,0,0,0]]")
                .arg(kTitles));
    const QString out = path(QStringLiteral("结果.csv"));
    const CliRun r =
        runCli({QStringLiteral("batch"), QStringLiteral("calc"), in, out, QStringLiteral("--no-process")});
    QCOMPARE(r.exitCode, 0);
    const QByteArray bytes = readAll(out);
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.value(0), QStringLiteral("结果") + QString(21, QLatin1Char(',')));
    QVERIFY(lines.value(1).startsWith(QStringLiteral("基础信息,,小计,,,月应发工资")));
    QVERIFY(lines.value(2).startsWith(QStringLiteral("编码,姓名,应发数,个人所得税,实发数")));
    // Amounts as plain numbers, the formula-looking name defused, the comma quoted.
    QVERIFY2(lines.value(3).startsWith(QStringLiteral("001,张三,30000,2455,26560,10000,1000,9000,545")),
             qPrintable(lines.value(3)));
    QVERIFY2(lines.value(4).startsWith(QStringLiteral("002,\"'=HYPERLINK(\"\"x\"\")\",")),
             qPrintable(lines.value(4)));
    QVERIFY(lines.value(5).startsWith(QStringLiteral("003,\"李,四\",")));
    QVERIFY(lines.value(6).startsWith(QStringLiteral(",总计,")));
}

void TestCliBatch::noProcessAndTemplate_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("lastHeadings"); // group and title of the last column
    QTest::addColumn<bool>("titled");
    QTest::newRow("default: every salary column, process last")
        << QStringList{} << QStringList{QStringLiteral("备注"), QStringLiteral("计算过程")} << true;
    QTest::newRow("--no-process ends with the annuity")
        << QStringList{QStringLiteral("--no-process")}
        << QStringList{QStringLiteral("企业年金"), QStringLiteral("速算扣除数")} << true;
    QTest::newRow("the original sheet by name")
        << QStringList{QStringLiteral("--template"), QStringLiteral("仅原始表")}
        << QStringList{QStringLiteral("基础信息"), QStringLiteral("企业年金")} << true;
    QTest::newRow("empty title: no title rows")
        << QStringList{QStringLiteral("--template=1"), QStringLiteral("--title=")}
        << QStringList{QStringLiteral("备注"), QStringLiteral("计算过程")} << false;
}

void TestCliBatch::noProcessAndTemplate()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, lastHeadings);
    QFETCH(bool, titled);
    const QString in = path(QStringLiteral("template.xlsx"));
    MAKE_SHEET(in, QStringLiteral("[%1,['001','张三',10000,1000,20000,500]]").arg(kTitles));
    const QString out = path(QStringLiteral("template_out.xlsx"));
    const CliRun r = runCli(QStringList{QStringLiteral("batch"), QStringLiteral("calc"), in, out} + options);
    QCOMPARE(r.exitCode, 0);
    const ResultSheet sheet = readResult(out, titled);
    QVERIFY(sheet.sheet);
    if (titled)
        QCOMPARE(sheet.sheet->readStr(1, 0), QStringLiteral("template_out"));
    const int last = sheet.sheet->lastCol();
    QCOMPARE(sheet.column(lastHeadings[0], lastHeadings[1]), last);
}

void TestCliBatch::failingWriteKeepsOldFile_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("xlsx") << QStringLiteral("xlsx");
    QTest::newRow("xls") << QStringLiteral("xls");
    QTest::newRow("csv") << QStringLiteral("csv");
}

void TestCliBatch::failingWriteKeepsOldFile()
{
    QFETCH(QString, suffix);
    const QString in = path(QStringLiteral("keep.xlsx"));
    MAKE_SHEET(in, QStringLiteral("[%1,['001','张三',10000,1000,20000,500]]").arg(kTitles));
    // A read-only existing file is left as it was.
    const QString out = path(QStringLiteral("keep_out.") + suffix);
    {
        QFile f(out);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("the old contents");
    }
    QVERIFY(QFile::setPermissions(out, QFile::ReadOwner | QFile::ReadUser));
    CliRun r = runCli({QStringLiteral("batch"), QStringLiteral("calc"), in, out});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.out.isEmpty());
    QVERIFY(!r.err.isEmpty());
    QCOMPARE(readAll(out), QByteArray("the old contents"));
    QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner);

    // A folder that does not exist: nothing is written anywhere.
    const QString missing = path(QStringLiteral("no/such/dir/out.") + suffix);
    r = runCli({QStringLiteral("batch"), QStringLiteral("calc"), in, missing});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(!QFile::exists(missing));
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("*.tmp"), QStringLiteral("*~*")}, QDir::Files),
             QStringList());
}

void TestCliBatch::unreadableInput_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");
    QTest::newRow("missing file") << QByteArray() << QStringLiteral("missing.xlsx");
    QTest::newRow("text named .xlsx") << QByteArray("not a workbook") << QStringLiteral("text.xlsx");
    QTest::newRow("truncated zip") << QByteArray("PK\x03\x04\x14\x00", 6) << QStringLiteral("cut.xlsx");
    QTest::newRow("text named .xls") << QByteArray("编码,姓名\n") << QStringLiteral("text.xls");
}

void TestCliBatch::unreadableInput()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    const QString in = path(name);
    if (!bytes.isEmpty()) {
        QFile f(in);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    const QString out = path(QStringLiteral("unreadable_in_out.xlsx"));
    const CliRun r = runCli({QStringLiteral("batch"), QStringLiteral("calc"), in, out});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.out.isEmpty());
    QVERIFY(r.err.contains(QStringLiteral("无法读取工作簿")));
    QVERIFY(!QFile::exists(out));
}

void TestCliBatch::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    const QString in = QStringLiteral("in.xlsx"), out = QStringLiteral("out.xlsx");
    QTest::newRow("no mode") << QStringList{} << QStringLiteral("calc、plan 或 apportion");
    QTest::newRow("unknown mode") << QStringList{QStringLiteral("sum"), in, out} << QStringLiteral("sum");
    QTest::newRow("no output") << QStringList{QStringLiteral("calc"), in} << QStringLiteral("输出文件");
    QTest::newRow("extra operand") << QStringList{QStringLiteral("calc"), in, out, QStringLiteral("x")}
                                   << QStringLiteral("多余");
    QTest::newRow("input not a workbook name")
        << QStringList{QStringLiteral("calc"), QStringLiteral("in.csv"), out}
        << QStringLiteral(".xls 或 .xlsx");
    QTest::newRow("output suffix unknown")
        << QStringList{QStringLiteral("calc"), in, QStringLiteral("out.txt")} << QStringLiteral(".csv");
    QTest::newRow("output is the input")
        << QStringList{QStringLiteral("calc"), in, in} << QStringLiteral("输入文件本身");
    QTest::newRow("unknown option") << QStringList{QStringLiteral("calc"), in, out, QStringLiteral("--speed")}
                                    << QStringLiteral("--speed");
    QTest::newRow("threshold 5000") << QStringList{QStringLiteral("calc"), in, out,
                                                   QStringLiteral("--threshold"), QStringLiteral("5000")}
                                    << QStringLiteral("--threshold");
    QTest::newRow("title row 0") << QStringList{QStringLiteral("calc"), in, out,
                                                QStringLiteral("--title-row=0")}
                                 << QStringLiteral("--title-row");
    QTest::newRow("first row not a number")
        << QStringList{QStringLiteral("calc"), in, out, QStringLiteral("--first-row"), QStringLiteral("two")}
        << QStringLiteral("--first-row");
    QTest::newRow("last row negative")
        << QStringList{QStringLiteral("calc"), in, out, QStringLiteral("--last-row=-1")}
        << QStringLiteral("--last-row");
    QTest::newRow("last row beyond any sheet")
        << QStringList{QStringLiteral("calc"), in, out, QStringLiteral("--last-row=2000000")}
        << QStringLiteral("--last-row");
    QTest::newRow("map without equals")
        << QStringList{QStringLiteral("calc"), in, out, QStringLiteral("--map"), QStringLiteral("编码")}
        << QStringLiteral("--map");
    QTest::newRow("map of an unknown column")
        << QStringList{QStringLiteral("calc"), in, out, QStringLiteral("--map"), QStringLiteral("奖金=C")}
        << QStringLiteral("奖金");
    QTest::newRow("map of the annuity in apportion")
        << QStringList{QStringLiteral("apportion"), in, out, QStringLiteral("--map"),
                       QStringLiteral("企业年金=C")}
        << QStringLiteral("企业年金");
    QTest::newRow("same column mapped twice") << QStringList{QStringLiteral("calc"),
                                                             in,
                                                             out,
                                                             QStringLiteral("--map"),
                                                             QStringLiteral("编码=A"),
                                                             QStringLiteral("--map=编码=B")}
                                              << QStringLiteral("重复");
    QTest::newRow("map without a value")
        << QStringList{QStringLiteral("calc"), in, out, QStringLiteral("--map")} << QStringLiteral("缺少值");
    QTest::newRow("goal for calc") << QStringList{QStringLiteral("calc"), in, out, QStringLiteral("--goal=1")}
                                   << QStringLiteral("不适用");
    QTest::newRow("scope for calc") << QStringList{QStringLiteral("calc"), in, out,
                                                   QStringLiteral("--scope=after")}
                                    << QStringLiteral("不适用");
    QTest::newRow("months 13 for plan")
        << QStringList{QStringLiteral("plan"), in, out, QStringLiteral("--months=13")}
        << QStringLiteral("--months");
    QTest::newRow("months 0 for apportion")
        << QStringList{QStringLiteral("apportion"), in, out, QStringLiteral("--months=0")}
        << QStringLiteral("--months");
    QTest::newRow("goal 2") << QStringList{QStringLiteral("plan"), in, out, QStringLiteral("--goal=2")}
                            << QStringLiteral("--goal");
    QTest::newRow("method unknown") << QStringList{QStringLiteral("plan"), in, out,
                                                   QStringLiteral("--method=best")}
                                    << QStringLiteral("--method");
    QTest::newRow("method for apportion")
        << QStringList{QStringLiteral("apportion"), in, out, QStringLiteral("--method=bonus")}
        << QStringLiteral("不适用");
    QTest::newRow("effective scope for apportion")
        << QStringList{QStringLiteral("apportion"), in, out, QStringLiteral("--scope=effective")}
        << QStringLiteral("--scope");
    QTest::newRow("template unknown")
        << QStringList{QStringLiteral("calc"), in, out, QStringLiteral("--template"), QStringLiteral("全部")}
        << QStringLiteral("--template");
    QTest::newRow("template out of range")
        << QStringList{QStringLiteral("calc"), in, out, QStringLiteral("--template=7")}
        << QStringLiteral("--template");
    QTest::newRow("flag with a value")
        << QStringList{QStringLiteral("calc"), in, out, QStringLiteral("--json=1")}
        << QStringLiteral("--json");
    QTest::newRow("option repeated") << QStringList{QStringLiteral("calc"), in, out,
                                                    QStringLiteral("--sheet=1"), QStringLiteral("--sheet=2")}
                                     << QStringLiteral("重复");
    QTest::newRow("empty sheet name")
        << QStringList{QStringLiteral("calc"), in, out, QStringLiteral("--sheet=")}
        << QStringLiteral("--sheet");
    QTest::newRow("year plan: no output")
        << QStringList{QStringLiteral("plan"), QStringLiteral("--rules=2019"), in}
        << QStringLiteral("输出文件");
    QTest::newRow("year plan: no threshold under the 2019 rules")
        << QStringList{QStringLiteral("plan"),
                       QStringLiteral("--rules"),
                       QStringLiteral("2019"),
                       in,
                       out,
                       QStringLiteral("--threshold=4800")}
        << QStringLiteral("--threshold");
    QTest::newRow("year plan: the annuity is no column of it")
        << QStringList{QStringLiteral("plan"),  QStringLiteral("--rules=2019"), in, out,
                       QStringLiteral("--map"), QStringLiteral("企业年金=C")}
        << QStringLiteral("企业年金");
    QTest::newRow("year plan: the bonus mapped under both its names")
        << QStringList{QStringLiteral("plan"),
                       QStringLiteral("--rules=2019"),
                       in,
                       out,
                       QStringLiteral("--map=年终奖金=E"),
                       QStringLiteral("--map=全年一次性奖金=F")}
        << QStringLiteral("重复");
    QTest::newRow("year plan: a ledger without its period")
        << QStringList{QStringLiteral("plan"), QStringLiteral("--rules=2019"), in, out,
                       QStringLiteral("--ledger=a.db")}
        << QStringLiteral("--period");
    QTest::newRow("year plan: month 13")
        << QStringList{QStringLiteral("plan"), QStringLiteral("--rules=2019"), in, out,
                       QStringLiteral("--period=2026-13")}
        << QStringLiteral("--period");
    QTest::newRow("year plan: no separate bonus from 2028")
        << QStringList{QStringLiteral("plan"), QStringLiteral("--rules=2019"), in, out,
                       QStringLiteral("--period=2028-12")}
        << QStringLiteral("2028");
    QTest::newRow("year plan: with a ledger --map names the template's columns")
        << QStringList{QStringLiteral("plan"),
                       QStringLiteral("--rules=2019"),
                       in,
                       out,
                       QStringLiteral("--period=2026-12"),
                       QStringLiteral("--map=其他扣除=C")}
        << QStringLiteral("扣缴模板");
    QTest::newRow("year plan: rules 2011 are not a choice")
        << QStringList{QStringLiteral("plan"), QStringLiteral("--rules=2011"), in, out}
        << QStringLiteral("--rules");
}

void TestCliBatch::badArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const CliRun r = runCli(QStringList{QStringLiteral("batch")} + args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
}

// A sheet as other office suites write it: a title above the header and a totals row at the end.
void TestCliBatch::sheetShape_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("records");
    QTest::addColumn<qint64>("taxTotal");
    // 10000 − 1000 and 8000: 545 + 345; the totals row 18000 − 1000 would add 2370.
    QTest::newRow("title, first and last row proposed") << QStringList{} << 2 << qint64(89000);
    QTest::newRow("a title row given: data from the next row, totals left out")
        << QStringList{QStringLiteral("--title-row=3")} << 2 << qint64(89000);
    QTest::newRow("rows given here win")
        << QStringList{QStringLiteral("--title-row=3"), QStringLiteral("--first-row=4"),
                       QStringLiteral("--last-row=0")}
        << 3 << qint64(326000);
}

void TestCliBatch::sheetShape()
{
    QFETCH(QStringList, options);
    QFETCH(int, records);
    QFETCH(qint64, taxTotal);
    const QString in = path(QStringLiteral("shape.xlsx"));
    MAKE_SHEET(in, QStringLiteral("[['某公司 12 月工资表'],[None],['编码','姓名','月应发工资','三险一金'],"
                                  "['A','甲',10000,1000],['B','乙',8000,0],[None,'合 计',18000,1000]]"));
    const QString out = path(QStringLiteral("shape_out.xlsx"));
    const CliRun r = runCli(
        QStringList{QStringLiteral("batch"), QStringLiteral("calc"), in, out, QStringLiteral("--json")} +
        options);
    QCOMPARE(r.exitCode, 0);
    const QJsonObject summary = jsonOf(r);
    QCOMPARE(summary.value(QStringLiteral("records")).toInt(), records);
    QCOMPARE(summary.value(QStringLiteral("unreadable")).toArray().size(), 0);
    QCOMPARE(field(summary, "taxTotal"), taxTotal);
    const ResultSheet sheet = readResult(out);
    QCOMPARE(sheet.text(sheet.firstData, 0), QStringLiteral("A"));
}

void TestCliBatch::fullWidthAmounts_data()
{
    QTest::addColumn<QString>("wage");
    QTest::addColumn<QString>("insurance");
    QTest::addColumn<qint64>("taxTotal");
    QTest::addColumn<int>("unreadable");
    // 12000 − 1000: 7500 above the threshold at 20 %, 1500 − 555.
    QTest::newRow("full-width digits, separators and point")
        << QStringLiteral("１２０００") << QStringLiteral("１，０００．００") << qint64(94500) << 0;
    QTest::newRow("full-width plus sign")
        << QStringLiteral("＋１２０００") << QStringLiteral("1000") << qint64(94500) << 0;
    // The insurance is read as 0: 8500 above the threshold, 1700 − 555.
    QTest::newRow("full-width minus is a negative amount")
        << QStringLiteral("１２０００") << QStringLiteral("－１０００") << qint64(114500) << 1;
}

void TestCliBatch::fullWidthAmounts()
{
    QFETCH(QString, wage);
    QFETCH(QString, insurance);
    QFETCH(qint64, taxTotal);
    QFETCH(int, unreadable);
    const QString in = path(QStringLiteral("fullwidth.xlsx"));
    MAKE_SHEET(in, QStringLiteral("[%1,['A','甲','%2','%3',0,0]]").arg(kTitles, wage, insurance));
    const CliRun r = runCli({QStringLiteral("batch"), QStringLiteral("calc"), in,
                             path(QStringLiteral("fullwidth_out.xlsx")), QStringLiteral("--json")});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject summary = jsonOf(r);
    QCOMPARE(field(summary, "taxTotal"), taxTotal);
    QCOMPARE(summary.value(QStringLiteral("unreadable")).toArray().size(), unreadable);
}

// The default export of a plan lists the people whose plan is effective; its totals rows add up
// exactly those rows and are titled as on screen.
void TestCliBatch::effectiveTotalsAddUp()
{
    const QString in = path(QStringLiteral("effective.xlsx"));
    MAKE_SHEET(in, planRows(QStringLiteral("年终奖金")));
    const QString out = path(QStringLiteral("effective_out.xlsx"));
    const CliRun r =
        runCli({QStringLiteral("batch"), QStringLiteral("plan"), in, out, QStringLiteral("--json")});
    QCOMPARE(r.exitCode, 0);
    const ResultSheet sheet = readResult(out);
    QVERIFY(sheet.sheet);
    const int last = sheet.sheet->lastRow();
    QCOMPARE(sheet.text(last - 1, 1), QStringLiteral("筹划(有效)前总计"));
    QCOMPARE(sheet.text(last, 1), QStringLiteral("筹划(有效)后总计"));
    const int people = (last - 1 - sheet.firstData) / 2;
    QVERIFY(people > 0 && people < kPlanAmounts.size()); // some plans are not effective
    for (const QString &title :
         {QStringLiteral("应发数"), QStringLiteral("个人所得税"), QStringLiteral("实发数")}) {
        const int col = sheet.column(QStringLiteral("小计"), title);
        QVERIFY(col >= 0);
        qint64 before = 0, after = 0;
        for (int i = 0; i < people; ++i) {
            before += sheet.fen(sheet.firstData + 2 * i, col);
            after += sheet.fen(sheet.firstData + 2 * i + 1, col);
        }
        QCOMPARE(sheet.fen(last - 1, col), before);
        QCOMPARE(sheet.fen(last, col), after);
    }
}

// Spread over N months, the shares add up to the bonus: pay is unchanged, so what the employee
// gains is the tax saved, also with 三险一金 above the wage.
void TestCliBatch::apportionKeepsPay_data()
{
    QTest::addColumn<QString>("months");
    QTest::addColumn<qint64>("taxDecrease");
    // 6500 and 6500: 325; 5800, 7000 and 6000: 39; 5000 and 100: a fen.
    QTest::newRow("3 months, shares that do not divide") << QStringLiteral("3") << qint64(32500 + 3900 + 1);
    QTest::newRow("4 months") << QStringLiteral("4") << qint64(0);
    QTest::newRow("12 months") << QStringLiteral("12") << qint64(0);
}

void TestCliBatch::apportionKeepsPay()
{
    QFETCH(QString, months);
    QFETCH(qint64, taxDecrease);
    const QString in = path(QStringLiteral("keepspay.xlsx"));
    MAKE_SHEET(in,
               QStringLiteral("[['编码','姓名','月应发工资','三险一金','奖金金额'],['A','甲',6500,0,6500],"
                              "['B','乙',5800,7000,6000],['C','丙',5000,0,100]]"));
    const QString out = path(QStringLiteral("keepspay_out.xlsx"));
    const CliRun r = runCli({QStringLiteral("batch"), QStringLiteral("apportion"), in, out,
                             QStringLiteral("--months"), months, QStringLiteral("--json")});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject summary = jsonOf(r);
    QCOMPARE(field(summary, "netIncrease"), field(summary, "taxDecrease"));
    if (taxDecrease > 0)
        QCOMPARE(field(summary, "taxDecrease"), taxDecrease);
    const ResultSheet sheet = readResult(out);
    const int taxCol = sheet.column(QStringLiteral("小计"), QStringLiteral("个人所得税"));
    const int netCol = sheet.column(QStringLiteral("小计"), QStringLiteral("实发数"));
    const int gainCol = sheet.column(QStringLiteral("小计"), QStringLiteral("税后收入增加"));
    QVERIFY(taxCol >= 0 && netCol >= 0 && gainCol >= 0);
    for (int i = 0; i < 3; ++i) {
        const int before = sheet.firstData + 2 * i;
        const qint64 saved = sheet.fen(before, taxCol) - sheet.fen(before + 1, taxCol);
        QCOMPARE(sheet.fen(before + 1, gainCol), saved);
        QCOMPARE(sheet.fen(before + 1, netCol) - sheet.fen(before, netCol), saved);
    }
}

void TestCliBatch::yearPlanRows_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("bonusTitle");
    QTest::newRow("xlsx to xlsx, 年终奖金")
        << QStringLiteral("xlsx") << QStringLiteral("xlsx") << QStringLiteral("年终奖金");
    QTest::newRow("xls to xls, 全年一次性奖金")
        << QStringLiteral("xls") << QStringLiteral("xls") << QStringLiteral("全年一次性奖金");
    QTest::newRow("xlsx to csv") << QStringLiteral("xlsx") << QStringLiteral("csv")
                                 << QStringLiteral("全年一次性奖金");
}

// Every record of the JSON and every row of the result sheet equals what plan --rules 2019 gives
// for the row's year; the planned bonus's blind zone, the unreadable cell and the totals row.
void TestCliBatch::yearPlanRows()
{
    QFETCH(QString, in);
    QFETCH(QString, out);
    QFETCH(QString, bonusTitle);
    // Wage, insurance, 专项附加扣除, 其他扣除 a month and the planned bonus: a fen into the first
    // zone, the top of the second, a bonus better paid as wages, no bonus, an unreadable wage.
    const QList<QStringList> amounts = {
        {QStringLiteral("10000"), QStringLiteral("1000"), QStringLiteral("2000"), QStringLiteral("0"),
         QStringLiteral("36000.01")},
        {QStringLiteral("30000"), QStringLiteral("3000"), QStringLiteral("1000"), QStringLiteral("500"),
         QStringLiteral("160500")},
        {QStringLiteral("4000"), QStringLiteral("400"), QStringLiteral("0"), QStringLiteral("0"),
         QStringLiteral("20000")},
        {QStringLiteral("8000.5"), QStringLiteral("800"), QStringLiteral("1500"), QStringLiteral("300"),
         QStringLiteral("0")},
        {QStringLiteral("'abc'"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
         QStringLiteral("0")},
    };
    QString rows = QStringLiteral("[['编码','姓名','月应发工资','三险一金','专项附加扣除','其他扣除','%1']")
                       .arg(bonusTitle);
    for (int i = 0; i < amounts.size(); ++i)
        rows += QStringLiteral(",['Y%1','员工%1',%2]").arg(i).arg(amounts[i].join(QLatin1Char(',')));
    rows += QLatin1Char(']');
    const QString input = path(QStringLiteral("year_%1_%2.%3").arg(in, out, in));
    MAKE_SHEET(input, rows);
    const QString output = path(QStringLiteral("year_%1_%2_out.%3").arg(in, out, out));
    const CliRun r = runCli({QStringLiteral("batch"), QStringLiteral("plan"), QStringLiteral("--rules"),
                             QStringLiteral("2019"), input, output, QStringLiteral("--json")});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject summary = jsonOf(r);
    QCOMPARE(summary.value(QStringLiteral("rules")).toString(), QStringLiteral("2019"));
    const QJsonArray records = summary.value(QStringLiteral("records")).toArray();
    QCOMPARE(records.size(), amounts.size());
    const QJsonArray problems = summary.value(QStringLiteral("problems")).toArray();
    QCOMPARE(problems.size(), 1);
    QCOMPARE(problems[0].toObject().value(QStringLiteral("row")).toInt(), 6);
    QCOMPARE(problems[0].toObject().value(QStringLiteral("column")).toString(), QStringLiteral("C"));

    QStringList lines;
    for (const QStringList &a : amounts) {
        const auto fen = [](const QString &yuan) {
            bool ok = false;
            const double v = yuan.toDouble(&ok);
            return ok ? qRound64(v * 100) : 0;
        };
        const qint64 annual = 12 * fen(a[0]) + fen(a[4]);
        lines << QStringLiteral("{\"annual\":\"%1\",\"insurance-annual\":\"%2\","
                                "\"deductions-annual\":\"%3\"}")
                     .arg(formatAmount(annual).remove(QLatin1Char(',')),
                          formatAmount(12 * fen(a[1])).remove(QLatin1Char(',')),
                          formatAmount(12 * (fen(a[2]) + fen(a[3]))).remove(QLatin1Char(',')));
    }
    QByteArray jsonl;
    for (const QString &line : lines)
        jsonl += line.toUtf8() + '\n';
    const CliRun single = runCli({QStringLiteral("plan"), QStringLiteral("--rules"), QStringLiteral("2019"),
                                  QStringLiteral("--jsonl")},
                                 jsonl);
    QList<QJsonObject> best;
    for (const QString &line : single.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        best << QJsonDocument::fromJson(line.toUtf8()).object();
    QCOMPARE(best.size(), amounts.size());
    qint64 planned = 0, bestSum = 0;
    for (int i = 0; i < records.size(); ++i) {
        const QJsonObject rec = records[i].toObject();
        QCOMPARE(rec.value(QStringLiteral("row")).toInt(), i + 2);
        QCOMPARE(rec.value(QStringLiteral("code")).toString(), QStringLiteral("Y%1").arg(i));
        QCOMPARE(field(rec, "annual"), field(best[i], "annual"));
        QCOMPARE(field(rec, "bestBonus"), field(best[i], "bonus"));
        QCOMPARE(field(rec, "bestTax"), field(best[i], "taxTotal"));
        QCOMPARE(field(rec, "mergedTax"), field(best[i], "allWageTax"));
        QCOMPARE(field(rec, "saving"), field(rec, "plannedTax") - field(rec, "bestTax"));
        planned += field(rec, "plannedTax");
        bestSum += field(rec, "bestTax");
    }
    QCOMPARE(records[0].toObject().value(QStringLiteral("blindZone")).toArray(),
             QJsonArray({3600000, 3856667}));
    QCOMPARE(records[1].toObject().value(QStringLiteral("blindZone")).toArray(),
             QJsonArray({14400000, 16050000}));
    QVERIFY(records[2].toObject().value(QStringLiteral("blindZone")).isNull());
    QCOMPARE(field(records[0].toObject(), "plannedTax"), 411000); // 720 on the wages, 3,390 on the bonus
    QCOMPARE(field(summary, "plannedTaxTotal"), planned);
    QCOMPARE(field(summary, "bestTaxTotal"), bestSum);
    QCOMPARE(field(summary, "savingTotal"), planned - bestSum);

    if (out == QLatin1String("csv")) {
        const QStringList csv =
            QString::fromUtf8(readAll(output)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(csv.size(), 3 + int(amounts.size()) + 1);
        QVERIFY(csv[2].startsWith(
            QStringLiteral("编码,姓名,月应发工资,三险一金,专项附加扣除,其他扣除,全年应发")));
        QVERIFY2(csv.last().endsWith(
                     QStringLiteral(",%1").arg(formatAmount(planned - bestSum).remove(QLatin1Char(',')))),
                 qPrintable(csv.last()));
        return;
    }
    const ResultSheet sheet = readResult(output);
    QVERIFY(sheet.sheet);
    const int plannedCol = sheet.column(QStringLiteral("计划方案"), QStringLiteral("全年税额"));
    const int zoneCol = sheet.column(QStringLiteral("计划方案"), QStringLiteral("奖金盲区"));
    const int bestCol = sheet.column(QStringLiteral("最优方案"), QStringLiteral("全年税额"));
    const int bestBonusCol = sheet.column(QStringLiteral("最优方案"), QStringLiteral("全年一次性奖金"));
    const int savingCol = sheet.column(QStringLiteral("最优方案"), QStringLiteral("节税"));
    QVERIFY(plannedCol >= 0 && zoneCol >= 0 && bestCol >= 0 && bestBonusCol >= 0 && savingCol >= 0);
    for (int i = 0; i < records.size(); ++i) {
        const QJsonObject rec = records[i].toObject();
        const int row = sheet.firstData + i;
        QCOMPARE(sheet.fen(row, plannedCol), field(rec, "plannedTax"));
        QCOMPARE(sheet.fen(row, bestCol), field(rec, "bestTax"));
        QCOMPARE(sheet.fen(row, bestBonusCol), field(rec, "bestBonus"));
        QCOMPARE(sheet.fen(row, savingCol), field(rec, "saving"));
    }
    QCOMPARE(sheet.text(sheet.firstData, zoneCol), QStringLiteral("36,000–38,566.67"));
    const int totalsRow = sheet.firstData + int(records.size());
    QCOMPARE(sheet.sheet->lastRow(), totalsRow);
    QCOMPARE(sheet.fen(totalsRow, plannedCol), planned);
    QCOMPARE(sheet.fen(totalsRow, savingCol), planned - bestSum);
}

namespace {

// Employee k of the ledger's year: 本期收入 and 基本养老保险费 of month m in fen, 0 when not paid;
// employee 11 is first paid in December, 12 has a wrong identity number then.
constexpr int kLedgerEmployees = 13;

qint64 ledgerIncome(int k, int m)
{
    if ((k == 11 && m < 12) || (k == 7 && m < 5))
        return 0;
    return 500000 + qint64(k) * 347123 % 4000000;
}

// December's planned bonus: a fen into the first blind zone, inside the second, none, and others.
qint64 ledgerBonus(int k)
{
    static const qint64 bonuses[] = {3600001, 15000000, 0, 2000000, 6000000, 100000, 4800000};
    return bonuses[k % 7];
}

QString ledgerId(int k)
{
    static const int w[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    const QString first = QStringLiteral("440305198807") + QString::number(10000 + k).right(5);
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += (first[i].unicode() - '0') * w[i];
    return first + QLatin1Char("10X98765432"[(sum + (k == 12 ? 1 : 0)) % 11]);
}

// Month m's payroll sheet; `split` (December only) gives each employee's 本期收入 and bonus instead.
bool writePayrollSheet(const QString &file, int m, const QHash<int, QPair<qint64, qint64>> &split = {})
{
    SheetLayout layout;
    SheetRow head;
    for (const char *t : {"工号", "*姓名", "*证件类型", "*证件号码", "本期收入", "基本养老保险费",
                          "累计子女教育", "全年一次性奖金", "入职年度就业情形"})
        head.cells.push_back({true, QString::fromUtf8(t), false, SheetCellStyle::Heading, 1});
    layout.headings.push_back(head);
    for (int k = 0; k < kLedgerEmployees; ++k) {
        qint64 income = ledgerIncome(k, m);
        if (income == 0 || (k == 12 && m < 12))
            continue;
        qint64 bonus = m == 12 ? ledgerBonus(k) : 0;
        if (split.contains(k))
            std::tie(income, bonus) = std::pair(split[k].first, split[k].second);
        SheetRow row;
        const auto text = [&](const QString &t) {
            row.cells.push_back({true, t, false, SheetCellStyle::BodyLeft, 1});
        };
        const auto money = [&](qint64 fen) {
            row.cells.push_back({true, formatAmount(fen), true, SheetCellStyle::BodyRight, 1});
        };
        text(QStringLiteral("G%1").arg(k));
        text(QStringLiteral("员工%1").arg(k));
        text(QStringLiteral("居民身份证"));
        text(ledgerId(k));
        money(income);
        money(ledgerIncome(k, m) * 8 / 100);
        money(k % 3 == 0 ? 200000 * m : 0);
        money(bonus);
        text(k == 7 && m == 5 ? QStringLiteral("当年首次入职其他人员") : QString());
        layout.rows.push_back(std::move(row));
    }
    QString error;
    return writeSheetLayout(layout, file, &error);
}

} // namespace

QString TestCliBatch::recordedLedger()
{
    const QString ledger = path(QStringLiteral("year.sqlite"));
    if (QFile::exists(ledger))
        return ledger;
    for (int m = 1; m <= 11; ++m) {
        const QString sheet = path(QStringLiteral("payroll%1.xlsx").arg(m));
        if (!writePayrollSheet(sheet, m))
            return {};
        const CliRun r =
            runCli({QStringLiteral("month"), sheet, path(QStringLiteral("withheld.csv")),
                    QStringLiteral("--period"), QStringLiteral("2026-%1").arg(m, 2, 10, QLatin1Char('0')),
                    QStringLiteral("--ledger"), ledger, QStringLiteral("--record")});
        if (r.exitCode != 0) {
            qWarning("%s", qPrintable(r.err));
            return {};
        }
    }
    return ledger;
}

void TestCliBatch::yearPlanFromLedger_data()
{
    QTest::addColumn<QString>("out");
    QTest::newRow("to xlsx") << QStringLiteral("xlsx");
    QTest::newRow("to xls") << QStringLiteral("xls");
}

// December planned from the eleven months recorded: the planned and all-as-wages year taxes are
// what lumo-cli month computes for December as given, and the best split's sheet run through
// lumo-cli month withholds what the plan says; the result sheet read back holds the JSON's figures.
void TestCliBatch::yearPlanFromLedger()
{
    QFETCH(QString, out);
    const QString ledger = recordedLedger();
    QVERIFY(!ledger.isEmpty());
    const QString december = path(QStringLiteral("payroll12.xlsx"));
    QVERIFY(writePayrollSheet(december, 12));
    const QString output = path(QStringLiteral("ledgerplan.") + out);
    const CliRun r = runCli({QStringLiteral("batch"), QStringLiteral("plan"), QStringLiteral("--rules=2019"),
                             december, output, QStringLiteral("--ledger"), ledger, QStringLiteral("--period"),
                             QStringLiteral("2026-12"), QStringLiteral("--json")});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(!r.err.contains(QStringLiteral("警告")), qPrintable(r.err));
    const QJsonObject summary = jsonOf(r);
    QCOMPARE(summary.value(QStringLiteral("period")).toString(), QStringLiteral("2026-12"));
    const QJsonArray records = summary.value(QStringLiteral("records")).toArray();
    QCOMPARE(records.size(), kLedgerEmployees - 1);
    const QJsonArray problems = summary.value(QStringLiteral("problems")).toArray();
    QCOMPARE(problems.size(), 1);
    QCOMPARE(problems[0].toObject().value(QStringLiteral("row")).toInt(), kLedgerEmployees + 1);

    // The month as planned, with the bonus taxed separately and merged.
    const auto monthRecords = [&](const QString &sheet, const QStringList &more) {
        const CliRun m = runCli(QStringList{QStringLiteral("month"), sheet, path(QStringLiteral("m.csv")),
                                            QStringLiteral("--period=2026-12"), QStringLiteral("--ledger"),
                                            ledger, QStringLiteral("--json")} +
                                more);
        return jsonOf(m).value(QStringLiteral("records")).toArray();
    };
    const QJsonArray separate = monthRecords(december, {});
    const QJsonArray merged = monthRecords(december, {QStringLiteral("--bonus-method=merged")});
    QCOMPARE(separate.size(), records.size());
    QHash<int, QPair<qint64, qint64>> bestSplit;
    qint64 saving = 0;
    for (int i = 0; i < records.size(); ++i) {
        const QJsonObject rec = records[i].toObject(), planned = separate[i].toObject();
        QCOMPARE(rec.value(QStringLiteral("idNumber")).toString(),
                 planned.value(QStringLiteral("idNumber")).toString());
        QCOMPARE(field(rec, "months"), field(planned, "months"));
        QCOMPARE(field(rec, "plannedTax"), field(planned, "cumulativeTax") + field(planned, "bonusTax"));
        QCOMPARE(field(rec, "mergedTax"), field(merged[i].toObject(), "cumulativeTax"));
        QCOMPARE(field(rec, "periodWage") + field(rec, "bestBonus"),
                 field(planned, "income") + field(planned, "bonus"));
        QCOMPARE(field(rec, "saving"), field(rec, "plannedTax") - field(rec, "bestTax"));
        QVERIFY(field(rec, "bestTax") <= field(rec, "mergedTax"));
        saving += field(rec, "saving");
        bestSplit.insert(rec.value(QStringLiteral("code")).toString().mid(1).toInt(),
                         {field(rec, "periodWage"), field(rec, "bestBonus")});
    }
    QVERIFY(saving > 0);
    QCOMPARE(field(summary, "savingTotal"), saving);
    QCOMPARE(records[0].toObject().value(QStringLiteral("blindZone")).toArray(),
             QJsonArray({3600000, 3856667}));
    QCOMPARE(field(records[11].toObject(), "months"), 1); // first paid in December

    const QString bestSheet = path(QStringLiteral("payroll12best.xlsx"));
    QVERIFY(writePayrollSheet(bestSheet, 12, bestSplit));
    const QJsonArray best = monthRecords(bestSheet, {});
    QCOMPARE(best.size(), records.size());
    for (int i = 0; i < records.size(); ++i) {
        const QJsonObject rec = records[i].toObject(), b = best[i].toObject();
        QCOMPARE(field(rec, "periodWithheld"), field(b, "withheld"));
        QCOMPARE(field(rec, "bonusTax"), field(b, "bonusTax"));
        QCOMPARE(field(rec, "bestTax"), field(b, "cumulativeTax") + field(b, "bonusTax"));
    }

    const ResultSheet sheet = readResult(output);
    QVERIFY(sheet.sheet);
    const int bestBonusCol = sheet.column(QStringLiteral("最优方案"), QStringLiteral("全年一次性奖金"));
    const int wageCol = sheet.column(QStringLiteral("最优方案"), QStringLiteral("本期工资"));
    const int withheldCol = sheet.column(QStringLiteral("最优方案"), QStringLiteral("本期应预扣预缴税额"));
    const int savingCol = sheet.column(QStringLiteral("最优方案"), QStringLiteral("节税"));
    const int monthsCol = sheet.column(QStringLiteral("本年已记入"), QStringLiteral("月份数"));
    QVERIFY(bestBonusCol >= 0 && wageCol >= 0 && withheldCol >= 0 && savingCol >= 0 && monthsCol >= 0);
    for (int i = 0; i < records.size(); ++i) {
        const QJsonObject rec = records[i].toObject();
        const int row = sheet.firstData + i;
        QCOMPARE(sheet.text(row, 2), rec.value(QStringLiteral("idNumber")).toString());
        QCOMPARE(sheet.text(row, monthsCol).toDouble(), double(field(rec, "months") - 1));
        QCOMPARE(sheet.fen(row, bestBonusCol), field(rec, "bestBonus"));
        QCOMPARE(sheet.fen(row, wageCol), field(rec, "periodWage"));
        QCOMPARE(sheet.fen(row, withheldCol), field(rec, "periodWithheld"));
    }
    const int totalsRow = sheet.firstData + int(records.size());
    QCOMPARE(sheet.sheet->lastRow(), totalsRow);
    QCOMPARE(sheet.fen(totalsRow, savingCol), saving);
    QCOMPARE(sheet.fen(totalsRow, withheldCol), field(summary, "periodWithheldTotal"));
}

void TestCliBatch::yearPlanLedgerRefused_data()
{
    QTest::addColumn<QString>("ledgerBytes"); // a file put where the ledger goes; empty: the recorded one
    QTest::addColumn<QString>("period");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("a text file as the ledger is left alone")
        << QStringLiteral("工资台账\n") << QStringLiteral("2026-12") << 1 << QStringLiteral("台账");
    QTest::newRow("a month after the period is recorded")
        << QString() << QStringLiteral("2026-10") << 1 << QStringLiteral("已记入 11 月");
    QTest::newRow("a ledger without the year: everyone from the period alone")
        << QString() << QStringLiteral("2025-12") << 0 << QStringLiteral("警告");
}

void TestCliBatch::yearPlanLedgerRefused()
{
    QFETCH(QString, ledgerBytes);
    QFETCH(QString, period);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QString ledger = recordedLedger();
    QVERIFY(!ledger.isEmpty());
    if (!ledgerBytes.isEmpty()) {
        ledger = path(QStringLiteral("text.sqlite"));
        QFile f(ledger);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ledgerBytes.toUtf8());
    }
    const QByteArray before = readAll(ledger);
    const QString december = path(QStringLiteral("payroll12.xlsx"));
    QVERIFY(writePayrollSheet(december, 12));
    const QString output = path(QStringLiteral("refused.xlsx"));
    QFile::remove(output);
    const CliRun r = runCli({QStringLiteral("batch"), QStringLiteral("plan"), QStringLiteral("--rules=2019"),
                             december, output, QStringLiteral("--ledger"), ledger, QStringLiteral("--period"),
                             period, QStringLiteral("--json")});
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(QFile::exists(output), exitCode == 0);
    QCOMPARE(readAll(ledger), before);
    if (exitCode == 0)
        QCOMPARE(field(jsonOf(r).value(QStringLiteral("records")).toArray()[0].toObject(), "months"), 1);
}

QTEST_GUILESS_MAIN(TestCliBatch)
#include "tst_cli_batch.moc"
