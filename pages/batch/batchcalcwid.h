// Function 1, "批量个税计算": a whole salary sheet taxed at once. The sheet lies in the source
// table (imported, or filled by a caller); "计算" reads every row's amounts through the core's
// amount-cell rule, hands the records to up to 30 CalcTaxThread workers, and fills the result
// table with the core's result texts and a totals row once every worker is done. Every finished
// calculation goes to the "*.bc" history, which reopens both tables exactly as they were.
//
// The page computes nothing itself: figures come from the TaxEngine, their texts from batch/.
#pragma once

#include <QElapsedTimer>
#include <QFont>
#include <QList>
#include <QString>
#include <QWidget>

class CalcTaxThread;
class HistoryPanel;
class PTableWidget;
class QProgressDialog;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableWidget;
class QToolButton;
class Salary;

class BatchCalcWid : public QWidget
{
    Q_OBJECT
public:
    explicit BatchCalcWid(QWidget *parent = nullptr);
    ~BatchCalcWid() override;

    static QString extension() { return QStringLiteral("bc"); }

    PTableWidget *sourceTable() const { return m_sourceTable; }
    PTableWidget *resultTable() const { return m_resultTable; }
    int dataState() const { return m_dataState; }
    double taxSum() const { return m_taxSum; }
    double netSum() const { return m_netSum; }
    // Amount cells of the last calculation that could not be read and counted as 0.
    int unreadableCells() const { return m_unreadableCells; }
    bool isCalculating() const { return !m_threads.isEmpty(); }
    QTableWidget *historyList() const;

    // What follows an import, whatever its outcome: the source tab shows, the page knows whether
    // there is data to calculate, and old results go.
    void importFinished();

public slots:
    void import();
    void calc();
    void exportResult();
    void stopCalc();
    void taxCalculated(Salary *record, bool done);
    void threadFinished();
    void fullScreen();
    void save();
    void load();
    void load(const QString &fileName);
    void searchHistory();
    void openHistory(int row, int column);

private:
    // Restores a stored entry; false, with nothing changed, when the record cannot be read.
    bool loadRecord(const QString &fileName);
    void fillResultTable();
    void discardCalculation();
    void updateProgress(bool force);
    bool localThreshold() const;

    QWidget *m_content;
    QToolButton *m_fullScreenButton;
    PTableWidget *m_sourceTable;
    PTableWidget *m_resultTable;
    QTabWidget *m_tabs;
    QRadioButton *m_local = nullptr;
    QRadioButton *m_foreign = nullptr;
    HistoryPanel *m_history;
    int m_dataState = 0;
    QList<CalcTaxThread *> m_threads;
    QList<Salary *> m_records;
    QProgressDialog *m_progress = nullptr;
    QElapsedTimer m_progressClock;
    int m_finishedCount = 0;
    int m_finishedWorkers = 0;
    bool m_loading = false;
    int m_unreadableCells = 0;
    double m_taxSum = 0;
    double m_netSum = 0;
    Qt::WindowFlags m_savedWindowFlags;
    bool m_windowFlagsSaved = false;
    QFont m_totalsFont;
};
