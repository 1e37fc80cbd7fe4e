// Function 2, "单人节税筹划": one employee's monthly wage and year-end bonus re-split for less tax.
// The options panel chooses the goal (raise the net pay, or lower the employer's cost) and the
// method (move the bonus out of its blind zone, or balance it with N months of wage); the planning
// engine finds the best split, which the page shows beside the input in a six-row table, with the
// three effects, the planning process text and a "*.ssc" history record. The page only formats.
#pragma once

#include <QString>
#include <QWidget>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class HistoryPanel;
namespace pagekit {
class ResultWatch;
}

class SingleSaveCalcWid : public QWidget
{
    Q_OBJECT
public:
    explicit SingleSaveCalcWid(QWidget *parent = nullptr);

    // The history file extension of this page.
    static QString extension() { return QStringLiteral("ssc"); }

    const QString &processText() const { return m_processText; }
    // The frameless options panel that "筹划 ↓" opens.
    QWidget *optionsPanel() const { return m_options; }

public slots:
    // Opens the options panel under the plan button; planning starts from there.
    void calc();
    // Plans with the chosen options, shows the result and records it.
    void start();
    // Hides the options panel without planning. (The page itself stays open: this is the panel's
    // "关闭", not the widget's close.)
    void close();
    void browseCalculateMemo();
    void save();
    void load(const QString &fileName);
    void searchHistory();
    void openHistory(int row, int column);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildOptionsPanel();
    // Restores the page from the record; false, with nothing changed, when it cannot be read.
    bool loadRecord(const QString &fileName);
    void showResultLabels();

    QDoubleSpinBox *m_gross;
    QDoubleSpinBox *m_insurance;
    QDoubleSpinBox *m_bonus;
    QPushButton *m_planButton;
    QPushButton *m_memoButton;
    QTableWidget *m_table;
    QLabel *m_method;
    QWidget *m_figures;
    QLabel *m_taxDecrease;
    QLabel *m_costDecrease;
    QLabel *m_netIncrease;
    QRadioButton *m_local = nullptr;
    QRadioButton *m_foreign = nullptr;
    HistoryPanel *m_history;
    QLabel *m_insuranceNote;
    pagekit::ResultWatch *m_watch;

    QWidget *m_options = nullptr;
    QRadioButton *m_raiseNet = nullptr;
    QRadioButton *m_lowerCost = nullptr;
    QRadioButton *m_bonusOnly = nullptr;
    QRadioButton *m_balanced = nullptr;
    QSpinBox *m_months = nullptr;
    QPushButton *m_startButton = nullptr;
    QPushButton *m_closeButton = nullptr;

    QString m_processText;
    // The history head figures of the last run, in yuan: net increase and cost decrease.
    double m_headNet = 0;
    double m_headCost = 0;
};
