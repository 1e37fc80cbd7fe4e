// Function 3, "批量节税筹划": the split between monthly wage and year-end bonus planned for a whole
// salary sheet. "计算" opens the options panel (goal, method, N); "开始筹划" reads every row's
// amounts through the core's amount-cell rule, has the core's runner plan the records on every
// core off the window's thread, and once it is done fills the hidden before and after tables, the "全员筹划"
// table (a before and an after row per employee) and the "筹划对照" table (the same for the
// employees planning helps), with totals rows over everyone and over those employees, and the
// three totals labels. "停止" ends the run at any point before the record is saved and leaves the
// page as it was after the import. Every finished planning goes to the "*.bsc" history, which
// reopens it.
//
// The page computes nothing itself: figures come from the planning engine, texts from batch/.
#pragma once

#include "pages/batch/batchpagebase.h"

#include "batch/batchrun.h"

class QBoxLayout;
class QLabel;
class QSpinBox;

class BatchSaveCalcWid : public BatchPageBase
{
    Q_OBJECT
public:
    explicit BatchSaveCalcWid(QWidget *parent = nullptr);
    ~BatchSaveCalcWid() override;

    static QString extension() { return QStringLiteral("bsc"); }

    PTableWidget *allTable() const { return m_allTable; }
    PTableWidget *effectiveTable() const { return m_effectiveTable; }
    PTableWidget *beforeTable() const { return m_beforeTable; }
    PTableWidget *afterTable() const { return m_afterTable; }
    QWidget *optionsPanel() const { return m_options; }
    QLabel *methodLabel() const { return m_methodLabel; }
    QLabel *taxDecreaseLabel() const { return m_taxDecreaseLabel; }
    QLabel *costDecreaseLabel() const { return m_costDecreaseLabel; }
    QLabel *netIncreaseLabel() const { return m_netIncreaseLabel; }
    double netIncreaseSum() const { return m_netIncreaseSum; }
    double costDecreaseSum() const { return m_costDecreaseSum; }
    // From 开始筹划 until the tables are filled (reading the amounts, the run, the filling).
    bool isCalculating() const { return m_calculating; }
    // The options as the panel shows them: goal 0/1, method 0/1, N.
    int goal() const;
    int method() const;
    int months() const;
    void setOptions(int goal, int method, int months);

    // What follows an import, whatever its outcome: the source tab shows, the page knows whether
    // there is data to plan, and old results go.
    void importFinished() override;

public slots:
    void calc();
    void start();
    void close();
    void stopCalc();
    void save();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    bool loadRecord(const QString &fileName) override;
    // The method sentence beside the three totals when both fit on one line, else above them.
    void fitMethodSentence();
    std::pair<PTableWidget *, PTableWidget *> exportedTables() const override;
    void resetResults();
    // The run has ended: the tables are filled (unless it was stopped) and the record saved.
    void runFinished(bool completed);
    // Fill the tables in slices with the window alive; false when stopped on the way.
    bool fillTables();
    // Builds "全员筹划" and "筹划对照" from the before and after tables; the progress dialog runs
    // from `progressFrom` to 100 meanwhile.
    bool mergeTables(const QList<qint32> &effectiveRows, int progressFrom);
    bool fillStopped(int value);
    void discardCalculation();

    PTableWidget *m_allTable;
    PTableWidget *m_effectiveTable;
    PTableWidget *m_beforeTable;
    PTableWidget *m_afterTable;
    QWidget *m_options;
    QRadioButton *m_raiseNet;
    QRadioButton *m_lowerCost;
    QRadioButton *m_bonusOnly;
    QRadioButton *m_balanced;
    QSpinBox *m_months;
    QLabel *m_methodLabel;
    QLabel *m_taxDecreaseLabel;
    QLabel *m_costDecreaseLabel;
    QLabel *m_netIncreaseLabel;
    QList<QLabel *> m_captions;    // "个人所得税减少：" and the other two
    QBoxLayout *m_resultsRow;      // the method sentence, then the totals
    PlanRun m_run;                 // written by the run, read once it has ended
    QList<qint32> m_effectiveRows; // rows of the before table whose employee planning helps
    bool m_calculating = false;
    // Work on the user-interface thread that processes events on the way (reading the amounts,
    // filling the tables): "停止" meanwhile only sets m_fillStopped, which the work looks at.
    bool m_filling = false;
    bool m_fillStopped = false;
    double m_netIncreaseSum = 0;
    double m_costDecreaseSum = 0;
};
