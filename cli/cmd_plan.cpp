// lumo-cli plan, inverse and apportion: the planning, inverse and apportionment operations of the
// engine, with the figures and texts their pages show.
#include "cli/cliargs.h"
#include "cli/commands.h"
#include "cli/jsonout.h"
#include "cli/texttable.h"
#include "engine/taxengine.h"

namespace {

QString resultJson(const PlanResult &r, Amount threshold)
{
    JsonWriter w;
    writeSalaryFields(w, r, threshold);
    w.field(QStringLiteral("taxDecrease"), r.taxDecrease)
        .field(QStringLiteral("costDecrease"), r.costDecrease)
        .field(QStringLiteral("netIncrease"), r.netIncrease);
    return w.finish();
}

QString resultsJson(const PlanResults &results, Amount threshold)
{
    QStringList items;
    for (const auto &r : results)
        items << resultJson(*r, threshold);
    return QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']');
}

// --- plan -------------------------------------------------------------------------------------

bool computePlan(const ArgParser &p, QString *json, QString *human, QString *error)
{
    Amount threshold = 0, gross = 0, insurance = 0, bonus = 0;
    int months = 6;
    if (!readThresholdOption(p, &threshold, error) ||
        !readYuanOption(p, QStringLiteral("gross"), 0, &gross, error) ||
        !readYuanOption(p, QStringLiteral("insurance"), 0, &insurance, error) ||
        !readYuanOption(p, QStringLiteral("bonus"), 0, &bonus, error) ||
        !readMonthsOption(p, QStringLiteral("months"), 1, 12, 6, &months, error))
        return false;
    const QString goalText = p.value(QStringLiteral("goal"));
    if (goalText != QLatin1String("0") && goalText != QLatin1String("1")) {
        *error = p.has(QStringLiteral("goal"))
                     ? QStringLiteral("--goal 只能是 0（增加员工税后收入）或 1（减少单位开支），不能是“%1”")
                           .arg(goalText)
                     : QStringLiteral("缺少 --goal 0|1");
        return false;
    }
    const QString methodText = p.value(QStringLiteral("method"));
    if (methodText != QLatin1String("bonus") && methodText != QLatin1String("balanced")) {
        *error =
            p.has(QStringLiteral("method"))
                ? QStringLiteral("--method 只能是 bonus（仅调整年终奖金）或 balanced（平衡发放），不能是“%1”")
                      .arg(methodText)
                : QStringLiteral("缺少 --method bonus|balanced");
        return false;
    }
    const PlanGoal goal = goalText == QLatin1String("0") ? RaiseNet : LowerCost;
    const bool balanced = methodText == QLatin1String("balanced");
    const int n = balanced ? months : 1;

    Salary input;
    input.setMonthly(gross, insurance, n);
    input.setBonus(bonus);
    PlanResults results;
    TaxEngine(static_cast<qint32>(threshold)).plan(input, results, goal, balanced, n);
    const QString label = planMethodLabel(goal, balanced, months);
    const QString processText = planPageProcessText(label, input, results);

    JsonWriter w;
    w.field(QStringLiteral("method"), label)
        .raw(QStringLiteral("input"), salaryJson(input, threshold))
        .raw(QStringLiteral("results"), resultsJson(results, threshold))
        .field(QStringLiteral("processText"), processText);
    *json = w.finish();

    // The before/after table of the planning page; without a result "after" repeats the input.
    const Salary &after = results.empty() ? input : static_cast<const Salary &>(*results.front());
    TextTable table(QStringList{QString()} + itemTableHeader());
    const QString before = QStringLiteral("筹划前"), planned = QStringLiteral("筹划后");
    table.addRow(QStringList{QStringLiteral("月应发工资")} + itemRow(before, input.monthly));
    table.addRow(QStringList{QString()} + itemRow(planned, after.monthly));
    table.addRow(QStringList{QStringLiteral("年终奖金")} + itemRow(before, input.bonus));
    table.addRow(QStringList{QString()} + itemRow(planned, after.bonus));
    table.addRow(QStringList{QStringLiteral("总计")} + totalsRow(before, input));
    table.addRow(QStringList{QString()} + totalsRow(planned, after));
    const PlanResult none;
    const PlanResult &best = results.empty() ? none : *results.front();
    *human = label + QStringLiteral("\n\n") + table.render() + QLatin1Char('\n') +
             QStringLiteral("个人所得税减少：%1\n单位开支减少：%2\n税后收入增加：%3\n")
                 .arg(formatAmount(best.taxDecrease), formatAmount(best.costDecrease),
                      formatAmount(best.netIncrease));
    if (results.size() > 1)
        *human += QStringLiteral("（另有 %1 个同样好的方案，用 --json 查看）\n").arg(results.size() - 1);
    if (p.flag(QStringLiteral("process")))
        *human += QLatin1Char('\n') + processText;
    return true;
}

// --- inverse ----------------------------------------------------------------------------------

