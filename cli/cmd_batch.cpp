// lumo-cli batch: a whole salary sheet in, a result workbook out. The same steps as the batch
// pages with their import and export wizards, run from a payroll script: read the worksheet, map
// its columns to the salary columns, calculate every row on every core, write the result sheet.
#include "batch/batchcalc.h"
#include "batch/batchrun.h"
#include "batch/columncatalogue.h"
#include "batch/exporttemplate.h"
#include "batch/importsetting.h"
#include "batch/resulttexts.h"
#include "batch/sheetcsv.h"
#include "batch/sheetlayout.h"
#include "batch/sheetsource.h"
#include "cli/cliargs.h"
#include "cli/commands.h"
#include "cli/jsonout.h"
#include "cli/sheetoptions.h"
#include "excel/workbook.h"
#include "formula/formularewrite.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <functional>
#include <optional>

namespace {

const char kUsage[] =
    "用法: lumo-cli batch calc|plan|apportion 输入文件 输出文件 [选项]\n"
    "  输入文件 .xls 或 .xlsx；输出文件 .xlsx、.xls 或 .csv（UTF-8，带字节顺序标记），按后缀选择格式。\n"
    "  --sheet N|名称         工作表：序号（从 1 起）或名称，默认第一个\n"
    "  --title-row R          标题行，默认为前 10 行中第一个含【编码】【姓名】标题的行，没有则为 1\n"
    "  --first-row R          起始行，默认为标题行的下一行\n"
    "  --last-row R           结束行，默认 0（到最后一行；末尾有“合计”“总计”“小计”行时到其前一行）\n"
    "  --map '列名=公式'      给目的列一个导入公式，可重复（列名如 编码、姓名、月应发工资）\n"
    "  --setting 名称         使用 importset.ini 中保存的导入设定\n"
    "  --threshold 3500|4800  个税免征额，默认 3500\n"
    "  plan：--goal 0|1（默认 0）--method bonus|balanced（默认 bonus）--months N（1–12，默认 6）\n"
    "  apportion：--months N（1–12，默认 3）\n"
    "  plan --rules 2019：按 2019 年起施行的规定筹划全年一次性奖金（见 batch plan --rules 2019 --help）\n"
    "  --template 名称|序号   导出模板；--scope before|after|compare|effective 导出范围\n"
    "  --title 文本           结果标题（默认为输出文件名）；--no-process 不导出计算过程列\n"
    "  --json                 在标准输出给出 JSON 摘要\n"
    "没有映射【编码】和【姓名】列时不执行；【编码】、【姓名】都为空的行跳过。\n"
    "退出码：0 完成，1 文件无法读取或写入，2 参数错误。\n";

const QStringList kValueOptions = {
    QStringLiteral("sheet"),    QStringLiteral("title-row"), QStringLiteral("first-row"),
    QStringLiteral("last-row"), QStringLiteral("setting"),   QStringLiteral("threshold"),
    QStringLiteral("goal"),     QStringLiteral("method"),    QStringLiteral("months"),
    QStringLiteral("template"), QStringLiteral("scope"),     QStringLiteral("title"),
};
const QStringList kFlags = {QStringLiteral("no-process"), QStringLiteral("json")};

struct BatchOptions
{
    BatchPage mode = BatchCalcPage;
    QString in;
    QString out;
    QString sheet; // empty: the first
    int titleRow = 1;
    SheetRange range;
    bool hasTitleRow = false, hasFirstRow = false, hasLastRow = false;
    QList<QPair<int, QString>> maps; // basic source position, formula
    QString setting;
    Amount threshold = kThresholdLocal;
    int goal = 0;
    bool balanced = false;
    int months = 6;
    QString templateText;
    int scope = -1; // the template's own
    bool hasTitle = false;
    QString title;
    bool process = true;
    bool json = false;
};

QString suffixOf(const QString &path)
{
    return QFileInfo(path).suffix().toLower();
}

// The titles of the basic source columns of a page, as --map names them.
QStringList sourceTitles(BatchPage mode)
{
    QStringList titles;
    if (const ColumnGroup *basic =
            ColumnCatalogue::instance().sourceGroup(ColumnCatalogue::sourceTree(mode), GroupBasic)) {
        for (int k = 0; k < basic->itemCount(); ++k)
            titles << basic->item(k)->title;
    }
    return titles;
}

bool readMaps(const QStringList &maps, BatchPage mode, BatchOptions *o, QString *error)
{
    const QStringList titles = sourceTitles(mode);
    for (const QString &m : maps) {
        const qsizetype eq = m.indexOf(QLatin1Char('='));
        const QString name = eq < 0 ? QString() : m.left(eq).trimmed();
        const int position = int(titles.indexOf(name));
        if (eq < 0 || position < 0) {
            *error = QStringLiteral("--map 应为“列名=公式”，列名为 %1 之一，不能是“%2”")
                         .arg(titles.join(QStringLiteral("、")), m);
            return false;
        }
        for (const auto &[earlier, formula] : o->maps) {
            if (earlier == position) {
                *error = QStringLiteral("--map 重复给出了“%1”列").arg(name);
                return false;
            }
        }
        o->maps.append({position, m.mid(eq + 1)});
    }
    return true;
}

bool readModeOptions(const ArgParser &p, BatchOptions *o, QString *error)
{
    const QString modeName = o->mode == BatchCalcPage   ? QStringLiteral("calc")
                             : o->mode == BatchPlanPage ? QStringLiteral("plan")
                                                        : QStringLiteral("apportion");
    const QStringList own = o->mode == BatchCalcPage ? QStringList{}
                            : o->mode == BatchPlanPage
                                ? QStringList{QStringLiteral("goal"), QStringLiteral("method"),
                                              QStringLiteral("months"), QStringLiteral("scope")}
                                : QStringList{QStringLiteral("months"), QStringLiteral("scope")};
    for (const QString &option : {QStringLiteral("goal"), QStringLiteral("method"), QStringLiteral("months"),
                                  QStringLiteral("scope")}) {
        if (p.has(option) && !own.contains(option)) {
            *error = QStringLiteral("--%1 不适用于 batch %2").arg(option, modeName);
            return false;
        }
    }
    if (!readThresholdOption(p, &o->threshold, error))
        return false;
    if (o->mode == BatchPlanPage) {
        const QString goal =
            p.has(QStringLiteral("goal")) ? p.value(QStringLiteral("goal")) : QStringLiteral("0");
        if (goal != QLatin1String("0") && goal != QLatin1String("1")) {
            *error = QStringLiteral("--goal 只能是 0（增加员工税后收入）或 1（减少单位开支），不能是“%1”")
                         .arg(goal);
            return false;
        }
        o->goal = goal.toInt();
        const QString method =
            p.has(QStringLiteral("method")) ? p.value(QStringLiteral("method")) : QStringLiteral("bonus");
        if (method != QLatin1String("bonus") && method != QLatin1String("balanced")) {
            *error =
                QStringLiteral("--method 只能是 bonus（仅调整年终奖金）或 balanced（平衡发放），不能是“%1”")
                    .arg(method);
            return false;
        }
        o->balanced = method == QLatin1String("balanced");
    }
    if (o->mode != BatchCalcPage && !readMonthsOption(p, QStringLiteral("months"), 1, 12,
                                                      o->mode == BatchPlanPage ? 6 : 3, &o->months, error))
        return false;
    if (p.has(QStringLiteral("scope"))) {
        const QStringList scopes =
            o->mode == BatchPlanPage
                ? QStringList{QStringLiteral("before"), QStringLiteral("after"), QStringLiteral("compare"),
                              QStringLiteral("effective")}
                : QStringList{QStringLiteral("before"), QStringLiteral("after"), QStringLiteral("compare")};
        o->scope = int(scopes.indexOf(p.value(QStringLiteral("scope"))));
        if (o->scope < 0) {
            *error = QStringLiteral("batch %1 的 --scope 只能是 %2，不能是“%3”")
                         .arg(modeName, scopes.join(QLatin1Char('|')), p.value(QStringLiteral("scope")));
            return false;
        }
    }
    return true;
}

bool readOptions(QStringList args, BatchOptions *o, QString *error)
{
    QStringList maps;
    if (!takeMaps(&args, &maps, error))
        return false;
    ArgParser p(kValueOptions, kFlags);
    if (!p.parse(args, error, true))
        return false;
    const QStringList &pos = p.positional();
    if (pos.isEmpty()) {
        *error = QStringLiteral("缺少批量方式 calc、plan 或 apportion");
        return false;
    }
    const QString modeName = pos.first();
    if (modeName == QLatin1String("calc"))
        o->mode = BatchCalcPage;
    else if (modeName == QLatin1String("plan"))
        o->mode = BatchPlanPage;
    else if (modeName == QLatin1String("apportion"))
        o->mode = BatchApportionPage;
    else {
        *error = QStringLiteral("批量方式只能是 calc、plan 或 apportion，不能是“%1”").arg(modeName);
        return false;
    }
    if (pos.size() != 3) {
        *error = pos.size() < 3 ? QStringLiteral("需要输入文件和输出文件")
                                : QStringLiteral("多余的参数：%1").arg(pos.at(3));
        return false;
    }
    o->in = pos.at(1);
    o->out = pos.at(2);
    const QString inSuffix = suffixOf(o->in);
    if (inSuffix != QLatin1String("xls") && inSuffix != QLatin1String("xlsx")) {
        *error = QStringLiteral("输入文件“%1”应为 .xls 或 .xlsx 工作簿").arg(o->in);
        return false;
    }
    const QString outSuffix = suffixOf(o->out);
    if (outSuffix != QLatin1String("xls") && outSuffix != QLatin1String("xlsx") &&
        outSuffix != QLatin1String("csv")) {
        *error = QStringLiteral("输出文件“%1”应以 .xlsx、.xls 或 .csv 结尾").arg(o->out);
        return false;
    }
    // Writing the result over the salary sheet it was read from would lose the sheet.
    const QFileInfo inInfo(o->in), outInfo(o->out);
    if (inInfo.absoluteFilePath() == outInfo.absoluteFilePath() ||
        (inInfo.exists() && outInfo.exists() && inInfo.canonicalFilePath() == outInfo.canonicalFilePath())) {
        *error = QStringLiteral("输出文件不能是输入文件本身");
        return false;
    }
    if (p.has(QStringLiteral("sheet"))) {
        o->sheet = p.value(QStringLiteral("sheet"));
        if (o->sheet.isEmpty()) {
            *error = QStringLiteral("--sheet 不能为空");
            return false;
        }
    }
    if (!readRowOption(p, QStringLiteral("title-row"), 1, &o->titleRow, error) ||
        !readRowOption(p, QStringLiteral("first-row"), 1, &o->range.first, error) ||
        !readRowOption(p, QStringLiteral("last-row"), 0, &o->range.last, error))
        return false;
    o->hasTitleRow = p.has(QStringLiteral("title-row"));
    o->hasFirstRow = p.has(QStringLiteral("first-row"));
    o->hasLastRow = p.has(QStringLiteral("last-row"));
    if (!readModeOptions(p, o, error) || !readMaps(maps, o->mode, o, error))
        return false;
    if (p.has(QStringLiteral("setting"))) {
        o->setting = p.value(QStringLiteral("setting"));
        if (o->setting.isEmpty()) {
            *error = QStringLiteral("--setting 不能为空");
            return false;
        }
    }
    o->templateText = p.value(QStringLiteral("template"));
    o->hasTitle = p.has(QStringLiteral("title"));
    o->title = p.value(QStringLiteral("title"));
    o->process = !p.flag(QStringLiteral("no-process"));
    o->json = p.flag(QStringLiteral("json"));
    return true;
}

// The formulas of the basic source columns: a saved setting's, or else those the automatic title
// matching gives; then --map replaces single columns. A setting's extra columns have no place in
// a calculation and are left out.
QStringList mappingFormulas(const QStringList &titles, const ImportSetting *setting, const BatchOptions &o)
{
    const QStringList targets = sourceTitles(o.mode);
    QStringList formulas(targets.size());
    if (setting) {
        for (const ImportSettingColumn &column : setting->columns) {
            const qsizetype position = targets.indexOf(column.title);
            if (position >= 0)
                formulas[position] = column.formula;
        }
    } else {
        formulas = autoMatchFormulas(titles, formulas, o.mode);
    }
    for (const auto &[position, formula] : o.maps)
        formulas[position] = formula;
    return formulas;
}

// --- the result sheet -------------------------------------------------------------------------

// A page's table as the export reads it, filled row by row on demand, so a sheet of many rows is
// not held twice. `fill` gives the cells of one row; the last row asked for is kept, as the export
// asks for a row's cells one after another.
class RowTable : public ExportTable
{
public:
    using Fill = std::function<void(int row, std::vector<std::optional<ExportTableCell>> &cells)>;
    RowTable(int rows, Fill fill) : m_rows(rows), m_fill(std::move(fill)) {}

