// lumo-screenshot, the program tools/screenshot runs (never installed): the desktop program started
// as usual ("--page N", "--size WxH"), then "--screenshot FILE" saves a picture of the window once
// it has settled and quits; with "--import-page ID" the picture is of the import wizard on that
// page, run on the sample sheet; with "--run" on function 1, 3 or 5 the sample sheet is imported and
// calculated, planned or apportioned first, so the picture shows the filled result tables (under
// the current rules function 1 records a generated January and calculates February).
#include "batch/columncatalogue.h"
#include "batch/yearplan.h"
#include "excel/workbook.h"
#include "pages/batch/batchapportioncalcwid.h"
#include "pages/batch/batchcalcwid.h"
#include "pages/batch/batchsavecalcwid.h"
#include "pages/batch/currentbonuswid.h"
#include "pages/batch/currentmonthwid.h"
#include "pages/batch/currentplanwid.h"
#include "shell/lumo.h"
#include "shell/startup.h"
#include "wizards/import/importwizard.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QSpinBox>
#include <QTimer>
#include <QTranslator>
#include <cstdio>

namespace {

// The sample sheets of the source tree.
QString sample(const QString &suffix)
{
    return QStringLiteral(LUMO_EXAMPLES_DIR "/标准工资表.") + suffix;
}

// The file given by "--screenshot FILE", or empty.
QString screenshotFromArguments(const QStringList &arguments)
{
    const qsizetype at = arguments.indexOf(QStringLiteral("--screenshot"));
    return at >= 1 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
}

// Imports the sample sheet into a batch page's source table as a user would, through the wizard.
bool importSample(BatchPageBase *page, BatchPage mode, QWidget *parent)
{
    ImportWizard wizard(page->sourceTable(), mode, parent);
    ColumnGroup extension = page->extensionGroup();
    wizard.setExtension(&extension);
    wizard.show();
    if (!wizard.stepTo(ImportWizard::ReadyPageId, sample(QStringLiteral("xlsx")), 1))
        return false;
    wizard.accept();
    page->restoreExtension(extension);
    return true;
}

// A month's sheet in the withholding client's template for 40 employees (the last one with a wrong
// identity number), in a folder of its own.
QString writeMonthSample(const QString &dir, int month)
{
    SheetLayout layout;
    SheetRow head;
    for (const char *t : {"工号", "*姓名", "*证件号码", "本期收入", "基本养老保险费", "累计子女教育"})
        head.cells.push_back(textCell(QString::fromUtf8(t)));
    layout.headings.push_back(head);
    for (int k = 0; k < 40; ++k) {
        const QString first17 = QStringLiteral("1101051985010") + QString::number(1000 + k);
        const QChar check = idCheckCharacter(first17);
        SheetRow row;
        row.cells = {textCell(QStringLiteral("E%1").arg(k, 3, 10, QLatin1Char('0'))),
                     textCell(QStringLiteral("员工%1").arg(k)),
                     textCell(first17 + (k == 39 ? QChar(check == u'1' ? u'2' : u'1') : check)),
                     amountCell(600000 + k * 73100),
                     amountCell((600000 + k * 73100) / 12),
                     amountCell(k % 3 ? 200000 * month : 0)};
        layout.rows.push_back(row);
    }
    const QString path = dir + QStringLiteral("/%1月工资.xlsx").arg(month);
    QString error;
    writeSheetLayout(layout, path, &error);
    return path;
}

// Under the current rules function 1 is the month's payroll: January is recorded into a ledger of
// its own, then February is calculated against it.
void runMonthSample(CurrentMonthWid *month)
{
    const QString dir =
        QDir::tempPath() + QStringLiteral("/lumo-shot-%1").arg(QCoreApplication::applicationPid());
    QDir().mkpath(dir);
    month->confirm = [](const QString &) { return true; };
    month->inform = [](const QString &m) { std::fprintf(stderr, "%s\n", m.toLocal8Bit().constData()); };
    const auto rest = [month] {
        while (month->state() == CurrentMonthWid::State::Reading ||
               month->state() == CurrentMonthWid::State::Working)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    };
    QFile::remove(dir + QStringLiteral("/账套.sqlite"));
    month->setLedger(dir + QStringLiteral("/账套.sqlite"));
    for (int m = 1; m <= 2; ++m) {
        SheetImport import;
        import.file = writeMonthSample(dir, m);
        import.formulas = QStringList(PfFieldCount);
        const int fields[] = {PfCode, PfName, PfIdNumber, PfIncome, PfPension, PfChildEdu};
        for (int c = 0; c < 6; ++c)
            import.formulas[fields[c]] = QString(QChar(u'A' + c));
        month->setPeriod(2026, m);
        month->loadSheet(import);
        rest();
        month->calculate();
        rest();
        if (m == 1) {
            month->recordMonth();
            rest();
        }
    }
}

// The sample sheet as a year sheet (the year-end planning and the bonus methods under the current
// rules): its rows as the import proposes them, its columns matched by title.
SheetImport sampleYearImport()
{
    SheetImport import;
    import.file = sample(QStringLiteral("xlsx"));
    std::unique_ptr<Workbook> book = Workbook::create(import.file);
    if (!book->load(import.file) || !book->getSheet(0))
        return import;
    const SheetShape shape = proposeSheetShape(*book, *book->getSheet(0));
    import.titleRow = shape.titleRow;
    import.range = {shape.firstRow, shape.lastRow};
    import.formulas = yearPlanFormulas(sheetTitles(*book, *book->getSheet(0), shape.titleRow), nullptr);
    return import;
}

// The sample sheet calculated on function 1, planned (balanced over 12 months) on function 3 or
// apportioned (over 3 months) on function 5; the completion message is answered.
void runSample(QWidget *window, int page)
{
    auto *answer = new QTimer(window);
    QObject::connect(answer, &QTimer::timeout, window, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->done(QMessageBox::Ok);
    });
    answer->start(20);
    if (auto *month = page == 1 ? window->findChild<CurrentMonthWid *>() : nullptr) {
        runMonthSample(month);
    } else if (auto *yearPlan = page == 3 ? window->findChild<CurrentPlanWid *>() : nullptr) {
        yearPlan->setFromLedger(false);
        yearPlan->loadSheet(sampleYearImport());
    } else if (auto *bonus = page == 5 ? window->findChild<CurrentBonusWid *>() : nullptr) {
        bonus->loadSheet(sampleYearImport());
    } else if (auto *calc = page == 1 ? window->findChild<BatchCalcWid *>() : nullptr) {
        if (!importSample(calc, BatchCalcPage, window))
            std::fprintf(stderr, "示例工资表未能导入\n");
        calc->importFinished();
        calc->calc();
    } else if (auto *plan = page == 3 ? window->findChild<BatchSaveCalcWid *>() : nullptr) {
        if (!importSample(plan, BatchPlanPage, window))
            std::fprintf(stderr, "示例工资表未能导入\n");
        plan->importFinished();
        plan->setOptions(0, 1, 12);
        plan->start();
    } else if (auto *apportion = page == 5 ? window->findChild<BatchApportionCalcWid *>() : nullptr) {
        if (!importSample(apportion, BatchApportionPage, window))
            std::fprintf(stderr, "示例工资表未能导入\n");
        apportion->importFinished();
        apportion->monthsBox()->setValue(3);
        apportion->calc();
    } else {
        std::fprintf(stderr, "--run 只用于功能 1、3 和 5\n");
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTranslator translator;
    installChineseTranslation(&app, &translator);
    QApplication::setFont(applicationFont());

    QString error;
    const int page = pageFromArguments(QCoreApplication::arguments(), &error);
    if (!error.isEmpty())
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());

