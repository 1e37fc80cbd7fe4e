#include "pages/batch/yearsheetpagebase.h"

#include "history/historyrecord.h"
#include "widgets/historylist.h"
#include "widgets/historypanel.h"
#include "widgets/pagekit.h"
#include "widgets/resulttablemodel.h"
#include "wizards/import/sheetimportwizard.h"

#include <QEventLoop>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// How often the window looks at the job (milliseconds).
constexpr int kTickInterval = 40;

} // namespace

// The job's thread and what it shares with the window: the cancel flag, its progress in percent,
// whether it ended and how.
struct YearSheetPageBase::Job
{
    std::thread thread;
    std::atomic<bool> cancel{false};
    std::atomic<bool> ended{false};
    std::atomic<int> percent{0};
    bool ok = false; // written by the job before `ended`
    QString error;

    ~Job()
    {
        cancel = true;
        if (thread.joinable())
            thread.join();
    }
};

YearSheetPageBase::YearSheetPageBase(const Frame &frame, QWidget *parent) : QWidget(parent), m_frame(frame)
{
    pagekit::makeWhite(this);
    auto *work = new QWidget(this);
    auto *column = new QVBoxLayout(work);
    column->setContentsMargins(8, 8, 8, 8);
    QLabel *description = pagekit::headline(frame.description, work);
    description->setWordWrap(true);
    column->addWidget(description);

    auto *buttons = new QHBoxLayout;
    m_importButton = pagekit::actionButton(u"导入"_s, work);
    m_exportButton = pagekit::actionButton(u"导出"_s, work);
    buttons->addWidget(m_importButton);
    buttons->addWidget(m_exportButton);
    m_summary = new QLabel(u"请导入工资表。"_s, work);
    m_summary->setWordWrap(true);
    buttons->addWidget(m_summary, 1);
    column->addLayout(buttons);

    m_model = new ResultTableModel(this);
    m_table = resultTableView(work, m_model);
    m_table->horizontalHeader()->setMinimumHeight(30);
    column->addWidget(m_table, 1);

    m_options = new QGroupBox(u"选项"_s, this);
    new QVBoxLayout(m_options);
    m_history = new HistoryPanel(frame.historyHeaders, {85, 82, 82}, this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QSplitter *body = pagekit::pageSplitter(work, m_options, m_history, false, this);
    // The right column as wide as on the other pages, whatever the options' texts would like.
    const int right = pagekit::rightColumnWidth(m_history->list()->font());
    body->setSizes({1220 - right, right});
    layout->addWidget(body);

    m_tick = new QTimer(this);
    m_tick->setInterval(kTickInterval);
    connect(m_tick, &QTimer::timeout, this, &YearSheetPageBase::jobTick);
    connect(m_importButton, &QPushButton::clicked, this, &YearSheetPageBase::import);
    connect(m_exportButton, &QPushButton::clicked, this, &YearSheetPageBase::exportResult);
    connect(m_history->list(), &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        openHistoryEntry(this, m_history->list(), row, [this](const QString &path) { return load(path); });
    });
    searchHistory();
}

YearSheetPageBase::~YearSheetPageBase()
{
    // The job writes to the page's pending results: it ends before they go.
    stopJob();
}

QTableWidget *YearSheetPageBase::historyList() const
{
    return m_history->list();
}

void YearSheetPageBase::setSummary(const QString &text, bool problem)
{
    m_summary->setText(text);
    m_summary->setStyleSheet(problem ? u"color:rgb(180,0,0);"_s : QString());
}

void YearSheetPageBase::import()
{
    SheetImport settled;
    if (runSheetImportWizard(importMode(), this, &settled))
        loadSheet(settled);
}

void YearSheetPageBase::loadSheet(const SheetImport &import)
{
    stopJob();
    m_loading = import;
    prepareJob();
    m_job = std::make_unique<Job>();
    Job *job = m_job.get();
    m_progress = new QProgressDialog(u"正在读取工作表并计算……"_s, u"停止"_s, 0, 100, this);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(0);
    m_progress->setMinimumWidth(420);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->show();
    // The flag is set at the click: the job's runs look at it every few rows.
    connect(m_progress, &QProgressDialog::canceled, this, [this, job] {
        if (m_job.get() == job)
            job->cancel = true;
    });
    // The thread touches the page's pending results and the job's members only; the window reads
    // them after joining it.
    job->thread = std::thread([this, job, import] {
        QString error;
        RunControl control;
        control.cancel = &job->cancel;
        control.progress = [job](qsizetype done, qsizetype count) {
            job->percent.store(int(done * 100 / std::max<qsizetype>(count, 1)), std::memory_order_relaxed);
        };
        const bool ok = compute(import, control, &error);
        job->ok = ok && !job->cancel.load();
        job->error = error;
        job->ended.store(true, std::memory_order_release);
    });
    m_tick->start();
}

void YearSheetPageBase::jobTick()
{
    if (!m_job)
        return;
    if (m_job->ended.load(std::memory_order_acquire)) {
        m_job->thread.join();
        const bool stopped = m_job->cancel.load() || (m_progress && m_progress->wasCanceled());
        jobEnded(m_job->ok && !stopped, stopped ? QString() : m_job->error);
        return;
    }
    if (!m_progress || m_progress->wasCanceled()) {
        m_job->cancel = true; // the next tick sees it end
        return;
    }
    m_progress->setValue(m_job->percent.load(std::memory_order_relaxed));
}

void YearSheetPageBase::jobEnded(bool completed, const QString &error)
{
    m_tick->stop();
    m_job.reset();
    if (m_progress) {
        m_progress->hide();
        m_progress->deleteLater();
        m_progress = nullptr;
    }
    if (completed) {
        m_import = m_loading;
        showPending();
        applyResultColumns(m_table, *m_model);
        writeHistory();
    } else if (!error.isEmpty()) {
        setSummary(error, true);
    }
    emit loadFinished(completed);
}

void YearSheetPageBase::stopJob()
{
    if (!m_job)
        return;
    m_tick->stop();
    m_job.reset(); // sets the cancel flag and joins
    if (m_progress) {
        m_progress->hide();
        m_progress->deleteLater();
        m_progress = nullptr;
    }
}

void YearSheetPageBase::waitForJob()
{
    if (!m_job)
        return;
    QEventLoop loop;
    const auto connection = connect(this, &YearSheetPageBase::loadFinished, &loop, &QEventLoop::quit);
    loop.exec();
    disconnect(connection);
}

void YearSheetPageBase::exportResult()
{
    const std::vector<SheetExportChoice> choices = exportChoices();
    if (choices.empty()) {
        setSummary(u"没有可以导出的结果，请先导入工资表。"_s, true);
        return;
    }
    runSheetExportWizard(this, m_frame.exportStem, choices);
}

void YearSheetPageBase::writeHistory()
{
    const auto [figure1, figure2] = historyFigures();
    HistoryWriter writer(historyDir(), m_frame.extension, figure1, figure2);
    CurrentSheetRecord record;
    record.import = m_import;
    writeOptions(&record);
    writeCurrentSheetRecord(writer.stream(), record);
    addHistoryEntry(m_history->list(), writer);
}

void YearSheetPageBase::searchHistory()
{
    fillHistoryList(m_history->list(), historyDir(), u"*."_s + m_frame.extension);
}

bool YearSheetPageBase::load(const QString &fileName)
{
    HistoryReader reader(fileName);
    if (!reader.ok())
        return false;
    CurrentSheetRecord record;
    if (!readCurrentSheetRecord(reader, &record))
        return false;
    readOptions(record);
    loadSheet(record.import);
    return true;
}