    int rowCount() const override { return m_rows; }
    std::optional<ExportTableCell> cell(int row, int column) const override
    {
        if (row != m_cached) {
            m_cells.clear();
            if (row >= kTitleRows && row < m_rows)
                m_fill(row, m_cells);
            m_cached = row;
        }
        return column >= 0 && size_t(column) < m_cells.size() ? m_cells[size_t(column)] : std::nullopt;
    }

private:
    int m_rows;
    Fill m_fill;
    mutable int m_cached = -1;
    mutable std::vector<std::optional<ExportTableCell>> m_cells;
};

void put(std::vector<std::optional<ExportTableCell>> &cells, int column, const QString &text,
         SheetCellStyle align = SheetCellStyle::BodyRight, int kind = 0)
{
    if (column < 0)
        return;
    if (size_t(column) >= cells.size())
        cells.resize(size_t(column) + 1);
    cells[size_t(column)] = ExportTableCell{text, kind, align};
}

void putTexts(std::vector<std::optional<ExportTableCell>> &cells, const std::vector<ResultText> &texts,
              int processColumn)
{
    for (const ResultText &t : texts)
        put(cells, t.column, t.text,
            t.column == processColumn ? SheetCellStyle::BodyLeft : SheetCellStyle::BodyRight);
}

// Code and name of a person as the import copied them.
void putNames(std::vector<std::optional<ExportTableCell>> &cells, const SheetRecord &record)
{
    put(cells, ColCode, record.code, SheetCellStyle::BodyLeft);
    put(cells, ColName, record.name, SheetCellStyle::BodyLeft);
}

// The original table: the imported texts of every person, nothing in the title and totals rows.
RowTable baseTable(const SheetRecords &source, int rows)
{
    return RowTable(rows, [&source](int row, std::vector<std::optional<ExportTableCell>> &cells) {
        const size_t i = size_t(row - kTitleRows);
        if (i >= source.records.size())
            return;
        const QStringList &texts = source.records[i].texts;
        for (int k = 0; k < texts.size(); ++k)
            put(cells, k, texts[k], k < 2 ? SheetCellStyle::BodyLeft : SheetCellStyle::BodyRight);
    });
}

int usageError(const QString &message)
{
    printErr(QStringLiteral("lumo-cli batch: %1\n").arg(message));
    printErr(QString::fromUtf8(kUsage));
    return 2;
}

int fileError(const QString &message)
{
    printErr(QStringLiteral("lumo-cli batch: %1\n").arg(message));
    return 1;
}

} // namespace

