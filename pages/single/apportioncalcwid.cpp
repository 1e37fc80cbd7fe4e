#include "pages/single/apportioncalcwid.h"

#include "engine/ratetable.h"
#include "engine/taxengine.h"
#include "excel/columnletters.h"
#include "history/singlerecords.h"
#include "widgets/historylist.h"
#include "widgets/historypanel.h"
#include "widgets/pagekit.h"
#include "widgets/taxrules.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <initializer_list>
#include <iterator>

namespace {

constexpr int kRows = kApportionRows;
constexpr int kColumns = kApportionColumns;
constexpr int kMaxMonths = kMaxStoredMonths;

// The caption rows 0 ("分摊前") and 2 ("分摊后"), columns 0–8. The longer captions take two lines,
// so that the ten columns fit the narrowest window beside the history list.
const QStringList &captionRow(bool after)
{
    static const QStringList before{QStringLiteral("分摊前"),       QStringLiteral("个人所得税\n合计"),
                                    QStringLiteral("实发数\n合计"), QStringLiteral("当月应税\n收入"),
                                    QStringLiteral("当月奖金"),     QStringLiteral("当月个人\n所得税"),
                                    QStringLiteral("当月\n实发数"), QStringLiteral("税率"),
                                    QStringLiteral("速算\n扣除数")};
    static const QStringList spread{QStringLiteral("分摊后"),       QStringLiteral("个人所得税\n合计"),
                                    QStringLiteral("实发数\n合计"), QStringLiteral("每月应税\n收入"),
                                    QStringLiteral("每月奖金"),     QStringLiteral("每月个人\n所得税"),
                                    QStringLiteral("每月\n实发数"), QStringLiteral("税率"),
                                    QStringLiteral("速算\n扣除数")};
    return after ? spread : before;
}

// Puts the captions into rows 0 and 2 (also over an entry of a version that wrote them on one line).
void putCaptions(QTableWidget *table)
{
    for (int r : {0, 2}) {
        const QStringList &texts = captionRow(r == 2);
        for (int c = 0; c < texts.size(); ++c) {
            if (QTableWidgetItem *item = table->item(r, c))
                item->setText(texts.at(c));
            else
                table->setItem(r, c, pagekit::captionItem(texts.at(c)));
        }
        // Two lines and the margin a one-line row has.
        table->setRowHeight(r, std::max(table->verticalHeader()->defaultSectionSize(),
                                        2 * table->fontMetrics().lineSpacing() + 8));
    }
}

// Columns 1–8 of a value row: the two totals, the month's taxable wage and bonus, then the tax,
// after-tax, rate and quick deduction of that month's wage.
QStringList valueRow(Amount tax, Amount net, Amount taxable, Amount bonus, const TaxItem *month)
{
    return QStringList{formatAmount(tax), formatAmount(net), formatAmount(taxable), formatAmount(bonus)} +
           pagekit::itemTexts(month).mid(1);
}

} // namespace

