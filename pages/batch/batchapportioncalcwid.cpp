#include "pages/batch/batchapportioncalcwid.h"

#include "batch/batchapportion.h"
#include "batch/batchrun.h"
#include "batch/columncatalogue.h"
#include "engine/taxengine.h"
#include "history/batchrecords.h"
#include "history/compacttable.h"
#include "widgets/historylist.h"
#include "widgets/pagekit.h"
#include "widgets/ptablewidget.h"
#include "widgets/salarytablelayout.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include <iterator>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Source columns of the three amounts: 月应发工资, 三险一金, 非全年一次性奖金.
const int kWageColumn = ColumnCatalogue::sourcePosition(ColMonthlyGross);
const int kInsuranceColumn = ColumnCatalogue::sourcePosition(ColInsurance);
const int kBonusColumn = ColumnCatalogue::sourcePosition(ColOtherBonus);

const char kCaptionStyle[] = "color:rgb(0, 120, 230); background:transparent;";

int layoutColumns()
{
    return ColumnCatalogue::instance().shownColumnCount(TreeApportionResult, false);
}

} // namespace

BatchApportionCalcWid::BatchApportionCalcWid(QWidget *parent)
    : BatchPageBase({u"批量对非全年一次性奖金分摊到多个月份发放，以达减税增收的目的。"_s,
                     u"提示:先导入工资表，执行分摊计算，即可浏览和导出分摊结果。"_s,
                     u"分摊"_s,
                     {u"时间"_s, u"税后收入增加"_s, u"个税减少"_s},
                     TreeApportionSource,
                     BatchApportionPage,
                     extension()},
                    parent),
      m_resultTable(new PTableWidget(m_content)), m_beforeTable(new PTableWidget(this)),
      m_afterTable(new PTableWidget(this)), m_months(new QSpinBox(m_content)),
      m_taxDecreaseCaption(new QLabel(u"个人所得税减少："_s, m_content)),
      m_taxDecreaseValue(new QLabel(m_content)),
      m_netIncreaseCaption(new QLabel(u"税后收入增加："_s, m_content)),
      m_netIncreaseValue(new QLabel(m_content))
{
    for (PTableWidget *table : {m_resultTable, m_beforeTable, m_afterTable})
        layoutSalaryTable(table, TreeApportionResult, false);
    m_beforeTable->hide();
    m_afterTable->hide();
    tabs()->addTab(m_resultTable, u"全员分摊"_s);

    m_months->setRange(1, 12);
    m_months->setValue(3);
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(u"将非全年一次性奖金分摊到"_s, m_content));
    row->addWidget(m_months);
    row->addWidget(new QLabel(u"个月与月收入一起发放。"_s, m_content));
    row->addStretch();
    for (QLabel *caption : {m_taxDecreaseCaption, m_netIncreaseCaption})
        caption->setStyleSheet(QString::fromLatin1(kCaptionStyle));
    for (QLabel *value : {m_taxDecreaseValue, m_netIncreaseValue}) {
        QFont font = value->font();
        font.setPointSize(12);
        font.setBold(true);
        value->setFont(font);
        value->setMinimumWidth(90);
    }
    row->addWidget(m_taxDecreaseCaption);
    row->addWidget(m_taxDecreaseValue);
    row->addWidget(m_netIncreaseCaption);
    row->addWidget(m_netIncreaseValue);
    for (QLabel *label : {m_taxDecreaseCaption, m_taxDecreaseValue, m_netIncreaseCaption, m_netIncreaseValue})
        label->hide();
    addContentRow(row);

    connect(actionButton(), &QPushButton::clicked, this, &BatchApportionCalcWid::calc);
    QTimer::singleShot(10, this, &BatchApportionCalcWid::searchHistory);
}

BatchApportionCalcWid::~BatchApportionCalcWid() = default;

void BatchApportionCalcWid::importFinished()
{
    tabs()->setCurrentWidget(m_sourceTable);
    m_dataState = m_sourceTable->rowCount() > kTitleRows ? DataState::Imported : DataState::Empty;
    reset();
}

void BatchApportionCalcWid::reset()
{
    for (PTableWidget *table : {m_resultTable, m_beforeTable, m_afterTable})
        table->setRowCount(kTitleRows);
    // The tax decrease is set and saved but shown only when asked for; the gain always shows.
    m_netIncreaseCaption->show();
    m_netIncreaseValue->show();
    m_taxDecreaseValue->clear();
    m_netIncreaseValue->clear();
}

