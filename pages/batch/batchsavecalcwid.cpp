#include "pages/batch/batchsavecalcwid.h"

#include "batch/batchplan.h"
#include "batch/batchrun.h"
#include "batch/columncatalogue.h"
#include "engine/salary.h"
#include "history/batchrecords.h"
#include "history/compacttable.h"
#include "widgets/historylist.h"
#include "widgets/pagekit.h"
#include "widgets/ptablewidget.h"
#include "widgets/salarytablelayout.h"

#include <QBoxLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Source columns of the three amounts: 月应发工资, 三险一金, 年终奖金.
constexpr int kGrossColumn = 2;
constexpr int kInsuranceColumn = 3;
constexpr int kBonusColumn = 4;

const char kValueStyle[] = "color:rgb(0, 120, 230); background:transparent;";

int processColumn()
{
    return ColumnCatalogue::instance().resultColumn(TreePlanResult, GroupRemark, ColProcess);
}

int layoutColumns()
{
    return ColumnCatalogue::instance().shownColumnCount(TreePlanResult, false);
}

} // namespace

BatchSaveCalcWid::BatchSaveCalcWid(QWidget *parent)
    : BatchPageBase({u"批量对多名员工收入进行个人所得税节税筹划。"_s,
                     u"提示:先导入工资表，执行计算，即可浏览和导出计算结果。"_s,
                     u"计算"_s,
                     {u"时间"_s, u"税后收入增加"_s, u"单位开支减少"_s},
                     TreePlanSource,
                     BatchPlanPage,
                     extension()},
                    parent),
      m_allTable(new PTableWidget(m_content)), m_effectiveTable(new PTableWidget(m_content)),
      m_beforeTable(new PTableWidget(this)), m_afterTable(new PTableWidget(this)),
      m_options(new QWidget(this, Qt::Dialog | Qt::FramelessWindowHint)),
      m_raiseNet(new QRadioButton(u"增加员工税后收入（单位不多开支）"_s)),
      m_lowerCost(new QRadioButton(u"减少单位开支（员工税后收入不变）"_s)),
      m_bonusOnly(new QRadioButton(u"调整年终奖金，月收入不动（仅避开盲区）"_s)),
      m_balanced(new QRadioButton(u"年终奖金与"_s)), m_months(new QSpinBox),
      m_methodLabel(new QLabel(m_content)), m_taxDecreaseLabel(new QLabel(m_content)),
      m_costDecreaseLabel(new QLabel(m_content)), m_netIncreaseLabel(new QLabel(m_content)),
      m_resultsRow(new QBoxLayout(QBoxLayout::LeftToRight))
{
    for (PTableWidget *table : {m_allTable, m_effectiveTable, m_beforeTable, m_afterTable})
        layoutSalaryTable(table, TreePlanResult, false);
    m_beforeTable->hide();
    m_afterTable->hide();
    tabs()->addTab(m_allTable, u"全员筹划"_s);
    tabs()->addTab(m_effectiveTable, u"筹划对照"_s);

    // The method sentence and the three totals above the tables.
    auto *totals = new QHBoxLayout;
    totals->addStretch();
    for (auto [caption, value] : {std::pair{u"个人所得税减少："_s, m_taxDecreaseLabel},
                                  std::pair{u"单位开支减少："_s, m_costDecreaseLabel},
                                  std::pair{u"税后收入增加："_s, m_netIncreaseLabel}}) {
        auto *label = new QLabel(caption, m_content);
        label->setStyleSheet(QString::fromLatin1(kValueStyle));
        value->setStyleSheet(QString::fromLatin1(kValueStyle));
        QFont font = value->font();
        font.setPointSize(12);
        font.setBold(true);
        value->setFont(font);
        value->setMinimumWidth(90);
        totals->addWidget(label);
        totals->addWidget(value);
        m_captions << label;
        // Shown with the first import or reopened entry.
        label->hide();
        value->hide();
    }
    // The method sentence is long ("年终奖金与 12 个月月收入平衡发放，…"): it stands beside the three
    // totals when the page is wide enough for both on one line, else above them (fitMethodSentence),
    // and wraps only when even the whole width is too narrow for it.
    m_methodLabel->setWordWrap(true);
    m_methodLabel->hide();
    m_resultsRow->addWidget(m_methodLabel, 1);
    m_resultsRow->addLayout(totals);
    addContentRow(m_resultsRow);

    // The options panel.
    m_options->setWindowModality(Qt::ApplicationModal);
    m_options->setAutoFillBackground(true);
    auto *title = new QLabel(u"筹划↓↓"_s, m_options);
    auto *goalBox = new QGroupBox(u"节税目标"_s, m_options);
    auto *goalLayout = new QVBoxLayout(goalBox);
    goalLayout->addWidget(m_raiseNet);
    goalLayout->addWidget(m_lowerCost);
    m_raiseNet->setChecked(true);
    auto *methodBox = new QGroupBox(u"节税方式"_s, m_options);
    auto *methodLayout = new QVBoxLayout(methodBox);
    methodLayout->addWidget(m_bonusOnly);
    auto *balancedRow = new QHBoxLayout;
    balancedRow->addWidget(m_balanced);
    balancedRow->addWidget(m_months);
    balancedRow->addWidget(new QLabel(u"个月月收入平衡发放（最优）"_s, methodBox));
    balancedRow->addStretch();
    methodLayout->addLayout(balancedRow);
    m_bonusOnly->setChecked(true);
    m_months->setRange(1, 12);
    m_months->setValue(6);
    QPushButton *startButton = pagekit::actionButton(u"开始筹划"_s, m_options);
    QPushButton *closeButton = pagekit::actionButton(u"关闭"_s, m_options);
    auto *panelButtons = new QHBoxLayout;
    panelButtons->addStretch();
    panelButtons->addWidget(startButton);
    panelButtons->addWidget(closeButton);
    auto *panel = new QVBoxLayout(m_options);
    panel->addWidget(title);
    panel->addWidget(goalBox);
    panel->addWidget(methodBox);
    panel->addLayout(panelButtons);
    m_options->hide();

    connect(actionButton(), &QPushButton::clicked, this, &BatchSaveCalcWid::calc);
    connect(startButton, &QPushButton::clicked, this, &BatchSaveCalcWid::start);
    connect(closeButton, &QPushButton::clicked, this, &BatchSaveCalcWid::close);
    QTimer::singleShot(10, this, &BatchSaveCalcWid::searchHistory);
}

