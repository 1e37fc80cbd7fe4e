#include "pages/single/inversecalcwid.h"

#include "engine/ratetable.h"
#include "engine/taxengine.h"
#include "history/singlerecords.h"
#include "widgets/historylist.h"
#include "widgets/historypanel.h"
#include "widgets/pagekit.h"
#include "widgets/taxrules.h"

#include <QButtonGroup>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <iterator>

namespace {

constexpr int kRows = kInverseRows;
constexpr int kColumns = kInverseColumns;

} // namespace

InverseCalcWid::InverseCalcWid(QWidget *parent)
    : QWidget(parent), m_netAnnualMode(new QRadioButton(QStringLiteral("不含税年收入反算"), this)),
      m_grossAnnualMode(new QRadioButton(QStringLiteral("含税年收入反算"), this)),
      m_netMonthMode(new QRadioButton(QStringLiteral("月收入年终奖反算"), this)),
      m_netAnnualCaption(new QLabel(QStringLiteral("全年税后收入："), this)),
      m_netAnnual(pagekit::amountInput(this)), m_employer(pagekit::amountInput(this)),
      m_grossAnnualCaption(new QLabel(QStringLiteral("全年税前计税收入："), this)),
      m_grossAnnual(pagekit::amountInput(this)),
      m_netMonthCaption(new QLabel(QStringLiteral("税后月收入："), this)),
      m_netMonth(pagekit::amountInput(this)),
      m_netBonusCaption(new QLabel(QStringLiteral("税后年终奖："), this)),
      m_netBonus(pagekit::amountInput(this)), m_calcButton(pagekit::calcButton(QStringLiteral("计算"), this)),
      m_results(new QWidget(this)), m_taxTotal(pagekit::resultValue(m_results)),
      m_employerTotal(pagekit::resultValue(m_results)), m_expenseTotal(pagekit::resultValue(m_results)),
      m_table(new QTableWidget(kRows, kColumns, this)),
      m_history(new HistoryPanel(
          {QStringLiteral("时间"), QStringLiteral("单位支出总额"), QStringLiteral("全年个税总计")},
          {85, 82, 82}, this)),
      m_watch(new pagekit::ResultWatch(this))
{
    ensureRateTable();
    pagekit::makeWhite(this);

    auto *modes = new QButtonGroup(this);
    auto *modeRow = new QHBoxLayout;
    modeRow->setSpacing(24);
    for (QRadioButton *mode : {m_netAnnualMode, m_grossAnnualMode, m_netMonthMode}) {
        modes->addButton(mode);
        modeRow->addWidget(mode);
    }
    modeRow->addStretch();
    m_netAnnualMode->setChecked(true);

    // The three modes share the first row; only the selected mode's inputs are visible, so they
    // take each other's place. The second row (the bonus of the third mode) keeps its place when
    // hidden, so the employer's contributions below do not move with the mode.
    auto *inputs = new QGridLayout;
    inputs->setHorizontalSpacing(8);
    inputs->setVerticalSpacing(8);
    for (QLabel *caption : {m_netAnnualCaption, m_grossAnnualCaption, m_netMonthCaption})
        inputs->addWidget(caption, 0, 0, Qt::AlignRight);
    inputs->addWidget(m_netAnnual, 0, 1);
    inputs->addWidget(m_grossAnnual, 0, 1);
    inputs->addWidget(m_netMonth, 0, 1);
    inputs->addWidget(m_netBonusCaption, 1, 0, Qt::AlignRight);
    inputs->addWidget(m_netBonus, 1, 1);
    for (QWidget *kept : {static_cast<QWidget *>(m_netBonusCaption), static_cast<QWidget *>(m_netBonus)}) {
        QSizePolicy policy = kept->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        kept->setSizePolicy(policy);
    }
    auto *employerCaption = new QLabel(QStringLiteral("单位年承担三险一金总额："), this);
    employerCaption->setBuddy(m_employer);
    inputs->addWidget(employerCaption, 2, 0, Qt::AlignRight);
    inputs->addWidget(m_employer, 2, 1);
    m_netAnnualCaption->setBuddy(m_netAnnual);
    m_grossAnnualCaption->setBuddy(m_grossAnnual);
    m_netMonthCaption->setBuddy(m_netMonth);
    m_netBonusCaption->setBuddy(m_netBonus);
    for (QDoubleSpinBox *field : {m_netAnnual, m_grossAnnual, m_netMonth, m_netBonus, m_employer})
        pagekit::clickOnEnter(field, m_calcButton);

    auto *calcRow = new QHBoxLayout;
    calcRow->addLayout(inputs);
    calcRow->addSpacing(16);
    calcRow->addWidget(m_calcButton, 0, Qt::AlignVCenter);
    calcRow->addStretch();

    // One figure a line: three amounts of up to twelve digits do not fit side by side beside the
    // history column of the smallest window.
    auto *resultLines = new QGridLayout(m_results);
    resultLines->setContentsMargins(0, 0, 0, 0);
    resultLines->setHorizontalSpacing(6);
    resultLines->setVerticalSpacing(2);
    const QString captions[] = {QStringLiteral("全年个税总计："), QStringLiteral("单位年承担三险一金总额："),
                                QStringLiteral("单位支出总额：")};
    QLabel *values[] = {m_taxTotal, m_employerTotal, m_expenseTotal};
    for (int i = 0; i < 3; ++i) {
        resultLines->addWidget(pagekit::resultCaption(captions[i], m_results), i, 0, Qt::AlignRight);
        resultLines->addWidget(values[i], i, 1);
    }
    resultLines->setColumnStretch(2, 1);
    QSizePolicy kept = m_results->sizePolicy();
    kept.setRetainSizeWhenHidden(true);
    m_results->setSizePolicy(kept);
    m_results->hide();

    m_table->setHorizontalHeaderLabels({QStringLiteral(" "), QStringLiteral("应税收入"),
                                        QStringLiteral("个人所得税"), QStringLiteral("实发数"),
                                        QStringLiteral("税率"), QStringLiteral("速算扣除数"), QString()});
    // The last column only takes up the rest of the row.
    const int widths[] = {100, 110, 100, 110, 40, 100, 1};
    pagekit::styleResultTable(m_table);
    m_table->setAlternatingRowColors(true);
    m_table->setMinimumHeight(155);
    const QString rowCaptions[] = {QStringLiteral("月应发工资"), QStringLiteral("年终奖金"),
                                   QStringLiteral("总计")};
    for (int r = 0; r < kRows; ++r) {
        auto *caption = new QTableWidgetItem(rowCaptions[r]);
        caption->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_table->setItem(r, 0, caption);
        pagekit::setRowTexts(m_table, r, 1, QStringList(kColumns - 1));
    }
    pagekit::fitColumns(m_table, QList<int>(std::begin(widths), std::end(widths)));

    auto *work = new QWidget(this);
    auto *workLayout = new QVBoxLayout(work);
    workLayout->setContentsMargins(15, 12, 12, 12);
    workLayout->setSpacing(12);
    workLayout->addWidget(pagekit::headline(
        QStringLiteral("由税后收入推算含税的月收入和年终奖金，确保单位支出最小化。"), work));
    workLayout->addLayout(modeRow);
    workLayout->addLayout(calcRow);
    workLayout->addWidget(m_results);
    workLayout->addWidget(m_table);
    // The result line is full; the notice goes under the table.
    workLayout->addWidget(m_watch->notice());
    workLayout->addStretch();

    QWidget *threshold = pagekit::thresholdGroup(this, &m_local, &m_foreign);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pagekit::pageSplitter(work, threshold, m_history, true, this));

    inverseNetAnnualIncome(true);
    inverseAnnualIncome(false);
    inverseNetMonthYearEndBonus(false);
    m_watch->watchInputs(
        {m_netAnnual, m_grossAnnual, m_netMonth, m_netBonus, m_employer, m_local, m_foreign});
    m_watch->addResults({m_results, m_table});
    for (QRadioButton *mode : {m_netAnnualMode, m_grossAnnualMode, m_netMonthMode}) {
        connect(mode, &QRadioButton::toggled, this, [this](bool checked) {
            if (checked)
                clearResults();
        });
    }
    connect(m_netAnnualMode, &QRadioButton::toggled, this, &InverseCalcWid::inverseNetAnnualIncome);
    connect(m_grossAnnualMode, &QRadioButton::toggled, this, &InverseCalcWid::inverseAnnualIncome);
    connect(m_netMonthMode, &QRadioButton::toggled, this, &InverseCalcWid::inverseNetMonthYearEndBonus);
    connect(m_calcButton, &QPushButton::clicked, this, &InverseCalcWid::calc);
    connect(m_history->list(), &QTableWidget::cellDoubleClicked, this, &InverseCalcWid::openHistory);
    QTimer::singleShot(10, this, &InverseCalcWid::searchHistory);
}