void BatchApportionCalcWid::calc()
{
    if (m_dataState == DataState::Empty) {
        QMessageBox::warning(this, u"信息提示"_s, u"分摊前，请先导入员工工资奖金数据。 "_s, QMessageBox::Ok);
        return;
    }
    start();
}

void BatchApportionCalcWid::start()
{
    if (m_running || isLoading())
        return;
    reset();
    const int months = m_months->value();
    QProgressDialog *dialog = openProgress(u"正在准备分摊..."_s);
    m_running = true;

    const int sourceRows = m_sourceTable->rowCount();
    const int dataRows = sourceRows - kTitleRows;
    const int columns = layoutColumns();
    // The rows go into fresh tables that replace the shown ones once complete; a stop leaves them
    // to be dropped a slice at a time (emptying three tables of them at once takes about a second).
    StagedTables staged(this, TreeApportionResult, {&m_resultTable, &m_beforeTable, &m_afterTable});
    for (PTableWidget *table : {m_resultTable, m_beforeTable, m_afterTable})
        table->setUpdatesEnabled(false);
    m_beforeTable->setRowCount(sourceRows + 1);
    m_afterTable->setRowCount(sourceRows + 1);
    m_unreadableCells = 0;
    dialog->setValue(10);
    dialog->setLabelText(u"正在分摊..."_s);

    // The amounts are read here (an unreadable cell is marked on the table); the rows are
    // apportioned on every core off the window's thread, then written into the tables here.
    std::vector<CalcRecordInput> inputs;
    inputs.reserve(size_t(std::max(dataRows, 0)));
    bool cancelled = false;
    for (int r = kTitleRows; r < sourceRows; ++r) {
        if (stopRequested(int(double(r - 1) / std::max(dataRows, 1) * 10 + 10))) {
            cancelled = true;
            break;
        }
        inputs.push_back({readSourceAmount(r, kWageColumn), readSourceAmount(r, kInsuranceColumn),
                          readSourceAmount(r, kBonusColumn), 0});
    }
    ApportionRun run;
    const Amount threshold = this->threshold();
    if (!cancelled) {
        cancelled = !runOffThread(
            [&](const RunControl &control) {
                run = runApportionRecords(inputs, threshold, months, 0, true, control);
            },
            20, 50);
    }

    ApportionTotals totals;
    std::optional<QuietFill> quiet(std::in_place,
                                   std::initializer_list<QTableWidget *>{m_beforeTable, m_afterTable});
    for (int r = kTitleRows; r < sourceRows && !cancelled; ++r) {
        if (stopRequested(int(double(r - 1) / std::max(dataRows, 1) * 20 + 50))) {
            cancelled = true;
            break;
        }
        const ApportionedRow &row = run.rows[size_t(r - kTitleRows)];
        for (PTableWidget *table : {m_beforeTable, m_afterTable}) {
            for (int column : {0, 1}) {
                if (const QTableWidgetItem *source = m_sourceTable->item(r, column))
                    table->setItem(r, column, source->clone());
            }
        }
        putTexts(m_beforeTable, r, apportionBeforeTexts(row), -1);
        putTexts(m_afterTable, r, apportionAfterTexts(row), -1, false, pagekit::kAfterRowColor, columns);
        totals.add(row);
    }
    if (!cancelled) {
        const int totalsRow = m_beforeTable->rowCount() - 1;
        putTotalsCaption(m_beforeTable, totalsRow, kApportionBeforeCaption);
        putTexts(m_beforeTable, totalsRow, totals.beforeTexts(), -1, true);
        putTotalsCaption(m_afterTable, totalsRow, kApportionAfterCaption, pagekit::kAfterRowColor);
        putTexts(m_afterTable, totalsRow, totals.afterTexts(), -1, true, pagekit::kAfterRowColor, columns);
        quiet.reset();
        cancelled = !mergeTables(true, 70);
    }
    if (!cancelled) {
        // A modal dialog's setValue lets the window run once more, so "停止" may come in here too.
        setProgress(100, true);
        cancelled = !progress() || progress()->wasCanceled();
    }
    quiet.reset();
    for (PTableWidget *table : {m_resultTable, m_beforeTable, m_afterTable})
        table->setUpdatesEnabled(true);
    staged.finish(!cancelled);
    freeOffThread(std::move(run));
    if (cancelled) {
        reset();
        closeProgress();
        m_running = false;
        return;
    }

    m_taxDecreaseValue->setText(formatAmount(totals.taxDecrease()));
    m_netIncreaseValue->setText(formatAmount(totals.netIncrease()));
    m_netIncreaseSum = double(totals.netIncrease()) / 100;
    m_taxDecreaseSum = double(totals.taxDecrease()) / 100;

    tabs()->setCurrentWidget(m_resultTable);
    m_dataState = DataState::Calculated;
    if (progress()) {
        // The results stand; only the record is left to read out of the tables.
        progress()->setCancelButtonText(QString());
        progress()->setLabelText(u"正在保存计算记录..."_s);
    }
    save();
    closeProgress();
    m_running = false;
    QMessageBox::information(this, u"分摊提示"_s, apportionCompletionMessage(dataRows, m_unreadableCells),
                             QMessageBox::Ok);
}

