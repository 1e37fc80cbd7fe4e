// Function 4 under the rules in force since 2019. A bonus that is not annual is simply wages of its
// month under these rules, so spreading it changes nothing; the page instead compares, for one
// person's year, the annual one-time bonus taxed separately and merged into its month
// (CurrentRules::compareBonusMethods): both years month by month, both totals, the cheaper marked.
// History: "*.ac19".
#pragma once

#include "engine/currentrules.h"

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;
class CurrentYearForm;
class HistoryPanel;
struct CurrentYearRecord;
namespace pagekit {
class ResultWatch;
}

class CurrentCompareWid : public QWidget
{
    Q_OBJECT
public:
    explicit CurrentCompareWid(QWidget *parent = nullptr);

    static QString extension();

    CurrentYearForm *form() const { return m_form; }
    // Rows 0 单独计税 and 1 并入综合所得; columns: 方式, 已预扣预缴, 全年应纳税额, 年度汇算, 税后收入合计,
    // 比较.
    QTableWidget *summary() const { return m_summary; }
    QTableWidget *separateTable() const { return m_separate; }
    QTableWidget *mergedTable() const { return m_merged; }
    QTabWidget *years() const { return m_years; }
    QLabel *verdict() const { return m_verdict; }
    const QString &processText() const { return m_processText; }
    HistoryPanel *history() const { return m_history; }

public slots:
    void calc();
    void browseCalculateMemo();
    void load(const QString &fileName);
    void searchHistory();
    void openHistory(int row, int column);

private:
    bool present(const CurrentYearRecord &record, bool save);
    bool loadRecord(const QString &fileName);

    CurrentYearForm *m_form;
    QPushButton *m_calcButton;
    QPushButton *m_memoButton;
    QTableWidget *m_summary;
    QTabWidget *m_years;
    QTableWidget *m_separate;
    QTableWidget *m_merged;
    QLabel *m_verdict;
    HistoryPanel *m_history;
    pagekit::ResultWatch *m_watch;
    QString m_processText;
};
