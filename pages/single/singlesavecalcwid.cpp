#include "pages/single/singlesavecalcwid.h"

#include "engine/ratetable.h"
#include "engine/taxengine.h"
#include "history/singlerecords.h"
#include "pages/single/displaymemodlg.h"
#include "widgets/historylist.h"
#include "widgets/historypanel.h"
#include "widgets/pagekit.h"
#include "widgets/taxrules.h"

#include <QDoubleSpinBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <iterator>

namespace {

constexpr int kRows = kSingleSaveRows;
constexpr int kColumns = kSingleSaveColumns;
constexpr int kMaxMonths = kMaxStoredMonths;

} // namespace

SingleSaveCalcWid::SingleSaveCalcWid(QWidget *parent)
    : QWidget(parent), m_gross(pagekit::amountInput(this)), m_insurance(pagekit::amountInput(this)),
      m_bonus(pagekit::amountInput(this)), m_planButton(pagekit::calcButton(QStringLiteral("筹划 ↓"), this)),
      m_memoButton(pagekit::actionButton(QStringLiteral("查看计算过程"), this)),
      m_table(new QTableWidget(kRows, kColumns, this)), m_method(new QLabel(this)),
      m_figures(new QWidget(this)), m_taxDecrease(pagekit::resultValue(m_figures, true)),
      m_costDecrease(pagekit::resultValue(m_figures, true)),
      m_netIncrease(pagekit::resultValue(m_figures, true)),
      m_history(new HistoryPanel(
          {QStringLiteral("时间"), QStringLiteral("税后收入增加"), QStringLiteral("单位开支减少")},
          {85, 82, 82}, this)),
      m_insuranceNote(pagekit::tableNote(this)), m_watch(new pagekit::ResultWatch(this))
{
    ensureRateTable();
    pagekit::makeWhite(this);
    m_gross->setObjectName(kCarryGross);
    m_insurance->setObjectName(kCarryInsurance);
    m_bonus->setObjectName(kCarryBonus);

    auto *inputs = new QGridLayout;
    inputs->setHorizontalSpacing(12);
    inputs->setVerticalSpacing(4);
    const QString captions[] = {QStringLiteral("月应发工资"), QStringLiteral("三险一金"),
                                QStringLiteral("年终奖金")};
    QDoubleSpinBox *fields[] = {m_gross, m_insurance, m_bonus};
    for (int i = 0; i < 3; ++i) {
        auto *caption = new QLabel(captions[i], this);
        caption->setBuddy(fields[i]);
        inputs->addWidget(caption, 0, i);
        inputs->addWidget(fields[i], 1, i);
    }
    for (QDoubleSpinBox *field : fields)
        pagekit::clickOnEnter(field, m_planButton);
    auto *inputRow = new QHBoxLayout;
    inputRow->addLayout(inputs);
    inputRow->addSpacing(16);
    inputRow->addWidget(m_planButton, 0, Qt::AlignBottom);
    inputRow->addStretch();

    auto *memoRow = new QHBoxLayout;
    memoRow->addWidget(m_memoButton);
    memoRow->addStretch();
    memoRow->addWidget(m_watch->notice());

    m_table->setHorizontalHeaderLabels({QString(), QString(), QStringLiteral("应税收入"),
                                        QStringLiteral("个人所得税"), QStringLiteral("实发数"),
                                        QStringLiteral("税率"), QStringLiteral("速算扣除数"),
                                        QStringLiteral(" ")});
    const int widths[kColumns] = {80, 70, 110, 100, 110, 40, 100, 1};
    pagekit::styleResultTable(m_table);
    m_table->setMinimumHeight(35 * kRows + 40);
    const QString rowCaptions[] = {QStringLiteral("月应发工资"), QStringLiteral("年终奖金"),
                                   QStringLiteral("总计")};
    for (int r = 0; r < kRows; ++r) {
        if (r % 2 == 0) {
            auto *caption = new QTableWidgetItem(rowCaptions[r / 2]);
            caption->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            m_table->setItem(r, 0, caption);
            m_table->setSpan(r, 0, 2, 1);
        }
        m_table->setItem(
            r, 1, pagekit::captionItem(r % 2 == 0 ? QStringLiteral("筹划前") : QStringLiteral("筹划后")));
        pagekit::setRowTexts(m_table, r, 2, QStringList(kColumns - 2));
        if (r % 2 == 1)
            pagekit::tintRow(m_table, r, pagekit::kAfterRowColor, 1);
    }
    pagekit::fitColumns(m_table, QList<int>(std::begin(widths), std::end(widths)));

    QFont methodFont = m_method->font();
    methodFont.setBold(true);
    m_method->setFont(methodFont);
    m_method->setWordWrap(true);
    auto *figures = new QHBoxLayout(m_figures);
    figures->setContentsMargins(0, 0, 0, 0);
    figures->setSpacing(6);
    const QString figureCaptions[] = {QStringLiteral("个人所得税减少："), QStringLiteral("单位开支减少："),
                                      QStringLiteral("税后收入增加：")};
    QLabel *values[] = {m_taxDecrease, m_costDecrease, m_netIncrease};
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            figures->addSpacing(24);
        figures->addWidget(pagekit::resultCaption(figureCaptions[i], m_figures));
        figures->addWidget(values[i]);
    }
    figures->addStretch();
    // The lines keep their place while hidden, so the page does not move when they appear.
    for (QWidget *line : {static_cast<QWidget *>(m_method), m_figures}) {
        QSizePolicy policy = line->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        line->setSizePolicy(policy);
        line->hide();
    }

    auto *work = new QWidget(this);
    auto *workLayout = new QVBoxLayout(work);
    workLayout->setContentsMargins(15, 12, 12, 12);
    workLayout->setSpacing(10);
    workLayout->addWidget(
        pagekit::headline(QStringLiteral("用于对单名员工收入进行个人所得税节税筹划。"), work));
    workLayout->addLayout(inputRow);
    workLayout->addLayout(memoRow);
    workLayout->addWidget(m_table);
    workLayout->addWidget(m_insuranceNote);
    workLayout->addWidget(m_method);
    workLayout->addWidget(m_figures);
    workLayout->addStretch();

    QWidget *threshold = pagekit::thresholdGroup(this, &m_local, &m_foreign);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pagekit::pageSplitter(work, threshold, m_history, false, this));

    m_options = buildOptionsPanel();
    m_watch->watchInputs({m_gross, m_insurance, m_bonus, m_local, m_foreign, m_raiseNet, m_lowerCost,
                          m_bonusOnly, m_balanced, m_months});
    m_watch->addResults({m_table, m_insuranceNote, m_method, m_figures});

    connect(m_planButton, &QPushButton::clicked, this, &SingleSaveCalcWid::calc);
    connect(m_memoButton, &QPushButton::clicked, this, &SingleSaveCalcWid::browseCalculateMemo);
    connect(m_history->list(), &QTableWidget::cellDoubleClicked, this, &SingleSaveCalcWid::openHistory);
    QTimer::singleShot(10, this, &SingleSaveCalcWid::searchHistory);
}