bool BatchApportionCalcWid::stopRequested(int value)
{
    // A repaint and a look at "停止" a few dozen times a second, not per row: both take longer
    // than the row itself.
    return keepAlive(value) || !progress();
}

bool BatchApportionCalcWid::mergeTables(bool duringRun, int progressFrom)
{
    const int rows = m_beforeTable->rowCount();
    m_resultTable->setRowCount(std::max(2 * rows - 2, int(kTitleRows)));
    const QuietFill quiet{m_resultTable};
    const int span = 100 - progressFrom;
    for (int i = kTitleRows; i < rows; ++i) {
        const int value = progressFrom + int(qint64(i) * span / std::max(rows, 1));
        if (duringRun ? stopRequested(value) : keepAlive(value, QEventLoop::ExcludeUserInputEvents))
            return false;
        copyRow(m_beforeTable, i, m_resultTable, 2 * i - 2);
        // Ordinary after rows leave code and name to the before row above; the totals pair has both.
        copyRow(m_afterTable, i, m_resultTable, 2 * i - 1, i == rows - 1 ? 0 : 2);
    }
    return true;
}

void BatchApportionCalcWid::save()
{
    PendingRecord record = pendingRecord(historyDir(), extension(), m_netIncreaseSum, m_taxDecreaseSum);
    QDataStream out(&record.head, QIODevice::WriteOnly);
    out.setVersion(kHistoryStreamVersion);
    out << localThreshold() << qint32(m_months->value()) << m_taxDecreaseValue->text()
        << m_netIncreaseValue->text();
    out << extensionGroup();
    // "全员分摊" is the before and after rows merged: the record keeps those two tables only.
    saveRecord(std::move(record), {m_sourceTable, m_beforeTable, m_afterTable});
}

std::pair<PTableWidget *, PTableWidget *> BatchApportionCalcWid::exportedTables() const
{
    return {m_beforeTable, m_afterTable};
}

bool BatchApportionCalcWid::loadRecord(const QString &fileName)
{
    if (m_running || isLoading())
        return true; // not now; the entry itself is fine
    HistoryReader reader(fileName);
    BatchApportionRecord record;
    if (!readBatchApportionRecord(reader, &record))
        return false;

    reset();
    m_netIncreaseSum = reader.head().value1;
    m_taxDecreaseSum = reader.head().value2;
    setLocalThreshold(record.local);
    m_months->setValue(record.months);
    m_taxDecreaseValue->setText(record.taxDecrease);
    m_netIncreaseValue->setText(record.netIncrease);
    restoreExtension(record.extension);
    // The stored tables fill the first part of the dialog, the merged one the rest.
    constexpr int kStoredPart = 60;
    fillStoredTables({{m_sourceTable, TreeApportionSource, &record.source},
                      {m_beforeTable, TreeApportionResult, &record.before},
                      {m_afterTable, TreeApportionResult, &record.after}},
                     kStoredPart);
    m_resultTable->setUpdatesEnabled(false);
    mergeTables(false, kStoredPart);
    m_resultTable->setUpdatesEnabled(true);
    finishLoading();
    m_dataState = DataState::Calculated;
    return true;
}