int runBatch(const QStringList &args)
{
    QStringList yearPlanArgs = args;
    if (!args.isEmpty() && args.first() == QLatin1String("plan") && takeCurrentRules(&yearPlanArgs))
        return runBatchYearPlan(yearPlanArgs.mid(1));
    if (asksForHelp(args)) {
        printOut(QString::fromUtf8(kUsage));
        return 0;
    }
    BatchOptions o;
    QString error;
    if (!readOptions(args, &o, &error))
        return usageError(error);

    // The export choice is checked before the sheet is read, so a mistyped template costs nothing.
    const ExportSettings saved = readExportSettings(exportSettingsFileName(), o.mode);
    QStringList templates = builtinTemplateNames(o.mode);
    for (const SavedExportTemplate &t : saved.templates)
        templates << t.name;
    int templateIndex = kDefaultTemplate;
    if (!o.templateText.isEmpty()) {
        bool isNumber = false;
        templateIndex = o.templateText.toInt(&isNumber);
        if (!isNumber)
            templateIndex = int(templates.indexOf(o.templateText));
        if (templateIndex < 0 || templateIndex >= templates.size())
            return usageError(QStringLiteral("--template 只能是 %1 或其序号 0–%2，不能是“%3”")
                                  .arg(templates.join(QStringLiteral("、")))
                                  .arg(templates.size() - 1)
                                  .arg(o.templateText));
    }
    ExportChoice choice = loadExportTemplate(o.mode, templateIndex, saved, ScopeAfter);
    if (choice.columns.isEmpty())
        return usageError(QStringLiteral("模板“%1”没有要导出的列").arg(templates.value(templateIndex)));
    if (o.scope >= 0)
        choice.scope = o.scope;
    // A saved setting gives the sheet, the rows and the formulas; options given here win.
    ImportSettingsGroup settings;
    const ImportSetting *setting = nullptr;
    if (!o.setting.isEmpty()) {
        QString error;
        setting = findSavedSetting(o.mode, o.setting, &settings, &error);
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

    // LUMO_BATCH_TIMINGS=1 reports the time of each step on stderr, for the benchmark.
    QElapsedTimer clock;
    clock.start();
    qint64 loadDone = 0, readDone = 0, computeDone = 0, layoutDone = 0;
    std::unique_ptr<Workbook> book = Workbook::create(o.in);
    if (!book->load(o.in))
        return fileError(QStringLiteral("无法读取工作簿 %1：%2").arg(o.in, book->errorMessage()));
    loadDone = clock.nsecsElapsed();
    for (const QString &warning : book->loadWarnings())
        printErr(QStringLiteral("警告：%1：%2\n").arg(o.in, warning));
    const Sheet *sheet = chooseSheet(*book, o.sheet);
    if (!sheet)
        return usageError(book->sheetCount() == 0
                              ? QStringLiteral("工作簿 %1 中没有工作表").arg(o.in)
                              : QStringLiteral("工作簿 %1 中没有工作表“%2”（共 %3 个工作表）")
                                    .arg(o.in, o.sheet)
                                    .arg(book->sheetCount()));

    // Rows neither given here nor by a setting follow the sheet's shape, as the import proposes it:
    // a title merged above the header and a totals row at the bottom are left out.
    if (!setting && !(o.hasTitleRow && o.hasFirstRow && o.hasLastRow)) {
        const SheetShape shape = proposeSheetShape(*book, *sheet);
        if (!o.hasTitleRow)
            o.titleRow = shape.titleRow;
        if (!o.hasFirstRow)
            o.range.first = o.hasTitleRow ? o.titleRow + 1 : shape.firstRow;
        if (!o.hasLastRow)
            o.range.last = shape.lastRow;
    }
    const QStringList titles = sheetTitles(*book, *sheet, o.titleRow);
    // A formula naming a column the sheet lacks maps to nothing, as in the import wizard.
    QStringList beyond;
    const QStringList formulas = formulasWithinSheet(
        sourceTitles(o.mode), mappingFormulas(titles, setting, o), int(titles.size()), &beyond);
    for (const QString &warning : beyond)
        printErr(QStringLiteral("警告：%1\n").arg(warning));
    if (formulas.value(ColCode).isEmpty() && formulas.value(ColName).isEmpty())
        return usageError(QStringLiteral("没有【编码】和【姓名】列，不能执行导入！请用 --map 指定，"
                                         "例如 --map '编码=A' --map '姓名=B'"));

    SheetRecords source = readSheetRecords(*book, *sheet, sourceTitles(o.mode), formulas, o.range);
    book.reset(); // the records hold all that is needed of the sheet
    readDone = clock.nsecsElapsed();
    std::vector<CalcRecordInput> inputs;
    inputs.reserve(source.records.size());
    for (const SheetRecord &r : source.records)
        inputs.push_back({r.amounts[0], r.amounts[1], r.amounts[2], r.amounts[3]});

    ExportRequest request;
    request.mode = o.mode;
    request.columns = choice.columns;
    request.scope = choice.scope;
    request.title = o.hasTitle ? o.title.trimmed() : QFileInfo(o.out).completeBaseName();
    request.includeProcess = o.process;
    const int n = int(inputs.size());
    const int process = ColumnCatalogue::instance().resultColumn(ColumnCatalogue::resultTree(o.mode),
                                                                 GroupRemark, ColProcess);
    const auto record = [&source](int row) -> const SheetRecord * {
        const size_t i = size_t(row - kTitleRows);
        return i < source.records.size() ? &source.records[i] : nullptr;
    };

    RunTotals totals;
    QString completion;
    bool written = false;
    const bool csv = suffixOf(o.out) == QLatin1String("csv");
    // Once the sheet's layout holds every text, the records and results go, so a large sheet is not
    // held three times (records, layout, workbook) while it is written.
    const auto write = [&](const ExportTable &base, const ExportTable &before, const ExportTable *after,
                           const std::function<void()> &release) {
        // The figures of the layout live in the arena until the file is written.
        ResultTextArena arena;
        computeDone = clock.nsecsElapsed();
        request.base = &base;
        request.before = &before;
        request.after = after;
        const SheetLayout layout = buildExportLayout(request);
        layoutDone = clock.nsecsElapsed();
        source.records.clear();
        release();
        written = csv ? writeSheetCsv(layout, o.out, &error) : writeSheetLayout(layout, o.out, &error);
    };

    if (o.mode == BatchCalcPage) {
        std::vector<Salary> records = runCalcRecords(inputs, o.threshold, 0, o.process);
        inputs = {};
        CalcResultTotals sums;
        for (const Salary &s : records)
            sums.add(s);
        // Title rows, a row per person, the totals row.
        const int rows = n + kTitleRows + 1;
        const RowTable before(rows, [&](int row, std::vector<std::optional<ExportTableCell>> &cells) {
            if (const SheetRecord *r = record(row)) {
                putNames(cells, *r);
                putTexts(cells, calcResultTexts(records[size_t(row - kTitleRows)]), process);
            } else {
                put(cells, ColName, QStringLiteral("总计"), SheetCellStyle::BodyCenter);
                putTexts(cells, sums.texts(), process);
            }
        });
        totals = calcRunTotals(records);
        write(baseTable(source, rows), before, nullptr, [&] { records.clear(); });
        completion = calcCompletionMessage(n, int(source.unreadable.size()));
    } else if (o.mode == BatchPlanPage) {
        PlanRun run = runPlanRecords(inputs, o.threshold, o.goal == 0 ? RaiseNet : LowerCost, o.balanced,
                                     o.months, 0, o.process);
        inputs = {};
        PlanResultTotals sums;
        for (int i = 0; i < n; ++i)
            sums.add(run.records[size_t(i)], *run.results[size_t(i)]);
        // Title rows, a row per person, the effective totals row, the totals row.
        const int rows = n + kTitleRows + 2;
        const auto table = [&](bool after) {
            return RowTable(rows, [&, after](int row, std::vector<std::optional<ExportTableCell>> &cells) {
                if (const SheetRecord *r = record(row)) {
                    const size_t i = size_t(row - kTitleRows);
                    putNames(cells, *r);
                    putTexts(cells, after ? planAfterTexts(*run.results[i]) : planBeforeTexts(run.records[i]),
                             process);
                    return;
                }
                const bool effective = row == rows - 2;
                put(cells, ColName,
                    after ? (effective ? kPlanEffectiveAfterCaption : kPlanAfterCaption)
                          : (effective ? kPlanEffectiveBeforeCaption : kPlanBeforeCaption),
                    SheetCellStyle::BodyCenter);
                putTexts(cells, after ? sums.afterTexts(effective) : sums.beforeTexts(effective), process);
            });
        };
        const RowTable before = table(false), after = table(true);
        totals = run.totals;
        write(baseTable(source, rows), before, &after, [&] {
            run.records.clear();
            run.results.clear();
        });
        completion = planCompletionMessage(n, int(source.unreadable.size()));
    } else {
        // Apportion rows never show a process text.
        ApportionRun run = runApportionRecords(inputs, o.threshold, o.months, 0, false);
        inputs = {};
        ApportionTotals sums;
        for (const ApportionedRow &row : run.rows)
            sums.add(row);
        // Title rows, a row per person, the totals row.
        const int rows = n + kTitleRows + 1;
        const auto table = [&](bool after) {
            return RowTable(rows, [&, after](int row, std::vector<std::optional<ExportTableCell>> &cells) {
                if (const SheetRecord *r = record(row)) {
                    const ApportionedRow &a = run.rows[size_t(row - kTitleRows)];
                    putNames(cells, *r);
                    putTexts(cells, after ? apportionAfterTexts(a) : apportionBeforeTexts(a), process);
                    return;
                }
                put(cells, ColName, after ? kApportionAfterCaption : kApportionBeforeCaption,
                    SheetCellStyle::BodyCenter);
                putTexts(cells, after ? sums.afterTexts() : sums.beforeTexts(), process);
            });
        };
        const RowTable before = table(false), after = table(true);
        totals = run.totals;
        write(baseTable(source, rows), before, &after, [&] { run.rows.clear(); });
        completion = apportionCompletionMessage(n, int(source.unreadable.size()));
    }
    if (!written)
        return fileError(error);
    if (qEnvironmentVariableIntValue("LUMO_BATCH_TIMINGS") == 1)
        printErr(QStringLiteral("timings read %1 (load %5) compute %2 write %3 (layout %4)\n")
                     .arg(readDone / 1e9, 0, 'f', 3)
                     .arg((computeDone - readDone) / 1e9, 0, 'f', 3)
                     .arg((clock.nsecsElapsed() - computeDone) / 1e9, 0, 'f', 3)
                     .arg((layoutDone - computeDone) / 1e9, 0, 'f', 3)
                     .arg(loadDone / 1e9, 0, 'f', 3));

    if (o.json) {
        JsonWriter w;
        w.field(QStringLiteral("rowsRead"), source.rowsRead)
            .field(QStringLiteral("rowsSkipped"), source.rowsSkipped)
            .field(QStringLiteral("records"), n)
            .raw(QStringLiteral("unreadable"), cellProblemsJson(source.unreadable));
        if (o.mode == BatchCalcPage) {
            w.field(QStringLiteral("taxTotal"), totals.taxAfter)
                .field(QStringLiteral("netTotal"), totals.netAfter);
        } else {
            w.field(QStringLiteral("taxBefore"), totals.taxBefore)
                .field(QStringLiteral("netBefore"), totals.netBefore)
                .field(QStringLiteral("taxTotal"), totals.taxAfter)
                .field(QStringLiteral("netTotal"), totals.netAfter)
                .field(QStringLiteral("taxDecrease"), totals.taxDecrease)
                .field(QStringLiteral("costDecrease"), totals.costDecrease)
                .field(QStringLiteral("netIncrease"), totals.netIncrease);
        }
        w.field(QStringLiteral("output"), o.out);
        printOut(w.finish() + QLatin1Char('\n'));
        return 0;
    }
    QString text = completion + QLatin1Char('\n');
    text += QStringLiteral("读取 %1 行，跳过 %2 行（编码、姓名都为空）。\n")
                .arg(source.rowsRead)
                .arg(source.rowsSkipped);
    for (const UnreadableCell &c : source.unreadable)
        text += QStringLiteral("  第 %1 行 %2 列：%3\n").arg(c.sheetRow).arg(c.column, c.reason);
    if (o.mode == BatchCalcPage) {
        text += QStringLiteral("个人所得税合计：%1\n实发数合计：%2\n")
                    .arg(formatAmount(totals.taxAfter), formatAmount(totals.netAfter));
    } else {
        text += QStringLiteral("个人所得税合计：%1 → %2\n实发数合计：%3 → %4\n")
                    .arg(formatAmount(totals.taxBefore), formatAmount(totals.taxAfter),
                         formatAmount(totals.netBefore), formatAmount(totals.netAfter));
        text += QStringLiteral("个人所得税减少：%1\n单位开支减少：%2\n税后收入增加：%3\n")
                    .arg(formatAmount(totals.taxDecrease), formatAmount(totals.costDecrease),
                         formatAmount(totals.netIncrease));
    }
    text += QStringLiteral("结果已写入：%1\n").arg(o.out);
    printOut(text);
    return 0;
}
