// Function 6, "年薪节税筹划": from what an employee is to receive back to what must be paid. Three
// modes: an after-tax annual income (planned for the least employer cost), a pre-tax annual income
// (planned for the most net pay), or an after-tax monthly wage and bonus (inverted only). The
// engine does the inversion and the planning; the page shows the first result with the employer's
// own contributions added to its expense, and records every calculation as a "*.ic" entry.
#pragma once

#include <QString>
#include <QWidget>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableWidget;
class HistoryPanel;
struct PlanResult;
namespace pagekit {
class ResultWatch;
}

class InverseCalcWid : public QWidget
{
    Q_OBJECT
public:
    explicit InverseCalcWid(QWidget *parent = nullptr);

    // The history file extension of this page.
    static QString extension() { return QStringLiteral("ic"); }

public slots:
    void calc();
    // Each shows (or hides) the inputs of its mode.
    void inverseNetAnnualIncome(bool shown);
    void inverseAnnualIncome(bool shown);
    void inverseNetMonthYearEndBonus(bool shown);
    void save();
    void load(const QString &fileName);
    void searchHistory();
    void openHistory(int row, int column);

private:
    void showResultLabels();
    void showResult(const PlanResult *result);
    // Back to the state before the first calculation: the results of one mode do not answer
    // another mode's question.
    void clearResults();
    // Restores the page from the record; false, with nothing changed, when it cannot be read.
    bool loadRecord(const QString &fileName);

    QRadioButton *m_netAnnualMode;
    QRadioButton *m_grossAnnualMode;
    QRadioButton *m_netMonthMode;
    QLabel *m_netAnnualCaption;
    QDoubleSpinBox *m_netAnnual;
    QDoubleSpinBox *m_employer;
    QLabel *m_grossAnnualCaption;
    QDoubleSpinBox *m_grossAnnual;
    QLabel *m_netMonthCaption;
    QDoubleSpinBox *m_netMonth;
    QLabel *m_netBonusCaption;
    QDoubleSpinBox *m_netBonus;
    QPushButton *m_calcButton;
    QWidget *m_results;
    QLabel *m_taxTotal;
    QLabel *m_employerTotal;
    QLabel *m_expenseTotal;
    QTableWidget *m_table;
    QRadioButton *m_local = nullptr;
    QRadioButton *m_foreign = nullptr;
    HistoryPanel *m_history;
    pagekit::ResultWatch *m_watch;

    // The history head figures of the last calculation, in yuan: employer expense and annual tax.
    double m_headExpense = 0;
    double m_headTax = 0;
};
