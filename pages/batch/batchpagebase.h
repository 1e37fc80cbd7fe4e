// What the three batch pages (tax calculation, planning, apportionment) share: the page frame
// (description, the 导入 / action / 导出 buttons with their step pictures, the hint with the
// full-screen button, the tab widget, and on the right the threshold box above the history list),
// full-screen mode, reading amounts from the source table by the core's rule, the throttled
// progress dialog of a run, the run's job off the window's thread (the core's runners, with
// "停止" as their cancel flag) and the one keep-alive step that long work on the user-interface
// thread goes through (filling tables, reading them for a record, reopening), writing history
// records on a worker, the export warnings, and reopening compactly stored tables with the source
// table's header rebuilt. Each page adds its own tables, runs and history record.
#pragma once

#include "engine/amount.h"

#include "batch/batchcalc.h"
#include "batch/batchrun.h"
#include "batch/columncatalogue.h"

#include <QColor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFont>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

class ColumnGroup;
class HistoryPanel;
class HistorySaver;
class PTableWidget;
class QHBoxLayout;
class QProgressDialog;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTimer;
class QTableWidget;
class QToolButton;
class QVBoxLayout;
struct CompactTable;
struct PendingRecord;
class QTableWidgetItem;

class BatchPageBase : public QWidget
{
    Q_OBJECT
public:
    struct Frame
    {
        QString description;
        QString hint;
        QString actionText;                        // "计算" or "分摊"
        QStringList historyHeaders;                // the history list's three captions
        CatalogueTree sourceTree = TreeCalcSource; // the catalogue tree of the source table
        BatchPage mode = BatchCalcPage;            // what the import and export wizards are opened for
        QString extension;                         // of the page's history records
    };

    // What the page holds: nothing to work on, an imported source table, or results of a run.
    enum class DataState
    {
        Empty,
        Imported,
        Calculated
    };
    Q_ENUM(DataState)

    BatchPageBase(const Frame &frame, QWidget *parent);
    ~BatchPageBase() override;

    PTableWidget *sourceTable() const { return m_sourceTable; }
    DataState dataState() const { return m_dataState; }
    // Amount cells of the last run that could not be read and counted as 0.
    int unreadableCells() const { return m_unreadableCells; }
    QTableWidget *historyList() const;
    bool localThreshold() const;
    Amount threshold() const;
    // Whether a history record is still being written (its entry joins the list when it is done).
    bool isSaving() const;
    // Waits until the record being written is on disk and listed.
    void waitForSave();
    // Whether a run's job is under way off the window's thread (startOffThread).
    bool isWorkingOffThread() const { return m_job != nullptr; }

    // What follows an import, whatever its outcome: the source tab shows, the page knows whether
    // there is data to work on, and old results go.
    virtual void importFinished() = 0;

    // The page's group of the extra columns imports added to the source table ("扩展信息"), as a
    // history entry stores it.
    const ColumnGroup &extensionGroup() const { return m_extensionGroup; }
    // Replaces it: by a history entry's, or by what an import the page did not open itself left.
    void restoreExtension(const ColumnGroup &stored);

public slots:
    void fullScreen();
    // 导入: the import wizard on the source table, then importFinished().
    void import();
    // 导出: the export wizard on the source table and the page's result tables.
    void exportResult();
    // The history list: filled from the page's records, an entry reopened (a damaged one is said
    // so and left alone).
    void searchHistory();
    void openHistory(int row, int column);
    // Reopens an entry; false, with nothing changed, when it cannot be read.
    bool load(const QString &fileName);

protected:
    // Restores a stored entry; false, with nothing changed, when the record cannot be read.
    virtual bool loadRecord(const QString &fileName) = 0;
    // The result tables the export wizard offers beside the source table (the second may be null).
    virtual std::pair<PTableWidget *, PTableWidget *> exportedTables() const = 0;

