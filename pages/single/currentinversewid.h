// Function 6 under the rules in force since 2019, "年薪节税筹划": from an after-tax annual income to
// the smallest pre-tax annual pay whose best split nets at least that much
// (CurrentRules::annualForNet), or from a pre-tax annual pay to its best split and net
// (CurrentRules::bestSplit); 全年三险一金 and 全年专项附加扣除 for both. History: "*.ic19".
#pragma once

#include "engine/currentrules.h"

#include <QString>
#include <QWidget>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;
class HistoryPanel;
struct CurrentInverseRecord;
namespace pagekit {
class ResultWatch;
}

class CurrentInverseWid : public QWidget
{
    Q_OBJECT
public:
    explicit CurrentInverseWid(QWidget *parent = nullptr);

    static QString extension();

    QRadioButton *fromNetButton() const { return m_fromNet; }
    QRadioButton *fromPayButton() const { return m_fromPay; }
    QDoubleSpinBox *amountInput() const { return m_amount; }
    QDoubleSpinBox *insuranceInput() const { return m_insurance; }
    QDoubleSpinBox *specialInput() const { return m_special; }
    // The figures, in the order of resultCaptions().
    static QStringList resultCaptions();
    QLabel *resultLabel(int index) const { return m_results.value(index); }
    const QString &processText() const { return m_processText; }
    HistoryPanel *history() const { return m_history; }

public slots:
    void calc();
    void browseCalculateMemo();
    void load(const QString &fileName);
    void searchHistory();
    void openHistory(int row, int column);

private:
    bool present(const CurrentInverseRecord &record, bool save);
    bool loadRecord(const QString &fileName);
    void showMode();

    QRadioButton *m_fromNet;
    QRadioButton *m_fromPay;
    QLabel *m_amountCaption;
    QDoubleSpinBox *m_amount;
    QDoubleSpinBox *m_insurance;
    QDoubleSpinBox *m_special;
    QPushButton *m_calcButton;
    QPushButton *m_memoButton;
    QList<QLabel *> m_results;
    QLabel *m_note;
    HistoryPanel *m_history;
    pagekit::ResultWatch *m_watch;
    QString m_processText;
};