BatchSaveCalcWid::~BatchSaveCalcWid()
{
    discardCalculation();
}

int BatchSaveCalcWid::goal() const
{
    return m_raiseNet->isChecked() ? 0 : 1;
}

int BatchSaveCalcWid::method() const
{
    return m_bonusOnly->isChecked() ? 0 : 1;
}

int BatchSaveCalcWid::months() const
{
    return m_months->value();
}

void BatchSaveCalcWid::setOptions(int goal, int method, int months)
{
    (goal == 0 ? m_raiseNet : m_lowerCost)->setChecked(true);
    (method == 0 ? m_bonusOnly : m_balanced)->setChecked(true);
    m_months->setValue(months);
}

void BatchSaveCalcWid::importFinished()
{
    tabs()->setCurrentWidget(m_sourceTable);
    m_dataState = m_sourceTable->rowCount() > kTitleRows ? DataState::Imported : DataState::Empty;
    resetResults();
}

void BatchSaveCalcWid::resetResults()
{
    for (PTableWidget *table : {m_allTable, m_effectiveTable, m_beforeTable, m_afterTable})
        table->setRowCount(kTitleRows);
    m_methodLabel->show();
    for (QLabel *caption : std::as_const(m_captions))
        caption->show();
    for (QLabel *value : {m_taxDecreaseLabel, m_costDecreaseLabel, m_netIncreaseLabel}) {
        value->show();
        value->clear();
    }
    m_effectiveRows.clear();
    fitMethodSentence();
}

void BatchSaveCalcWid::calc()
{
    if (m_dataState == DataState::Empty) {
        QMessageBox::warning(this, u"信息提示"_s, u"计算前，请先导入员工工资数据。 "_s, QMessageBox::Ok);
        return;
    }
    const QPoint at = actionButton()->mapToGlobal(QPoint(0, 0));
    m_options->adjustSize();
    m_options->move(at.x() + actionButton()->width() - m_options->width() / 2 - 15, at.y() + 30);
    m_options->show();
    m_options->raise();
}

void BatchSaveCalcWid::resizeEvent(QResizeEvent *event)
{
    BatchPageBase::resizeEvent(event);
    fitMethodSentence();
}

