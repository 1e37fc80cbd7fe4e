// Function 2 under the rules in force since 2019, "单人节税筹划": the year's pay, 三险一金 and
// 专项附加扣除 → the cheapest split between a separately taxed annual bonus and twelve monthly wages
// (CurrentRules::bestSplit), the splits it was compared with, and the blind zones of the separate
// bonus with the bonus the user means to pay, if it lies in one. History: "*.ssc19".
#pragma once

#include "engine/currentrules.h"

#include <QString>
#include <QWidget>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QTableWidget;
class HistoryPanel;
struct CurrentSplitRecord;
namespace pagekit {
class ResultWatch;
}

class CurrentSaveCalcWid : public QWidget
{
    Q_OBJECT
public:
    explicit CurrentSaveCalcWid(QWidget *parent = nullptr);

    static QString extension();

    QDoubleSpinBox *annualInput() const { return m_annual; }
    QDoubleSpinBox *insuranceInput() const { return m_insurance; }
    QDoubleSpinBox *specialInput() const { return m_special; }
    QDoubleSpinBox *bonusInput() const { return m_bonus; }
    // The figures of the best split, in the order of resultCaptions().
    static QStringList resultCaptions();
    QLabel *resultLabel(int index) const { return m_results.value(index); }
    QTableWidget *candidates() const { return m_candidates; }
    QLabel *blindZoneLine() const { return m_blindZone; }
    const QString &processText() const { return m_processText; }
    HistoryPanel *history() const { return m_history; }

public slots:
    void calc();
    void browseCalculateMemo();
    void load(const QString &fileName);
    void searchHistory();
    void openHistory(int row, int column);

private:
    void present(const CurrentSplitRecord &record, bool save);
    bool loadRecord(const QString &fileName);

    QDoubleSpinBox *m_annual;
    QDoubleSpinBox *m_insurance;
    QDoubleSpinBox *m_special;
    QDoubleSpinBox *m_bonus;
    QPushButton *m_calcButton;
    QPushButton *m_memoButton;
    QList<QLabel *> m_results;
    QTableWidget *m_candidates;
    QLabel *m_blindZone;
    HistoryPanel *m_history;
    pagekit::ResultWatch *m_watch;
    QString m_processText;
};
