// The batch tax calculation page under load, offscreen: a source table of generated rows is
// calculated, its history entry saved and reopened. Reports for 10,000 and 100,000 rows the time
// from calc() to the filled result table, the save and reopen times, the size of the entry on
// disk, the process's peak memory, and the worst lateness of a 10 ms timer on the user-interface
// thread while the workers ran (how long the window could not repaint). Reports only.
#include "excel/cellkind.h"
#include "pages/batch/batchcalcwid.h"
#include "pages/batch/ptablewidget.h"
#include "pages/common/historylist.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
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

void fill(BatchCalcWid &page, int rows)
{
    QRandomGenerator random(42);
    PTableWidget *table = page.sourceTable();
    table->setUpdatesEnabled(false);
    table->setRowCount(rows + 2);
    for (int r = 2; r < rows + 2; ++r) {
        table->setItem(r, 0, new QTableWidgetItem(QString::number(r), TextCell));
        table->setItem(r, 1, new QTableWidgetItem(QStringLiteral("员工%1").arg(r), TextCell));
        table->setItem(r, 2, numberItem(random.bounded(2000000) / 100.0));
        table->setItem(r, 3, numberItem(random.bounded(300000) / 100.0));
        if (r % 3)
            table->setItem(r, 4, numberItem(random.bounded(6000000) / 100.0));
        if (r % 4 == 0)
            table->setItem(r, 5, numberItem(random.bounded(500000) / 100.0));
    }
    table->setUpdatesEnabled(true);
    page.importFinished();
}

void run(int rows)
{
    BatchCalcWid page;
    page.resize(1200, 700);
    page.show();
    QElapsedTimer clock;
    clock.start();
    fill(page, rows);
    const double fillSeconds = clock.elapsed() / 1000.0;

    // The completion message ends the run: close it as soon as it shows.
    bool done = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            box->done(QMessageBox::Ok);
            done = true;
        }
    });
    // A 10 ms timer's worst lateness while the workers run.
    QElapsedTimer tick;
    qint64 worst = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (page.isCalculating())
            worst = std::max(worst, tick.elapsed() - 10);
        tick.restart();
    });
    clock.restart();
    closer.start(5);
    tick.start();
    probe.start(10);
    QTimer::singleShot(0, &page, [&] { page.calc(); });
    while (!done) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    const double calcSeconds = clock.elapsed() / 1000.0;
    probe.stop();

    const long calcPeak = peakMegabytes();
    const QString path = historyPathAt(page.historyList(), 0);
    const qint64 bytes = QFileInfo(path).size();
    clock.restart();
    page.save(); // the same record again: compared with the newest entry, not written twice
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

    std::printf("%7d rows  fill %5.2f s  calc→results %5.2f s  GUI blocked ≤ %4lld ms  save %5.2f s  "
                "reopen %5.2f s  entry %6.1f MB  peak %5ld MB (after reopening %5ld MB)\n",
                rows, fillSeconds, calcSeconds, static_cast<long long>(worst), saveSeconds, loadSeconds,
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
