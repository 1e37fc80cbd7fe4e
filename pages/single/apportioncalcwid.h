// Function 4, "奖金分摊计算": a bonus that is not the annual one-time bonus, taxed with the wage of
// the month it is paid in, compared with the same bonus spread evenly over N months. The engine
// computes both variants; the page shows them in a four-row table with the after-tax gain and
// records every calculation as a "*.ac" history entry.
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

class ApportionCalcWid : public QWidget
{
    Q_OBJECT
public:
    explicit ApportionCalcWid(QWidget *parent = nullptr);

    // The history file extension of this page.
    static QString extension() { return QStringLiteral("ac"); }

public slots:
    void calc();
    void save();
    void load(const QString &fileName);
    void searchHistory();
    void openHistory(int row, int column);

private:
    void showNetIncrease();
    // Restores the page from the record; false, with nothing changed, when it cannot be read.
    bool loadRecord(const QString &fileName);

    QDoubleSpinBox *m_wage;
    QDoubleSpinBox *m_insurance;
    QDoubleSpinBox *m_bonus;
    QSpinBox *m_months;
    QPushButton *m_calcButton;
    QLabel *m_taxDecreaseCaption;
    QLabel *m_taxDecrease;
    QLabel *m_netIncreaseCaption;
    QLabel *m_netIncrease;
    QTableWidget *m_table;
    QRadioButton *m_local = nullptr;
    QRadioButton *m_foreign = nullptr;
    HistoryPanel *m_history;
    QLabel *m_insuranceNote;
    pagekit::ResultWatch *m_watch;

    // The history head figures of the last calculation, in yuan.
    double m_headNet = 0;
    double m_headTax = 0;
};
