#include "cli/sheetoptions.h"

#include "batch/importsetting.h"
#include "batch/sheetsource.h"
#include "cli/cliargs.h"
#include "excel/workbook.h"
#include "ledger/payrollsheet.h"

#include <QRegularExpression>

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
                                      QString *error, int fallbackMode)
{
    const ImportSettingsFile file;
    QStringList warned, names;
    for (const int m : {mode, fallbackMode}) {
        if (m < 0)
            continue;
        *settings = file.read(m);
        for (const QString &warning : file.warnings()) {
            if (!warned.contains(warning))
                printErr(QStringLiteral("警告：%1：%2\n").arg(file.path(), warning));
            warned << warning;
        }
        const ImportSetting *found = nullptr;
        for (const ImportSetting &s : settings->settings) {
            if (s.name == name)
                found = &s;
        }
        if (found)
            return found;
        for (const QString &n : settings->names())
            if (!names.contains(n))
                names << n;
    }
    *error = QStringLiteral("%1 中没有名为“%2”的导入设定（可用：%3）")
                 .arg(file.path(), name, names.join(QStringLiteral("、")));
    return nullptr;
}

bool readPeriod(const QString &text, int *year, int *month, QString *error)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{4})-(\\d{2})$"));
    const QRegularExpressionMatch m = pattern.match(text);
    *year = m.hasMatch() ? m.captured(1).toInt() : 0;
    *month = m.hasMatch() ? m.captured(2).toInt() : 0;
    if (*year < 2019 || *month < 1 || *month > 12) {
        *error = QStringLiteral("--period 应为 2019 年以后的 YYYY-MM，例如 2026-03，不能是“%1”").arg(text);
        return false;
    }
    return true;
}

QStringList payrollFormulas(const Workbook &book, const Sheet &sheet, int titleRow,
                            const ImportSetting *setting)
{
    return setting ? payrollSettingFormulas(*setting)
                   : payrollAutoFormulas(sheetTitles(book, sheet, titleRow));
}
