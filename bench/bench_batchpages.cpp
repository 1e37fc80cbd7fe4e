// The batch planning and apportionment pages under load, offscreen: a source table of generated
// rows is planned (balanced over 12 months, each goal) or apportioned (over 3 months), its history
// entry saved and reopened. Reports for 10,000 and 100,000 rows the time from the start to the
// filled tables (the history entry included), the time a repeated save takes, the reopen time, the
// size of the entry on disk, the peak memory of the run, and the worst lateness of a 10 ms timer on
// the user-interface thread during the run (how long the window could not repaint). Each run is a
// process of its own, so its peak memory is its own. Reports only.
#include "excel/cellkind.h"
#include "pages/batch/batchapportioncalcwid.h"
#include "pages/batch/batchsavecalcwid.h"
#include "pages/batch/ptablewidget.h"
#include "pages/common/historylist.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <sys/resource.h>

namespace {

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

QTableWidgetItem *numberItem(double yuan)
{
    auto *item = new QTableWidgetItem(QString::number(yuan, 'f', 2), NumberCell);
    item->setData(kCellNumberRole, yuan);
    return item;
}

void fill(PTableWidget *table, int rows)
{
    QRandomGenerator random(42);
    table->setUpdatesEnabled(false);
    table->setRowCount(rows + 2);
    for (int r = 2; r < rows + 2; ++r) {
        table->setItem(r, 0, new QTableWidgetItem(QString::number(r), TextCell));
        table->setItem(r, 1, new QTableWidgetItem(QStringLiteral("员工%1").arg(r), TextCell));
        table->setItem(r, 2, numberItem(random.bounded(2000000) / 100.0));
        table->setItem(r, 3, numberItem(random.bounded(300000) / 100.0));
        if (r % 3)
            table->setItem(r, 4, numberItem(random.bounded(6000000) / 100.0));
    }
    table->setUpdatesEnabled(true);
}

struct Timing
{
    double run = 0;
    qint64 worstBlock = 0;
};

// Starts the page's run, closes the completion message as soon as it shows, and watches a 10 ms
// timer while `busy` says so, up to the completion message.
Timing timeRun(const std::function<void()> &start, const std::function<bool()> &busy)
{
    bool done = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            box->done(QMessageBox::Ok);
            done = true;
        }
    });
    QElapsedTimer tick;
    Timing timing;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (busy())
            timing.worstBlock = std::max(timing.worstBlock, tick.elapsed() - 10);
        tick.restart();
    });
    QElapsedTimer clock;
    clock.start();
    closer.start(5);
    tick.start();
    probe.start(10);
    QTimer::singleShot(0, start);
    while (!done)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    timing.run = clock.elapsed() / 1000.0;
    return timing;
}

template<typename Page> void report(const char *what, int rows, Page &page, const Timing &timing)
{
    const long runPeak = peakMegabytes();
    const QString path = historyPathAt(page.historyList(), 0);
    const qint64 bytes = QFileInfo(path).size();
    QElapsedTimer clock;
    clock.start();
    page.save(); // the same record again: compared with the newest entry, not written twice
    const double saveSeconds = clock.elapsed() / 1000.0;
    Page reopened;
    reopened.show();
    clock.restart();
    reopened.load(path);
    const double loadSeconds = clock.elapsed() / 1000.0;
    std::printf("%-28s %7d rows  start→tables %6.2f s  GUI blocked ≤ %5lld ms  save again %5.2f s  "
                "reopen %5.2f s  entry %6.1f MB  peak %5ld MB (after reopening %5ld MB)\n",
                what, rows, timing.run, static_cast<long long>(timing.worstBlock), saveSeconds, loadSeconds,
                bytes / 1e6, runPeak, peakMegabytes());
    std::fflush(stdout);
}

void runPlan(int rows, int goal)
{
    BatchSaveCalcWid page;
    page.resize(1200, 700);
    page.show();
    fill(page.sourceTable(), rows);
    page.importFinished();
    page.setOptions(goal, 1, 12);
    // The whole run counts: the workers, then filling the four tables on the user-interface thread.
    const Timing timing = timeRun([&] { page.start(); }, [] { return true; });
    report(goal == 0 ? "plan, balanced 12, goal 0" : "plan, balanced 12, goal 1", rows, page, timing);
}

void runApportion(int rows)
{
    BatchApportionCalcWid page;
    page.resize(1200, 700);
    page.show();
    fill(page.sourceTable(), rows);
    page.importFinished();
    const Timing timing = timeRun([&] { page.calc(); }, [] { return true; });
    report("apportion over 3", rows, page, timing);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc < 3) {
        // One process per run.
        for (int rows : {10000, 100000}) {
            for (const char *kind : {"plan0", "plan1", "apportion"}) {
                QProcess child;
                child.setProcessChannelMode(QProcess::ForwardedChannels);
                child.start(QString::fromLocal8Bit(argv[0]),
                            {QString::fromLatin1(kind), QString::number(rows)});
                child.waitForFinished(-1);
            }
        }
        return 0;
    }
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    const QString kind = QString::fromLatin1(argv[1]);
    const int rows = QString::fromLatin1(argv[2]).toInt();
    if (kind == QLatin1String("apportion"))
        runApportion(rows);
    else
        runPlan(rows, kind == QLatin1String("plan1") ? 1 : 0);
    return 0;
}
