#include "pages/batch/batchpagebase.h"

#include "batch/amountcell.h"
#include "batch/batchcalc.h"
#include "batch/columncatalogue.h"
#include "excel/cellkind.h"
#include "excel/columnletters.h"
#include "history/compacttable.h"
#include "widgets/historylist.h"
#include "widgets/historypanel.h"
#include "widgets/pagekit.h"
#include "widgets/ptablewidget.h"
#include "widgets/salarytablelayout.h"
#include "wizards/export/exportwizard.h"
#include "wizards/import/importwizard.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// The tint of a source cell whose amount could not be read (the same as a cell entered so).
const QColor kUnreadableColor = PTableWidget::unreadableColor();
// The progress dialog is repainted at most this often (milliseconds).
constexpr int kProgressInterval = 33;
// Entries up to this many cells reopen at once, without a progress dialog.
constexpr qint64 kQuietLoadCells = 500'000;

const char kButtonStyle[] = "QPushButton{border-radius:5px; background:rgb(110, 190, 10); color:white;}"
                            "QPushButton:hover{background:rgb(140, 220, 35);}";
const char kFullScreenStyle[] =
    "QToolButton{border: 1px solid grey;border-radius:5px; background:transparent; "
    "color:white;}QToolButton:hover{background:rgb(220, 220, 220);}";

QPushButton *stepButton(const QString &text, const QString &icon, QWidget *parent)
{
    auto *button = new QPushButton(QIcon(icon), text, parent);
    button->setStyleSheet(QString::fromLatin1(kButtonStyle));
    button->setFixedSize(110, 36);
    button->setIconSize(QSize(20, 20));
    return button;
}

QLabel *stepPicture(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(QPixmap(u":/contentWidget/wizard"_s));
    return label;
}

} // namespace

BatchPageBase::BatchPageBase(const Frame &frame, QWidget *parent)
    : QWidget(parent), m_content(new QWidget(this)), m_sourceTable(new PTableWidget(m_content)),
      m_fullScreenButton(new QToolButton(m_content)), m_tabs(new QTabWidget(m_content)),
      m_contentLayout(new QVBoxLayout(m_content)),
      m_history(new HistoryPanel(frame.historyHeaders, {85, 82, 82}, this)), m_sourceTree(frame.sourceTree),
      m_mode(frame.mode), m_extension(frame.extension),
      m_extensionGroup(ColumnCatalogue::instance().extensionGroup(frame.sourceTree)),
      m_saver(new HistorySaver(m_history->list(), this)), m_jobTick(new QTimer(this))
{
    ensureRateTable();
    pagekit::makeWhite(this);
    m_totalsFont = QFont(u"微软雅黑"_s, 9);
    m_totalsFont.setBold(true);

    QLabel *description = pagekit::headline(frame.description, m_content);
    m_importButton = stepButton(u"导入"_s, u":/contentWidget/import"_s, m_content);
    m_actionButton = stepButton(frame.actionText, u":/contentWidget/calc"_s, m_content);
    m_exportButton = stepButton(u"导出"_s, u":/contentWidget/export"_s, m_content);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_importButton);
    buttons->addWidget(stepPicture(m_content));
    buttons->addWidget(m_actionButton);
    buttons->addWidget(stepPicture(m_content));
    buttons->addWidget(m_exportButton);
    buttons->addStretch();

    auto *hint = new QLabel(frame.hint, m_content);
    hint->setStyleSheet(u"color:gray;"_s);
    m_fullScreenButton->setToolTip(u"全屏"_s);
    m_fullScreenButton->setIcon(QIcon(u":/toolWidget/fullscreen"_s));
    m_fullScreenButton->setShortcut(QKeySequence(Qt::Key_F11));
    m_fullScreenButton->setAutoRaise(true);
    m_fullScreenButton->setStyleSheet(QString::fromLatin1(kFullScreenStyle));
    auto *hintRow = new QHBoxLayout;
    hintRow->addWidget(hint);
    hintRow->addStretch();
    hintRow->addWidget(m_fullScreenButton);

    // The clerk may type rows in as well as import them: code, name, then the page's amounts.
    m_sourceTable->setEntry(kTitleRows, 2, ColumnCatalogue::sourceColumnCount(m_mode));
    layoutSalaryTable(m_sourceTable, m_sourceTree, true);
    m_tabs->addTab(m_sourceTable, u"原始表"_s);

    m_contentLayout->addWidget(description);
    m_contentLayout->addLayout(buttons);
    m_contentLayout->addLayout(hintRow);
    m_contentLayout->addWidget(m_tabs, 1);

    QWidget *thresholdBox = pagekit::thresholdGroup(this, &m_local, &m_foreign);
    QSplitter *splitter = pagekit::pageSplitter(m_content, thresholdBox, m_history, true, this);
    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->addWidget(splitter);

    connect(m_fullScreenButton, &QToolButton::clicked, this, &BatchPageBase::fullScreen);
    // Connected before the page connects its own action (slots run in the order connected): the
    // run reads a settled table.
    connect(m_actionButton, &QPushButton::clicked, this, &BatchPageBase::settleSourceTable);
    connect(m_sourceTable, &PTableWidget::entryEdited, this, &BatchPageBase::sourceEdited);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] {
        if (auto *table = qobject_cast<PTableWidget *>(m_tabs->currentWidget()))
            fitCodeAndNameColumns(table);
    });
    connect(m_importButton, &QPushButton::clicked, this, &BatchPageBase::import);
    connect(m_exportButton, &QPushButton::clicked, this, &BatchPageBase::exportResult);
    connect(historyList(), &QTableWidget::cellDoubleClicked, this, &BatchPageBase::openHistory);
    // The job's progress, "停止" (or the dialog closed) as its cancel flag, and its end.
    connect(m_jobTick, &QTimer::timeout, this, &BatchPageBase::jobTick);
}

