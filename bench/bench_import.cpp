// The import wizard under load, offscreen: a generated salary sheet of 20 columns (100,000 rows in
// .xlsx, 65,000 in .xls, and 10,000 in .xlsx) goes through the whole wizard into a batch page's
// source table. Reports per step the time from "下一步" on the source page (reading and showing the
// workbook), the mapping page, "自动匹配", the preview (every formula on every row, one of them
// computed), the import into the source table, the sum of those, and the process's peak memory.
// Then the sheets the core reads itself (a month's payroll in the template's 29 columns, a year
// sheet), 100,000 and 10,000 rows: the wizard's steps up to the recipe it hands back, and the
// core's reading of the whole range by that recipe, as the page does next. Reports only.
#include "batch/columncatalogue.h"
#include "batch/yearplan.h"
#include "excel/workbook.h"
#include "ledger/payrollsheet.h"
#include "widgets/formulabox.h"
#include "widgets/ptablewidget.h"
#include "widgets/salarytablelayout.h"
#include "wizards/import/datacontrastpage.h"
#include "wizards/import/datasourcepage.h"
#include "wizards/import/importwizard.h"
#include "wizards/import/sheettargets.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

QString writeSheet(const QString &path, int rows)
{
    const auto book = Workbook::create(path);
    Sheet *sheet = book->addSheet(u"工资表"_s);
    Format *money = book->addFormat();
    money->setNumFormat(4);
    const QStringList titles{u"编码"_s,     u"姓名"_s,     u"月应发工资"_s,
                             u"三险一金"_s, u"年终奖金"_s, u"企业年金"_s};
    for (int c = 0; c < 20; ++c)
        sheet->writeStr(0, c, c < titles.size() ? titles[c] : u"项目%1"_s.arg(c));
    for (int r = 1; r <= rows; ++r) {
        sheet->writeNum(r, 0, 100000 + r);
        sheet->writeStr(r, 1, u"员工%1"_s.arg(r));
        sheet->writeNum(r, 2, 3000 + (r * 37) % 40000 + 0.5, money);
        sheet->writeNum(r, 3, 300 + (r * 11) % 2000, money);
        sheet->writeNum(r, 4, (r % 7) * 6000.0, money);
        sheet->writeNum(r, 5, (r % 3) * 500.0, money);
        for (int c = 6; c < 20; ++c)
            sheet->writeNum(r, c, (r * c) % 1000);
    }
    return book->save(path) ? path : QString();
}

void run(const QString &dir, const char *label, const QString &suffix, int rows)
{
    const QString path = dir + u"/bench."_s + suffix;
    QElapsedTimer clock;
    clock.start();
    if (writeSheet(path, rows).isEmpty()) {
        std::printf("%s: could not write the sheet\n", label);
        return;
    }
    const double written = clock.nsecsElapsed() / 1e9;

    // The workbook layer's share of reading and showing.
    clock.restart();
    {
        const auto book = Workbook::create(path);
        book->load(path);
    }
    const double loadOnly = clock.nsecsElapsed() / 1e9;

    PTableWidget target;
    layoutSalaryTable(&target, TreeCalcSource, true);
    ImportWizard wizard(&target, 0);
    wizard.restart();
    wizard.sourcePage()->pathEdit()->setText(path);
    wizard.sourcePage()->settingBox()->setCurrentIndex(0);

    clock.restart();
    wizard.next();
    const double read = clock.nsecsElapsed() / 1e9;
    clock.restart();
    wizard.next();
    const double mapping = clock.nsecsElapsed() / 1e9;
    clock.restart();
    wizard.contrastPage()->adapter();
    const double matched = clock.nsecsElapsed() / 1e9;
    // One computed column, so the evaluator runs on every row.
    wizard.contrastPage()->formulaBox(3)->setEditText(u"C*0.105"_s);
    clock.restart();
    wizard.next();
    const double preview = clock.nsecsElapsed() / 1e9;
    wizard.next();
    clock.restart();
    wizard.accept();
    const double imported = clock.nsecsElapsed() / 1e9;
    const bool ok = wizard.result() == QDialog::Accepted && target.rowCount() == rows + kSalaryTitleRows;
    std::printf("%-14s write %5.2f s  load alone %5.2f s | read+show %5.2f s  mapping %5.2f s  match %5.3f s "
                " preview %5.2f s  "
                "import %5.2f s  total %5.2f s  peak %5ld MB%s\n",
                label, written, loadOnly, read, mapping, matched, preview, imported,
                read + mapping + matched + preview + imported, peakMegabytes(),
                ok ? "" : "  (rows missing!)");
    std::fflush(stdout);
}

