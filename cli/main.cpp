// lumo-cli: the tax engine and the batch work from the command line, for payroll scripts and for
// checking results in bulk.
#include "cli/cliargs.h"
#include "cli/commands.h"

#include <QCoreApplication>

namespace {

struct Command
{
    const char *name;
    int (*run)(const QStringList &);
    const char *summary;
};

const Command kCommands[] = {
    {"calc", runCalc, "计算月工资、年终奖金、企业年金的个人所得税"},
    {"plan", runPlan, "节税筹划：在月工资与年终奖金之间重新分配"},
    {"inverse", runInverse, "年薪反算：由税后或税前年收入求应发工资与奖金"},
    {"year", runYear, "按 2019 年起施行的规定：逐月累计预扣、年终奖金计税与年度汇算"},
    {"month", runMonth, "按月累计预扣：本月工资表、台账中的本年累计，算出本月预扣税额并记入台账"},
    {"ledger", runLedger, "工资台账：查看、导出、撤销最后一个月、年度汇算估算"},
    {"apportion", runApportion, "奖金分摊：把一次性奖金分摊到多个月"},
    {"batch", runBatch, "批量：读取工资表，逐行计算、筹划或分摊，写出结果工作簿"},
    {"sheet", runSheet, "读写 Excel 工作簿（dump / convert）"},
    {"eval", runEval, "计算一个导入公式表达式"},
};

// On stdout when asked for, on stderr beside a mistake.
void printUsage(bool asked)
{
    QString text = QStringLiteral("用法: lumo-cli <命令> [选项]\n\n命令:\n");
    for (const Command &c : kCommands)
        text += QStringLiteral("  %1  %2\n")
                    .arg(QString::fromUtf8(c.name).leftJustified(10), QString::fromUtf8(c.summary));
    text += QStringLiteral(
        "\n金额以元为单位（0 到 999999999.99，最多两位小数）；--json 输出中的金额以分为单位。\n");
    if (asked)
        printOut(text);
    else
        printErr(text);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        printUsage(!args.isEmpty());
        return args.isEmpty() ? 2 : 0;
    }
    const QString name = args.takeFirst();
    for (const Command &c : kCommands) {
        if (name == QLatin1String(c.name))
            return c.run(args);
    }
    printErr(QStringLiteral("未知命令：%1\n").arg(name));
    printUsage(false);
    return 2;
}
