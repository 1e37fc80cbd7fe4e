// The month's payroll page under the current rules, offscreen: a month of N employees against a
// ledger holding eleven earlier months of them. Reports the time from loadSheet to a page ready to
// calculate, from 计算 to the filled table (the view painted), and of 记录本月, each with the
// longest stretch the window's event loop went without running a 10 ms timer, and the peak
// memory. Each step also reports the processor time the process spent on it (every thread), so
// a run on a loaded machine can be told from a slow one. Each size runs in a child process of its own, so its
// peak is its own. Reports only. bench_monthpage [EMPLOYEES…]   (default 10000 100000)
#include "bench/benchkit.h"
#include "bench/payrollbench.h"
#include "pages/batch/currentmonthwid.h"

#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Step
{
    double seconds = 0;
    double cpu = 0; // processor time of every thread of the process, user and system
    qint64 worstBlock = 0;
};

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs `start` and the event loop until `done`, timing it and the worst lateness of a 10 ms timer.
Step measure(const std::function<void()> &start, const std::function<bool()> &done)
{
    Step s;
    QElapsedTimer clock, tick;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        s.worstBlock = std::max(s.worstBlock, tick.elapsed());
        tick.restart();
    });
    const double cpu = cpuSeconds();
    clock.start();
    tick.start();
    timer.start();
    start();
    s.worstBlock = std::max(s.worstBlock, tick.elapsed());
    tick.restart();
    // Sleeps until an event comes (the timer brings one every 10 ms): a loop that polls would
    // take a processor from the work it waits for.
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    s.worstBlock = std::max(s.worstBlock, tick.elapsed());
    s.seconds = clock.nsecsElapsed() / 1e9;
    s.cpu = cpuSeconds() - cpu;
    return s;
}

bool resting(const CurrentMonthWid &page)
{
    return page.state() != CurrentMonthWid::State::Reading && page.state() != CurrentMonthWid::State::Working;
}

int child(int employees)
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    qputenv("HOME", dir.path().toUtf8());
    const QString ledgerPath = dir.filePath(QStringLiteral("ledger.sqlite"));
    {
        PayrollLedger ledger(ledgerPath);
        QString error;
        if (!ledger.openForWriting(&error) || !recordMonths(ledger, employees, 11))
            return 1;
    }
    const QString sheet = dir.filePath(QStringLiteral("m12.xlsx"));
    if (!writeSheet(sheet, employees, 12))
        return 1;
    SheetImport import;
    import.file = sheet;
    {
        auto book = Workbook::create(sheet);
        if (!book->load(sheet))
            return 1;
        import.formulas = payrollAutoFormulas(sheetTitles(*book, *book->getSheet(0), 1));
    }
    const long before = peakMegabytes();

    CurrentMonthWid page;
    page.resize(1220, 600);
    page.show();
    page.confirm = [](const QString &) { return true; };
    page.inform = [](const QString &m) { std::fprintf(stderr, "%s\n", qPrintable(m)); };
    if (!page.setLedger(ledgerPath))
        return 1;
    page.setPeriod(2026, 12);
    const Step read = measure([&] { page.loadSheet(import); }, [&] { return resting(page); });
    const Step calc = measure([&] { page.calculate(); },
                              [&] {
                                  if (!resting(page))
                                      return false;
                                  page.resultView()->viewport()->repaint();
                                  return true;
                              });
    if (page.state() != CurrentMonthWid::State::Calculated)
        return 1;
    const Step record = measure([&] { page.recordMonth(); }, [&] { return resting(page); });
    if (!page.isRecorded())
        return 1;
    const auto line = [](const char *what, const Step &s) {
        std::printf("  %-34s %7.2f s (processor %.2f s), window blocked at most %lld ms\n", what, s.seconds,
                    s.cpu, static_cast<long long>(s.worstBlock));
    };
    std::printf("%d employees, month 12 against 11 recorded months\n", employees);
    line("loadSheet to ready (read .xlsx)", read);
    line("计算 to the filled table", calc);
    line("记录本月", record);
    std::printf("  %-34s %7ld MB (%ld MB before the page)\n", "peak memory", peakMegabytes(), before);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--child"))
        return child(args[2].toInt());
    QStringList sizes = args.mid(1);
    if (sizes.isEmpty())
        sizes = {QStringLiteral("10000"), QStringLiteral("100000")};
    for (const QString &size : std::as_const(sizes)) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), size});
        p.waitForFinished(-1);
        if (p.exitCode() != 0)
            std::printf("%s employees: failed\n", qPrintable(size));
    }
    return 0;
}
