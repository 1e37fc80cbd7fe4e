// lumo-cli calc: one tax calculation, as the single tax calculation page makes it.
#include "cli/cliargs.h"
#include "cli/commands.h"
#include "cli/jsonout.h"
#include "cli/texttable.h"
#include "engine/taxengine.h"

namespace {

const char kUsage[] =
    "用法: lumo-cli calc [--threshold 3500|4800] [--gross 元] [--insurance 元] [--bonus 元] "
    "[--annuity 元] [--months N] [--process] [--json | --jsonl]\n";

struct CalcInput
{
    Amount threshold = kThresholdLocal;
    Amount gross = 0;
    Amount insurance = 0;
    Amount bonus = 0;
    Amount annuity = 0;
    int months = 1;
};

const QStringList kValueOptions = {QStringLiteral("threshold"), QStringLiteral("gross"),
                                   QStringLiteral("insurance"), QStringLiteral("bonus"),
                                   QStringLiteral("annuity"),   QStringLiteral("months")};

bool readInput(const ArgParser &p, CalcInput *in, QString *error)
{
    return readThresholdOption(p, &in->threshold, error) &&
           readYuanOption(p, QStringLiteral("gross"), 0, &in->gross, error) &&
           readYuanOption(p, QStringLiteral("insurance"), 0, &in->insurance, error) &&
           readYuanOption(p, QStringLiteral("bonus"), 0, &in->bonus, error) &&
           readYuanOption(p, QStringLiteral("annuity"), 0, &in->annuity, error) &&
           readMonthsOption(p, QStringLiteral("months"), 1, 12, 1, &in->months, error);
}

Salary calculate(const CalcInput &in)
{
    Salary salary;
    salary.setMonthly(in.gross, in.insurance, in.months);
    salary.setBonus(in.bonus);
    salary.setAnnuity(in.annuity);
    TaxEngine(static_cast<qint32>(in.threshold)).calculate(salary);
    return salary;
}

QString resultTable(const Salary &s)
{
    TextTable table(itemTableHeader());
    table.addRow(itemRow(QStringLiteral("月应发工资"), s.monthly));
    table.addRow(itemRow(QStringLiteral("年终奖金"), s.bonus));
    table.addRow(itemRow(QStringLiteral("企业年金"), s.annuity));
    table.addRow(totalsRow(QStringLiteral("总计"), s));
    return table.render();
}

} // namespace

int runCalc(const QStringList &args)
{
    if (asksForHelp(args)) {
        printOut(QString::fromUtf8(kUsage));
        return 0;
    }
    ArgParser p(kValueOptions, {QStringLiteral("process"), QStringLiteral("json"), QStringLiteral("jsonl")});
    QString error;
    CalcInput in;
    bool ok = p.parse(args, &error) && readInput(p, &in, &error);
    if (ok && p.flag(QStringLiteral("jsonl")) && args.size() != 1) {
        error = QStringLiteral("--jsonl 从标准输入读取全部数据，不能与其他选项同用");
        ok = false;
    }
    if (!ok) {
        printErr(QStringLiteral("lumo-cli calc: %1\n").arg(error));
        printErr(QString::fromUtf8(kUsage));
        return 2;
    }
    if (p.flag(QStringLiteral("jsonl"))) {
        return runJsonLines([](const QStringList &lineArgs, QString *out, QString *lineError) {
            ArgParser lp(kValueOptions, {});
            CalcInput lineIn;
            if (!lp.parse(lineArgs, lineError) || !readInput(lp, &lineIn, lineError))
                return false;
            *out = salaryJson(calculate(lineIn), lineIn.threshold);
            return true;
        });
    }

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