BatchPageBase::~BatchPageBase()
{
    // Pages stop their job before their members go; this is the last guard.
    stopOffThread();
    qDeleteAll(m_prototypes);
}

bool BatchPageBase::isSaving() const
{
    return m_saver->isSaving();
}

void BatchPageBase::waitForSave()
{
    m_saver->wait();
}

QTableWidgetItem *BatchPageBase::prototype(const QColor &background) const
{
    const QRgb key = background.isValid() ? background.rgba() : 0;
    QTableWidgetItem *&item = m_prototypes[key];
    if (!item) {
        item = new QTableWidgetItem(QString());
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (background.isValid())
            item->setBackground(background);
    }
    return item;
}

void BatchPageBase::addContentRow(QLayout *row)
{
    m_contentLayout->insertLayout(m_contentLayout->indexOf(m_tabs), row);
}

QTableWidget *BatchPageBase::historyList() const
{
    return m_history->list();
}

bool BatchPageBase::localThreshold() const
{
    return m_local->isChecked();
}

Amount BatchPageBase::threshold() const
{
    return localThreshold() ? kThresholdLocal : kThresholdForeign;
}

void BatchPageBase::setLocalThreshold(bool local)
{
    (local ? m_local : m_foreign)->setChecked(true);
}

Amount BatchPageBase::readSourceAmount(int row, int column)
{
    QTableWidgetItem *item = m_sourceTable->item(row, column);
    if (!item)
        return 0;
    const QVariant number = item->data(kCellNumberRole);
    const CellKind kind =
        item->type() >= NumberCell && item->type() <= TimeCell ? CellKind(item->type()) : TextCell;
    const AmountReading reading = readAmountCell(kind, item->text(), number.isValid(), number.toDouble());
    if (reading.ok()) {
        // A cell mended since the last run loses its mark.
        if (item->data(Qt::BackgroundRole).value<QBrush>().color() == kUnreadableColor) {
            item->setData(Qt::BackgroundRole, QVariant());
            item->setToolTip(QString());
        }
        return reading.fen;
    }
    ++m_unreadableCells;
    item->setBackground(kUnreadableColor);
    item->setToolTip(amountProblemText(reading.problem, item->text()));
    return 0;
}

QProgressDialog *BatchPageBase::openProgress(const QString &label, bool cancellable)
{
    closeProgress();
    m_progress = new QProgressDialog(label, cancellable ? u"停止"_s : QString(), 0, 100, this);
    if (!cancellable)
        m_progress->setCancelButton(nullptr);
    m_progress->setMinimumWidth(500);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(0);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->show();
    // The first keepAlive paints the dialog and answers "停止" at once; then a few dozen times a second.
    m_progressClock.invalidate();
    return m_progress;
}

bool BatchPageBase::progressDue() const
{
    return !m_progressClock.isValid() || m_progressClock.elapsed() >= kProgressInterval;
}

void BatchPageBase::setProgress(int value, bool force)
{
    if (!m_progress)
        return;
    // A repaint per record would make a long run crawl; a few dozen a second look the same.
    if (!force && !progressDue())
        return;
    m_progressClock.restart();
    m_progress->setValue(value);
}

