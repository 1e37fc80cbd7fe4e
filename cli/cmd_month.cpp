// lumo-cli month: this month's salary sheet in, this month's withholding out, and with --record
// the month kept in the ledger for next month. lumo-cli ledger looks at the ledger, exports a
// year, undoes the latest month and estimates each employee's settlement. The figures come from
// the core (ledger/); this file parses the arguments and writes what the core gives.
#include "batch/columncatalogue.h"
#include "batch/importsetting.h"
#include "batch/sheetcsv.h"
#include "batch/sheetlayout.h"
#include "cli/cliargs.h"
#include "cli/commands.h"
#include "cli/jsonout.h"
#include "cli/sheetoptions.h"
#include "excel/workbook.h"
#include "ledger/payrollmonth.h"

#include <QFileInfo>

using CurrentRules::BonusMethod;

namespace {

const char kMonthUsage[] =
    "用法: lumo-cli month 工资表 输出文件 --period YYYY-MM [选项]\n"
    "  按 2019 年起的累计预扣法计算本月每位员工的预扣预缴税额，累计数取自台账中本年已记入的月份。\n"
    "  工资表 .xls 或 .xlsx，标题按扣缴客户端“正常工资薪金所得”模板（可带或不带 *）；输出 .xlsx、.xls 或 "
    ".csv。\n"
    "  --period YYYY-MM           所属期（必需）\n"
    "  --ledger 文件              台账文件，默认 ~/lumo/ledger.sqlite\n"
    "  --record                   "
    "写出结果后把本月记入台账（已记入的月份被整月更正）；不加则只预览，不改台账\n"
    "  --bonus-method separate|merged  全年一次性奖金单独计税（2027 年及以前的默认）或并入当月工资\n"
    "  --template 扣缴申报        输出扣缴客户端的导入模板（29 列），而不是计算结果\n"
    "  --title 文本               结果标题（默认为输出文件名）\n"
    "  --sheet、--title-row、--first-row、--last-row、--map '列名=公式'：同 lumo-cli batch\n"
    "  --setting 名称             月度工资表导入时保存的导入设定（没有这个名称时找“批量个税计算”的设定）\n"
    "  --json                     在标准输出给出 JSON（金额以分为单位）\n"
    "证件号码有误、同表重复或与台账中的姓名不符的行不计算也不记入，逐行报告。\n"
    "退出码：0 完成，1 文件或台账无法读写、或拒绝记入，2 参数错误。\n";

const char kLedgerUsage[] =
    "用法: lumo-cli ledger <操作> [--ledger 文件]\n"
    "  list                          台账中的年份、已记入的月份、人数和预扣税额\n"
    "  show --year Y [--id 证件号码] [--json]  各月记录（指定证件号码时为一人的全年）\n"
    "  export --year Y 输出文件      导出全年每条记录（.xlsx、.xls 或 .csv）\n"
    "  undo --period YYYY-MM         撤销该年最后记入的月份（只能是最后一个月）\n"
    "  settle --year Y 输出文件 [--json]  每位员工在本单位的年度汇算估算\n"
    "  --ledger 文件                 台账文件，默认 ~/lumo/ledger.sqlite\n"
    "退出码：0 完成，1 台账或文件无法读写、或拒绝撤销，2 参数错误。\n";

QString suffixOf(const QString &path)
{
    return QFileInfo(path).suffix().toLower();
}

bool outputSuffixOk(const QString &path, QString *error)
{
    const QString s = suffixOf(path);
    if (s == QLatin1String("xlsx") || s == QLatin1String("xls") || s == QLatin1String("csv"))
        return true;
    *error = QStringLiteral("输出文件“%1”应以 .xlsx、.xls 或 .csv 结尾").arg(path);
    return false;
}

bool writeLayout(const SheetLayout &layout, const QString &path, QString *error)
{
    if (suffixOf(path) == QLatin1String("csv"))
        return writeSheetCsv(layout, path, error);
    return sheetLayoutFits(layout, path, error) && writeSheetLayout(layout, path, error);
}

bool readYear(const ArgParser &p, int *year, QString *error)
{
    bool ok = false;
    *year = p.value(QStringLiteral("year")).toInt(&ok);
    if (!p.has(QStringLiteral("year")) || !ok || *year < 2019 || *year > 9999) {
        *error = QStringLiteral("需要 --year，为 2019 以后的年份，不能是“%1”")
                     .arg(p.value(QStringLiteral("year")));
        return false;
    }
    return true;
}

QString ledgerPath(const ArgParser &p)
{
    return p.has(QStringLiteral("ledger")) ? p.value(QStringLiteral("ledger")) : PayrollLedger::defaultPath();
}

QString monthsText(const QList<int> &months)
{
    QStringList t;
    for (int m : months)
        t << QStringLiteral("%1 月").arg(m);
    return t.join(QStringLiteral("、"));
}

void writeEntryFields(JsonWriter &w, const PayrollEntry &e)
{
    w.field(QStringLiteral("code"), e.input.code)
        .field(QStringLiteral("name"), e.input.name)
        .field(QStringLiteral("idType"), e.input.idType)
        .field(QStringLiteral("idNumber"), e.input.idNumber)
        .field(QStringLiteral("months"), e.months)
        .field(QStringLiteral("income"), e.input.amounts[PfIncome])
        .field(QStringLiteral("cumulativeIncome"), e.cumulativeIncome)
        .field(QStringLiteral("cumulativeBasic"), e.cumulativeBasic)
        .field(QStringLiteral("cumulativeTaxable"), e.cumulativeTaxable)
        .field(QStringLiteral("rate"), e.rate)
        .field(QStringLiteral("quickDeduction"), e.quickDeduction)
        .field(QStringLiteral("cumulativeTax"), e.cumulativeTax)
        .field(QStringLiteral("withheldBefore"), e.withheldBefore)
        .field(QStringLiteral("withheld"), e.withheld)
        .field(QStringLiteral("bonus"), e.input.amounts[PfBonus])
        .field(QStringLiteral("bonusTax"), e.bonusTax)
        .field(QStringLiteral("net"), e.net);
}

int usageError(const QString &command, const QString &message, const char *usage)
{
    printErr(QStringLiteral("lumo-cli %1: %2\n").arg(command, message));
    printErr(QString::fromUtf8(usage));
    return 2;
}

int failure(const QString &command, const QString &message)
{
    printErr(QStringLiteral("lumo-cli %1: %2\n").arg(command, message));
    return 1;
}

} // namespace

