#include "cli/sheetoptions.h"

#include "batch/importsetting.h"
#include "cli/cliargs.h"
#include "excel/workbook.h"

bool readRowOption(const ArgParser &p, const QString &name, int min, int *out, QString *error)
{
    if (!p.has(name))
        return true;
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < min || v > kXlsxMaxRows) {
        *error = QStringLiteral("--%1 应为 %2 到 %3 之间的整数，不能是“%4”")
                     .arg(name)
                     .arg(min)
                     .arg(kXlsxMaxRows)
                     .arg(p.value(name));
        return false;
    }
    *out = v;
    return true;
}

bool takeMaps(QStringList *args, QStringList *maps, QString *error)
{
    QStringList rest;
    for (qsizetype i = 0; i < args->size(); ++i) {
        const QString &arg = args->at(i);
        if (arg == QLatin1String("--map")) {
            if (i + 1 >= args->size()) {
                *error = QStringLiteral("选项 --map 缺少值");
                return false;
            }
            *maps << args->at(++i);
        } else if (arg.startsWith(QLatin1String("--map="))) {
            *maps << arg.mid(6);
        } else {
            rest << arg;
        }
    }
    *args = rest;
    return true;
}

const Sheet *chooseSheet(const Workbook &book, const QString &which)
{
    if (book.sheetCount() == 0)
        return nullptr;
    if (which.isEmpty())
        return book.getSheet(0);
    for (int k = 0; k < book.sheetCount(); ++k) {
        if (book.getSheet(k)->name() == which)
            return book.getSheet(k);
    }
    bool ok = false;
    const int n = which.toInt(&ok);
    return ok && n >= 1 && n <= book.sheetCount() ? book.getSheet(n - 1) : nullptr;
}

const ImportSetting *findSavedSetting(int mode, const QString &name, ImportSettingsGroup *settings,
                                      QString *error)
{
    const ImportSettingsFile file;
    *settings = file.read(mode);
    for (const QString &warning : file.warnings())
        printErr(QStringLiteral("警告：%1：%2\n").arg(file.path(), warning));
    const ImportSetting *found = nullptr;
    for (const ImportSetting &s : settings->settings) {
        if (s.name == name)
            found = &s;
    }
    if (found)
        return found;
    *error = QStringLiteral("%1 中没有名为“%2”的导入设定（可用：%3）")
                 .arg(file.path(), name, settings->names().join(QStringLiteral("、")));
    return nullptr;
}
