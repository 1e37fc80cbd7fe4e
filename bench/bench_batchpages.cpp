// The batch planning and apportionment pages under load, offscreen: a source table of generated
// rows is planned (balanced over 12 months, each goal) or apportioned (over 3 months), its history
// entry saved and reopened. Reports for 10,000 and 100,000 rows the time from the start to the
// filled tables, how much later the history entry is on disk (it is written on a worker), the time
// a repeated save takes and how long of it the window waits, the reopen time, the
// size of the entry on disk, the peak memory of the run, and the worst lateness of a 10 ms timer on
// the user-interface thread during the run (how long the window could not repaint). Each run is a
// process of its own, so its peak memory is its own. Then, for functions 1, 3 and 5 on 100,000 rows,
// "停止" clicked half way (at 50 % or more), late (95 %) and during the final fill (99 %): the time
// from the click to the page being ready again, and the worst lateness of the 10 ms timer from the
// click until two seconds after that. Reports only.
#include "bench/benchkit.h"
#include "pages/batch/batchapportioncalcwid.h"
#include "pages/batch/batchcalcwid.h"
#include "pages/batch/batchsavecalcwid.h"
#include "widgets/historylist.h"
#include "widgets/ptablewidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

template<typename Page> void report(const char *what, int rows, Page &page, const RunTiming &timing)
{
    // The entry is written on a worker after the completion message: how much longer it takes.
    QElapsedTimer clock;
    clock.start();
    page.waitForSave();
    const double writtenAfter = clock.elapsed() / 1000.0;
    const long runPeak = peakMegabytes();
    const QString path = historyPathAt(page.historyList(), 0);
    const qint64 bytes = QFileInfo(path).size();
    clock.restart();
    page.save(); // the same record again: compared with the newest entry, not written twice
    const double saveBlocks = clock.elapsed() / 1000.0;
    page.waitForSave();
    const double saveSeconds = clock.elapsed() / 1000.0;
    Page reopened;
    reopened.show();
    clock.restart();
    reopened.load(path);
    const double loadSeconds = clock.elapsed() / 1000.0;
    std::printf("%-28s %7d rows  start→tables %6.2f s (read %4.2f, calculate %4.2f, tables and record "
                "%4.2f)  GUI blocked ≤ %5lld ms  entry on disk +%4.2f s  "
                "save again %5.2f s (window blocked %4.2f s)  reopen %5.2f s  entry %6.1f MB  "
                "peak %5ld MB (after reopening %5ld MB)\n",
                what, rows, timing.seconds, timing.workFrom, timing.workTo - timing.workFrom,
                timing.seconds - timing.workTo, static_cast<long long>(timing.worstBlock), writtenAfter,
                saveSeconds, saveBlocks, loadSeconds, bytes / 1e6, runPeak, peakMegabytes());
    std::fflush(stdout);
}

void runPlan(int rows, int goal)
{
    BatchSaveCalcWid page;
    page.resize(1200, 700);
    page.show();
    fillSalaryRows(page.sourceTable(), rows, false);
    page.importFinished();
    page.setOptions(goal, 1, 12);
    // The whole run counts: the workers, then filling the four tables on the user-interface thread.
    const RunTiming timing =
        timeRun([&] { page.start(); }, [] { return true; }, [&] { return page.isWorkingOffThread(); });
    report(goal == 0 ? "plan, balanced 12, goal 0" : "plan, balanced 12, goal 1", rows, page, timing);
}

void runApportion(int rows)
{
    BatchApportionCalcWid page;
    page.resize(1200, 700);
    page.show();
    fillSalaryRows(page.sourceTable(), rows, false);
    page.importFinished();
    const RunTiming timing =
        timeRun([&] { page.calc(); }, [] { return true; }, [&] { return page.isWorkingOffThread(); });
    report("apportion over 3", rows, page, timing);
}

// "停止" on a page's progress dialog once it shows `from` % or more, while it still has the button.
QPushButton *lateStopButton(const QWidget &page, int from)
{
    for (auto *dialog : page.findChildren<QProgressDialog *>()) {
        if (!dialog->isVisible() || dialog->value() < from)
            continue;
        for (auto *button : dialog->findChildren<QPushButton *>()) {
            if (button->text() == QStringLiteral("停止") && button->isVisible())
                return button;
        }
    }
    return nullptr;
}

void runLateStop(int function, int rows, int from)
{
    std::unique_ptr<BatchPageBase> page;
    std::function<void()> start;
    std::function<bool()> busy;
    if (function == 1) {
        auto *calc = new BatchCalcWid;
        page.reset(calc);
        start = [calc] { calc->calc(); };
        busy = [calc] { return calc->isCalculating(); };
    } else if (function == 3) {
        auto *plan = new BatchSaveCalcWid;
        page.reset(plan);
        plan->setOptions(0, 1, 12);
        start = [plan] { plan->start(); };
        busy = [plan] { return plan->isCalculating(); };
    } else {
        auto *apportion = new BatchApportionCalcWid;
        page.reset(apportion);
        start = [apportion] { apportion->calc(); };
        busy = [apportion] { return apportion->isRunning(); };
    }
    page->resize(1200, 700);
    page->show();
    fillSalaryRows(page->sourceTable(), rows, function == 1);
    page->importFinished();

    QElapsedTimer sinceClick;
    qint64 ready = -1;
    qint64 worst = 0;
    int clickedAt = -1;
    bool started = false;
    bool missed = false;
    QElapsedTimer tick;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (sinceClick.isValid()) {
            worst = std::max(worst, tick.elapsed() - 10);
            if (ready < 0 && !busy())
                ready = sinceClick.elapsed();
        } else if (started && !busy()) {
            missed = true; // the run ended before the dialog showed `from`
        } else if (QPushButton *button = lateStopButton(*page, from)) {
            clickedAt = button->window()->findChild<QProgressBar *>()->value();
            sinceClick.start();
            button->click();
        }
        started = started || busy();
        tick.restart();
    });
    tick.start();
    probe.start(10);
    QTimer::singleShot(0, start);
    while (!missed && (ready < 0 || sinceClick.elapsed() < ready + 2000))
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    if (missed) {
        std::printf("stop at %3d %%, function %d  %7d rows  not clicked: the run ended first\n", from,
                    function, rows);
        return;
    }
    std::printf("stop at %3d %%, function %d  %7d rows  click→page ready %5lld ms  window blocked ≤ %5lld ms "
                "until 2 s after it  peak %5ld MB\n",
                clickedAt, function, rows, static_cast<long long>(ready), static_cast<long long>(worst),
                peakMegabytes());
    std::fflush(stdout);
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
        for (const char *kind : {"stop1", "stop3", "stop5"}) {
            for (int from : {50, 95, 99}) {
                QProcess child;
                child.setProcessChannelMode(QProcess::ForwardedChannels);
                child.start(QString::fromLocal8Bit(argv[0]),
                            {QString::fromLatin1(kind), QStringLiteral("100000"), QString::number(from)});
                child.waitForFinished(-1);
            }
        }
        return 0;
    }
    PTableWidget::freeItemsPromptly(); // as the program does
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    const QString kind = QString::fromLatin1(argv[1]);
    const int rows = QString::fromLatin1(argv[2]).toInt();
    if (kind.startsWith(QLatin1String("stop")))
        runLateStop(kind.mid(4).toInt(), rows, argc > 3 ? QString::fromLatin1(argv[3]).toInt() : 97);
    else if (kind == QLatin1String("apportion"))
        runApportion(rows);
    else
        runPlan(rows, kind == QLatin1String("plan1") ? 1 : 0);
    return 0;
}