QWidget *SingleSaveCalcWid::buildOptionsPanel()
{
    // A window of its own, so it can reach past the page's edge; owned by the page all the same.
    auto *panel = new QFrame(this, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    panel->setObjectName(QStringLiteral("planOptions"));
    panel->setWindowModality(Qt::ApplicationModal);
    pagekit::makeWhite(panel);
    // Named, so the white and the border stay on the panel and the radio indicators keep their look.
    panel->setStyleSheet(
        QStringLiteral("QFrame#planOptions{background-color:white; border:1px solid rgb(0, 120, 230);}"));

    auto *goals = new QGroupBox(QStringLiteral("节税目标"), panel);
    m_raiseNet = new QRadioButton(QStringLiteral("增加员工税后收入（单位不多开支）"), goals);
    m_lowerCost = new QRadioButton(QStringLiteral("减少单位开支（员工税后收入不变）"), goals);
    m_raiseNet->setChecked(true);
    auto *goalLayout = new QVBoxLayout(goals);
    goalLayout->addWidget(m_raiseNet);
    goalLayout->addWidget(m_lowerCost);

    auto *methods = new QGroupBox(QStringLiteral("节税方式"), panel);
    m_bonusOnly = new QRadioButton(QStringLiteral("调整年终奖金，月收入不动（仅避开盲区）"), methods);
    m_balanced = new QRadioButton(QStringLiteral("年终奖金与"), methods);
    m_months = new QSpinBox(methods);
    m_months->setRange(1, kMaxMonths);
    m_months->setValue(6);
    m_bonusOnly->setChecked(true);
    auto *balancedRow = new QHBoxLayout;
    balancedRow->setSpacing(4);
    balancedRow->addWidget(m_balanced);
    balancedRow->addWidget(m_months);
    balancedRow->addWidget(new QLabel(QStringLiteral("个月月收入平衡发放（最优）"), methods));
    balancedRow->addStretch();
    auto *methodLayout = new QVBoxLayout(methods);
    methodLayout->addWidget(m_bonusOnly);
    methodLayout->addLayout(balancedRow);

    m_startButton = new QPushButton(QStringLiteral("开始筹划"), panel);
    m_startButton->setFixedSize(120, 30);
    pagekit::styleAsAction(m_startButton);
    m_closeButton = new QPushButton(QStringLiteral("关闭"), panel);
    m_closeButton->setFixedSize(60, 30);
    pagekit::styleAsAction(m_closeButton);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_startButton);
    buttons->addWidget(m_closeButton);

    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(8);
    layout->addWidget(goals);
    layout->addWidget(methods);
    layout->addLayout(buttons);

    connect(m_startButton, &QPushButton::clicked, this, &SingleSaveCalcWid::start);
    connect(m_closeButton, &QPushButton::clicked, this, &SingleSaveCalcWid::close);
    // The panel has no frame to close it by; Escape does what "关闭" does.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), panel);
    connect(escape, &QShortcut::activated, this, &SingleSaveCalcWid::close);
    // Enter starts the plan from anywhere in the panel, as "开始筹划" does: the radio buttons and
    // the month box leave the key to the panel.
    panel->installEventFilter(this);
    panel->hide();
    return panel;
}

