// What the year-sheet pages under the current rules (the year-end bonus planning and the bonus
// methods compared) share: the headline, a box of the page's own options, 导入 and 导出, a summary
// line, the result table (a QTableView over a ResultTableModel, which asks the page's result vector
// for each cell it draws) and the history box on the right.
//
// loadSheet() takes what the import wizard settled and does everything else off the window's
// thread: the workbook is read, the rows are read and the core works on them; a progress dialog
// with "停止" ends the job cooperatively (the workbook read and the page's work ask the cancel flag)
// and the page keeps what it showed before. A history entry stores the import and the page's
// options, never the cells; reopening it reads the sheet again and recomputes.
#pragma once

#include "batch/batchrun.h"
#include "batch/sheetsource.h"
#include "history/currentrecords.h"
#include "wizards/export/sheetexportwizard.h"

#include <QString>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class HistoryPanel;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QProgressDialog;
class QPushButton;
class QTableView;
class QTableWidget;
class QTimer;
class ResultTableModel;

class YearSheetPageBase : public QWidget
{
    Q_OBJECT
public:
    struct Frame
    {
        QString description;
        QString extension;          // of the page's history records
        QStringList historyHeaders; // the history list's three captions
        QString exportStem;         // the file name the export proposes
    };

    YearSheetPageBase(const Frame &frame, QWidget *parent);
    // A page's destructor calls stopJob() first: the job calls the page's compute().
    ~YearSheetPageBase() override;

    // Reads the sheet and computes it off the window's thread; returns at once. The table shows
    // the new results when the job is done, and a history entry is written.
    void loadSheet(const SheetImport &import);
    // Whether a loadSheet() job is under way.
    bool isWorking() const { return m_job != nullptr; }
    // Waits (with the window alive) until the job under way has ended.
    void waitForJob();
    // Stops the job under way, if any; the page keeps what it showed before.
    void stopJob();

    ResultTableModel *model() const { return m_model; }
    QTableView *table() const { return m_table; }
    QLabel *summary() const { return m_summary; }
    QTableWidget *historyList() const;
    // The sheets 导出 offers, in order; empty before anything was computed.
    virtual std::vector<SheetExportChoice> exportChoices() const = 0;

public slots:
    // 导入: the import wizard for the page's mode, then loadSheet().
    void import();
    // 导出: the export wizard with the page's choices.
    void exportResult();
    void searchHistory();
    // Reopens an entry: reads its inputs and loads the sheet again; false, with nothing changed,
    // when the entry cannot be read.
    bool load(const QString &fileName);

signals:
    // A loadSheet() job ended: with the results shown, or not (stopped, or an error that the
    // summary line names).
    void loadFinished(bool shown);

protected:
    // The mode the import wizard is opened in for the page's current options.
    virtual int importMode() const = 0;
    // On the window's thread before a job starts: the page takes what compute() needs of its
    // widgets, which the job must not touch.
    virtual void prepareJob() {}
    // On the job's thread: reads and computes the sheet into the page's pending results; false
    // with a Chinese message on failure, or with none when the job's cancel flag (`control.cancel`,
    // which the core's runs look at every few rows) was set. `control.progress` takes the part
    // done in percent.
    virtual bool compute(const SheetImport &import, const RunControl &control, QString *error) = 0;
    // On the window's thread once compute() succeeded: the pending results become the shown
    // ones, the model is reset over them and the summary line is set.
    virtual void showPending() = 0;
    // The page's options in a history record (the import is the base's). readOptions puts those of
    // a record read back on the page.
    virtual void writeOptions(CurrentSheetRecord *record) const = 0;
    virtual void readOptions(const CurrentSheetRecord &record) = 0;
    // The two figures of the history list for the results shown.
    virtual std::pair<double, double> historyFigures() const = 0;

    // The box above the history list, for the page's options (it has a vertical layout).
    QGroupBox *optionsBox() const { return m_options; }
    void setSummary(const QString &text, bool problem = false);

private:
    void jobTick();
    void jobEnded(bool completed, const QString &error);
    void writeHistory();

    Frame m_frame;
    QGroupBox *m_options;
    QPushButton *m_importButton;
    QPushButton *m_exportButton;
    QLabel *m_summary;
    QTableView *m_table;
    ResultTableModel *m_model;
    HistoryPanel *m_history;
    QProgressDialog *m_progress = nullptr;
    QTimer *m_tick;
    SheetImport m_import;  // of the results shown
    SheetImport m_loading; // of the job under way
    struct Job;
    std::unique_ptr<Job> m_job;
};