int runMonth(const QStringList &argsIn)
{
    const QString cmd = QStringLiteral("month");
    if (asksForHelp(argsIn)) {
        printOut(QString::fromUtf8(kMonthUsage));
        return 0;
    }
    QString error;
    QStringList args = argsIn, maps;
    if (!takeMaps(&args, &maps, &error))
        return usageError(cmd, error, kMonthUsage);
    ArgParser p({QStringLiteral("sheet"), QStringLiteral("title-row"), QStringLiteral("first-row"),
                 QStringLiteral("last-row"), QStringLiteral("setting"), QStringLiteral("ledger"),
                 QStringLiteral("period"), QStringLiteral("bonus-method"), QStringLiteral("template"),
                 QStringLiteral("title")},
                {QStringLiteral("record"), QStringLiteral("json")});
    if (!p.parse(args, &error, true))
        return usageError(cmd, error, kMonthUsage);
    const QStringList &pos = p.positional();
    if (pos.size() != 2)
        return usageError(cmd,
                          pos.size() < 2 ? QStringLiteral("需要工资表和输出文件")
                                         : QStringLiteral("多余的参数：%1").arg(pos.at(2)),
                          kMonthUsage);
    const QString in = pos[0], out = pos[1];
    const QString inSuffix = suffixOf(in);
    if (inSuffix != QLatin1String("xls") && inSuffix != QLatin1String("xlsx"))
        return usageError(cmd, QStringLiteral("工资表“%1”应为 .xls 或 .xlsx 工作簿").arg(in), kMonthUsage);
    if (!outputSuffixOk(out, &error))
        return usageError(cmd, error, kMonthUsage);
    const QFileInfo inInfo(in), outInfo(out);
    if (inInfo.absoluteFilePath() == outInfo.absoluteFilePath() ||
        (inInfo.exists() && outInfo.exists() && inInfo.canonicalFilePath() == outInfo.canonicalFilePath()))
        return usageError(cmd, QStringLiteral("输出文件不能是工资表本身"), kMonthUsage);
    int year = 0, month = 0;
    if (!p.has(QStringLiteral("period")))
        return usageError(cmd, QStringLiteral("需要 --period YYYY-MM"), kMonthUsage);
    if (!readPeriod(p.value(QStringLiteral("period")), &year, &month, &error))
        return usageError(cmd, error, kMonthUsage);
    BonusMethod method = defaultBonusMethod(year);
    if (p.has(QStringLiteral("bonus-method"))) {
        const QString m = p.value(QStringLiteral("bonus-method"));
        if (m == QLatin1String("separate"))
            method = BonusMethod::Separate;
        else if (m == QLatin1String("merged"))
            method = BonusMethod::Merged;
        else
            return usageError(cmd,
                              QStringLiteral("--bonus-method 只能是 separate 或 merged，不能是“%1”").arg(m),
                              kMonthUsage);
        if (method == BonusMethod::Separate && !CurrentRules::separateBonusAllowed(year))
            return usageError(
                cmd,
                QStringLiteral("%1 年起全年一次性奖金不再单独计税，只能 --bonus-method merged").arg(year),
                kMonthUsage);
    }
    const bool asTemplate = p.has(QStringLiteral("template"));
    if (asTemplate && p.value(QStringLiteral("template")) != payrollTemplateName())
        return usageError(cmd,
                          QStringLiteral("--template 只能是“%1”，不能是“%2”")
                              .arg(payrollTemplateName(), p.value(QStringLiteral("template"))),
                          kMonthUsage);
    QString sheetName = p.value(QStringLiteral("sheet"));
    int titleRow = 1;
    SheetRange range;
    if (p.has(QStringLiteral("sheet")) && sheetName.isEmpty())
        return usageError(cmd, QStringLiteral("--sheet 不能为空"), kMonthUsage);
    if (!readRowOption(p, QStringLiteral("title-row"), 1, &titleRow, &error) ||
        !readRowOption(p, QStringLiteral("first-row"), 1, &range.first, &error) ||
        !readRowOption(p, QStringLiteral("last-row"), 0, &range.last, &error))
        return usageError(cmd, error, kMonthUsage);
    QList<QPair<int, QString>> mapped;
    for (const QString &m : maps) {
        const qsizetype eq = m.indexOf(QLatin1Char('='));
        const int field = eq < 0 ? -1 : payrollFieldOfTitle(m.left(eq));
        if (field < 0)
            return usageError(
                cmd,
                QStringLiteral("--map 应为“列名=公式”，列名为扣缴模板的列名（如 本期收入、证件号码），"
                               "不能是“%1”")
                    .arg(m),
                kMonthUsage);
        for (const auto &[earlier, formula] : std::as_const(mapped))
            if (earlier == field)
                return usageError(
                    cmd, QStringLiteral("--map 重复给出了“%1”列").arg(payrollFieldTitle(field, false)),
                    kMonthUsage);
        mapped.append({field, m.mid(eq + 1)});
    }
    // A setting saved by the month's import in the window, or one of the tax calculation page (编码,
    // 姓名, 月应发工资 … are this command's synonyms), gives the sheet, the rows and the formulas of
    // the columns it names; options win.
    std::optional<ImportSetting> setting;
    if (p.has(QStringLiteral("setting"))) {
        const QString name = p.value(QStringLiteral("setting"));
        ImportSettingsGroup group;
        QString error;
        const ImportSetting *found = findSavedSetting(PayrollMonthPage, name, &group, &error, BatchCalcPage);
        if (!found)
            return usageError(cmd, error, kMonthUsage);
        setting = *found;
        if (sheetName.isEmpty())
            sheetName = QString::number(setting->sheetNO + 1);
        if (!p.has(QStringLiteral("title-row")))
            titleRow = setting->titleRowNO;
        if (!p.has(QStringLiteral("first-row")))
            range.first = setting->firstRowNO;
        if (!p.has(QStringLiteral("last-row")))
            range.last = setting->lastRowNO;
    }

    // The ledger is checked before the sheet is read: a file that is not a ledger costs nothing.
    const bool record = p.flag(QStringLiteral("record"));
    PayrollLedger ledger(ledgerPath(p));
    if (!(record ? ledger.openForWriting(&error) : ledger.openForReading(&error)))
        return failure(cmd, error);
    const QList<LedgerMonth> recorded = ledger.months(year, &error);
    if (!error.isEmpty())
        return failure(cmd, error);
    QList<int> later;
    for (const LedgerMonth &m : recorded)
        if (m.month > month)
            later << m.month;
    if (record && !later.isEmpty())
        return failure(
            cmd,
            QStringLiteral("%1 年已记入 %2，不能记入或更正 %3 月；请先用 lumo-cli ledger undo 撤销更晚的月份")
                .arg(year)
                .arg(monthsText(later))
                .arg(month));

    std::unique_ptr<Workbook> book = Workbook::create(in);
    if (!book->load(in))
        return failure(cmd, QStringLiteral("无法读取工作簿 %1：%2").arg(in, book->errorMessage()));
    for (const QString &warning : book->loadWarnings())
        printErr(QStringLiteral("警告：%1：%2\n").arg(in, warning));
    const Sheet *sheet = chooseSheet(*book, sheetName);
    if (!sheet)
        return usageError(cmd, QStringLiteral("工作簿 %1 中没有工作表“%2”").arg(in, sheetName), kMonthUsage);
    QStringList formulas = payrollFormulas(*book, *sheet, titleRow, setting ? &*setting : nullptr);
    for (const auto &[field, formula] : std::as_const(mapped))
        formulas[field] = formula;
    if (formulas[PfIdNumber].isEmpty() || formulas[PfName].isEmpty())
        return usageError(
            cmd,
            QStringLiteral("工资表没有【姓名】或【证件号码】列，请用 --map 指定，例如 --map '证件号码=D'"),
            kMonthUsage);
    PayrollSheet rows = readPayrollSheet(*book, *sheet, formulas, range);
    book.reset();
    const int rowsRead = rows.rowsRead;
    PayrollMonthRun run;
    if (!runPayrollMonth(ledger, std::move(rows), year, month, method, &run, &error))
        return failure(cmd, error);

    const QString title = p.has(QStringLiteral("title")) ? p.value(QStringLiteral("title")).trimmed()
                                                         : QFileInfo(out).completeBaseName();
    {
        const SheetLayout layout =
            asTemplate ? payrollTemplateLayout(run.entries) : payrollResultLayout(run.entries, title, false);
        if (!writeLayout(layout, out, &error))
            return failure(cmd, error);
    }
    if (record && !ledger.recordMonth(year, month, inInfo.absoluteFilePath(), run.entries, &later, &error))
        return failure(cmd, later.isEmpty() ? error
                                            : QStringLiteral("%1 年已记入 %2，不能记入或更正 %3 月")
                                                  .arg(year)
                                                  .arg(monthsText(later))
                                                  .arg(month));

    const QString period = QStringLiteral("%1-%2").arg(year).arg(month, 2, 10, QLatin1Char('0'));
    if (p.flag(QStringLiteral("json"))) {
        QStringList records;
        records.reserve(qsizetype(run.entries.size()));
        for (const PayrollEntry &e : run.entries) {
            JsonWriter w;
            w.field(QStringLiteral("row"), e.input.sheetRow);
            writeEntryFields(w, e);
            records << w.finish();
        }
        JsonWriter w;
        w.field(QStringLiteral("period"), period)
            .field(QStringLiteral("recorded"), record)
            .field(QStringLiteral("rowsRead"), rowsRead)
            .raw(QStringLiteral("records"),
                 QLatin1Char('[') + records.join(QLatin1Char(',')) + QLatin1Char(']'))
            .raw(QStringLiteral("problems"), cellProblemsJson(run.problems))
            .field(QStringLiteral("withheldTotal"), run.withheld + run.bonusTax)
            .field(QStringLiteral("output"), out);
        printOut(w.finish() + QLatin1Char('\n'));
        return 0;
    }
    QString text = QStringLiteral("所属期 %1：读取 %2 行，计算 %3 人，%4 行未计算。\n")
                       .arg(period)
                       .arg(rowsRead)
                       .arg(run.entries.size())
                       .arg(run.problems.size());
    for (const PayrollProblem &pr : run.problems)
        text +=
            QStringLiteral("  第 %1 行【%2】%3：%4\n").arg(pr.sheetRow).arg(pr.column, pr.text, pr.reason);
    text += QStringLiteral("本期应预扣预缴税额合计：%1\n").arg(formatAmount(run.withheld));
    if (run.bonusTax > 0)
        text += QStringLiteral("全年一次性奖金税额合计：%1\n").arg(formatAmount(run.bonusTax));
    text += QStringLiteral("结果已写入：%1\n").arg(out);
    text += record ? QStringLiteral("已记入台账：%1\n").arg(ledger.path())
                   : QStringLiteral("预览：台账未改动（加 --record 记入）\n");
    printOut(text);
    return 0;
}

