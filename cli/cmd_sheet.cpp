#include "cli/cliargs.h"
#include "cli/commands.h"

int runSheet(const QStringList &)
{
    printErr(QStringLiteral("工作簿命令尚未提供。\n"));
    return 2;
}