void BatchSaveCalcWid::fitMethodSentence()
{
    // The sentence on one line and the totals at their natural width, with the row's spacing.
    const int oneLine = m_methodLabel->fontMetrics().horizontalAdvance(m_methodLabel->text());
    const int totals = m_resultsRow->itemAt(1)->sizeHint().width();
    const int room = m_content->contentsRect().width() - m_content->layout()->contentsMargins().left() -
                     m_content->layout()->contentsMargins().right();
    const auto direction = oneLine + m_resultsRow->spacing() + totals <= room ? QBoxLayout::LeftToRight
                                                                              : QBoxLayout::TopToBottom;
    if (m_resultsRow->direction() != direction)
        m_resultsRow->setDirection(direction);
}

void BatchSaveCalcWid::close()
{
    m_options->hide();
}

void BatchSaveCalcWid::start()
{
    m_options->hide();
    if (m_dataState == DataState::Empty || isCalculating())
        return;
    discardCalculation();
    resetResults();
    const int goal = this->goal();
    const int method = this->method();
    const int n = months();
    m_methodLabel->setText(planMethodLabel(goal == 0 ? RaiseNet : LowerCost, method == 1, n));
    fitMethodSentence();

    QProgressDialog *dialog = openProgress(u"正在准备筹划..."_s);
    m_calculating = true;
    // Until this run's results are shown there are none.
    m_dataState = DataState::Imported;
    m_unreadableCells = 0;
    dialog->setValue(1);
    dialog->setLabelText(u"正在筹划..."_s);

    // The amounts are read here (an unreadable cell is marked on the table); the records are
    // planned on every core off the window's thread, then written into the tables here.
    const int sourceRows = m_sourceTable->rowCount();
    const int dataRows = std::max(sourceRows - kTitleRows, 1);
    std::vector<CalcRecordInput> inputs;
    inputs.reserve(size_t(dataRows));
    m_filling = true;
    m_fillStopped = false;
    for (int r = kTitleRows; r < sourceRows; ++r) {
        if (fillStopped(1 + int(qint64(r - kTitleRows) * 9 / dataRows)))
            break;
        inputs.push_back({readSourceAmount(r, kGrossColumn), readSourceAmount(r, kInsuranceColumn),
                          readSourceAmount(r, kBonusColumn), 0});
    }
    m_filling = false;
    if (m_fillStopped || !progress()) {
        discardCalculation();
        return;
    }
    const Amount threshold = this->threshold();
    startOffThread(
        [this, inputs = std::move(inputs), threshold, goal, method, n](const RunControl &control) {
            m_run = runPlanRecords(inputs, threshold, goal == 0 ? RaiseNet : LowerCost, method == 1, n, 0,
                                   true, control);
        },
        10, 60, [this](bool completed) { runFinished(completed); });
}

void BatchSaveCalcWid::runFinished(bool completed)
{
    if (!completed) {
        discardCalculation();
        return;
    }
    if (progress())
        progress()->setLabelText(u"筹划已完成，正在显示..."_s);

    // Filling a hundred thousand rows takes seconds: in slices, with "停止" still answered. The
    // rows go into fresh tables that replace the shown ones once complete; a stop leaves them to
    // be dropped a slice at a time (emptying four tables of them at once would take over a second).
    m_filling = true;
    m_fillStopped = false;
    StagedTables staged(this, TreePlanResult,
                        {&m_allTable, &m_effectiveTable, &m_beforeTable, &m_afterTable});
    // "全员筹划" and "筹划对照" get their rows when they are filled.
    const int rows = kTitleRows + int(m_run.records.size()) + 2;
    m_beforeTable->setRowCount(rows);
    m_afterTable->setRowCount(rows);
    for (PTableWidget *table : {m_allTable, m_effectiveTable, m_beforeTable, m_afterTable})
        table->setUpdatesEnabled(false);
    const bool filled = fillTables();
    for (PTableWidget *table : {m_allTable, m_effectiveTable, m_beforeTable, m_afterTable})
        table->setUpdatesEnabled(true);
    m_filling = false;
    staged.finish(filled);
    if (!filled) {
        discardCalculation();
        return;
    }

    const int count = int(m_run.records.size());
    tabs()->setCurrentWidget(m_allTable);
    m_dataState = DataState::Calculated;
    if (progress()) {
        // The results stand; only the record is left to read out of the tables.
        progress()->setCancelButtonText(QString());
        progress()->setLabelText(u"正在保存计算记录..."_s);
    }
    save();
    freeOffThread(std::exchange(m_run, {}));
    m_calculating = false;
    closeProgress();
    QMessageBox::information(this, u"筹划提示"_s, planCompletionMessage(count, m_unreadableCells),
                             QMessageBox::Ok);
}