int runLedger(const QStringList &args)
{
    const QString cmd = QStringLiteral("ledger");
    if (asksForHelp(args)) {
        printOut(QString::fromUtf8(kLedgerUsage));
        return 0;
    }
    QString error;
    ArgParser p({QStringLiteral("ledger"), QStringLiteral("year"), QStringLiteral("id"),
                 QStringLiteral("period"), QStringLiteral("title")},
                {QStringLiteral("json")});
    if (!p.parse(args, &error, true))
        return usageError(cmd, error, kLedgerUsage);
    const QStringList &pos = p.positional();
    const QString action = pos.value(0);
    const QStringList actions = {QStringLiteral("list"), QStringLiteral("show"), QStringLiteral("export"),
                                 QStringLiteral("undo"), QStringLiteral("settle")};
    if (!actions.contains(action))
        return usageError(
            cmd, QStringLiteral("操作只能是 list、show、export、undo 或 settle，不能是“%1”").arg(action),
            kLedgerUsage);
    const bool needsOut = action == QLatin1String("export") || action == QLatin1String("settle");
    if (pos.size() != (needsOut ? 2 : 1))
        return usageError(cmd,
                          needsOut && pos.size() < 2 ? QStringLiteral("ledger %1 需要输出文件").arg(action)
                                                     : QStringLiteral("多余的参数：%1").arg(pos.last()),
                          kLedgerUsage);
    const QString out = pos.value(1);
    if (needsOut && !outputSuffixOk(out, &error))
        return usageError(cmd, error, kLedgerUsage);
    int year = 0, month = 0;
    if (action == QLatin1String("undo")) {
        if (!readPeriod(p.value(QStringLiteral("period")), &year, &month, &error))
            return usageError(cmd, error, kLedgerUsage);
    } else if (action != QLatin1String("list") && !readYear(p, &year, &error)) {
        return usageError(cmd, error, kLedgerUsage);
    }
    if (p.has(QStringLiteral("id")) && action != QLatin1String("show"))
        return usageError(cmd, QStringLiteral("--id 只适用于 ledger show"), kLedgerUsage);
    const bool json = p.flag(QStringLiteral("json"));

    PayrollLedger ledger(ledgerPath(p));
    if (!QFileInfo::exists(ledger.path()))
        return failure(cmd, QStringLiteral("台账文件“%1”不存在").arg(ledger.path()));
    if (!(action == QLatin1String("undo") ? ledger.openForWriting(&error) : ledger.openForReading(&error)))
        return failure(cmd, error);

    if (action == QLatin1String("undo")) {
        QList<int> later;
        if (!ledger.undoMonth(year, month, &later, &error))
            return failure(cmd, later.isEmpty()
                                    ? error
                                    : error + QStringLiteral("（之后还有 %1）").arg(monthsText(later)));
        printOut(QStringLiteral("已撤销 %1 年 %2 月\n").arg(year).arg(month));
        return 0;
    }
    if (action == QLatin1String("list")) {
        const QList<LedgerMonth> months = ledger.months(0, &error);
        if (!error.isEmpty())
            return failure(cmd, error);
        if (json) {
            QStringList items;
            for (const LedgerMonth &m : months) {
                JsonWriter w;
                w.field(QStringLiteral("year"), m.year)
                    .field(QStringLiteral("month"), m.month)
                    .field(QStringLiteral("recordedAt"), m.recordedAt)
                    .field(QStringLiteral("source"), m.source)
                    .field(QStringLiteral("employees"), m.employees)
                    .field(QStringLiteral("withheld"), m.withheld)
                    .field(QStringLiteral("bonusTax"), m.bonusTax);
                items << w.finish();
            }
            printOut(QStringLiteral("{\"months\":[%1]}\n").arg(items.join(QLatin1Char(','))));
            return 0;
        }
        QString text = QStringLiteral("台账：%1\n").arg(ledger.path());
        int shownYear = 0;
        Amount yearTotal = 0;
        const auto closeYear = [&] {
            if (shownYear)
                text +=
                    QStringLiteral("  %1 年预扣预缴合计 %2\n").arg(shownYear).arg(formatAmount(yearTotal));
        };
        for (const LedgerMonth &m : months) {
            if (m.year != shownYear) {
                closeYear();
                shownYear = m.year;
                yearTotal = 0;
                text += QStringLiteral("%1 年\n").arg(m.year);
            }
            yearTotal += m.withheld + m.bonusTax;
            text += QStringLiteral("  %1 月：%2 人，预扣预缴 %3，年终奖金税额 %4，记入于 %5，来自 %6\n")
                        .arg(m.month)
                        .arg(m.employees)
                        .arg(formatAmount(m.withheld), formatAmount(m.bonusTax), m.recordedAt, m.source);
        }
        closeYear();
        if (months.isEmpty())
            text += QStringLiteral("尚未记入任何月份\n");
        printOut(text);
        return 0;
    }

    const std::vector<PayrollEntry> entries =
        ledger.entries(year, 0, p.value(QStringLiteral("id")).trimmed(), &error);
    if (!error.isEmpty())
        return failure(cmd, error);
    if (action == QLatin1String("show")) {
        if (json) {
            QStringList items;
            for (const PayrollEntry &e : entries) {
                JsonWriter w;
                w.field(QStringLiteral("year"), e.year).field(QStringLiteral("month"), e.month);
                writeEntryFields(w, e);
                items << w.finish();
            }
            printOut(QStringLiteral("{\"year\":%1,\"entries\":[%2]}\n")
                         .arg(year)
                         .arg(items.join(QLatin1Char(','))));
            return 0;
        }
        QString text;
        for (const PayrollEntry &e : entries)
            text +=
                QStringLiteral(
                    "%1-%2 %3 %4 %5：本期收入 %6，累计收入 %7，累计减除费用 %8，累计应纳税所得额 %9，"
                    "税率 %10%，累计应纳税额 %11，已预扣 %12，本期预扣 %13，奖金 %14（税 %15），实发 %16\n")
                    .arg(e.year)
                    .arg(e.month, 2, 10, QLatin1Char('0'))
                    .arg(e.input.code, e.input.name, e.input.idNumber,
                         formatAmount(e.input.amounts[PfIncome]), formatAmount(e.cumulativeIncome),
                         formatAmount(e.cumulativeBasic), formatAmount(e.cumulativeTaxable))
                    .arg(e.rate)
                    .arg(formatAmount(e.cumulativeTax), formatAmount(e.withheldBefore),
                         formatAmount(e.withheld), formatAmount(e.input.amounts[PfBonus]),
                         formatAmount(e.bonusTax), formatAmount(e.net));
        if (entries.empty())
            text = QStringLiteral("%1 年没有记录\n").arg(year);
        printOut(text);
        return 0;
    }
    const QString title = p.has(QStringLiteral("title")) ? p.value(QStringLiteral("title")).trimmed()
                                                         : QFileInfo(out).completeBaseName();
    if (action == QLatin1String("export")) {
        if (!writeLayout(payrollResultLayout(entries, title, true), out, &error))
            return failure(cmd, error);
        printOut(QStringLiteral("%1 年 %2 条记录已写入：%3\n").arg(year).arg(entries.size()).arg(out));
        return 0;
    }
    const std::vector<PayrollSettlement> list = settlePayrollYear(entries);
    if (!writeLayout(settlementLayout(list, title), out, &error))
        return failure(cmd, error);
    if (json) {
        QStringList items;
        for (const PayrollSettlement &s : list) {
            JsonWriter w;
            w.field(QStringLiteral("code"), s.code)
                .field(QStringLiteral("name"), s.name)
                .field(QStringLiteral("idType"), s.idType)
                .field(QStringLiteral("idNumber"), s.idNumber)
                .field(QStringLiteral("months"), s.months)
                .field(QStringLiteral("wageIncome"), s.wageIncome)
                .field(QStringLiteral("taxable"), s.taxable)
                .field(QStringLiteral("rate"), s.rate)
                .field(QStringLiteral("annualTax"), s.annualTax)
                .field(QStringLiteral("bonusTax"), s.bonusTax)
                .field(QStringLiteral("withheld"), s.withheld)
                .field(QStringLiteral("balance"), s.balance)
                .field(QStringLiteral("mayBeSkipped"), s.mayBeSkipped)
                .field(QStringLiteral("conclusion"), settlementText(s));
            items << w.finish();
        }
        printOut(QStringLiteral("{\"year\":%1,\"employees\":[%2],\"output\":%3}\n")
                     .arg(year)
                     .arg(items.join(QLatin1Char(',')), JsonWriter::quote(out)));
        return 0;
    }
    Amount payable = 0, refund = 0;
    for (const PayrollSettlement &s : list)
        (s.balance > 0 ? payable : refund) += s.balance > 0 ? s.balance : -s.balance;
    printOut(QStringLiteral("%1 年 %2 人：应补税合计 %3，应退税合计 %4\n结果已写入：%5\n")
                 .arg(year)
                 .arg(list.size())
                 .arg(formatAmount(payable), formatAmount(refund), out));
    return 0;
}
