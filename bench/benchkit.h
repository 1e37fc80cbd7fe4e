// What the page benchmarks share: the process's peak memory, a source table of generated salary
// rows, and timing a page's run up to its completion message while watching how late a 10 ms timer
// on the user-interface thread gets. Header-only; for the benchmarks that link the pages.
#pragma once

#include "excel/cellkind.h"
#include "widgets/ptablewidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QTableWidgetItem>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <sys/resource.h>

// The peak resident memory of this process so far, in MB.
inline long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

inline QTableWidgetItem *numberItem(double yuan)
{
    auto *item = new QTableWidgetItem(QString::number(yuan, 'f', 2), NumberCell);
    item->setData(kCellNumberRole, yuan);
    return item;
}

// `rows` data rows under the two title rows, the same on every run: code, name, monthly wage,
// insurance, a bonus in two rows of three and, with `annuity`, an annuity in every fourth row.
inline void fillSalaryRows(PTableWidget *table, int rows, bool annuity)
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
        if (annuity && r % 4 == 0)
            table->setItem(r, 5, numberItem(random.bounded(500000) / 100.0));
    }
    table->setUpdatesEnabled(true);
}

struct RunTiming
{
    double seconds = 0;    // from the start to the completion message
    qint64 worstBlock = 0; // worst lateness of the 10 ms timer while `busy` held, in ms
    // With `working` given: when the work off the window's thread was first and last seen under
    // way, in seconds from the start (what comes before is reading the amounts, after it filling
    // the tables and saving); -1 when it was never seen.
    double workFrom = -1, workTo = -1;
};

// Starts a page's run, closes its completion message as soon as it shows (that ends the run), and
// watches a 10 ms timer while `busy` says so.
inline RunTiming timeRun(const std::function<void()> &start, const std::function<bool()> &busy,
                         const std::function<bool()> &working = {})
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
    RunTiming timing;
    QTimer probe;
    QElapsedTimer clock;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (working && working()) {
            if (timing.workFrom < 0)
                timing.workFrom = clock.elapsed() / 1000.0;
            timing.workTo = clock.elapsed() / 1000.0;
        }
        if (busy())
            timing.worstBlock = std::max(timing.worstBlock, tick.elapsed() - 10);
        tick.restart();
    });
    clock.start();
    closer.start(5);
    tick.start();
    probe.start(10);
    QTimer::singleShot(0, start);
    while (!done)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    timing.seconds = clock.elapsed() / 1000.0;
    return timing;
}
