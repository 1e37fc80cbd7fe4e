#include "cli/cliargs.h"
#include "cli/commands.h"

int runPlan(const QStringList &)
{
    printErr(QStringLiteral("节税筹划命令尚未提供。\n"));
    return 2;
}

int runInverse(const QStringList &)
{
    printErr(QStringLiteral("年薪反算命令尚未提供。\n"));
    return 2;
}

int runApportion(const QStringList &)
{
    printErr(QStringLiteral("奖金分摊命令尚未提供。\n"));
    return 2;
}
