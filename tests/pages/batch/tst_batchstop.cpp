// "停止" on the three batch pages, clicked on the progress dialog's own button in each phase of a
// large run: while the amounts are read, while the records are calculated off the window's thread,
// while the result tables fill (early, and late when they are nearly full), and half way through a
// run of 100,000 rows. The run ends with no message, no history entry and no results, the dropped
// rows' items and the tables a stopped run was filling are all freed, and the page calculates again
// afterwards.
#include "pages/batch/batchapportioncalcwid.h"
#include "pages/batch/batchcalcwid.h"
#include "pages/batch/batchsavecalcwid.h"
#include "tests/pages/batch/batchtestkit.h"
#include "widgets/historylist.h"

#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using namespace batchtest;

namespace {

enum Phase
{
    Reading,
    Working,
    Filling,
    LateFilling, // at 97 % or later, the result tables nearly full
    Halfway      // at 50 % or later of 100,000 rows, whatever the page is doing then
};

// What the test needs of a page: the page, how a run starts, whether it is under way, the tables
// that hold its results and the extension of its history records.
struct Driven
{
    std::unique_ptr<BatchPageBase> page;
    std::function<void()> start;
    std::function<bool()> busy;
    QList<PTableWidget *> results;
    QString extension;
};

Driven drive(int function)
{
    Driven d;
    if (function == 1) {
        auto *page = new BatchCalcWid;
        d.page.reset(page);
        d.start = [page] { page->calc(); };
        d.busy = [page] { return page->isCalculating(); };
        d.results = {page->resultTable()};
        d.extension = BatchCalcWid::extension();
    } else if (function == 3) {
        auto *page = new BatchSaveCalcWid;
        d.page.reset(page);
        page->setOptions(0, 1, 12);
        d.start = [page] { page->start(); };
        d.busy = [page] { return page->isCalculating(); };
        d.results = {page->allTable(), page->effectiveTable(), page->beforeTable(), page->afterTable()};
        d.extension = BatchSaveCalcWid::extension();
    } else {
        auto *page = new BatchApportionCalcWid;
        d.page.reset(page);
        d.start = [page] { page->calc(); };
        d.busy = [page] { return page->isRunning(); };
        d.results = {page->resultTable(), page->beforeTable(), page->afterTable()};
        d.extension = BatchApportionCalcWid::extension();
    }
    return d;
}

QPushButton *stopButton(const BatchPageBase &page)
{
    for (auto *dialog : page.findChildren<QProgressDialog *>()) {
        if (!dialog->isVisible())
            continue;
        for (auto *button : dialog->findChildren<QPushButton *>()) {
            if (button->text() == u"停止"_s && button->isVisible())
                return button;
        }
    }
    return nullptr;
}

} // namespace

class TestBatchStop : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void stopInEveryPhase_data();
    void stopInEveryPhase();

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

void TestBatchStop::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("HOME", m_home->path().toLocal8Bit());
}

void TestBatchStop::stopInEveryPhase_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("phase");
    const std::pair<int, const char *> functions[] = {
        {1, "calculation"}, {3, "planning"}, {5, "apportionment"}};
    const std::pair<int, const char *> phases[] = {{Reading, "reading the amounts"},
                                                   {Working, "off the window's thread"},
                                                   {Filling, "filling the tables"},
                                                   {LateFilling, "filling the tables, at 97 % or later"},
                                                   {Halfway, "half way through 100,000 rows"}};
    for (const auto &[function, name] : functions) {
        for (const auto &[phase, when] : phases)
            QTest::addRow("%s, %s", name, when) << function << phase;
    }
}

void TestBatchStop::stopInEveryPhase()
{
    QFETCH(int, function);
    QFETCH(int, phase);
    Driven d = drive(function);
    BatchPageBase &page = *d.page;
    page.resize(1000, 700);
    page.show();
    // Large enough that every phase gives the window a few turns; the run is stopped, not finished.
    // The late click needs a fill that lasts a few turns of the window past 97 %.
    const int rows = phase == Halfway ? 100000 : phase == LateFilling ? 50000 : 20000;
    fillSource(page.sourceTable(), generatedRows(rows, 21));
    page.importFinished();
    const QStringList source = allTexts(page.sourceTable());
    const qsizetype tables = page.findChildren<PTableWidget *>().size();

    // The phase is told by the page: reading before the job starts, the job, filling after it.
    bool sawJob = false;
    int clickedIn = -1;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, &page, [&] {
        const bool working = page.isWorkingOffThread();
        sawJob = sawJob || working;
        int now = working ? Working : sawJob ? Filling : Reading;
        const auto *dialog = page.findChild<QProgressDialog *>();
        if (now == Filling && dialog && dialog->isVisible() && dialog->value() >= 97)
            now = LateFilling;
        if (phase == Halfway && dialog && dialog->isVisible() && dialog->value() >= 50)
            now = Halfway;
        const bool wanted = now == phase || (phase == Filling && now == LateFilling);
        QPushButton *button = clickedIn < 0 && wanted ? stopButton(page) : nullptr;
        if (!button)
            return;
        clickedIn = phase;
        QTest::mouseClick(button, Qt::LeftButton);
    });
    watcher.start(1);
    MessageCatcher catcher;
    d.start();
    QTRY_VERIFY_WITH_TIMEOUT(!d.busy(), 120000);
    watcher.stop();
    QCOMPARE(clickedIn, phase);

    QTest::qWait(50);
    QVERIFY(catcher.takeAll().isEmpty());
    QVERIFY(listHistoryFiles(historyDir(), u"*."_s + d.extension).isEmpty());
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Imported);
    QVERIFY(!page.isWorkingOffThread());
    for (const PTableWidget *table : std::as_const(d.results))
        QCOMPARE(table->rowCount(), 2);
    // The dropped rows' items are freed while the window goes on.
    for (const PTableWidget *table : std::as_const(d.results))
        QTRY_COMPARE(table->itemsToFree(), qsizetype(0));
    // So are the tables the stopped run was filling.
    QTRY_COMPARE_WITH_TIMEOUT(page.findChildren<PTableWidget *>().size(), tables, 60000);
    QCOMPARE(allTexts(page.sourceTable()), source);

    // The page runs afresh afterwards.
    fillSource(page.sourceTable(), generatedRows(5, 3));
    page.importFinished();
    d.start();
    QVERIFY(catcher.waitForMessage());
    QCOMPARE(catcher.takeAll().size(), 1);
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Calculated);
    QTRY_COMPARE(listHistoryFiles(historyDir(), u"*."_s + d.extension).size(), 1);
}

QTEST_MAIN(TestBatchStop)
#include "tst_batchstop.moc"