bool SingleSaveCalcWid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_options && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_startButton->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SingleSaveCalcWid::calc()
{
    m_options->adjustSize();
    const QPoint buttonTopLeft = m_planButton->mapToGlobal(QPoint(0, 0));
    // Below the button, which stands at the bottom of the input row, so no input is covered.
    m_options->move(buttonTopLeft.x() + m_planButton->width() - m_options->width() - 15,
                    buttonTopLeft.y() + m_planButton->height() + 4);
    m_options->show();
    m_options->raise();
    m_options->activateWindow();
}

void SingleSaveCalcWid::close()
{
    m_options->hide();
}

void SingleSaveCalcWid::showResultLabels()
{
    m_method->show();
    m_figures->show();
}

void SingleSaveCalcWid::start()
{
    m_options->hide();
    showResultLabels();
    m_taxDecrease->clear();
    m_costDecrease->clear();
    m_netIncrease->clear();

    const PlanGoal goal = m_raiseNet->isChecked() ? RaiseNet : LowerCost;
    const bool balanced = !m_bonusOnly->isChecked();
    const int months = balanced ? m_months->value() : 1;
    const QString method = planMethodLabel(goal, balanced, m_months->value());
    m_method->setText(method);

    Salary salary;
    salary.setMonthly(fenFromInput(m_gross->value()), fenFromInput(m_insurance->value()), months);
    salary.setBonus(fenFromInput(m_bonus->value()));
    PlanResults results;
    TaxEngine(m_local->isChecked() ? kThresholdLocal : kThresholdForeign)
        .plan(salary, results, goal, balanced, months);

    // With no better split the "after" rows repeat the input.
    const Salary &after = results.empty() ? salary : *results.front();
    const Salary *shown[] = {&salary, &after};
    for (int i = 0; i < 2; ++i) {
        pagekit::setRowTexts(m_table, i, 2, pagekit::itemTexts(shown[i]->monthly.get()));
        pagekit::setRowTexts(m_table, 2 + i, 2, pagekit::itemTexts(shown[i]->bonus.get()));
        pagekit::setRowTexts(
            m_table, 4 + i, 2,
            pagekit::totalTexts(shown[i]->taxableTotal, shown[i]->taxTotal, shown[i]->netTotal) +
                QStringList(2));
    }
    if (results.empty()) {
        m_taxDecrease->setText(QStringLiteral("0"));
        m_costDecrease->setText(QStringLiteral("0"));
        m_netIncrease->setText(QStringLiteral("0"));
        m_headNet = 0;
        m_headCost = 0;
    } else {
        const PlanResult &best = *results.front();
        m_taxDecrease->setText(formatAmount(best.taxDecrease));
        m_costDecrease->setText(formatAmount(best.costDecrease));
        m_netIncrease->setText(formatAmount(best.netIncrease));
        m_headNet = yuanFromFen(best.netIncrease);
        m_headCost = yuanFromFen(best.costDecrease);
    }
    m_processText = planPageProcessText(method, salary, results);
    pagekit::showInsuranceNote(m_insuranceNote, fenFromInput(m_gross->value()),
                               fenFromInput(m_insurance->value()));
    m_watch->setFresh();
    save();
}

