// lumo-cli year and lumo-cli plan --rules 2019: the rules in force since 2019 — cumulative
// withholding month by month with the settlement of the year, and the cheapest split of a year's
// pay between wages and a separately taxed bonus.
#include "cli/cliargs.h"
#include "cli/commands.h"
#include "cli/jsonout.h"
#include "cli/texttable.h"
#include "engine/currentrules.h"

#include <QDate>

using namespace CurrentRules;

namespace {

QString fenArray(const Amount *values, int count)
{
    QString text = QStringLiteral("[");
    for (int i = 0; i < count; ++i) {
        if (i)
            text += QLatin1Char(',');
        text += QString::number(values[i]);
    }
    return text + QLatin1Char(']');
}

bool readWholeOption(const ArgParser &p, const QString &name, int min, int max, int fallback, int *out,
                     QString *error)
{
    if (!p.has(name)) {
        *out = fallback;
        return true;
    }
    bool ok = false;
    const int v = p.value(name).trimmed().toInt(&ok);
    if (!ok || v < min || v > max) {
        *error =
            QStringLiteral("--%1 应为 %2 到 %3 的整数：%4").arg(name).arg(min).arg(max).arg(p.value(name));
        return false;
    }
    *out = v;
    return true;
}

bool readYearInput(const ArgParser &p, YearInput *in, QString *error)
{
    in->resident = !p.flag(QStringLiteral("non-resident"));
    const bool hasGross = p.has(QStringLiteral("gross"));
    const bool hasMonths = p.has(QStringLiteral("gross-months"));
    if (hasGross == hasMonths) {
        *error = QStringLiteral(
            "请给出 --gross（每月相同的应发工资）或 --gross-months（逐月应发工资，用逗号分隔）之一");
        return false;
    }
    if (!readWholeOption(p, QStringLiteral("start-month"), 1, 12, 1, &in->startMonth, error))
        return false;
    in->gross.clear();
    if (hasGross) {
        Amount g = 0;
        if (!readYuanOption(p, QStringLiteral("gross"), 0, &g, error))
            return false;
        for (int m = in->startMonth; m <= 12; ++m)
            in->gross << g;
    } else {
        const QStringList parts = p.value(QStringLiteral("gross-months")).split(QLatin1Char(','));
        if (parts.size() > 12) {
            *error = QStringLiteral("--gross-months 最多 12 个月");
            return false;
        }
        for (const QString &part : parts) {
            Amount g = 0;
            if (!parseYuan(part, &g)) {
                *error = QStringLiteral(
                             "--gross-months 中的金额无法识别：%1（应为 0 到 999999999.99，最多两位小数）")
                             .arg(part);
                return false;
            }
            in->gross << g;
        }
    }
    if (!readYuanOption(p, QStringLiteral("insurance"), 0, &in->insurance, error) ||
        !readYuanOption(p, QStringLiteral("deductions"), 0, &in->deductions, error) ||
        !readYuanOption(p, QStringLiteral("bonus"), 0, &in->bonus, error) ||
        !readWholeOption(p, QStringLiteral("bonus-month"), 1, 12, 0, &in->bonusMonth, error) ||
        !readWholeOption(p, QStringLiteral("year"), 2019, 9999, QDate::currentDate().year(), &in->year,
                         error))
        return false;
    const QString method = p.value(QStringLiteral("bonus-method"));
    if (method.isEmpty() || method == QLatin1String("best")) {
        in->method = BonusMethod::Best;
    } else if (method == QLatin1String("separate")) {
        in->method = BonusMethod::Separate;
    } else if (method == QLatin1String("merged")) {
        in->method = BonusMethod::Merged;
    } else {
        *error = QStringLiteral("--bonus-method 应为 separate、merged 或 best：%1").arg(method);
        return false;
    }
    if (p.has(QStringLiteral("bonus-month")) && in->bonus == 0) {
        *error = QStringLiteral("--bonus-month 需要同时给出 --bonus");
        return false;
    }
    return checkYearInput(*in, error);
}

QString yearJson(const YearResult &r, bool withProcess)
{
    QString months = QStringLiteral("[");
    for (const MonthResult &m : r.months) {
        if (months.size() > 1)
            months += QLatin1Char(',');
        months += JsonWriter()
                      .field(QStringLiteral("month"), m.month)
                      .field(QStringLiteral("gross"), m.gross)
                      .field(QStringLiteral("insurance"), m.insurance)
                      .field(QStringLiteral("deductions"), m.deductions)
                      .field(QStringLiteral("cumulativeIncome"), m.cumulativeIncome)
                      .field(QStringLiteral("cumulativeBasic"), m.cumulativeBasic)
                      .field(QStringLiteral("cumulativeTaxable"), m.cumulativeTaxable)
                      .field(QStringLiteral("rate"), m.rate)
                      .field(QStringLiteral("quickDeduction"), m.quickDeduction)
                      .field(QStringLiteral("cumulativeTax"), m.cumulativeTax)
                      .field(QStringLiteral("withheld"), m.withheld)
                      .field(QStringLiteral("net"), m.net)
                      .finish();
    }
    months += QLatin1Char(']');
    JsonWriter w;
    w.field(QStringLiteral("rules"), QStringLiteral("2019"))
        .field(QStringLiteral("resident"), r.resident)
        .raw(QStringLiteral("months"), months);
    if (r.bonus.present) {
        w.raw(QStringLiteral("bonus"),
              JsonWriter()
                  .field(QStringLiteral("amount"), r.bonus.amount)
                  .field(QStringLiteral("method"), r.bonus.method == BonusMethod::Merged
                                                       ? QStringLiteral("merged")
                                                       : QStringLiteral("separate"))
                  .field(QStringLiteral("tax"), r.bonus.tax)
                  .field(QStringLiteral("rate"), r.bonus.rate)
                  .field(QStringLiteral("quickDeduction"), r.bonus.quickDeduction)
                  .finish());
    } else {
        w.null(QStringLiteral("bonus"));
    }
    w.field(QStringLiteral("withheldTotal"), r.withheldTotal)
        .field(QStringLiteral("annualTax"), r.annualTax)
        .field(QStringLiteral("settlement"), r.settlement)
        .field(QStringLiteral("netTotal"), r.netTotal);
    if (withProcess)
        w.field(QStringLiteral("processText"), r.processText);
    return w.finish();
}

QString yearHuman(const YearResult &r)
{
    TextTable table({QStringLiteral("月份"), QStringLiteral("应发工资"), QStringLiteral("三险一金"),
                     QStringLiteral("专项附加扣除"), QStringLiteral("累计应纳税所得额"),
                     QStringLiteral("税率"), QStringLiteral("速算扣除数"), QStringLiteral("累计应纳税额"),
                     QStringLiteral("本月预扣预缴"), QStringLiteral("税后收入")});
    for (const MonthResult &m : r.months)
        table.addRow({QStringLiteral("%1月").arg(m.month), formatAmount(m.gross), formatAmount(m.insurance),
                      formatAmount(m.deductions), formatAmount(m.cumulativeTaxable),
                      QStringLiteral("%1%").arg(m.rate), formatAmount(m.quickDeduction),
                      formatAmount(m.cumulativeTax), formatAmount(m.withheld), formatAmount(m.net)});
    QString text = (r.resident ? QStringLiteral("居民个人，累计预扣法（2019 年起施行的规定）\n")
                               : QStringLiteral("无住所个人，按月计税（2019 年起施行的规定）\n")) +
                   table.render();
    if (r.bonus.present) {
        if (r.bonus.method == BonusMethod::Merged)
            text += QStringLiteral("全年一次性奖金 %1：并入 %2 月工资计税\n")
                        .arg(formatAmount(r.bonus.amount))
                        .arg(r.bonus.month);
        else
            text += QStringLiteral("全年一次性奖金 %1：单独计税，税率 %2%，速算扣除数 %3，税额 %4\n")
                        .arg(formatAmount(r.bonus.amount))
                        .arg(r.bonus.rate)
                        .arg(formatAmount(r.bonus.quickDeduction), formatAmount(r.bonus.tax));
    }
    text += QStringLiteral("已预扣预缴合计 %1，全年应纳税额 %2，")
                .arg(formatAmount(r.withheldTotal), formatAmount(r.annualTax));
    if (r.settlement > 0)
        text += QStringLiteral("汇算应补税 %1").arg(formatAmount(r.settlement));
    else if (r.settlement < 0)
        text += QStringLiteral("汇算应退税 %1").arg(formatAmount(-r.settlement));
    else
        text += QStringLiteral("汇算无需补退");
    text += QStringLiteral("，税后收入合计 %1\n").arg(formatAmount(r.netTotal));
    return text;
}

bool computeYear(const ArgParser &p, QString *json, QString *human, QString *error)
{
    YearInput in;
    if (!readYearInput(p, &in, error))
        return false;
    const bool process = p.flag(QStringLiteral("process"));
    const YearResult r = calculateYear(in, process);
    *json = yearJson(r, process);
    *human = yearHuman(r);
    if (process)
        *human += QLatin1Char('\n') + r.processText;
    return true;
}

bool computeSplit(const ArgParser &p, QString *json, QString *human, QString *error)
{
    if (p.has(QStringLiteral("rules")) && p.value(QStringLiteral("rules")) != QLatin1String("2019")) {
        *error = QStringLiteral("--rules 只能是 2019：%1").arg(p.value(QStringLiteral("rules")));
        return false;
    }
    const bool fromNet = p.has(QStringLiteral("net"));
    if (fromNet == p.has(QStringLiteral("annual"))) {
        *error = fromNet ? QStringLiteral("--annual 与 --net 只能给出一个")
                         : QStringLiteral("请用 --annual 给出全年应发（工资与年终奖金合计），"
                                          "或用 --net 给出税后年收入");
        return false;
    }
    SplitInput in;
    Amount net = 0;
    if (!readYuanOption(p, fromNet ? QStringLiteral("net") : QStringLiteral("annual"), 0,
                        fromNet ? &net : &in.annual, error) ||
        !readYuanOption(p, QStringLiteral("insurance-annual"), 0, &in.insurance, error) ||
        !readYuanOption(p, QStringLiteral("deductions-annual"), 0, &in.deductions, error))
        return false;
    const bool process = p.flag(QStringLiteral("process"));
    SplitResult r;
    QString processText;
    if (fromNet) {
        AnnualInverseResult inverse = annualForNet(in, net, process);
        if (!inverse.ok) {
            *error = inverse.error;
            return false;
        }
        r = std::move(inverse.split);
        processText = std::move(inverse.processText);
    } else {
        r = bestSplit(in, process);
        processText = r.processText;
    }
    JsonWriter w;
    w.field(QStringLiteral("rules"), QStringLiteral("2019"));
    if (fromNet)
        w.field(QStringLiteral("net"), net);
    w.field(QStringLiteral("annual"), r.annual)
        .field(QStringLiteral("bonus"), r.bonus)
        .field(QStringLiteral("wages"), r.wages)
        .raw(QStringLiteral("monthly"), fenArray(r.monthly, 12))
        .field(QStringLiteral("taxTotal"), r.taxTotal)
        .field(QStringLiteral("allWageTax"), r.allWageTax)
        .field(QStringLiteral("taxDecrease"), r.taxDecrease)
        .field(QStringLiteral("netTotal"), r.netTotal);
    if (process)
        w.field(QStringLiteral("processText"), processText);
    *json = w.finish();

    TextTable table({QString(), QStringLiteral("金额")});
    if (fromNet)
        table.addRow({QStringLiteral("要求的税后年收入"), formatAmount(net)});
    table.addRow({QStringLiteral("全年应发"), formatAmount(r.annual)});
    table.addRow({QStringLiteral("年终奖金（单独计税）"), formatAmount(r.bonus)});
    table.addRow({QStringLiteral("工资合计"), formatAmount(r.wages)});
    table.addRow({QStringLiteral("每月工资"),
                  formatAmount(r.monthly[0]) + (r.monthly[0] != r.monthly[11]
                                                    ? QStringLiteral(" / ") + formatAmount(r.monthly[11])
                                                    : QString())});
    table.addRow({QStringLiteral("全年税额"), formatAmount(r.taxTotal)});
    table.addRow({QStringLiteral("全部按工资发放的税额"), formatAmount(r.allWageTax)});
    table.addRow({QStringLiteral("节税"), formatAmount(r.taxDecrease)});
    table.addRow({QStringLiteral("税后收入合计"), formatAmount(r.netTotal)});
    *human = (fromNet ? QStringLiteral("由税后年收入反算最少的全年应发及其最优分配（2019 年起施行的规定）\n")
                      : QStringLiteral("年终奖金与工资的最优分配（2019 年起施行的规定）\n")) +
             table.render();
    if (process)
        *human += QLatin1Char('\n') + processText;
    return true;
}

} // namespace