    // Before anything reads the source table (a run, an export, an import that appends): the cell
    // being edited is committed, rows without any text go, and the page knows whether employees
    // are left.
    void settleSourceTable();
    // A cell the clerk changed: results computed before it go.
    void sourceEdited(int row, int column);

    // The content column, for rows of the page's own between the hint and the tabs.
    void addContentRow(QLayout *row);
    QTabWidget *tabs() const { return m_tabs; }
    QPushButton *importButton() const { return m_importButton; }
    QPushButton *actionButton() const { return m_actionButton; }
    QPushButton *exportButton() const { return m_exportButton; }
    HistoryPanel *history() const { return m_history; }
    void setLocalThreshold(bool local);

    // The amount in a source cell by the core's rule; an unreadable cell is tinted, says why in
    // its tool tip and is counted in unreadableCells(); a mended cell loses its mark.
    Amount readSourceAmount(int row, int column);

    // The run's progress dialog (window-modal, range 0–100, "停止" when `cancellable`).
    QProgressDialog *openProgress(const QString &label, bool cancellable = true);
    QProgressDialog *progress() const { return m_progress; }
    // Sets the value, repainting at most a few dozen times a second unless `force`.
    void setProgress(int value, bool force = false);
    // Whether at least the repaint interval passed since the last repaint (for loops on the
    // user-interface thread that process events).
    bool progressDue() const;
    void closeProgress();
    // The one way a long job on the user-interface thread (filling tables, reading them for a
    // record) stays alive: call it per row; when the repaint interval has passed it moves the
    // progress dialog to `value` and lets the window handle its events. True once "停止" was
    // pressed. Without a progress dialog it does nothing.
    bool keepAlive(int value, QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);

    // Starts `job` on a thread of its own (the core's runners spread it over every core) and
    // returns at once; while it runs the progress dialog moves from `from` to `to` as the job
    // reports, and "停止" (or a closed dialog) sets the job's cancel flag, which the runners check
    // every few records. Once the job has ended, `finished` is called on the window's thread: with
    // true when it ran to the end, false when it was stopped. One job at a time.
    void startOffThread(std::function<void(const RunControl &)> job, int from, int to,
                        std::function<void(bool completed)> finished);
    // Stops the job under way, if any, and waits until it has ended (a few records per thread);
    // its `finished` is not called. Pages call it before anything the job writes to goes.
    void stopOffThread();
    // The same, waiting for the job on a local event loop while the window stays alive: true when
    // it ran to the end, false when it was stopped.
    bool runOffThread(std::function<void(const RunControl &)> job, int from, int to);

    // Holds back the model's signal per cell while tables are filled (their row counts must be set
    // first): the views read the items when they paint, and a signal per cell costs more than the
    // cell. The tables repaint once when it goes.
    class QuietFill
    {
    public:
        explicit QuietFill(std::initializer_list<QTableWidget *> tables);
        ~QuietFill();
        QuietFill(const QuietFill &) = delete;
        QuietFill &operator=(const QuietFill &) = delete;

    private:
        QList<QTableWidget *> m_tables;
        QList<bool> m_blocked;
    };

    // A run's fresh tables. Each member pointer is pointed at a hidden, empty table laid out as
    // `tree`'s results while the table it pointed at stays shown. finish(true) lets each fresh table
    // take its shown table's place (its tab, column widths and hidden columns); finish(false), for a
    // stopped run, points the members back and drops the fresh tables a slice at a time instead of
    // emptying them item by item while the clerk waits.
    class StagedTables
    {
    public:
        StagedTables(BatchPageBase *page, CatalogueTree tree, std::initializer_list<PTableWidget **> members);
        void finish(bool complete);

    private:
        BatchPageBase *m_page;
        QList<PTableWidget **> m_members;
        QList<PTableWidget *> m_shown;
    };
    // Frees a run's records on a thread of their own: a hundred thousand of them take a good part
    // of a second, which the window would otherwise wait. A thread's start hands them over in a
    // way the thread checker sees; Qt's pool hands its tasks over under a lock it cannot see.
    template<typename T> static void freeOffThread(T &&value)
    {
        std::thread([held = std::decay_t<T>(std::forward<T>(value))]() mutable {
            [[maybe_unused]] const std::decay_t<T> gone = std::move(held);
        }).detach();
    }

