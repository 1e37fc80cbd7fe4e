// The batch tax calculation page under load, offscreen: a source table of generated rows is
// calculated, its history entry saved and reopened. Reports for 10,000 and 100,000 rows the time
// from calc() to the filled result table (and how much of it went to reading the amounts, to the
// calculation off the window's thread and to the table and record), the save and reopen times, the
// size of the entry on disk, the process's peak memory, and the worst lateness of a 10 ms timer on
// the user-interface thread during the run (how long the window could not repaint). Reports only.
#include "bench/benchkit.h"
#include "pages/batch/batchcalcwid.h"
#include "widgets/historylist.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void run(int rows)
{
    BatchCalcWid page;
    page.resize(1200, 700);
    page.show();
    QElapsedTimer clock;
    clock.start();
    fillSalaryRows(page.sourceTable(), rows, true);
    page.importFinished();
    const double fillSeconds = clock.elapsed() / 1000.0;

    // The whole run counts: reading the amounts, the run off the window's thread, filling the table.
    const RunTiming timing =
        timeRun([&] { page.calc(); }, [] { return true; }, [&] { return page.isWorkingOffThread(); });
    const double calcSeconds = timing.seconds;
    const qint64 worst = timing.worstBlock;

    // The entry is written on a worker after the completion message.
    page.waitForSave();
    const long calcPeak = peakMegabytes();
    const QString path = historyPathAt(page.historyList(), 0);
    const qint64 bytes = QFileInfo(path).size();
    clock.restart();
    page.save(); // the same record again: compared with the newest entry, not written twice
    page.waitForSave();
    const double saveSeconds = clock.elapsed() / 1000.0;

    // Reopened as after a restart: the calculated page is gone.
    page.close();
    page.resultTable()->setRowCount(2);
    page.sourceTable()->setRowCount(2);
    BatchCalcWid reopened;
    reopened.show();
    clock.restart();
    reopened.load(path);
    const double loadSeconds = clock.elapsed() / 1000.0;

    std::printf("%7d rows  fill %5.2f s  calc→results %5.2f s (read %4.2f, calculate %4.2f, table and "
                "record %4.2f)  GUI blocked ≤ %4lld ms  save %5.2f s  reopen %5.2f s  entry %6.1f MB  "
                "peak %5ld MB (after reopening %5ld MB)\n",
                rows, fillSeconds, calcSeconds, timing.workFrom, timing.workTo - timing.workFrom,
                calcSeconds - timing.workTo, static_cast<long long>(worst), saveSeconds, loadSeconds,
                bytes / 1e6, calcPeak, peakMegabytes());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    for (int rows : {10000, 100000})
        run(rows);
    return 0;
}
