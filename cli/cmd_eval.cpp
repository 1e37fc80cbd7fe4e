#include "cli/cliargs.h"
#include "cli/commands.h"

int runEval(const QStringList &)
{
    printErr(QStringLiteral("表达式命令尚未提供。\n"));
    return 2;
}
