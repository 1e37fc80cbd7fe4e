// lumo-cli batch plan --rules 2019: the year-end bonus of every employee of a salary sheet under the
// rules in force since 2019, from the sheet alone or (--ledger, --period) from the months of the
// year the payroll ledger holds. The sheet is read as lumo-cli batch or lumo-cli month reads it, the
// core plans every row, and this file only parses the options and writes the result sheet and the
// summary.
#include "batch/columncatalogue.h"
#include "batch/importsetting.h"
#include "batch/sheetcsv.h"
#include "batch/sheetlayout.h"
#include "batch/sheetsource.h"
#include "batch/yearplan.h"
#include "cli/cliargs.h"
#include "cli/commands.h"
#include "cli/jsonout.h"
#include "cli/sheetoptions.h"
#include "engine/currentrules.h"
#include "excel/workbook.h"
#include "ledger/payrollyearplan.h"

#include <QElapsedTimer>
#include <QFileInfo>

namespace {

const char kUsage[] =
    "用法: lumo-cli batch plan --rules 2019 输入文件 输出文件 [选项]\n"
    "  按 2019 年起施行的规定筹划整张工资表的全年一次性奖金：每行一名员工的一年，\n"
    "  读取 月应发工资（发 12 个月）、三险一金、专项附加扣除、其他扣除（每月）和 全年一次性奖金（计划，\n"
    "  标题也可以是 年终奖金）；给出计划方案、全部并入工资和最优方案的全年税额、节税额和奖金盲区。\n"
    "  输入文件 .xls 或 .xlsx；输出文件 .xlsx、.xls 或 .csv，按后缀选择格式。\n"
    "  --sheet N|名称         工作表：序号（从 1 起）或名称，默认第一个\n"
    "  --title-row R          标题行，默认 1\n"
    "  --first-row R          起始行，默认 2\n"
    "  --last-row R           结束行，默认 0（到最后一行）\n"
    "  --map '列名=公式'      给目的列一个导入公式，可重复（列名如 编码、专项附加扣除、全年一次性奖金）\n"
    "  --setting 名称         使用 importset.ini 中年度工资表导入时保存的导入设定\n"
    "                         （没有这个名称时找“批量节税筹划”保存的设定）\n"
    "  --json                 在标准输出给出 JSON 摘要（金额为分）\n"
    "  --period YYYY-MM       按工资台账中本年已记入的月份筹划：所属期是本年最后一个发薪月，\n"
    "                         输入文件是该月的工资表（扣缴客户端模板的列，同 lumo-cli month），\n"
    "                         本期收入 + 全年一次性奖金 在工资与单独计税的奖金之间分配\n"
    "  --ledger 文件          台账文件，默认 ~/lumo/ledger.sqlite（只读，不改动）\n"
    "                         按台账筹划时 --map 的列名为模板的列名，--setting 同 lumo-cli month\n"
    "没有映射【编码】和【姓名】列（按台账时【姓名】和【证件号码】列）时不执行；\n"
    "【编码】、【姓名】都为空的行跳过。\n"
    "退出码：0 完成，1 文件或台账无法读取或写入，2 参数错误。\n";

struct YearPlanOptions
{
    QString in, out;
    QString sheet;
    int titleRow = 1;
    SheetRange range;
    bool hasTitleRow = false, hasFirstRow = false, hasLastRow = false;
    QList<QPair<int, QString>> maps; // target column (a payroll field with a ledger), formula
    QString setting;
    bool json = false;
    bool fromLedger = false; // --period given: plan from the ledger's year
    QString ledger;
    int year = 0, month = 0;
};

QString suffixOf(const QString &path)
{
    return QFileInfo(path).suffix().toLower();
}

bool readOptions(const QStringList &args, YearPlanOptions *o, QString *error)
{
    QStringList rest = args;
    QStringList maps;
    if (!takeMaps(&rest, &maps, error))
        return false;
    ArgParser p({QStringLiteral("sheet"), QStringLiteral("title-row"), QStringLiteral("first-row"),
                 QStringLiteral("last-row"), QStringLiteral("setting"), QStringLiteral("ledger"),
                 QStringLiteral("period")},
                {QStringLiteral("json")});
    if (!p.parse(rest, error, true))
        return false;
    if (p.positional().size() != 2) {
        *error = p.positional().size() < 2 ? QStringLiteral("需要输入文件和输出文件")
                                           : QStringLiteral("多余的参数：%1").arg(p.positional().at(2));
        return false;
    }
    o->in = p.positional().at(0);
    o->out = p.positional().at(1);
    const QString inSuffix = suffixOf(o->in), outSuffix = suffixOf(o->out);
    if (inSuffix != QLatin1String("xls") && inSuffix != QLatin1String("xlsx")) {
        *error = QStringLiteral("输入文件“%1”应为 .xls 或 .xlsx 工作簿").arg(o->in);
        return false;
    }
    if (outSuffix != QLatin1String("xls") && outSuffix != QLatin1String("xlsx") &&
        outSuffix != QLatin1String("csv")) {
        *error = QStringLiteral("输出文件“%1”应以 .xlsx、.xls 或 .csv 结尾").arg(o->out);
        return false;
    }
    const QFileInfo inInfo(o->in), outInfo(o->out);
    if (inInfo.absoluteFilePath() == outInfo.absoluteFilePath() ||
        (inInfo.exists() && outInfo.exists() && inInfo.canonicalFilePath() == outInfo.canonicalFilePath())) {
        *error = QStringLiteral("输出文件不能是输入文件本身");
        return false;
    }
    for (const QString &option : {QStringLiteral("sheet"), QStringLiteral("setting")}) {
        if (p.has(option) && p.value(option).isEmpty()) {
            *error = QStringLiteral("--%1 不能为空").arg(option);
            return false;
        }
    }
    o->sheet = p.value(QStringLiteral("sheet"));
    o->setting = p.value(QStringLiteral("setting"));
    if (!readRowOption(p, QStringLiteral("title-row"), 1, &o->titleRow, error) ||
        !readRowOption(p, QStringLiteral("first-row"), 1, &o->range.first, error) ||
        !readRowOption(p, QStringLiteral("last-row"), 0, &o->range.last, error))
        return false;
    o->hasTitleRow = p.has(QStringLiteral("title-row"));
    o->hasFirstRow = p.has(QStringLiteral("first-row"));
    o->hasLastRow = p.has(QStringLiteral("last-row"));
    o->fromLedger = p.has(QStringLiteral("period"));
    if (p.has(QStringLiteral("ledger")) && !o->fromLedger) {
        *error = QStringLiteral("按台账筹划需要 --period YYYY-MM（本年最后一个发薪月）");
        return false;
    }
    if (o->fromLedger) {
        if (!readPeriod(p.value(QStringLiteral("period")), &o->year, &o->month, error))
            return false;
        if (!CurrentRules::separateBonusAllowed(o->year)) {
            *error =
                QStringLiteral("%1 年起全年一次性奖金不再单独计税，只能并入当月工资，无需筹划").arg(o->year);
            return false;
        }
        o->ledger = p.has(QStringLiteral("ledger")) ? p.value(QStringLiteral("ledger"))
                                                    : PayrollLedger::defaultPath();
        if (o->ledger.isEmpty()) {
            *error = QStringLiteral("--ledger 不能为空");
            return false;
        }
    }
    for (const QString &m : maps) {
        const qsizetype eq = m.indexOf(QLatin1Char('='));
        const QString name = eq < 0 ? QString() : m.left(eq).trimmed();
        const int column = eq < 0 ? -1 : o->fromLedger ? payrollFieldOfTitle(name) : matchYearPlanTitle(name);
        if (column < 0) {
            *error =
                o->fromLedger
                    ? QStringLiteral("--map 应为“列名=公式”，列名为扣缴模板的列名（如 本期收入、证件号码、"
                                     "全年一次性奖金），不能是“%1”")
                          .arg(m)
                    : QStringLiteral("--map 应为“列名=公式”，列名为 %1 之一，不能是“%2”")
                          .arg(yearPlanSourceTitles().join(QStringLiteral("、")), m);
            return false;
        }
        for (const auto &[earlier, formula] : std::as_const(o->maps)) {
            if (earlier == column) {
                *error = QStringLiteral("--map 重复给出了“%1”列")
                             .arg(o->fromLedger ? payrollFieldTitle(column, false)
                                                : yearPlanSourceTitles().at(column));
                return false;
            }
        }
        o->maps.append({column, m.mid(eq + 1)});
    }
    o->json = p.flag(QStringLiteral("json"));
    return true;
}

void writePlanFields(JsonWriter &w, const YearPlan &p)
{
    w.field(QStringLiteral("annual"), p.annual)
        .field(QStringLiteral("plannedBonus"), p.plannedBonus)
        .field(QStringLiteral("plannedTax"), p.plannedTax)
        .field(QStringLiteral("mergedTax"), p.mergedTax)
        .field(QStringLiteral("bestBonus"), p.bestBonus)
        .field(QStringLiteral("bestTax"), p.bestTax)
        .field(QStringLiteral("saving"), p.saving);
    if (p.blindZone < 0) {
        w.null(QStringLiteral("blindZone"));
    } else {
        const CurrentRules::BlindZone &zone = CurrentRules::bonusBlindZones()[size_t(p.blindZone)];
        w.raw(QStringLiteral("blindZone"), QStringLiteral("[%1,%2]").arg(zone.lower).arg(zone.upper));
    }
}

bool writeLayout(const SheetLayout &layout, const QString &path, QString *error)
{
    return suffixOf(path) == QLatin1String("csv") ? writeSheetCsv(layout, path, error)
                                                  : writeSheetLayout(layout, path, error);
}

QString recordsJson(const std::vector<SheetRecord> &records, const std::vector<YearPlan> &plans)
{
    QString out = QStringLiteral("[");
    for (size_t i = 0; i < plans.size(); ++i) {
        const YearPlan &p = plans[i];
        JsonWriter w;
        w.field(QStringLiteral("row"), records[i].sheetRow)
            .field(QStringLiteral("code"), records[i].code)
            .field(QStringLiteral("name"), records[i].name);
        writePlanFields(w, p);
        if (i > 0)
            out += QLatin1Char(',');
        out += w.finish();
    }
    return out + QLatin1Char(']');
}

int usageError(const QString &message)
{
    printErr(QStringLiteral("lumo-cli batch plan --rules 2019: %1\n").arg(message));
    printErr(QString::fromUtf8(kUsage));
    return 2;
}

int fileError(const QString &message)
{
    printErr(QStringLiteral("lumo-cli batch plan --rules 2019: %1\n").arg(message));
    return 1;
}

// The plan from the ledger's year: the ledger is checked before the sheet is read, so a file that
// is not a ledger costs nothing, and it is only read.
int runLedgerPlan(const YearPlanOptions &o, const ImportSetting *setting)
{
    QString error;
    PayrollLedger ledger(o.ledger);
    if (!ledger.openForReading(&error))
        return fileError(error);
    std::unique_ptr<Workbook> book = Workbook::create(o.in);
    if (!book->load(o.in))
        return fileError(QStringLiteral("无法读取工作簿 %1：%2").arg(o.in, book->errorMessage()));
    for (const QString &warning : book->loadWarnings())
        printErr(QStringLiteral("警告：%1：%2\n").arg(o.in, warning));
    const Sheet *sheet = chooseSheet(*book, o.sheet);
    if (!sheet)
        return usageError(QStringLiteral("工作簿 %1 中没有工作表“%2”").arg(o.in, o.sheet));
    QStringList formulas = payrollFormulas(*book, *sheet, o.titleRow, setting);
    for (const auto &[field, formula] : o.maps)
        formulas[field] = formula;
    if (formulas[PfIdNumber].isEmpty() || formulas[PfName].isEmpty())
        return usageError(
            QStringLiteral("工资表没有【姓名】或【证件号码】列，请用 --map 指定，例如 --map '证件号码=D'"));
    PayrollSheet rows = readPayrollSheet(*book, *sheet, formulas, o.range);
    book.reset();
    const int rowsRead = rows.rowsRead;
    LedgerYearPlanRun run;
    if (!runLedgerYearPlan(ledger, std::move(rows), o.year, o.month, &run, &error))
        return fileError(error);
    if (run.recordedMonths == 0)
        printErr(QStringLiteral("警告：台账 %1 中没有 %2 年 %3 月之前记入的月份，每人按本期为本年在本单位的"
                                "第一个月筹划\n")
                     .arg(ledger.path())
                     .arg(o.year)
                     .arg(o.month));
    if (!writeLayout(ledgerYearPlanLayout(run, QFileInfo(o.out).completeBaseName()), o.out, &error))
        return fileError(error);

    const YearPlanTotals &t = run.totals;
    const QString period = QStringLiteral("%1-%2").arg(o.year).arg(o.month, 2, 10, QLatin1Char('0'));
    if (o.json) {
        QStringList records;
        records.reserve(qsizetype(run.records.size()));
        for (const LedgerYearPlan &r : run.records) {
            JsonWriter w;
            w.field(QStringLiteral("row"), r.input.sheetRow)
                .field(QStringLiteral("code"), r.input.code)
                .field(QStringLiteral("name"), r.input.name)
                .field(QStringLiteral("idNumber"), r.input.idNumber)
                .field(QStringLiteral("months"), r.months);
            writePlanFields(w, r.plan);
            w.field(QStringLiteral("separateBefore"), r.separateBefore)
                .field(QStringLiteral("periodWage"), r.periodWage)
                .field(QStringLiteral("periodWithheld"), r.periodWithheld)
                .field(QStringLiteral("bonusTax"), r.bonusTax);
            records << w.finish();
        }
        JsonWriter w;
        w.field(QStringLiteral("rules"), QStringLiteral("2019"))
            .field(QStringLiteral("period"), period)
            .field(QStringLiteral("rowsRead"), rowsRead)
            .raw(QStringLiteral("records"),
                 QLatin1Char('[') + records.join(QLatin1Char(',')) + QLatin1Char(']'))
            .raw(QStringLiteral("problems"), cellProblemsJson(run.problems))
            .field(QStringLiteral("plannedTaxTotal"), t.plannedTax)
            .field(QStringLiteral("bestTaxTotal"), t.bestTax)
            .field(QStringLiteral("savingTotal"), t.saving)
            .field(QStringLiteral("periodWithheldTotal"), run.periodWithheld)
            .field(QStringLiteral("bonusTaxTotal"), run.bonusTax)
            .field(QStringLiteral("output"), o.out);
        printOut(w.finish() + QLatin1Char('\n'));
        return 0;
    }
    QString text =
        QStringLiteral("所属期 %1：读取 %2 行，筹划 %3 人，%4 行未筹划；台账中本年已记入 %5 个月。\n")
            .arg(period)
            .arg(rowsRead)
            .arg(run.records.size())
            .arg(run.problems.size())
            .arg(run.recordedMonths);
    for (const PayrollProblem &pr : run.problems)
        text +=
            QStringLiteral("  第 %1 行【%2】%3：%4\n").arg(pr.sheetRow).arg(pr.column, pr.text, pr.reason);
    for (const LedgerYearPlan &r : run.records)
        if (r.separateBefore)
            text +=
                QStringLiteral("  第 %1 行 %2：本年此前已有单独计税的全年一次性奖金，本期奖金按工资计税\n")
                    .arg(r.input.sheetRow)
                    .arg(r.input.name);
    text += yearPlanCompletionMessage(int(run.records.size()), t.inBlindZone, 0) + QLatin1Char('\n');
    text += QStringLiteral("计划方案全年税额合计：%1\n最优方案全年税额合计：%2\n节税合计：%3\n"
                           "最优方案本期应预扣预缴税额合计：%4\n全年一次性奖金税额合计：%5\n")
                .arg(formatAmount(t.plannedTax), formatAmount(t.bestTax), formatAmount(t.saving),
                     formatAmount(run.periodWithheld), formatAmount(run.bonusTax));
    text += QStringLiteral("结果已写入：%1\n").arg(o.out);
    printOut(text);
    return 0;
}

} // namespace

