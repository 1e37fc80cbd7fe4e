// The year-end bonus planning page under the current rules, offscreen: a generated year sheet of
// 10,000 and 100,000 rows (.xlsx) is loaded through loadSheet() to the filled table. Reports the
// time from the start to the filled table, the worst lateness of a 10 ms timer on the
// user-interface thread meanwhile (how long the window could not repaint) and the peak memory.
// Then 停止 is clicked (on the progress dialog's own button) in each phase of the same load: while
// the workbook is read, while its rows are read and while they are planned; reports the time from
// the click to the page ready again and the worst lateness of the timer meanwhile.
// With "ledger" the same clicks on a payroll sheet planned from an (empty) ledger's year: its rows
// are matched and checked by the month's run before the planning.
// Each size runs in a process of its own, so its peak memory is its own. Reports only.
#include "batch/sheetlayout.h"
#include "batch/yearplan.h"
#include "bench/benchkit.h"
#include "ledger/payrollledger.h"
#include "ledger/payrollrules.h"
#include "ledger/payrollsheet.h"
#include "pages/batch/currentplanwid.h"
#include "widgets/resulttablemodel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void writeYearSheet(const QString &path, int rows)
{
    QRandomGenerator random(42);
    SheetLayout layout;
    SheetRow heading;
    for (const QString &t : yearPlanSourceTitles())
        heading.cells.push_back(textCell(t, SheetCellStyle::Heading));
    layout.headings = {heading};
    layout.rows.reserve(size_t(rows));
    for (int r = 0; r < rows; ++r) {
        const Amount wage = random.bounded(3000000);
        layout.rows.push_back(
            {{textCell(QString::number(10000 + r)), textCell(QStringLiteral("员工%1").arg(r)),
              amountCell(wage), amountCell(wage / 10), amountCell(r % 3 ? 200000 : 0), amountCell(0),
              amountCell(r % 4 ? random.bounded(50000000) : 0)},
             false});
    }
    layout.columnWidths = std::vector<int>(7, 100);
    QString error;
    if (!writeSheetLayout(layout, path, &error))
        std::fprintf(stderr, "%s\n", qPrintable(error));
}

// December's payroll of `rows` employees: number, name, identity, income, pension and a bonus.
QStringList writePayrollSheet(const QString &path, int rows)
{
    QRandomGenerator random(42);
    const QStringList titles{payrollFieldTitle(PfCode, false),   payrollFieldTitle(PfName, false),
                             payrollFieldTitle(PfIdType, false), payrollFieldTitle(PfIdNumber, false),
                             payrollFieldTitle(PfIncome, false), payrollFieldTitle(PfPension, false),
                             payrollFieldTitle(PfBonus, false)};
    SheetLayout layout;
    SheetRow heading;
    for (const QString &t : titles)
        heading.cells.push_back(textCell(t, SheetCellStyle::Heading));
    layout.headings = {heading};
    layout.rows.reserve(size_t(rows));
    for (int r = 0; r < rows; ++r) {
        const QString first17 = QStringLiteral("1101051985%1%2%3")
                                    .arg(1 + r / 18000 % 12, 2, 10, QLatin1Char('0'))
                                    .arg(10 + r / 1000 % 18)
                                    .arg(r % 1000, 3, 10, QLatin1Char('0'));
        const Amount wage = random.bounded(3000000);
        layout.rows.push_back(
            {{textCell(QString::number(10000 + r)), textCell(QStringLiteral("员工%1").arg(r)),
              textCell(residentIdType()), textCell(first17 + idCheckCharacter(first17)), amountCell(wage),
              amountCell(wage / 12), amountCell(random.bounded(50000000))},
             false});
    }
    layout.columnWidths = std::vector<int>(size_t(titles.size()), 100);
    QString error;
    if (!writeSheetLayout(layout, path, &error))
        std::fprintf(stderr, "%s\n", qPrintable(error));
    return titles;
}