bool BatchPageBase::keepAlive(int value, QEventLoop::ProcessEventsFlags flags)
{
    if (!m_progress)
        return false;
    if (progressDue()) {
        setProgress(value, true);
        QCoreApplication::processEvents(flags);
    }
    return m_progress && m_progress->wasCanceled();
}

void BatchPageBase::settleSourceTable()
{
    m_sourceTable->finishEditing();
    m_sourceTable->removeBlankRows();
    if (m_sourceTable->rowCount() <= kTitleRows)
        m_dataState = DataState::Empty;
    else if (m_dataState == DataState::Empty)
        m_dataState = DataState::Imported;
}

void BatchPageBase::sourceEdited(int, int column)
{
    // Results of the rows before the edit would be shown as if they were of these: they go, as
    // after an import.
    if (m_dataState != DataState::Imported)
        importFinished();
    if (column <= 1)
        fitCodeAndNameColumns(m_sourceTable);
}

void BatchPageBase::import()
{
    // Imported rows are appended after the employees, not after the blank row for a new one.
    settleSourceTable();
    ImportWizard wizard(m_sourceTable, m_mode, this);
    wizard.setExtension(&m_extensionGroup);
    wizard.exec();
    importFinished();
    fitCodeAndNameColumns(m_sourceTable);
    m_sourceTable->scrollToTop();
}

void BatchPageBase::exportResult()
{
    settleSourceTable();
    if (!mayExport())
        return;
    const auto [first, second] = exportedTables();
    ExportWizard wizard(m_sourceTable, first, second, m_mode, this, &m_extensionGroup);
    wizard.exec();
}

void BatchPageBase::searchHistory()
{
    fillHistoryList(historyList(), historyDir(), u"*."_s + m_extension);
}

void BatchPageBase::openHistory(int row, int)
{
    openHistoryEntry(this, historyList(), row, [this](const QString &path) { return load(path); });
}

bool BatchPageBase::load(const QString &fileName)
{
    if (!loadRecord(fileName))
        return false;
    for (int t = 0; t < m_tabs->count(); ++t) {
        if (auto *table = qobject_cast<PTableWidget *>(m_tabs->widget(t)))
            fitCodeAndNameColumns(table);
    }
    return true;
}

struct BatchPageBase::Job
{
    std::atomic<bool> cancel = false;
    std::atomic<bool> ended = false;
    std::atomic<qsizetype> done = 0;
    std::atomic<qsizetype> count = 0;
    std::thread thread;
    int from = 0;
    int to = 100;
    std::function<void(bool)> finished;

    ~Job()
    {
        // The runners look at the flag every few records: this waits no longer than that.
        cancel = true;
        if (thread.joinable())
            thread.join();
    }
};

void BatchPageBase::startOffThread(std::function<void(const RunControl &)> job, int from, int to,
                                   std::function<void(bool)> finished)
{
    stopOffThread();
    m_job = std::make_unique<Job>();
    Job *j = m_job.get();
    j->from = from;
    j->to = to;
    j->finished = std::move(finished);
    // The thread touches nothing of the page but what the job writes to and the job's atomics; the
    // window learns that it ended from the tick below and reads the results after joining it.
    j->thread = std::thread([j, job = std::move(job)] {
        const RunControl control{&j->cancel, [j](qsizetype done, qsizetype count) {
                                     j->count.store(std::max<qsizetype>(count, 1), std::memory_order_relaxed);
                                     j->done.store(done, std::memory_order_relaxed);
                                 }};
        job(control);
        j->ended.store(true, std::memory_order_release);
    });
    m_jobTick->start(kProgressInterval);
}

void BatchPageBase::jobTick()
{
    if (!m_job)
        return;
    if (m_job->ended.load(std::memory_order_acquire)) {
        m_jobTick->stop();
        m_job->thread.join();
        const bool completed = !m_job->cancel && m_progress && !m_progress->wasCanceled();
        std::function<void(bool)> finished = std::move(m_job->finished);
        m_job.reset();
        if (finished)
            finished(completed);
        return;
    }
    // "停止", or the dialog gone: the runners stop within a few records, and the next tick ends
    // the job.
    if (!m_progress || m_progress->wasCanceled()) {
        m_job->cancel = true;
        return;
    }
    if (const qsizetype count = m_job->count.load(std::memory_order_relaxed))
        setProgress(m_job->from + int(qint64(m_job->to - m_job->from) *
                                      m_job->done.load(std::memory_order_relaxed) / count));
}

void BatchPageBase::stopOffThread()
{
    if (!m_job)
        return;
    m_jobTick->stop();
    m_job.reset();
}