bool computeInverse(const ArgParser &p, QString *json, QString *human, QString *error)
{
    Amount threshold = 0, employerInsurance = 0;
    if (!readThresholdOption(p, &threshold, error) ||
        !readYuanOption(p, QStringLiteral("employer-insurance"), 0, &employerInsurance, error))
        return false;
    const QString mode = p.value(QStringLiteral("mode"));
    const bool monthAndBonus = mode == QLatin1String("net-month-bonus");
    if (mode != QLatin1String("net-annual") && mode != QLatin1String("gross-annual") && !monthAndBonus) {
        *error = p.has(QStringLiteral("mode"))
                     ? QStringLiteral("--mode 只能是 net-annual、gross-annual 或 net-month-bonus，不能是“%1”")
                           .arg(mode)
                     : QStringLiteral("缺少 --mode net-annual|gross-annual|net-month-bonus");
        return false;
    }
    // Each mode takes its own inputs only, so a mistyped script is not silently half-ignored.
    const QStringList own = monthAndBonus
                                ? QStringList{QStringLiteral("net-monthly"), QStringLiteral("net-bonus")}
                                : QStringList{QStringLiteral("amount")};
    for (const QString &o :
         {QStringLiteral("amount"), QStringLiteral("net-monthly"), QStringLiteral("net-bonus")}) {
        if (p.has(o) && !own.contains(o)) {
            *error = QStringLiteral("--%1 不适用于 --mode %2").arg(o, mode);
            return false;
        }
    }
    Amount amount = 0, netMonthly = 0, netBonus = 0;
    if (!readYuanOption(p, QStringLiteral("amount"), 0, &amount, error) ||
        !readYuanOption(p, QStringLiteral("net-monthly"), 0, &netMonthly, error) ||
        !readYuanOption(p, QStringLiteral("net-bonus"), 0, &netBonus, error))
        return false;

    const TaxEngine engine(static_cast<qint32>(threshold));
    PlanResults results;
    bool ok = false;
    if (mode == QLatin1String("net-annual"))
        ok = engine.planFromNetAnnual(amount, 0, results);
    else if (mode == QLatin1String("gross-annual"))
        ok = engine.planFromGrossAnnual(amount, 0, results);
    else
        ok = engine.grossFromNetMonthAndBonus(netMonthly, netBonus, 0, results);

    const InverseTotals totals =
        inverseTotals(results.empty() ? nullptr : results.front().get(), employerInsurance);
    JsonWriter w;
    w.field(QStringLiteral("ok"), ok)
        .raw(QStringLiteral("results"), resultsJson(results, threshold))
        .field(QStringLiteral("annualTax"), totals.annualTax)
        .field(QStringLiteral("employerInsurance"), totals.employerInsurance)
        .field(QStringLiteral("employerExpense"), totals.employerExpense);
    *json = w.finish();

    TextTable table(itemTableHeader());
    if (results.empty()) {
        table.addRow(itemRow(QStringLiteral("月应发工资"), nullptr));
        table.addRow(itemRow(QStringLiteral("年终奖金"), nullptr));
        table.addRow(totalsRow(QStringLiteral("总计"), Salary()));
    } else {
        const PlanResult &r = *results.front();
        table.addRow(itemRow(QStringLiteral("月应发工资"), r.monthly));
        table.addRow(itemRow(QStringLiteral("年终奖金"), r.bonus));
        table.addRow(totalsRow(QStringLiteral("总计"), r));
    }
    *human = QStringLiteral("全年个税总计：%1\n单位年承担三险一金总额：%2\n单位支出总额：%3\n\n")
                 .arg(formatAmount(totals.annualTax), formatAmount(totals.employerInsurance),
                      formatAmount(totals.employerExpense)) +
             table.render();
    return true;
}

// --- apportion --------------------------------------------------------------------------------