void InverseCalcWid::inverseNetAnnualIncome(bool shown)
{
    m_netAnnualCaption->setVisible(shown);
    m_netAnnual->setVisible(shown);
}

void InverseCalcWid::inverseAnnualIncome(bool shown)
{
    m_grossAnnualCaption->setVisible(shown);
    m_grossAnnual->setVisible(shown);
}

void InverseCalcWid::inverseNetMonthYearEndBonus(bool shown)
{
    m_netMonthCaption->setVisible(shown);
    m_netMonth->setVisible(shown);
    m_netBonusCaption->setVisible(shown);
    m_netBonus->setVisible(shown);
}

void InverseCalcWid::showResultLabels()
{
    m_results->show();
}

void InverseCalcWid::calc()
{
    showResultLabels();
    m_taxTotal->clear();
    m_employerTotal->clear();
    m_expenseTotal->clear();

    const TaxEngine engine(m_local->isChecked() ? kThresholdLocal : kThresholdForeign);
    PlanResults results;
    if (m_netAnnualMode->isChecked())
        engine.planFromNetAnnual(fenFromInput(m_netAnnual->value()), 0, results);
    else if (m_grossAnnualMode->isChecked())
        engine.planFromGrossAnnual(fenFromInput(m_grossAnnual->value()), 0, results);
    else
        engine.grossFromNetMonthAndBonus(fenFromInput(m_netMonth->value()), fenFromInput(m_netBonus->value()),
                                         0, results);
    // When several splits tie, the first one found is shown.
    showResult(results.empty() ? nullptr : results.front().get());
    m_watch->setFresh();
    save();
}

