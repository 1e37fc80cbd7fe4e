#include "pages/single/singlecalcwid.h"

#include "engine/ratetable.h"
#include "engine/taxengine.h"
#include "history/singlerecords.h"
#include "pages/single/displaymemodlg.h"
#include "widgets/historylist.h"
#include "widgets/historypanel.h"
#include "widgets/pagekit.h"
#include "widgets/taxrules.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <iterator>

namespace {

constexpr int kRows = kSingleCalcRows;
constexpr int kColumns = kSingleCalcColumns;

} // namespace

SingleCalcWid::SingleCalcWid(QWidget *parent)
    : QWidget(parent), m_gross(pagekit::amountInput(this)), m_insurance(pagekit::amountInput(this)),
      m_bonus(pagekit::amountInput(this)), m_annuity(pagekit::amountInput(this)),
      m_calcButton(pagekit::calcButton(QStringLiteral("计算"), this)),
      m_memoButton(pagekit::actionButton(QStringLiteral("查看计算过程"), this)),
      m_table(new QTableWidget(kRows, kColumns, this)),
      m_history(
          new HistoryPanel({QStringLiteral("时间"), QStringLiteral("月应发工资"), QStringLiteral("年终奖金")},
                           {85, 68, 68}, this)),
      m_insuranceNote(pagekit::tableNote(this)), m_watch(new pagekit::ResultWatch(this))
{
    ensureRateTable();
    pagekit::makeWhite(this);
    m_gross->setObjectName(kCarryGross);
    m_insurance->setObjectName(kCarryInsurance);
    m_bonus->setObjectName(kCarryBonus);
    QLabel *description =
        pagekit::headline(QStringLiteral("用于计算月工资、年终一次性奖金、年金的个人所得税。"), this);

    QGridLayout *inputs = pagekit::inputGrid({QStringLiteral("月应发工资"), QStringLiteral("三险一金"),
                                              QStringLiteral("年终奖金"), QStringLiteral("企业年金")},
                                             {m_gross, m_insurance, m_bonus, m_annuity}, 2, this);
    for (QDoubleSpinBox *field : {m_gross, m_insurance, m_bonus, m_annuity})
        pagekit::clickOnEnter(field, m_calcButton);

    auto *inputRow = new QHBoxLayout;
    inputRow->addLayout(inputs);
    inputRow->addSpacing(16);
    inputRow->addWidget(m_calcButton, 0, Qt::AlignVCenter);
    inputRow->addStretch();

    m_table->setHorizontalHeaderLabels({QString(), QStringLiteral("应税收入"), QStringLiteral("个人所得税"),
                                        QStringLiteral("实发数"), QStringLiteral("税率"),
                                        QStringLiteral("速算扣除数"), QStringLiteral(" ")});
    const int widths[kColumns] = {100, 110, 100, 110, 40, 100, 1};
    pagekit::styleResultTable(m_table);
    m_table->setMinimumHeight(190);
    const QString rowCaptions[kRows] = {QStringLiteral("月应发工资"), QStringLiteral("年终奖金"),
                                        QStringLiteral("企业年金"), QStringLiteral("总计")};
    for (int r = 0; r < kRows; ++r) {
        m_table->setItem(r, 0, new QTableWidgetItem(rowCaptions[r]));
        pagekit::setRowTexts(m_table, r, 1, QStringList(kColumns - 1));
    }
    pagekit::fitColumns(m_table, QList<int>(std::begin(widths), std::end(widths)));

    auto *notes = new QLabel(
        QStringLiteral(
            "1、国税函[2009]"
            "694号第六条规定：企业年金是指企业及其职工按照《企业年金试行办法》的规定，在依法参加基本养老"
            "保险的基础上，自愿建立的补充养老保险。对个人取得本通知规定之外的其他补充养老保险收入，应全额并入"
            "当月工资、"
            "薪金所得依法征收个人所得税。\n2、在雇员当月工资薪金所得低于税法规定的费用扣除额时，若同时存在年"
            "金和全年一次性"
            "奖金的情况，我们先用“全年一次性奖金”补差额，不足部分再考虑用年金方式计算。\n3、最后一行的实发数"
            "总计，不包含"
            "扣税后的企业年金。"),
        this);
    QFont notesFont = notes->font();
    notesFont.setPointSize(9);
    notesFont.setBold(true);
    notes->setFont(notesFont);
    notes->setStyleSheet(QStringLiteral("color:gray;"));
    notes->setWordWrap(true);

    auto *work = new QWidget(this);
    auto *workLayout = new QVBoxLayout(work);
    workLayout->setContentsMargins(15, 12, 12, 12);
    workLayout->setSpacing(8);
    workLayout->addWidget(description);
    workLayout->addLayout(inputRow);
    auto *memoRow = new QHBoxLayout;
    memoRow->addWidget(m_memoButton);
    memoRow->addStretch();
    memoRow->addWidget(m_watch->notice());
    workLayout->addLayout(memoRow);
    workLayout->addWidget(m_table);
    workLayout->addWidget(m_insuranceNote);
    workLayout->addWidget(notes);
    workLayout->addStretch();

    QGroupBox *threshold = pagekit::thresholdGroup(this, &m_local, &m_foreign);
    m_watch->watchInputs({m_gross, m_insurance, m_bonus, m_annuity, m_local, m_foreign});
    m_watch->addResults({m_table, m_insuranceNote});
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pagekit::pageSplitter(work, threshold, m_history, false, this));

    connect(m_calcButton, &QPushButton::clicked, this, &SingleCalcWid::calc);
    connect(m_memoButton, &QPushButton::clicked, this, &SingleCalcWid::browseCalculateMemo);
    connect(m_history->list(), &QTableWidget::cellDoubleClicked, this, &SingleCalcWid::openHistory);
    QTimer::singleShot(10, this, &SingleCalcWid::searchHistory);
}