void SingleSaveCalcWid::browseCalculateMemo()
{
    if (m_processText.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("信息提示"),
                             QStringLiteral("查看计算过程前，请先筹划计算薪资的个人所得税。"),
                             QMessageBox::Ok);
        return;
    }
    DisplayMemoDlg dialog(QStringLiteral("个税节税筹划过程"), m_processText, this);
    dialog.exec();
}

void SingleSaveCalcWid::save()
{
    HistoryWriter writer(historyDir(), extension(), m_headNet, m_headCost);
    QDataStream &out = writer.stream();
    out << m_method->text() << m_taxDecrease->text() << m_costDecrease->text() << m_netIncrease->text()
        << m_gross->value() << m_insurance->value() << m_bonus->value() << m_local->isChecked()
        << m_raiseNet->isChecked() << m_bonusOnly->isChecked() << qint32(m_months->value()) << m_processText;
    writeTableSnapshot(out, m_table);
    addHistoryEntry(m_history->list(), writer);
}

void SingleSaveCalcWid::load(const QString &fileName)
{
    loadRecord(fileName);
}

bool SingleSaveCalcWid::loadRecord(const QString &fileName)
{
    // Everything is read and checked first; the page changes only when the whole record is sound.
    HistoryReader reader(fileName);
    SingleSaveRecord record;
    if (!readSingleSaveRecord(reader, &record))
        return false;

    m_gross->setValue(record.gross);
    m_insurance->setValue(record.insurance);
    m_bonus->setValue(record.bonus);
    (record.local ? m_local : m_foreign)->setChecked(true);
    (record.raiseNet ? m_raiseNet : m_lowerCost)->setChecked(true);
    (record.bonusOnly ? m_bonusOnly : m_balanced)->setChecked(true);
    m_months->setValue(record.months);
    m_method->setText(record.method);
    m_taxDecrease->setText(record.taxDecrease);
    m_costDecrease->setText(record.costDecrease);
    m_netIncrease->setText(record.netIncrease);
    showResultLabels();
    m_processText = record.processText;
    m_headNet = record.headNet;
    m_headCost = record.headCost;
    applyTableSnapshot(m_table, record.table);
    pagekit::showInsuranceNote(m_insuranceNote, fenFromInput(record.gross), fenFromInput(record.insurance));
    m_watch->setFresh();
    return true;
}

void SingleSaveCalcWid::searchHistory()
{
    fillRulesHistory(m_history->list(), historyDir(), 2, TaxRules::Rules2011);
}

void SingleSaveCalcWid::openHistory(int row, int /*column*/)
{
    openRulesHistory(this, m_history->list(), row, TaxRules::Rules2011,
                     [this](const QString &path) { return loadRecord(path); });
}