bool BatchPageBase::runOffThread(std::function<void(const RunControl &)> job, int from, int to)
{
    QEventLoop loop;
    bool completed = false;
    startOffThread(std::move(job), from, to, [&](bool ok) {
        completed = ok;
        loop.quit();
    });
    loop.exec();
    return completed;
}

BatchPageBase::QuietFill::QuietFill(std::initializer_list<QTableWidget *> tables) : m_tables(tables)
{
    for (QTableWidget *table : std::as_const(m_tables))
        m_blocked << table->model()->blockSignals(true);
}

BatchPageBase::StagedTables::StagedTables(BatchPageBase *page, CatalogueTree tree,
                                          std::initializer_list<PTableWidget **> members)
    : m_page(page), m_members(members)
{
    for (PTableWidget **member : members) {
        m_shown << *member;
        auto *table = new PTableWidget(page);
        table->hide();
        layoutSalaryTable(table, tree, false);
        *member = table;
    }
}

void BatchPageBase::StagedTables::finish(bool complete)
{
    QTabWidget *tabs = m_page->m_tabs;
    for (qsizetype i = 0; i < m_members.size(); ++i) {
        PTableWidget *staged = *m_members[i];
        PTableWidget *shown = m_shown[i];
        if (!complete) {
            staged->discardLater();
            *m_members[i] = shown;
            continue;
        }
        const int columns = std::min(shown->columnCount(), staged->columnCount());
        for (int c = 0; c < columns; ++c) {
            staged->setColumnWidth(c, shown->columnWidth(c));
            staged->setColumnHidden(c, shown->isColumnHidden(c));
        }
        if (const int tab = tabs->indexOf(shown); tab >= 0) {
            const QString caption = tabs->tabText(tab);
            const bool current = tabs->currentIndex() == tab;
            tabs->insertTab(tab, staged, caption);
            tabs->removeTab(tab + 1);
            if (current)
                tabs->setCurrentIndex(tab);
        }
        shown->discardLater();
    }
    m_members.clear();
    m_shown.clear();
}

BatchPageBase::QuietFill::~QuietFill()
{
    for (qsizetype i = 0; i < m_tables.size(); ++i) {
        QTableWidget *table = m_tables[i];
        table->model()->blockSignals(m_blocked[i]);
        table->viewport()->update();
        if (auto *frozen = qobject_cast<PTableWidget *>(table); frozen && frozen->overlay())
            frozen->overlay()->viewport()->update();
    }
}

void BatchPageBase::saveRecord(PendingRecord record, const QList<const QTableWidget *> &tables)
{
    qint64 rows = 0;
    for (const QTableWidget *table : tables)
        rows += table->rowCount();
    qint64 rowsDone = 0;
    record.tables.clear();
    record.tables.reserve(size_t(tables.size()));
    for (const QTableWidget *table : tables) {
        CompactTableWriter packed(0, 0);
        // Reading a hundred thousand rows of items takes a while: the dialog still repaints.
        const bool fits = packCompactTable(table, &packed, [&](int row) {
            keepAlive(int((rowsDone + row) * 100 / std::max<qint64>(rows, 1)),
                      QEventLoop::ExcludeUserInputEvents);
        });
        if (!fits)
            return; // too large for a record: no entry rather than a broken one
        rowsDone += table->rowCount();
        record.tables.push_back(std::move(packed));
    }
    m_saver->save(std::move(record));
}

void BatchPageBase::closeProgress()
{
    if (!m_progress)
        return;
    disconnect(m_progress, nullptr, this, nullptr);
    m_progress->hide();
    m_progress->deleteLater();
    m_progress = nullptr;
}

bool BatchPageBase::mayExport()
{
    if (m_dataState == DataState::Empty) {
        QMessageBox::warning(this, u"信息提示"_s, u"要导出数据，请先导入并计算工资数据。"_s, QMessageBox::Ok);
        return false;
    }
    if (m_dataState == DataState::Imported) {
        QMessageBox::warning(this, u"信息提示"_s, u"导出数据前，请先计算工资数据。"_s, QMessageBox::Ok);
        return false;
    }
    return true;
}

void BatchPageBase::restoreExtension(const ColumnGroup &stored)
{
    m_extensionGroup = stored;
}