int runYear(const QStringList &args)
{
    static const CommandDef def{
        QStringLiteral("year"),
        QStringLiteral("lumo-cli year [--non-resident] --gross 元 | --gross-months 元,元,… [--start-month M] "
                       "[--insurance 元] [--deductions 元] [--bonus 元] [--bonus-month M] "
                       "[--bonus-method separate|merged|best] [--year YYYY] [--process] [--json | --jsonl]"),
        {QStringLiteral("gross"), QStringLiteral("gross-months"), QStringLiteral("start-month"),
         QStringLiteral("insurance"), QStringLiteral("deductions"), QStringLiteral("bonus"),
         QStringLiteral("bonus-month"), QStringLiteral("bonus-method"), QStringLiteral("year")},
        {QStringLiteral("non-resident"), QStringLiteral("process")},
        computeYear};
    return runCommand(def, args);
}

int runPlanCurrentRules(const QStringList &args)
{
    static const CommandDef def{QStringLiteral("plan"),
                                QStringLiteral("lumo-cli plan --rules 2019 --annual 元 | --net 元 "
                                               "[--insurance-annual 元] [--deductions-annual 元] "
                                               "[--process] [--json | --jsonl]"),
                                {QStringLiteral("rules"), QStringLiteral("annual"), QStringLiteral("net"),
                                 QStringLiteral("insurance-annual"), QStringLiteral("deductions-annual")},
                                {QStringLiteral("process")},
                                computeSplit};
    return runCommand(def, args);
}

bool takeCurrentRules(QStringList *args)
{
    for (int i = 0; i < args->size(); ++i) {
        if (args->at(i) == QLatin1String("--rules=2019")) {
            args->removeAt(i);
            return true;
        }
        if (args->at(i) == QLatin1String("--rules") && i + 1 < args->size() &&
            args->at(i + 1) == QLatin1String("2019")) {
            args->remove(i, 2);
            return true;
        }
    }
    return false;
}
