// Function 0 under the rules in force since 2019, "单人个税计算": one resident's year month by month
// (cumulative withholding), the annual one-time bonus taxed separately, merged or by the cheaper of
// the two, the year's totals and the settlement, the process text and the "*.sc19" history. The page
// fills a YearInput and hands it to CurrentRules::calculateYear; it computes nothing itself.
#pragma once

#include "engine/currentrules.h"

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;
class CurrentYearForm;
class HistoryPanel;
namespace pagekit {
class ResultWatch;
}

class CurrentCalcWid : public QWidget
{
    Q_OBJECT
public:
    explicit CurrentCalcWid(QWidget *parent = nullptr);

    static QString extension();

    CurrentYearForm *form() const { return m_form; }
    QTableWidget *table() const { return m_table; }
    QLabel *bonusLine() const { return m_bonusLine; }
    QLabel *totalsLine() const { return m_totalsLine; }
    QLabel *methodsLine() const { return m_methodsLine; }
    QLabel *settlementLine() const { return m_settlementLine; }
    const QString &processText() const { return m_processText; }
    HistoryPanel *history() const { return m_history; }

public slots:
    // Calculates and saves a history entry; says why when the inputs are outside the rules.
    void calc();
    void browseCalculateMemo();
    // Opens a history entry (the shell calls it for an entry opened from another rules' page).
    void load(const QString &fileName);
    void searchHistory();
    void openHistory(int row, int column);

private:
    bool present(bool save);
    bool loadRecord(const QString &fileName);

    CurrentYearForm *m_form;
    QPushButton *m_calcButton;
    QPushButton *m_memoButton;
    QTableWidget *m_table;
    QLabel *m_bonusLine;
    QLabel *m_totalsLine;
    QLabel *m_methodsLine;
    QLabel *m_settlementLine;
    HistoryPanel *m_history;
    pagekit::ResultWatch *m_watch;
    QString m_processText;
};