    Lumo window;
    if (const QSize size = sizeFromArguments(QCoreApplication::arguments()); size.isValid())
        window.resize(size.expandedTo(window.minimumSize()));
    window.showWidget();
    if (page != 0)
        window.selectFunction(page);
    const QString shot = screenshotFromArguments(QCoreApplication::arguments());
    QWidget *pictured = &window;
    const qsizetype wizardAt = QCoreApplication::arguments().indexOf(QStringLiteral("--import-page"));
    if (!shot.isEmpty() && wizardAt > 0 && wizardAt + 1 < QCoreApplication::arguments().size()) {
        window.selectFunction(1);
        // Under the current rules function 1 is the month's payroll; the wizard still needs a page
        // with a source table.
        auto *batch = window.findChild<BatchCalcWid *>();
        if (!batch) {
            batch = new BatchCalcWid(&window);
            batch->hide();
        }
        {
            auto *wizard = new ImportWizard(batch->sourceTable(), 0, &window);
            wizard->show();
            wizard->stepTo(QCoreApplication::arguments().at(wizardAt + 1).toInt(),
                           sample(QStringLiteral("xls")), 1);
            pictured = wizard;
        }
    }
    const bool run = QCoreApplication::arguments().contains(QStringLiteral("--run"));
    if (run)
        QTimer::singleShot(0, &window, [&window, page] { runSample(&window, page); });
    if (!shot.isEmpty()) {
        // Long enough for the pages' delayed history fill and the first paints (and a run).
        QTimer::singleShot(run ? 4000 : 1500, &window, [pictured, shot] {
            const bool saved = pictured->grab().save(shot, "PNG");
            if (!saved)
                std::fprintf(stderr, "无法保存截图 %s\n", shot.toLocal8Bit().constData());
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