ApportionCalcWid::ApportionCalcWid(QWidget *parent)
    : QWidget(parent), m_wage(pagekit::amountInput(this)), m_insurance(pagekit::amountInput(this)),
      m_bonus(pagekit::amountInput(this)), m_months(new QSpinBox(this)),
      m_calcButton(pagekit::calcButton(QStringLiteral("分摊"), this)),
      m_taxDecreaseCaption(pagekit::resultCaption(QStringLiteral("个人所得税减少："), this)),
      m_taxDecrease(pagekit::resultValue(this)),
      m_netIncreaseCaption(pagekit::resultCaption(QStringLiteral("税后收入增加："), this)),
      m_netIncrease(pagekit::resultValue(this)), m_table(new QTableWidget(kRows, kColumns, this)),
      m_history(new HistoryPanel(
          {QStringLiteral("时间"), QStringLiteral("税后收入增加"), QStringLiteral("个税减少")}, {85, 82, 82},
          this)),
      m_insuranceNote(pagekit::tableNote(this)), m_watch(new pagekit::ResultWatch(this))
{
    ensureRateTable();
    pagekit::makeWhite(this);
    m_wage->setObjectName(kCarryGross);
    m_insurance->setObjectName(kCarryInsurance);

    m_months->setRange(1, kMaxMonths);
    m_months->setValue(3);
    m_months->setAlignment(Qt::AlignRight);
    m_months->setMinimumWidth(70);
    QGridLayout *inputs = pagekit::inputGrid({QStringLiteral("月应发工资"), QStringLiteral("三险一金"),
                                              QStringLiteral("奖金金额"), QStringLiteral("分摊月数")},
                                             {m_wage, m_insurance, m_bonus, m_months}, 2, this);
    for (QAbstractSpinBox *field :
         std::initializer_list<QAbstractSpinBox *>{m_wage, m_insurance, m_bonus, m_months})
        pagekit::clickOnEnter(field, m_calcButton);
    auto *inputRow = new QHBoxLayout;
    inputRow->addLayout(inputs);
    inputRow->addSpacing(16);
    inputRow->addWidget(m_calcButton, 0, Qt::AlignVCenter);
    inputRow->addStretch();

    auto *resultLine = new QHBoxLayout;
    resultLine->setSpacing(6);
    resultLine->addWidget(m_taxDecreaseCaption);
    resultLine->addWidget(m_taxDecrease);
    resultLine->addWidget(m_netIncreaseCaption);
    resultLine->addWidget(m_netIncrease);
    resultLine->addStretch();
    resultLine->addWidget(m_watch->notice());
    // Only the after-tax gain is shown; the tax decrease is still set and recorded with it.
    for (QLabel *label : {m_taxDecreaseCaption, m_taxDecrease, m_netIncreaseCaption, m_netIncrease})
        label->hide();
    // The shown pair keeps its place while hidden, so the table does not move when it appears.
    for (QLabel *label : {m_netIncreaseCaption, m_netIncrease}) {
        QSizePolicy policy = label->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        label->setSizePolicy(policy);
    }

    QStringList letters;
    for (int c = 0; c < kColumns; ++c)
        letters << columnLetters(c);
    m_table->setHorizontalHeaderLabels(letters);
    // The last column only takes up the rest of the row.
    const int widths[] = {80, 110, 110, 110, 110, 110, 110, 40, 100, 1};
    pagekit::styleResultTable(m_table);
    m_table->setMinimumHeight(200);
    putCaptions(m_table);
    for (int r : {0, 2}) {
        m_table->setItem(r, kColumns - 1, pagekit::captionItem(QString()));
        m_table->setItem(r + 1, 0, pagekit::captionItem(QString()));
        pagekit::setRowTexts(m_table, r + 1, 1, QStringList(kColumns - 1));
    }
    pagekit::tintRow(m_table, 2, pagekit::kAfterRowColor);
    pagekit::tintRow(m_table, 3, pagekit::kAfterRowColor);
    pagekit::fitColumns(m_table, QList<int>(std::begin(widths), std::end(widths)));

    auto *work = new QWidget(this);
    auto *workLayout = new QVBoxLayout(work);
    workLayout->setContentsMargins(15, 12, 12, 12);
    workLayout->setSpacing(10);
    workLayout->addWidget(pagekit::headline(
        QStringLiteral("非全年一次性奖金分摊到多个月份发放，以实现为员工减税增收的目的。"), work));
    workLayout->addLayout(inputRow);
    workLayout->addLayout(resultLine);
    workLayout->addWidget(m_table);
    workLayout->addWidget(m_insuranceNote);
    workLayout->addStretch();

    QWidget *threshold = pagekit::thresholdGroup(this, &m_local, &m_foreign);
    m_watch->watchInputs({m_wage, m_insurance, m_bonus, m_months, m_local, m_foreign});
    m_watch->addResults({m_table, m_insuranceNote, m_netIncreaseCaption, m_netIncrease});
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pagekit::pageSplitter(work, threshold, m_history, true, this));

    connect(m_calcButton, &QPushButton::clicked, this, &ApportionCalcWid::calc);
    connect(m_history->list(), &QTableWidget::cellDoubleClicked, this, &ApportionCalcWid::openHistory);
    QTimer::singleShot(10, this, &ApportionCalcWid::searchHistory);
}