// A month's payroll in the template's columns, or a year sheet.
QString writeCurrentSheet(const QString &path, int mode, int rows)
{
    const auto book = Workbook::create(path);
    Sheet *sheet = book->addSheet(u"工资表"_s);
    Format *money = book->addFormat();
    money->setNumFormat(4);
    const bool month = mode == PayrollMonthPage;
    const int columns = month ? kTemplateFieldCount : kYearPlanSourceColumns;
    for (int c = 0; c < columns; ++c)
        sheet->writeStr(0, c, month ? payrollFieldTitle(c) : yearPlanSourceTitles().at(c));
    for (int r = 1; r <= rows; ++r) {
        sheet->writeStr(r, 0, u"E%1"_s.arg(r));
        sheet->writeStr(r, 1, u"员工%1"_s.arg(r));
        if (month) {
            sheet->writeStr(r, 2, u"居民身份证"_s);
            sheet->writeStr(r, 3, u"11010119800101%1"_s.arg(r % 10000, 4, 10, QLatin1Char('0')));
            sheet->writeNum(r, 4, 3000 + (r * 37) % 40000 + 0.5, money);
            for (int c = 6; c < 10; ++c)
                sheet->writeNum(r, c, 100 + (r * c) % 900, money);
            sheet->writeNum(r, 10, (r % 3) * 2000.0, money);
        } else {
            sheet->writeNum(r, 2, 3000 + (r * 37) % 40000 + 0.5, money);
            sheet->writeNum(r, 3, 300 + (r * 11) % 2000, money);
            sheet->writeNum(r, 4, (r % 4) * 1000.0, money);
            sheet->writeNum(r, 6, (r % 7) * 6000.0, money);
        }
    }
    return book->save(path) ? path : QString();
}

void runCurrent(const QString &dir, const char *label, int mode, int rows)
{
    const QString path = dir + u"/current.xlsx"_s;
    if (writeCurrentSheet(path, mode, rows).isEmpty()) {
        std::printf("%s: could not write the sheet\n", label);
        return;
    }
    QElapsedTimer clock;
    ImportWizard wizard(nullptr, mode);
    wizard.restart();
    wizard.sourcePage()->pathEdit()->setText(path);
    wizard.sourcePage()->settingBox()->setCurrentIndex(0);
    clock.start();
    wizard.next();
    const double read = clock.nsecsElapsed() / 1e9;
    clock.restart();
    wizard.next(); // the mapping page, matched by title on arrival
    const double mapping = clock.nsecsElapsed() / 1e9;
    clock.restart();
    wizard.next();
    const double preview = clock.nsecsElapsed() / 1e9;
    wizard.next();
    clock.restart();
    wizard.accept();
    const double finished = clock.nsecsElapsed() / 1e9;
    const SheetImport recipe = wizard.sheetImport();

    // What the page does with the recipe next, on its worker thread.
    clock.restart();
    size_t got = 0;
    {
        const auto book = Workbook::create(recipe.file);
        if (book->load(recipe.file)) {
            const Sheet &sheet = *book->getSheet(recipe.sheetIndex);
            got = mode == PayrollMonthPage
                      ? readPayrollSheet(*book, sheet, recipe.formulas, recipe.range).rows.size()
                      : readSheetRecords(*book, sheet, yearPlanSourceTitles(), recipe.formulas, recipe.range,
                                         kSheetAmounts)
                            .records.size();
        }
    }
    const double reader = clock.nsecsElapsed() / 1e9;
    const double wizardTotal = read + mapping + preview + finished;
    std::printf("%-22s read+show %5.2f s  mapping %5.3f s  preview %5.3f s  finish %5.3f s  wizard %5.2f s | "
                "core read %5.2f s  import total %5.2f s  peak %5ld MB%s\n",
                label, read, mapping, preview, finished, wizardTotal, reader, wizardTotal + reader,
                peakMegabytes(), got == size_t(rows) ? "" : "  (rows missing!)");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    // LUMO_BENCH_CURRENT_ONLY=1 measures the current rules' sheets only.
    const bool currentOnly = qEnvironmentVariableIntValue("LUMO_BENCH_CURRENT_ONLY") == 1;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    if (!currentOnly) {
        run(dir.path(), "10000 xlsx", u"xlsx"_s, 10000);
        run(dir.path(), "65000 xls", u"xls"_s, 65000);
        run(dir.path(), "100000 xlsx", u"xlsx"_s, 100000);
    }
    runCurrent(dir.path(), "month 10000 xlsx", PayrollMonthPage, 10000);
    runCurrent(dir.path(), "month 100000 xlsx", PayrollMonthPage, 100000);
    runCurrent(dir.path(), "year sheet 100000 xlsx", YearSheetPage, 100000);
    return 0;
}