void BatchPageBase::fillStoredTables(const QList<StoredTable> &tables, int progressEnd)
{
    qint64 cells = 0;
    for (const auto &[table, tree, stored] : tables) {
        table->setUpdatesEnabled(false);
        table->clearContents();
        layoutSalaryTable(table, tree, table == m_sourceTable);
        table->setColumnCount(stored->columns);
        table->setRowCount(stored->rows);
        cells += qint64(stored->rows) * stored->columns;
    }
    // A large entry takes a few seconds to rebuild: show how far it is and keep the window alive.
    const bool showProgress = cells > kQuietLoadCells;
    if (showProgress)
        openProgress(u"正在打开计算记录..."_s, false);
    m_loading = true;
    qint64 cellsDone = 0;
    for (const auto &[table, tree, stored] : tables) {
        const QuietFill quiet{table};
        std::function<void(int)> rowDone;
        if (showProgress) {
            rowDone = [&, columns = stored->columns](int row) {
                keepAlive(int((cellsDone + qint64(row) * columns) * progressEnd / cells),
                          QEventLoop::ExcludeUserInputEvents);
            };
        }
        fillFromCompactTable(table, *stored, m_totalsFont, rowDone);
        cellsDone += qint64(stored->rows) * stored->columns;
    }

    const ColumnGroup *extension = &m_extensionGroup;
    QStringList letters;
    for (int c = 0; c < m_sourceTable->columnCount(); ++c)
        letters << columnLetters(c);
    m_sourceTable->setHorizontalHeaderLabels(letters);
    if (extension->itemCount() > 0) {
        m_sourceTable->setSpan(0, extension->start, 1, extension->itemCount());
        for (const auto &item : extension->items) {
            m_sourceTable->setColumnWidth(item->column, item->width);
            m_sourceTable->horizontalHeader()->setSectionResizeMode(item->column, QHeaderView::Interactive);
        }
    }
    for (const StoredTable &t : tables)
        t.table->setUpdatesEnabled(true);
    if (progressEnd >= 100)
        finishLoading();
}

void BatchPageBase::finishLoading()
{
    m_loading = false;
    closeProgress();
}

void BatchPageBase::fullScreen()
{
    if (!m_content->isFullScreen()) {
        if (!m_windowFlagsSaved) {
            m_savedWindowFlags = m_content->windowFlags();
            m_windowFlagsSaved = true;
        }
        m_content->setWindowFlags(Qt::Window);
        m_content->showFullScreen();
        QTimer::singleShot(100, m_content, [this] { m_content->showFullScreen(); });
        m_fullScreenButton->setShortcut(QKeySequence(Qt::Key_Escape));
        m_fullScreenButton->setToolTip(u"还原"_s);
        m_fullScreenButton->setIcon(QIcon(u":/toolWidget/exitfullscreen"_s));
    } else {
        m_content->setWindowFlags(m_savedWindowFlags);
        m_content->showNormal();
        m_content->show();
        m_fullScreenButton->setShortcut(QKeySequence(Qt::Key_F11));
        m_fullScreenButton->setToolTip(u"全屏"_s);
        m_fullScreenButton->setIcon(QIcon(u":/toolWidget/fullscreen"_s));
    }
}

void BatchPageBase::putTexts(QTableWidget *table, int row, const std::vector<ResultText> &texts,
                             int toolTipColumn, bool totals, const QColor &background, int columns) const
{
    std::vector<bool> filled(size_t(std::max(columns, 0)), false);
    for (const ResultText &text : texts) {
        const bool tinted = background.isValid() && text.column != toolTipColumn;
        QTableWidgetItem *item = prototype(tinted ? background : QColor())->clone();
        item->setText(text.text);
        if (text.column == toolTipColumn)
            item->setToolTip(text.text);
        if (totals)
            item->setFont(m_totalsFont);
        table->setItem(row, text.column, item);
        if (text.column < columns)
            filled[size_t(text.column)] = true;
    }
    if (!background.isValid())
        return;
    for (int c = 0; c < columns; ++c) {
        if (filled[size_t(c)] || c == toolTipColumn)
            continue;
        if (QTableWidgetItem *item = table->item(row, c))
            item->setBackground(background);
        else
            table->setItem(row, c, prototype(background)->clone());
    }
}

void BatchPageBase::putTotalsCaption(QTableWidget *table, int row, const QString &caption,
                                     const QColor &background) const
{
    auto *item = new QTableWidgetItem(caption);
    item->setTextAlignment(Qt::AlignCenter);
    item->setFont(m_totalsFont);
    if (background.isValid())
        item->setBackground(background);
    table->setItem(row, 1, item);
}

void BatchPageBase::copyRow(const QTableWidget *from, int fromRow, QTableWidget *to, int toRow, int first)
{
    const int columns = std::min(from->columnCount(), to->columnCount());
    for (int c = first; c < columns; ++c) {
        if (const QTableWidgetItem *item = from->item(fromRow, c))
            to->setItem(toRow, c, item->clone());
    }
}