void ApportionCalcWid::showNetIncrease()
{
    m_netIncreaseCaption->show();
    m_netIncrease->show();
}

void ApportionCalcWid::calc()
{
    showNetIncrease();
    m_taxDecrease->clear();
    m_netIncrease->clear();

    const Amount bonus = fenFromInput(m_bonus->value());
    const Apportionment a = TaxEngine(m_local->isChecked() ? kThresholdLocal : kThresholdForeign)
                                .apportion(fenFromInput(m_wage->value()), fenFromInput(m_insurance->value()),
                                           bonus, m_months->value());
    pagekit::setRowTexts(
        m_table, 1, 1,
        valueRow(a.taxBefore, a.netBefore, a.monthlyTaxable, bonus, a.bonusMonth.monthly.get()));
    pagekit::setRowTexts(m_table, 3, 1,
                         valueRow(a.taxAfter, a.netAfter, a.monthlyTaxable, a.share, a.after.monthly.get()));
    m_taxDecrease->setText(formatAmount(a.taxDecrease));
    m_netIncrease->setText(formatAmount(a.netIncrease));
    m_headNet = yuanFromFen(a.netIncrease);
    // The list's second column is headed "个税减少", so it gets the tax decrease.
    m_headTax = yuanFromFen(a.taxDecrease);
    pagekit::showInsuranceNote(m_insuranceNote, fenFromInput(m_wage->value()),
                               fenFromInput(m_insurance->value()));
    m_watch->setFresh();
    save();
}

void ApportionCalcWid::save()
{
    HistoryWriter writer(historyDir(), extension(), m_headNet, m_headTax);
    QDataStream &out = writer.stream();
    out << m_wage->value() << m_insurance->value() << m_bonus->value() << m_local->isChecked()
        << qint32(m_months->value()) << m_taxDecrease->text() << m_netIncrease->text();
    writeTableSnapshot(out, m_table);
    addHistoryEntry(m_history->list(), writer);
}

void ApportionCalcWid::load(const QString &fileName)
{
    loadRecord(fileName);
}

bool ApportionCalcWid::loadRecord(const QString &fileName)
{
    // Everything is read and checked first; the page changes only when the whole record is sound.
    HistoryReader reader(fileName);
    ApportionRecord record;
    if (!readApportionRecord(reader, &record))
        return false;

    showNetIncrease();
    m_wage->setValue(record.wage);
    m_insurance->setValue(record.insurance);
    m_bonus->setValue(record.bonus);
    (record.local ? m_local : m_foreign)->setChecked(true);
    m_months->setValue(record.months);
    m_taxDecrease->setText(record.taxDecrease);
    m_netIncrease->setText(record.netIncrease);
    m_headNet = record.headNet;
    m_headTax = record.headTax;
    applyTableSnapshot(m_table, record.table);
    putCaptions(m_table);
    pagekit::showInsuranceNote(m_insuranceNote, fenFromInput(record.wage), fenFromInput(record.insurance));
    m_watch->setFresh();
    return true;
}

void ApportionCalcWid::searchHistory()
{
    fillRulesHistory(m_history->list(), historyDir(), 4, TaxRules::Rules2011);
}

void ApportionCalcWid::openHistory(int row, int /*column*/)
{
    openRulesHistory(this, m_history->list(), row, TaxRules::Rules2011,
                     [this](const QString &path) { return loadRecord(path); });
}
