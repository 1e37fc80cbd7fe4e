#include "pages/single/currentyearform.h"

#include "widgets/pagekit.h"
#include "widgets/taxrules.h"

#include <QComboBox>
#include <QDate>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>

using namespace CurrentRules;

namespace {

QSpinBox *monthInput(int value, QWidget *parent)
{
    auto *box = new QSpinBox(parent);
    box->setRange(1, 12);
    box->setValue(value);
    box->setSuffix(QStringLiteral(" 月"));
    box->setAlignment(Qt::AlignRight);
    return box;
}

// Gives each column the width its widest text needs and shares out what the table has over that in
// proportion, so that a wide window spreads the figures instead of leaving one broad last column.
class SpreadColumns : public QObject
{
public:
    SpreadColumns(QTableWidget *table, QList<int> widths)
        : QObject(table), m_table(table), m_widths(std::move(widths)),
          m_needed(std::max(1, std::accumulate(m_widths.cbegin(), m_widths.cend(), 0)))
    {
        table->viewport()->installEventFilter(this);
        apply();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_table->viewport() && event->type() == QEvent::Resize)
            apply();
        return false;
    }

private:
    void apply()
    {
        const int extra = std::max(0, m_table->viewport()->width() - m_needed);
        for (int c = 0; c < m_widths.size(); ++c)
            m_table->setColumnWidth(c, m_widths.at(c) + int(qint64(extra) * m_widths.at(c) / m_needed));
    }

    QTableWidget *m_table;
    QList<int> m_widths;
    int m_needed;
};

} // namespace

CurrentYearForm::CurrentYearForm(QWidget *page, bool withMethod)
    : QObject(page), wage(pagekit::amountInput(page)), insurance(pagekit::amountInput(page)),
      special(pagekit::amountInput(page)), other(pagekit::amountInput(page)), startMonth(monthInput(1, page)),
      year(new QSpinBox(page)), bonus(pagekit::amountInput(page)), bonusMonth(monthInput(12, page)),
      m_page(page)
{
    wage->setObjectName(kCarryGross);
    insurance->setObjectName(kCarryInsurance);
    bonus->setObjectName(kCarryBonus);
    year->setRange(kCurrentFirstYear, kCurrentLastYear);
    year->setValue(std::clamp(QDate::currentDate().year(), int(kCurrentFirstYear), int(kCurrentLastYear)));
    year->setAlignment(Qt::AlignRight);
    year->setSuffix(QStringLiteral(" 年"));
    // Three to a row must fit beside the history column of the smallest window (900 × 600).
    for (QAbstractSpinBox *box : std::initializer_list<QAbstractSpinBox *>{
             wage, insurance, special, other, startMonth, year, bonus, bonusMonth})
        box->setMinimumWidth(90);
    if (withMethod) {
        method = new QComboBox(page);
        for (int m = 0; m < 3; ++m)
            method->addItem(currentkit::methodName(m));
        method->setCurrentIndex(2);
        // As wide as its longest choice, whatever the width of the window.
        method->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    }
}

QList<QWidget *> CurrentYearForm::fields() const
{
    QList<QWidget *> list{wage, insurance, special, other, startMonth, year, bonus, bonusMonth};
    if (method)
        list << method;
    return list;
}

QGridLayout *CurrentYearForm::grid(int perRow) const
{
    const QStringList captions{QStringLiteral("月应发工资"),     QStringLiteral("三险一金"),
                               QStringLiteral("专项附加扣除"),   QStringLiteral("其他扣除"),
                               QStringLiteral("起始月份"),       QStringLiteral("纳税年度"),
                               QStringLiteral("全年一次性奖金"), QStringLiteral("奖金发放月份")};
    QList<QWidget *> amounts = fields();
    amounts.removeOne(method);
    QGridLayout *grid = pagekit::inputGrid(captions, amounts, perRow, m_page);
    if (method) {
        // The method's longest choice is wider than one field of the smallest window: it takes a row of
        // its own, reaching over the next caption and field.
        auto *caption = new QLabel(QStringLiteral("奖金计税方式"), m_page);
        caption->setBuddy(method);
        const int row = grid->rowCount();
        grid->addWidget(caption, row, 0);
        grid->addWidget(method, row, 1, 1, 4, Qt::AlignLeft);
    }
    return grid;
}

CurrentYearRecord CurrentYearForm::record() const
{
    CurrentYearRecord r;
    r.year = year->value();
    r.startMonth = startMonth->value();
    r.wage = fenFromInput(wage->value());
    r.insurance = fenFromInput(insurance->value());
    r.special = fenFromInput(special->value());
    r.other = fenFromInput(other->value());
    r.bonus = fenFromInput(bonus->value());
    r.bonusMonth = bonusMonth->value();
    r.method = method ? method->currentIndex() : 2;
    return r;
}

