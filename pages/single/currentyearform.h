// What the current-rules pages of one person's year share (单人个税计算 and the comparison of the
// bonus methods): the inputs of a year, the month-by-month table and the texts of the bonus line and
// the settlement. Layout and formatting only: every figure comes from engine/currentrules.h.
#pragma once

#include "engine/currentrules.h"
#include "history/currentrecords.h"

#include <QObject>
#include <QStringList>

class QComboBox;
class QDoubleSpinBox;
class QGridLayout;
class QGroupBox;
class QSpinBox;
class QTableWidget;
class QWidget;

// The inputs of one person's year: 月应发工资, 三险一金, 专项附加扣除, 其他扣除 (a month), 起始月份,
// 纳税年度, 全年一次性奖金 with its month and, where the page offers it, its method.
class CurrentYearForm : public QObject
{
public:
    CurrentYearForm(QWidget *page, bool withMethod);

    // The fields in rows of `perRow`, each with its caption as buddy.
    QGridLayout *grid(int perRow) const;
    QList<QWidget *> fields() const;

    CurrentYearRecord record() const;
    void setRecord(const CurrentYearRecord &r);

    QDoubleSpinBox *wage = nullptr;
    QDoubleSpinBox *insurance = nullptr;
    QDoubleSpinBox *special = nullptr;
    QDoubleSpinBox *other = nullptr;
    QSpinBox *startMonth = nullptr;
    QSpinBox *year = nullptr;
    QDoubleSpinBox *bonus = nullptr;
    QSpinBox *bonusMonth = nullptr;
    QComboBox *method = nullptr;

private:
    QWidget *m_page;
};

namespace currentkit {

// The captions of the month-by-month table.
QStringList yearHeaders();
// Sizes the columns to the wider of the header's longest line and the widest text the column is
// to show; a wider table spreads what it has over that across all columns.
void fitColumnsTo(QTableWidget *table, const QStringList &widest);
// A result table of the twelve months (styled as the other result tables, columns fitted).
QTableWidget *yearTable(QWidget *parent);
// Fills the table with the months of the period (rows of months outside it are emptied).
void showYear(QTableWidget *table, const CurrentRules::YearResult &year);
// The texts of a row of a month: 月份, 应发工资, 累计应纳税所得额, 税率, 速算扣除数, 累计应纳税额,
// 本月预扣预缴, 税后收入.
QStringList monthTexts(const CurrentRules::MonthResult &m);
// "单独计税（12月发放），税率 10%，速算扣除数 210.00，税额 …" and the like; empty without a bonus.
QString bonusText(const CurrentRules::YearResult &year);
// "汇算无需补退", "应补税 … 元" or "应退税 … 元".
QString settlementText(const CurrentRules::YearResult &year);
// The box above the history list: which rules the page computes with.
QGroupBox *rulesBox(QWidget *parent);
// "单独计税"、"并入综合所得"、"自动选择较省税的方式".
QString methodName(int method);

} // namespace currentkit