bool BatchSaveCalcWid::fillStopped(int value)
{
    return keepAlive(value) || m_fillStopped;
}

bool BatchSaveCalcWid::fillTables()
{
    const int process = processColumn();
    const int columns = layoutColumns();
    PlanResultTotals totals;
    m_effectiveRows.clear();
    const qsizetype count = qsizetype(m_run.records.size());
    {
        const QuietFill quiet{m_beforeTable, m_afterTable};
        for (qsizetype i = 0; i < count; ++i) {
            if (fillStopped(60 + int(i * 20 / count)))
                return false;
            const int row = int(i) + kTitleRows;
            for (PTableWidget *table : {m_beforeTable, m_afterTable}) {
                for (int column : {0, 1}) {
                    if (const QTableWidgetItem *source = m_sourceTable->item(row, column))
                        table->setItem(row, column, source->clone());
                }
            }
            const Salary &record = m_run.records[size_t(i)];
            const PlanResult &result = *m_run.results[size_t(i)];
            putTexts(m_beforeTable, row, planBeforeTexts(record), process);
            putTexts(m_afterTable, row, planAfterTexts(result), process, false, pagekit::kAfterRowColor,
                     columns);
            totals.add(record, result);
            if (isEffectivePlan(result))
                m_effectiveRows.append(row);
        }
        const int effectiveRow = m_beforeTable->rowCount() - 2;
        const int allRow = m_beforeTable->rowCount() - 1;
        putTotalsCaption(m_beforeTable, effectiveRow, kPlanEffectiveBeforeCaption);
        putTexts(m_beforeTable, effectiveRow, totals.beforeTexts(true), -1, true);
        putTotalsCaption(m_beforeTable, allRow, kPlanBeforeCaption);
        putTexts(m_beforeTable, allRow, totals.beforeTexts(false), -1, true);
        putTotalsCaption(m_afterTable, effectiveRow, kPlanEffectiveAfterCaption, pagekit::kAfterRowColor);
        putTexts(m_afterTable, effectiveRow, totals.afterTexts(true), process, true, pagekit::kAfterRowColor,
                 columns);
        putTotalsCaption(m_afterTable, allRow, kPlanAfterCaption, pagekit::kAfterRowColor);
        putTexts(m_afterTable, allRow, totals.afterTexts(false), process, true, pagekit::kAfterRowColor,
                 columns);
    }

    m_taxDecreaseLabel->setText(formatAmount(totals.taxDecrease()));
    m_costDecreaseLabel->setText(formatAmount(totals.costDecrease()));
    m_netIncreaseLabel->setText(formatAmount(totals.netIncrease()));
    m_netIncreaseSum = double(totals.netIncrease()) / 100;
    m_costDecreaseSum = double(totals.costDecrease()) / 100;
    return mergeTables(m_effectiveRows, 80);
}

bool BatchSaveCalcWid::mergeTables(const QList<qint32> &effectiveRows, int progressFrom)
{
    // During a run "停止" is answered; while reopening an entry the dialog has no button.
    const QEventLoop::ProcessEventsFlags events =
        m_filling ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
    const int beforeRows = m_beforeTable->rowCount();
    const int employees = beforeRows - kTitleRows - 2;
    // Rows for a hundred thousand employees take a moment per table: the dialog repaints between.
    m_allTable->setRowCount(kTitleRows + 2 * std::max(employees, 0) + 2);
    if (keepAlive(progressFrom, events) && m_filling)
        return false;
    m_effectiveTable->setRowCount(kTitleRows + 2 * int(effectiveRows.size()) + (employees > 0 ? 2 : 0));
    const QuietFill quiet{m_allTable, m_effectiveTable};
    // Both tables are rows of the before and after tables: the progress counts the rows copied.
    const qint64 copies = std::max<qint64>(qint64(employees) + effectiveRows.size(), 1);
    const int span = 100 - progressFrom;
    auto stopped = [&](qint64 done) {
        return (keepAlive(progressFrom + int(done * span / copies), events) || m_fillStopped) && m_filling;
    };
    for (int i = kTitleRows; i < beforeRows - 2; ++i) {
        if (stopped(i - kTitleRows))
            return false;
        copyRow(m_beforeTable, i, m_allTable, 2 * i - 2);
        copyRow(m_afterTable, i, m_allTable, 2 * i - 1, 2); // code and name are shown once
    }
    int next = kTitleRows;
    for (qsizetype k = 0; k < effectiveRows.size(); ++k) {
        if (stopped(employees + k))
            return false;
        const qint32 i = effectiveRows[k];
        copyRow(m_beforeTable, i, m_effectiveTable, next++);
        copyRow(m_afterTable, i, m_effectiveTable, next++, 2);
    }
    if (employees > 0) {
        copyRow(m_beforeTable, beforeRows - 2, m_effectiveTable, next++);
        copyRow(m_afterTable, beforeRows - 2, m_effectiveTable, next++);
    }
    const int allRows = m_allTable->rowCount();
    copyRow(m_beforeTable, beforeRows - 1, m_allTable, allRows - 2);
    copyRow(m_afterTable, beforeRows - 1, m_allTable, allRows - 1);
    return true;
}