void runOne(int rows, bool ledger)
{
    QTemporaryDir dir;
    qputenv("HOME", dir.path().toUtf8());
    const QString path = dir.filePath(QStringLiteral("year.xlsx"));
    SheetImport import;
    import.file = path;
    if (ledger) {
        import.formulas = payrollAutoFormulas(writePayrollSheet(path, rows));
        PayrollLedger empty(dir.filePath(QStringLiteral("ledger.sqlite")));
        QString error;
        if (!empty.openForWriting(&error))
            std::fprintf(stderr, "%s\n", qPrintable(error));
    } else {
        writeYearSheet(path, rows);
        import.formulas = yearPlanFormulas(yearPlanSourceTitles(), nullptr);
    }
    CurrentPlanWid page;
    page.setLedgerPath(ledger ? dir.filePath(QStringLiteral("ledger.sqlite")) : QString());
    page.setFromLedger(ledger, 2026, 12);
    page.resize(1220, 640);
    page.show();

    QElapsedTimer clock, tick;
    qint64 worst = 0;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        worst = std::max(worst, tick.elapsed() - 10);
        tick.restart();
    });
    QEventLoop loop;
    QObject::connect(&page, &YearSheetPageBase::loadFinished, &loop, &QEventLoop::quit);
    clock.start();
    tick.start();
    watch.start();
    page.loadSheet(import);
    loop.exec();
    page.table()->viewport()->repaint();
    const double seconds = clock.elapsed() / 1000.0;
    watch.stop();
    const char *kind = ledger ? "from a ledger" : "from the sheet";
    std::printf("year-end planning page %7d rows %s  loadSheet→filled table %6.2f s  GUI blocked ≤ %5lld ms  "
                "peak %5ld MB  (%d rows shown)\n",
                rows, kind, seconds, static_cast<long long>(worst), peakMegabytes(),
                page.model()->rowCount());
    if (page.model()->rowCount() == 0)
        std::printf("  %s\n", qPrintable(page.summary()->text()));
    std::fflush(stdout);

    // The dialog shows up to 50 % while the workbook is read, then its rows are read (and from a
    // ledger, checked by the month's run from 70 %), from 80 % they are planned; the click lands at
    // the first value seen in the phase's range.
    const struct
    {
        const char *name;
        int from, to;
    } phases[] = {{"reading the workbook", -1, 49},
                  {"reading the rows", 50, ledger ? 69 : 79},
                  {"the month's checks", 70, 79},
                  {"planning", 80, 98}};
    for (const auto &phase : phases) {
        QElapsedTimer sinceClick;
        QTimer clicker;
        clicker.setInterval(1);
        QObject::connect(&clicker, &QTimer::timeout, [&] {
            const auto *dialog = page.findChild<QProgressDialog *>();
            if (sinceClick.isValid() || !dialog || !dialog->isVisible() || dialog->value() < phase.from ||
                dialog->value() > phase.to)
                return;
            for (auto *button : dialog->findChildren<QPushButton *>()) {
                if (button->isVisible()) {
                    worst = 0;
                    sinceClick.start();
                    button->click();
                    return;
                }
            }
        });
        QEventLoop stopped;
        const auto connection =
            QObject::connect(&page, &YearSheetPageBase::loadFinished, &stopped, &QEventLoop::quit);
        tick.restart();
        watch.start();
        clicker.start();
        page.loadSheet(import);
        stopped.exec();
        const qint64 ms = sinceClick.isValid() ? sinceClick.elapsed() : -1;
        watch.stop();
        clicker.stop();
        QObject::disconnect(connection);
        std::printf(
            "year-end planning page %7d rows %s  停止 while %-18s → page ready %5lld ms  GUI blocked ≤ "
            "%5lld ms%s\n",
            rows, kind, phase.name, static_cast<long long>(ms), static_cast<long long>(worst),
            ms < 0 ? "  (the phase passed unseen)" : "");
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1) {
        runOne(QString::fromLocal8Bit(argv[1]).toInt(), argc > 2 && qstrcmp(argv[2], "ledger") == 0);
        return 0;
    }
    for (const char *kind : {"sheet", "ledger"})
        for (int rows : {10000, 100000})
            QProcess::execute(QCoreApplication::applicationFilePath(),
                              {QString::number(rows), QLatin1String(kind)});
    return 0;
}