    // Reads the tables' items into `record` (the part of a save that needs them) with the window
    // kept alive, then has the record deflated and written on a worker thread.
    void saveRecord(PendingRecord record, const QList<const QTableWidget *> &tables);

    // The two warnings of 导出 before there is anything to export; true when exporting may go on.
    bool mayExport();

    // A table of the page and what a history record stored for it.
    struct StoredTable
    {
        PTableWidget *table;
        CatalogueTree tree; // its catalogue layout
        const CompactTable *stored;
    };
    // Lays the page's tables out afresh and puts the stored cells in (the caller has checked them
    // with decodeCompactCells and their column counts against the layouts), with a progress dialog
    // for large entries; then rebuilds the source table's header: column letters, the extension
    // caption's span and the extension columns' stored widths. The source table comes first.
    // The dialog goes up to `progressEnd`; below 100 it stays open for the caller's own rebuilding
    // (keepAlive) and the page counts as loading until the caller calls finishLoading().
    void fillStoredTables(const QList<StoredTable> &tables, int progressEnd = 100);
    void finishLoading();
    bool isLoading() const { return m_loading; }

    // Writes result texts into a row as value cells; `toolTipColumn` (the process text) also gets
    // its text as tool tip. With `totals` the cells are bold; with a `background` every cell of
    // the layout's `columns` but the tool tip column gets it (empty ones too; those share one
    // prototype's data, as a hundred thousand rows of them would otherwise cost a lot).
    void putTexts(QTableWidget *table, int row, const std::vector<ResultText> &texts, int toolTipColumn,
                  bool totals = false, const QColor &background = QColor(), int columns = 0) const;
    // The caption of a totals row in the name column: centred, bold.
    void putTotalsCaption(QTableWidget *table, int row, const QString &caption,
                          const QColor &background = QColor()) const;
    // Copies the cells of a row from column `first` on (missing cells stay missing).
    static void copyRow(const QTableWidget *from, int fromRow, QTableWidget *to, int toRow, int first = 0);

    QWidget *m_content;
    PTableWidget *m_sourceTable;
    DataState m_dataState = DataState::Empty;
    int m_unreadableCells = 0;
    QFont m_totalsFont;

private:
    QToolButton *m_fullScreenButton;
    QTabWidget *m_tabs;
    QVBoxLayout *m_contentLayout;
    QPushButton *m_importButton;
    QPushButton *m_actionButton;
    QPushButton *m_exportButton;
    QRadioButton *m_local = nullptr;
    QRadioButton *m_foreign = nullptr;
    HistoryPanel *m_history;
    CatalogueTree m_sourceTree;
    BatchPage m_mode;
    QString m_extension;
    // The extra columns imports added to the source table (its "扩展信息"), stored with each entry.
    ColumnGroup m_extensionGroup;
    QProgressDialog *m_progress = nullptr;
    QElapsedTimer m_progressClock;
    HistorySaver *m_saver;
    // Value cells and empty tinted cells are clones of these (one per background): a clone
    // shares the prototype's data until its own text is set.
    mutable QHash<QRgb, QTableWidgetItem *> m_prototypes;
    QTableWidgetItem *prototype(const QColor &background) const;
    bool m_loading = false;
    // The job off the window's thread: its thread, what it shares with the window (the cancel
    // flag, its count of records done, whether it ended), the progress span and what follows it.
    struct Job;
    std::unique_ptr<Job> m_job;
    // A few dozen times a second while a job runs: its progress, "停止", and its end.
    QTimer *m_jobTick;
    void jobTick();
    Qt::WindowFlags m_savedWindowFlags;
    bool m_windowFlagsSaved = false;
};
