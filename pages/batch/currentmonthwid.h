// 批量个税计算 under the current rules: a month's payroll against the ledger, as lumo-cli month
// and lumo-cli ledger do it, for a clerk who never opens a terminal.
//
// The page holds the ledger in use (remembered in user.ini), the period, the sheet the import
// wizard settled and the month the core computed from it. Reading the sheet, computing the month,
// recording it and undoing the latest month run on a thread of their own (one PayrollLedger per
// thread); the window shows a progress dialog whose "取消" drops a read or a calculation at once.
// Every figure comes from ledger/: the table is a ResultTableModel over the core's entries,
// showing the cells of payrollResultRow, so a month of a hundred thousand employees costs its
// entries and nothing per cell. History entries (pm19) keep the inputs and the period; reopening
// one reads the sheet again and computes it against what the ledger holds.
#pragma once

#include "ledger/payrollmonth.h"
#include "ledger/payrollsheet.h"

#include <QString>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class HistoryPanel;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableView;
class ResultTableModel;
class SheetRowColumns;

class CurrentMonthWid : public QWidget
{
    Q_OBJECT
public:
    enum class State
    {
        Empty,      // no sheet
        Reading,    // the sheet is being read
        Ready,      // a sheet read, nothing computed
        Working,    // computing, recording or undoing
        Calculated, // the month computed (and perhaps recorded)
    };
    Q_ENUM(State)

    explicit CurrentMonthWid(QWidget *parent = nullptr);
    ~CurrentMonthWid() override;

    State state() const { return m_state; }
    QString ledgerPath() const { return m_ledgerPath; }
    int year() const;
    int month() const;
    CurrentRules::BonusMethod bonusMethod() const;
    void setPeriod(int year, int month);

    // The sheet read, the month computed (its entries in sheet order, the rows left out).
    const PayrollSheet &sheet() const { return *m_sheet; }
    const PayrollMonthRun &run() const { return m_run; }
    bool isRecorded() const { return m_recorded; }
    QTableView *resultView() const { return m_resultView; }
    QTableView *problemView() const { return m_problemView; }
    const ResultTableModel *resultModel() const { return m_resultModel; }
    const ResultTableModel *problemModel() const { return m_problemModel; }
    QLabel *statusLabel() const { return m_status; }

    // The message boxes of the page go through this; tests put their own answer in.
    std::function<bool(const QString &question)> confirm;
    std::function<void(const QString &message)> inform;

public slots:
    // Works on the ledger at `path` from now on (remembered), the period after its latest month.
    bool setLedger(const QString &path);
    void chooseLedger();
    void newLedger();
    // 导入: the wizard, then loadSheet.
    void import();
    // Reads the sheet off the window's thread; the page is Ready when it is done.
    void loadSheet(const SheetImport &import);
    // 计算: the month against the ledger, off the window's thread.
    void calculate();
    // 记录本月: after a confirmation naming the month and the count.
    void recordMonth();
    // 撤销最近记录的月份: after a confirmation.
    void undoLatest();
    void exportResult();
    void showSettlement();
    // The year so far of the employee in result row `row`.
    void showEmployeeYear(int row);
    // Reopens a history entry; false, with nothing changed, when it cannot be read.
    bool load(const QString &fileName);
    void searchHistory();

signals:
    // The page reached a state of rest (Empty, Ready or Calculated) after work.
    void settled();

private:
    struct Job;
    // Runs `work` on a thread of its own with a progress dialog; `done` follows on the window's
    // thread unless the work was cancelled (only when `cancellable`).
    void startJob(const QString &label, bool cancellable, std::function<void(Job &)> work,
                  std::function<void(Job &)> done);
    void setState(State state, bool announce = true);
    void showMonth();
    void clearMonth();
    void refreshLedger(const QList<LedgerMonth> &months);
    void saveHistory();
    bool ask(const QString &question);
    void tell(const QString &message);
    QString periodText() const;

    State m_state = State::Empty;
    QString m_ledgerPath;
    QList<LedgerMonth> m_months; // the ledger's recorded months, every year
    std::optional<SheetImport> m_import;
    // Shared with a calculation under way, which copies it on its own thread: the window never
    // copies a hundred thousand rows, and a sheet read meanwhile replaces the pointer, not the rows.
    std::shared_ptr<const PayrollSheet> m_sheet = std::make_shared<const PayrollSheet>();
    PayrollMonthRun m_run;
    bool m_recorded = false;
    QString m_recordedAt;
    bool m_calculateAfterRead = false; // a history entry is being reopened
    QString m_reopenNote;
    std::unique_ptr<SheetRowColumns> m_resultColumns;
    std::vector<PayrollProblem> m_problems;

    QLineEdit *m_ledgerEdit;
    QSpinBox *m_year;
    QSpinBox *m_month;
    QComboBox *m_method;
    QPushButton *m_chooseButton, *m_newButton;
    QPushButton *m_importButton, *m_calcButton, *m_recordButton, *m_undoButton, *m_exportButton,
        *m_settleButton;
    QLabel *m_status;
    QTabWidget *m_tabs;
    ResultTableModel *m_resultModel;
    ResultTableModel *m_problemModel;
    QTableView *m_resultView;
    QTableView *m_problemView;
    HistoryPanel *m_history;
    QProgressDialog *m_progress = nullptr;
    std::unique_ptr<Job> m_job;
    std::vector<std::unique_ptr<Job>> m_dropped; // cancelled jobs still ending
};