void SingleCalcWid::calc()
{
    Salary salary;
    salary.setMonthly(fenFromInput(m_gross->value()), fenFromInput(m_insurance->value()), 1);
    salary.setBonus(fenFromInput(m_bonus->value()));
    salary.setAnnuity(fenFromInput(m_annuity->value()));
    const TaxEngine engine(m_local->isChecked() ? kThresholdLocal : kThresholdForeign);
    engine.calculate(salary);

    // Empty cells where an item or its row is missing.
    const TaxItem *items[] = {salary.monthly.get(), salary.bonus.get(), salary.annuity.get()};
    for (int r = 0; r < 3; ++r)
        pagekit::setRowTexts(m_table, r, 1, pagekit::itemTexts(items[r]));
    pagekit::setRowTexts(m_table, 3, 1,
                         pagekit::totalTexts(salary.taxableTotal, salary.taxTotal, salary.netTotal) +
                             QStringList(2));
    m_processText = salary.processText;
    pagekit::showInsuranceNote(m_insuranceNote, fenFromInput(m_gross->value()),
                               fenFromInput(m_insurance->value()));
    m_watch->setFresh();
    save();
}

void SingleCalcWid::browseCalculateMemo()
{
    if (m_processText.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("信息提示"),
                             QStringLiteral("查看计算过程前，请先计算薪资的个人所得税。"), QMessageBox::Ok);
        return;
    }
    DisplayMemoDlg dialog(QStringLiteral("个税计算过程"), m_processText, this);
    dialog.exec();
}

void SingleCalcWid::save()
{
    const double gross = m_gross->value();
    const double bonus = m_bonus->value();
    HistoryWriter writer(historyDir(), extension(), gross, bonus);
    QDataStream &out = writer.stream();
    out << m_insurance->value() << m_annuity->value() << m_local->isChecked() << m_processText;
    writeTableSnapshot(out, m_table);
    addHistoryEntry(m_history->list(), writer);
}

void SingleCalcWid::load(const QString &fileName)
{
    loadRecord(fileName);
}

bool SingleCalcWid::loadRecord(const QString &fileName)
{
    // Everything is read and checked first; the page changes only when the whole record is sound.
    HistoryReader reader(fileName);
    SingleCalcRecord record;
    if (!readSingleCalcRecord(reader, &record))
        return false;

    m_gross->setValue(record.gross);
    m_bonus->setValue(record.bonus);
    m_insurance->setValue(record.insurance);
    m_annuity->setValue(record.annuity);
    (record.local ? m_local : m_foreign)->setChecked(true);
    m_processText = record.processText;
    applyTableSnapshot(m_table, record.table);
    pagekit::showInsuranceNote(m_insuranceNote, fenFromInput(record.gross), fenFromInput(record.insurance));
    m_watch->setFresh();
    return true;
}

void SingleCalcWid::searchHistory()
{
    fillRulesHistory(m_history->list(), historyDir(), 0, TaxRules::Rules2011);
}

void SingleCalcWid::openHistory(int row, int /*column*/)
{
    openRulesHistory(this, m_history->list(), row, TaxRules::Rules2011,
                     [this](const QString &path) { return loadRecord(path); });
}
