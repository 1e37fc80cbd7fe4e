// lumo-cli calc: one tax calculation, as the single tax calculation page makes it.
#include "cli/cliargs.h"
#include "cli/commands.h"
#include "cli/jsonout.h"
#include "cli/texttable.h"
#include "engine/taxengine.h"

#include <QJsonObject>

namespace {

struct CalcInput
{
    Amount threshold = kThresholdLocal;
    Amount gross = 0;
    Amount insurance = 0;
    Amount bonus = 0;
    Amount annuity = 0;
    int months = 1;
};

constexpr int kMaxMonths = 12;

Salary calculate(const CalcInput &in)
{
    Salary salary;
    salary.setMonthly(in.gross, in.insurance, in.months);
    salary.setBonus(in.bonus);
    salary.setAnnuity(in.annuity);
    TaxEngine(static_cast<qint32>(in.threshold)).calculate(salary);
    return salary;
}

QStringList itemRow(const QString &caption, const std::unique_ptr<TaxItem> &item)
{
    if (!item)
        return {caption, QString(), QString(), QString(), QString(), QString()};
    const TaxBracket *row = item->bracket;
    return {caption,
            formatAmount(item->amount),
            formatAmount(item->tax),
            formatAmount(item->afterTax),
            row ? QString::number(row->rate) + QLatin1Char('%') : QString(),
            row ? formatAmount(row->quickDeduction) : QString()};
}

QString resultTable(const Salary &s)
{
    TextTable table({QString(), QStringLiteral("应税收入"), QStringLiteral("个人所得税"),
                     QStringLiteral("实发数"), QStringLiteral("税率"), QStringLiteral("速算扣除数")});
    table.addRow(itemRow(QStringLiteral("月应发工资"), s.monthly));
    table.addRow(itemRow(QStringLiteral("年终奖金"), s.bonus));
    table.addRow(itemRow(QStringLiteral("企业年金"), s.annuity));
    table.addRow({QStringLiteral("总计"), formatAmount(s.taxableTotal), formatAmount(s.taxTotal),
                  formatAmount(s.netTotal), QString(), QString()});
    return table.render();
}

bool calcLine(const QJsonObject &obj, QString *outLine, QString *error)
{
    static const QStringList yuanKeys = {QStringLiteral("gross"), QStringLiteral("insurance"),
                                         QStringLiteral("bonus"), QStringLiteral("annuity")};
    CalcInput in;
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        const QString key = it.key();
        bool ok = true;
        if (key == QLatin1String("threshold")) {
            ok = readThresholdValue(it.value(), &in.threshold, error);
        } else if (key == QLatin1String("months")) {
            ok = readMonthsValue(it.value(), key, 1, kMaxMonths, &in.months, error);
        } else if (yuanKeys.contains(key)) {
            Amount *target = key == QLatin1String("gross")       ? &in.gross
                             : key == QLatin1String("insurance") ? &in.insurance
                             : key == QLatin1String("bonus")     ? &in.bonus
                                                                 : &in.annuity;
            ok = readYuanValue(it.value(), key, target, error);
        } else {
            *error = QStringLiteral("未知字段：%1").arg(key);
            ok = false;
        }
        if (!ok)
            return false;
    }
    *outLine = salaryJson(calculate(in), in.threshold);
    return true;
}

} // namespace

int runCalc(const QStringList &args)
{
    ArgParser p({QStringLiteral("threshold"), QStringLiteral("gross"), QStringLiteral("insurance"),
                 QStringLiteral("bonus"), QStringLiteral("annuity"), QStringLiteral("months")},
                {QStringLiteral("process"), QStringLiteral("json"), QStringLiteral("jsonl")});
    QString error;
    CalcInput in;
    bool ok = p.parse(args, &error) && readThresholdOption(p, &in.threshold, &error) &&
              readYuanOption(p, QStringLiteral("gross"), 0, &in.gross, &error) &&
              readYuanOption(p, QStringLiteral("insurance"), 0, &in.insurance, &error) &&
              readYuanOption(p, QStringLiteral("bonus"), 0, &in.bonus, &error) &&
              readYuanOption(p, QStringLiteral("annuity"), 0, &in.annuity, &error) &&
              readMonthsOption(p, QStringLiteral("months"), 1, kMaxMonths, 1, &in.months, &error);
    if (ok && p.flag(QStringLiteral("jsonl")) && args.size() != 1) {
        error = QStringLiteral("--jsonl 从标准输入读取全部数据，不能与其他选项同用");
        ok = false;
    }
    if (!ok) {
        printErr(QStringLiteral("lumo-cli calc: %1\n").arg(error));
        printErr(QStringLiteral(
            "用法: lumo-cli calc [--threshold 3500|4800] [--gross 元] [--insurance 元] [--bonus 元] "
            "[--annuity 元] [--months N] [--process] [--json | --jsonl]\n"));
        return 2;
    }
    if (p.flag(QStringLiteral("jsonl")))
        return runJsonLines(calcLine);

    const Salary salary = calculate(in);
    if (p.flag(QStringLiteral("json"))) {
        printOut(salaryJson(salary, in.threshold) + QLatin1Char('\n'));
        return 0;
    }
    QString text = resultTable(salary);
    if (p.flag(QStringLiteral("process")))
        text += QLatin1Char('\n') + salary.processText;
    printOut(text);
    return 0;
}