int runBatchYearPlan(const QStringList &args)
{
    if (asksForHelp(args)) {
        printOut(QString::fromUtf8(kUsage));
        return 0;
    }
    YearPlanOptions o;
    QString error;
    if (!readOptions(args, &o, &error))
        return usageError(error);

    // A setting saved by the year sheet's import (or, from before it, the planning page's) gives the
    // sheet, the rows and the formulas; for the month's payroll sheet, one as lumo-cli month takes.
    ImportSettingsGroup settings;
    const ImportSetting *setting = nullptr;
    if (!o.setting.isEmpty()) {
        QString error;
        setting = o.fromLedger
                      ? findSavedSetting(PayrollMonthPage, o.setting, &settings, &error, BatchCalcPage)
                      : findSavedSetting(YearSheetPage, o.setting, &settings, &error, BatchPlanPage);
        if (!setting)
            return usageError(error);
        if (o.sheet.isEmpty())
            o.sheet = QString::number(setting->sheetNO + 1);
        if (!o.hasTitleRow)
            o.titleRow = setting->titleRowNO;
        if (!o.hasFirstRow)
            o.range.first = setting->firstRowNO;
        if (!o.hasLastRow)
            o.range.last = setting->lastRowNO;
    }

    if (o.fromLedger)
        return runLedgerPlan(o, setting);

    // LUMO_BATCH_TIMINGS=1 reports the time of each step on stderr, for the benchmark.
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<Workbook> book = Workbook::create(o.in);
    if (!book->load(o.in))
        return fileError(QStringLiteral("无法读取工作簿 %1：%2").arg(o.in, book->errorMessage()));
    const qint64 loadDone = clock.nsecsElapsed();
    for (const QString &warning : book->loadWarnings())
        printErr(QStringLiteral("警告：%1：%2\n").arg(o.in, warning));
    const Sheet *sheet = chooseSheet(*book, o.sheet);
    if (!sheet)
        return usageError(book->sheetCount() == 0
                              ? QStringLiteral("工作簿 %1 中没有工作表").arg(o.in)
                              : QStringLiteral("工作簿 %1 中没有工作表“%2”（共 %3 个工作表）")
                                    .arg(o.in, o.sheet)
                                    .arg(book->sheetCount()));
    QStringList formulas = yearPlanFormulas(sheetTitles(*book, *sheet, o.titleRow), setting);
    for (const auto &[column, formula] : o.maps)
        formulas[column] = formula;
    if (formulas.at(YearCode).isEmpty() && formulas.at(YearName).isEmpty())
        return usageError(QStringLiteral("没有【编码】和【姓名】列，不能执行导入！请用 --map 指定，"
                                         "例如 --map '编码=A' --map '姓名=B'"));

    SheetRecords source =
        readSheetRecords(*book, *sheet, yearPlanSourceTitles(), formulas, o.range, kSheetAmounts);
    book.reset();
    const qint64 readDone = clock.nsecsElapsed();
    std::vector<YearPlanInput> inputs;
    inputs.reserve(source.records.size());
    for (const SheetRecord &r : source.records)
        inputs.push_back(yearPlanInputOf(r));
    const YearPlanRun run = runYearPlans(inputs);
    inputs = {};
    const qint64 computeDone = clock.nsecsElapsed();

    const SheetLayout layout =
        yearPlanLayout(source.records, run.plans, run.totals, QFileInfo(o.out).completeBaseName());
    const qint64 layoutDone = clock.nsecsElapsed();
    if (!writeLayout(layout, o.out, &error))
        return fileError(error);
    if (qEnvironmentVariableIntValue("LUMO_BATCH_TIMINGS") == 1)
        printErr(QStringLiteral("timings read %1 (load %5) compute %2 write %3 (layout %4)\n")
                     .arg(readDone / 1e9, 0, 'f', 3)
                     .arg((computeDone - readDone) / 1e9, 0, 'f', 3)
                     .arg((clock.nsecsElapsed() - computeDone) / 1e9, 0, 'f', 3)
                     .arg((layoutDone - computeDone) / 1e9, 0, 'f', 3)
                     .arg(loadDone / 1e9, 0, 'f', 3));

    const YearPlanTotals &t = run.totals;
    if (o.json) {
        JsonWriter w;
        w.field(QStringLiteral("rules"), QStringLiteral("2019"))
            .raw(QStringLiteral("records"), recordsJson(source.records, run.plans))
            .raw(QStringLiteral("problems"), cellProblemsJson(source.unreadable))
            .field(QStringLiteral("plannedTaxTotal"), t.plannedTax)
            .field(QStringLiteral("bestTaxTotal"), t.bestTax)
            .field(QStringLiteral("savingTotal"), t.saving)
            .field(QStringLiteral("output"), o.out);
        printOut(w.finish() + QLatin1Char('\n'));
        return 0;
    }
    QString text =
        yearPlanCompletionMessage(int(run.plans.size()), t.inBlindZone, int(source.unreadable.size())) +
        QLatin1Char('\n');
    text += QStringLiteral("读取 %1 行，跳过 %2 行（编码、姓名都为空）。\n")
                .arg(source.rowsRead)
                .arg(source.rowsSkipped);
    for (const UnreadableCell &c : source.unreadable)
        text += QStringLiteral("  第 %1 行 %2 列：%3\n").arg(c.sheetRow).arg(c.column, c.reason);
    text += QStringLiteral("计划方案全年税额合计：%1\n最优方案全年税额合计：%2\n节税合计：%3\n")
                .arg(formatAmount(t.plannedTax), formatAmount(t.bestTax), formatAmount(t.saving));
    text += QStringLiteral("结果已写入：%1\n").arg(o.out);
    printOut(text);
    return 0;
}