void BatchSaveCalcWid::discardCalculation()
{
    // The run looks at its cancel flag every few records: this waits no longer than that.
    stopOffThread();
    freeOffThread(std::exchange(m_run, {}));
    if (m_calculating) {
        // A stopped run leaves no results behind.
        resetResults();
        for (PTableWidget *table : {m_allTable, m_effectiveTable, m_beforeTable, m_afterTable})
            table->setUpdatesEnabled(true);
        m_calculating = false;
    }
    m_fillStopped = false;
    closeProgress();
}

void BatchSaveCalcWid::stopCalc()
{
    // While the amounts are read or the tables fill, that work is on the stack: it sees the
    // request at its next row and cleans up itself.
    if (m_filling) {
        m_fillStopped = true;
        return;
    }
    discardCalculation();
}

void BatchSaveCalcWid::save()
{
    PendingRecord record = pendingRecord(historyDir(), extension(), m_netIncreaseSum, m_costDecreaseSum);
    QDataStream out(&record.head, QIODevice::WriteOnly);
    out.setVersion(kHistoryStreamVersion);
    out << localThreshold() << (goal() == 0) << (method() == 0) << qint32(months());
    out << m_methodLabel->text() << m_taxDecreaseLabel->text() << m_costDecreaseLabel->text()
        << m_netIncreaseLabel->text();
    out << extensionGroup();
    // "全员筹划" and "筹划对照" are copies of before and after rows: the record keeps the rows of
    // the employees planning helps instead of a second and third copy of every cell.
    QDataStream tail(&record.tail, QIODevice::WriteOnly);
    tail.setVersion(kHistoryStreamVersion);
    tail << qint32(m_effectiveRows.size());
    for (qint32 row : std::as_const(m_effectiveRows))
        tail << row;
    saveRecord(std::move(record), {m_sourceTable, m_beforeTable, m_afterTable});
}

std::pair<PTableWidget *, PTableWidget *> BatchSaveCalcWid::exportedTables() const
{
    return {m_beforeTable, m_afterTable};
}

bool BatchSaveCalcWid::loadRecord(const QString &fileName)
{
    if (isCalculating() || isLoading())
        return true; // not now; the entry itself is fine
    HistoryReader reader(fileName);
    BatchPlanRecord record;
    if (!readBatchPlanRecord(reader, &record))
        return false;

    m_netIncreaseSum = reader.head().value1;
    m_costDecreaseSum = reader.head().value2;
    setLocalThreshold(record.local);
    setOptions(record.firstGoal ? 0 : 1, record.firstMethod ? 0 : 1, record.months);
    resetResults();
    m_methodLabel->setText(record.method);
    fitMethodSentence();
    m_taxDecreaseLabel->setText(record.taxDecrease);
    m_costDecreaseLabel->setText(record.costDecrease);
    m_netIncreaseLabel->setText(record.netIncrease);
    restoreExtension(record.extension);
    // The stored tables fill the first part of the dialog, the two merged ones the rest.
    constexpr int kStoredPart = 40;
    fillStoredTables({{m_sourceTable, TreePlanSource, &record.source},
                      {m_beforeTable, TreePlanResult, &record.before},
                      {m_afterTable, TreePlanResult, &record.after}},
                     kStoredPart);
    for (PTableWidget *table : {m_allTable, m_effectiveTable})
        table->setUpdatesEnabled(false);
    m_effectiveRows = record.effectiveRows;
    mergeTables(m_effectiveRows, kStoredPart);
    for (PTableWidget *table : {m_allTable, m_effectiveTable})
        table->setUpdatesEnabled(true);
    finishLoading();
    m_dataState = DataState::Calculated;
    return true;
}