bool computeApportion(const ArgParser &p, QString *json, QString *human, QString *error)
{
    Amount threshold = 0, gross = 0, insurance = 0, bonus = 0;
    int months = 3;
    if (!readThresholdOption(p, &threshold, error) ||
        !readYuanOption(p, QStringLiteral("gross"), 0, &gross, error) ||
        !readYuanOption(p, QStringLiteral("insurance"), 0, &insurance, error) ||
        !readYuanOption(p, QStringLiteral("bonus"), 0, &bonus, error) ||
        !readMonthsOption(p, QStringLiteral("months"), 1, 12, 3, &months, error))
        return false;
    const Apportionment a =
        TaxEngine(static_cast<qint32>(threshold)).apportion(gross, insurance, bonus, months);

    JsonWriter w;
    w.field(QStringLiteral("share"), a.share)
        .field(QStringLiteral("remainder"), a.remainder)
        .field(QStringLiteral("taxBefore"), a.taxBefore)
        .field(QStringLiteral("netBefore"), a.netBefore)
        .field(QStringLiteral("taxAfter"), a.taxAfter)
        .field(QStringLiteral("netAfter"), a.netAfter)
        .field(QStringLiteral("taxDecrease"), a.taxDecrease)
        .field(QStringLiteral("netIncrease"), a.netIncrease)
        .raw(QStringLiteral("bonusMonth"), salaryJson(a.bonusMonth, threshold))
        .raw(QStringLiteral("otherMonths"), salaryJson(a.otherMonths, threshold))
        .raw(QStringLiteral("after"), salaryJson(a.after, threshold))
        .raw(QStringLiteral("afterBonusMonth"), salaryJson(a.afterBonusMonth, threshold))
        .field(QStringLiteral("processText"), a.processText);
    *json = w.finish();

    // The comparison table of the apportionment page, letters as column headers.
    const auto valueRow = [&](Amount tax, Amount net, Amount bonusPart, const Salary &month) {
        const TaxItem *m = month.monthly.get();
        const TaxBracket *row = m ? m->bracket : nullptr;
        return QStringList{QString(),
                           formatAmount(tax),
                           formatAmount(net),
                           formatAmount(a.monthlyTaxable),
                           formatAmount(bonusPart),
                           m ? formatAmount(m->tax) : QString(),
                           m ? formatAmount(m->afterTax) : QString(),
                           row ? QString::number(row->rate) + QLatin1Char('%') : QString(),
                           row ? formatAmount(row->quickDeduction) : QString()};
    };
    TextTable table({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D"),
                     QStringLiteral("E"), QStringLiteral("F"), QStringLiteral("G"), QStringLiteral("H"),
                     QStringLiteral("I")});
    table.addRow({QStringLiteral("分摊前"), QStringLiteral("个人所得税合计"), QStringLiteral("实发数合计"),
                  QStringLiteral("当月应税收入"), QStringLiteral("当月奖金"),
                  QStringLiteral("当月个人所得税"), QStringLiteral("当月实发数"), QStringLiteral("税率"),
                  QStringLiteral("速算扣除数")});
    table.addRow(valueRow(a.taxBefore, a.netBefore, bonus, a.bonusMonth));
    table.addRow({QStringLiteral("分摊后"), QStringLiteral("个人所得税合计"), QStringLiteral("实发数合计"),
                  QStringLiteral("每月应税收入"), QStringLiteral("每月奖金"),
                  QStringLiteral("每月个人所得税"), QStringLiteral("每月实发数"), QStringLiteral("税率"),
                  QStringLiteral("速算扣除数")});
    table.addRow(valueRow(a.taxAfter, a.netAfter, a.share, a.after));
    *human = table.render();
    if (a.remainder > 0)
        *human += QStringLiteral("\n发放奖金的当月另计除不尽的 %1 元，该月奖金 %2 元。")
                      .arg(formatAmount(a.remainder), formatAmount(a.share + a.remainder));
    *human += QStringLiteral("\n税后收入增加：%1\n个人所得税减少：%2\n")
                  .arg(formatAmount(a.netIncrease), formatAmount(a.taxDecrease));
    if (p.flag(QStringLiteral("process")))
        *human += QLatin1Char('\n') + a.processText;
    return true;
}

} // namespace

int runPlan(const QStringList &args)
{
    QStringList rest = args;
    if (takeCurrentRules(&rest))
        return runPlanCurrentRules(rest);
    static const CommandDef def{
        QStringLiteral("plan"),
        QStringLiteral(
            "lumo-cli plan --goal 0|1 --method bonus|balanced [--months N] [--threshold 3500|4800] "
            "[--gross 元] [--insurance 元] [--bonus 元] [--process] [--json | --jsonl]\n"
            "      lumo-cli plan --rules 2019 --annual 元 [--insurance-annual 元] [--deductions-annual 元] "
            "…"),
        {QStringLiteral("goal"), QStringLiteral("method"), QStringLiteral("months"),
         QStringLiteral("threshold"), QStringLiteral("gross"), QStringLiteral("insurance"),
         QStringLiteral("bonus")},
        {QStringLiteral("process")},
        computePlan};
    return runCommand(def, args);
}

int runInverse(const QStringList &args)
{
    static const CommandDef def{
        QStringLiteral("inverse"),
        QStringLiteral("lumo-cli inverse --mode net-annual --amount 元 | --mode gross-annual --amount 元 | "
                       "--mode net-month-bonus --net-monthly 元 --net-bonus 元 [--employer-insurance 元] "
                       "[--threshold 3500|4800] [--json | --jsonl]"),
        {QStringLiteral("mode"), QStringLiteral("amount"), QStringLiteral("net-monthly"),
         QStringLiteral("net-bonus"), QStringLiteral("employer-insurance"), QStringLiteral("threshold")},
        {},
        computeInverse};
    return runCommand(def, args);
}

int runApportion(const QStringList &args)
{
    static const CommandDef def{
        QStringLiteral("apportion"),
        QStringLiteral("lumo-cli apportion [--gross 元] [--insurance 元] [--bonus 元] [--months N] "
                       "[--threshold 3500|4800] [--process] [--json | --jsonl]"),
        {QStringLiteral("gross"), QStringLiteral("insurance"), QStringLiteral("bonus"),
         QStringLiteral("months"), QStringLiteral("threshold")},
        {QStringLiteral("process")},
        computeApportion};
    return runCommand(def, args);
}