void CurrentYearForm::setRecord(const CurrentYearRecord &r)
{
    year->setValue(r.year);
    startMonth->setValue(r.startMonth);
    wage->setValue(yuanFromFen(r.wage));
    insurance->setValue(yuanFromFen(r.insurance));
    special->setValue(yuanFromFen(r.special));
    other->setValue(yuanFromFen(r.other));
    bonus->setValue(yuanFromFen(r.bonus));
    bonusMonth->setValue(r.bonusMonth);
    if (method)
        method->setCurrentIndex(r.method);
}

namespace currentkit {

QStringList yearHeaders()
{
    // The long titles take two lines, so that the eight columns fit the smallest window.
    return {QStringLiteral("月份"),
            QStringLiteral("应发工资"),
            QStringLiteral("累计应纳税\n所得额"),
            QStringLiteral("税率"),
            QStringLiteral("速算\n扣除数"),
            QStringLiteral("累计\n应纳税额"),
            QStringLiteral("本月\n预扣预缴"),
            QStringLiteral("税后收入")};
}

void fitColumnsTo(QTableWidget *table, const QStringList &widest)
{
    const QFontMetrics cells(table->font());
    const QFontMetrics headers(table->horizontalHeader()->font());
    QList<int> widths;
    for (int c = 0; c < table->columnCount(); ++c) {
        int width = cells.horizontalAdvance(widest.value(c));
        if (const QTableWidgetItem *header = table->horizontalHeaderItem(c)) {
            for (const QString &line : header->text().split(u'\n'))
                width = std::max(width, headers.horizontalAdvance(line));
        }
        widths << width + 7; // the cell keeps 3 on each side of its text
    }
    new SpreadColumns(table, widths);
}

QTableWidget *yearTable(QWidget *parent)
{
    auto *table = new QTableWidget(12, 8, parent);
    table->setHorizontalHeaderLabels(yearHeaders());
    pagekit::styleResultTable(table);
    table->verticalHeader()->setDefaultSectionSize(24);
    // The widest figures of a high but real year: 99,999.99 a month, the bonus merged into its month.
    const QString large = QStringLiteral("999,999.99");
    const QString monthly = QStringLiteral("99,999.99");
    fitColumnsTo(table, {QStringLiteral("12月"), large, QStringLiteral("9,999,999.99"), QStringLiteral("45%"),
                         QStringLiteral("181,920.00"), large, monthly, monthly});
    return table;
}

QStringList monthTexts(const MonthResult &m)
{
    return {QStringLiteral("%1月").arg(m.month),
            formatAmount(m.gross),
            formatAmount(m.cumulativeTaxable),
            QString::number(m.rate) + u'%',
            formatAmount(m.quickDeduction),
            formatAmount(m.cumulativeTax),
            formatAmount(m.withheld),
            formatAmount(m.net)};
}

void showYear(QTableWidget *table, const YearResult &year)
{
    table->clearContents();
    table->setRowCount(int(year.months.size()));
    for (int r = 0; r < int(year.months.size()); ++r)
        pagekit::setRowTexts(table, r, 0, monthTexts(year.months[size_t(r)]));
}

QGroupBox *rulesBox(QWidget *parent)
{
    auto *box = new QGroupBox(QStringLiteral("计税规定"), parent);
    box->setFixedSize(260, 75);
    box->setStyleSheet(QStringLiteral("QGroupBox, QLabel{color:rgb(0, 120, 230);}"
                                      "QGroupBox{background:transparent;}"));
    auto *text = new QLabel(QStringLiteral("现行规定（2019年起）：居民个人，每月减除费用5000元，"
                                           "累计预扣法"),
                            box);
    text->setWordWrap(true);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(9, 2, 9, 4);
    layout->addWidget(text);
    return box;
}

QString methodName(int method)
{
    switch (method) {
    case 0:
        return QStringLiteral("单独计税");
    case 1:
        return QStringLiteral("并入综合所得");
    default:
        return QStringLiteral("自动选择较省税的方式");
    }
}

QString bonusText(const YearResult &year)
{
    const BonusResult &b = year.bonus;
    if (!b.present)
        return QString();
    if (b.method == BonusMethod::Merged)
        return QStringLiteral("全年一次性奖金 %1 元，并入%2月综合所得计税。")
            .arg(formatAmount(b.amount))
            .arg(b.month);
    return QStringLiteral("全年一次性奖金 %1 元，%2月发放，单独计税：税率 %3%，速算扣除数 %4，税额 %5 元。")
        .arg(formatAmount(b.amount))
        .arg(b.month)
        .arg(b.rate)
        .arg(formatAmount(b.quickDeduction), formatAmount(b.tax));
}

QString settlementText(const YearResult &year)
{
    if (year.settlement > 0)
        return QStringLiteral("应补税 %1 元").arg(formatAmount(year.settlement));
    if (year.settlement < 0)
        return QStringLiteral("应退税 %1 元").arg(formatAmount(-year.settlement));
    return QStringLiteral("汇算无需补退");
}

} // namespace currentkit