void InverseCalcWid::showResult(const PlanResult *result)
{
    const InverseTotals figures = inverseTotals(result, fenFromInput(m_employer->value()));
    m_taxTotal->setText(formatAmount(figures.annualTax));
    m_employerTotal->setText(formatAmount(figures.employerInsurance));
    m_expenseTotal->setText(formatAmount(figures.employerExpense));
    m_headExpense = yuanFromFen(figures.employerExpense);
    m_headTax = yuanFromFen(figures.annualTax);

    pagekit::setRowTexts(m_table, 0, 1, pagekit::itemTexts(result ? result->monthly.get() : nullptr));
    pagekit::setRowTexts(m_table, 1, 1, pagekit::itemTexts(result ? result->bonus.get() : nullptr));
    const QStringList totals =
        result ? pagekit::totalTexts(result->taxableTotal, result->taxTotal, result->netTotal)
               : pagekit::totalTexts(0, 0, 0);
    pagekit::setRowTexts(m_table, 2, 1, totals + QStringList(2));
}

void InverseCalcWid::clearResults()
{
    m_results->hide();
    for (QLabel *value : {m_taxTotal, m_employerTotal, m_expenseTotal})
        value->clear();
    for (int r = 0; r < kRows; ++r)
        pagekit::setRowTexts(m_table, r, 1, QStringList(kColumns - 1));
    m_headExpense = 0;
    m_headTax = 0;
    m_watch->setEmpty();
}

void InverseCalcWid::save()
{
    HistoryWriter writer(historyDir(), extension(), m_headExpense, m_headTax);
    QDataStream &out = writer.stream();
    out << m_netAnnualMode->isChecked() << m_netAnnual->value() << m_employer->value()
        << m_grossAnnualMode->isChecked() << m_grossAnnual->value() << m_netMonthMode->isChecked()
        << m_netMonth->value() << m_netBonus->value() << m_local->isChecked() << m_taxTotal->text()
        << m_employerTotal->text() << m_expenseTotal->text();
    writeTableSnapshot(out, m_table);
    addHistoryEntry(m_history->list(), writer);
}

void InverseCalcWid::load(const QString &fileName)
{
    loadRecord(fileName);
}

bool InverseCalcWid::loadRecord(const QString &fileName)
{
    // Everything is read and checked first; the page changes only when the whole record is sound.
    HistoryReader reader(fileName);
    InverseRecord record;
    if (!readInverseRecord(reader, &record))
        return false;

    // The mode first: choosing it clears what the page showed for another mode.
    (record.netAnnualMode     ? m_netAnnualMode
     : record.grossAnnualMode ? m_grossAnnualMode
                              : m_netMonthMode)
        ->setChecked(true);
    showResultLabels();
    m_netAnnual->setValue(record.netAnnual);
    m_employer->setValue(record.employer);
    m_grossAnnual->setValue(record.grossAnnual);
    m_netMonth->setValue(record.netMonth);
    m_netBonus->setValue(record.netBonus);
    (record.local ? m_local : m_foreign)->setChecked(true);
    m_taxTotal->setText(record.taxTotal);
    m_employerTotal->setText(record.employerTotal);
    m_expenseTotal->setText(record.expenseTotal);
    m_headExpense = record.headExpense;
    m_headTax = record.headTax;
    applyTableSnapshot(m_table, record.table);
    m_watch->setFresh();
    return true;
}

void InverseCalcWid::searchHistory()
{
    fillRulesHistory(m_history->list(), historyDir(), 6, TaxRules::Rules2011);
}

void InverseCalcWid::openHistory(int row, int /*column*/)
{
    openRulesHistory(this, m_history->list(), row, TaxRules::Rules2011,
                     [this](const QString &path) { return loadRecord(path); });
}
