#include "pages/batch/batchcalcwid.h"

#include "batch/batchcalc.h"
#include "batch/batchrun.h"
#include "batch/columncatalogue.h"
#include "engine/salary.h"
#include "history/batchrecords.h"
#include "history/compacttable.h"
#include "widgets/historylist.h"
#include "widgets/historypanel.h"
#include "widgets/pagekit.h"
#include "widgets/ptablewidget.h"
#include "widgets/salarytablelayout.h"

#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Source columns of the four amounts: 月应发工资, 三险一金, 年终奖金, 企业年金.
constexpr int kGrossColumn = 2;
constexpr int kInsuranceColumn = 3;
constexpr int kBonusColumn = 4;
constexpr int kAnnuityColumn = 5;

} // namespace

BatchCalcWid::BatchCalcWid(QWidget *parent)
    : BatchPageBase({u"导入工资表格清单，或在下方表格中录入员工工资，批量计算员工个人所得税。"_s,
                     u"提示:先导入工资表，执行计算，即可浏览和导出计算结果。"_s,
                     u"计算"_s,
                     {u"时间"_s, u"个人所得税"_s, u"实发数"_s},
                     TreeCalcSource,
                     BatchCalcPage,
                     extension()},
                    parent),
      m_resultTable(new PTableWidget(m_content))
{
    layoutSalaryTable(m_resultTable, TreeCalcResult, false);
    tabs()->addTab(m_resultTable, u"计算结果表"_s);

    connect(actionButton(), &QPushButton::clicked, this, &BatchCalcWid::calc);
    QTimer::singleShot(10, this, &BatchCalcWid::searchHistory);
}

BatchCalcWid::~BatchCalcWid()
{
    discardCalculation();
}

void BatchCalcWid::importFinished()
{
    tabs()->setCurrentWidget(m_sourceTable);
    m_dataState = m_sourceTable->rowCount() > kTitleRows ? DataState::Imported : DataState::Empty;
    m_resultTable->setRowCount(kTitleRows);
}

void BatchCalcWid::calc()
{
    if (m_dataState == DataState::Empty) {
        QMessageBox::warning(this, u"信息提示"_s, u"计算前，请先导入员工工资数据。 "_s, QMessageBox::Ok);
        return;
    }
    if (m_busy)
        return;
    discardCalculation();
    QProgressDialog *dialog = openProgress(u"正在准备计算..."_s);
    m_calculating = true;
    // Until this run's results are shown there are none.
    m_dataState = DataState::Imported;
    m_resultTable->setRowCount(kTitleRows);
    m_unreadableCells = 0;
    dialog->setValue(1);
    dialog->setLabelText(u"正在计算..."_s);

    // The amounts are read here (an unreadable cell is marked on the table); the records are
    // calculated on every core off the window's thread, then written into the table here.
    const int sourceRows = m_sourceTable->rowCount();
    const int dataRows = std::max(sourceRows - kTitleRows, 1);
    std::vector<CalcRecordInput> inputs;
    inputs.reserve(size_t(dataRows));
    m_busy = true;
    m_stopRequested = false;
    for (int r = kTitleRows; r < sourceRows; ++r) {
        if (stopRequested(1 + int(qint64(r - kTitleRows) * 9 / dataRows)))
            break;
        inputs.push_back({readSourceAmount(r, kGrossColumn), readSourceAmount(r, kInsuranceColumn),
                          readSourceAmount(r, kBonusColumn), readSourceAmount(r, kAnnuityColumn)});
    }
    m_busy = false;
    if (m_stopRequested || !progress()) {
        discardCalculation();
        return;
    }
    const Amount threshold = this->threshold();
    startOffThread(
        [this, inputs = std::move(inputs), threshold](const RunControl &control) {
            m_records = runCalcRecords(inputs, threshold, 0, true, control);
        },
        10, 90, [this](bool completed) { runFinished(completed); });
}

void BatchCalcWid::runFinished(bool completed)
{
    if (!completed) {
        discardCalculation();
        return;
    }
    if (progress())
        progress()->setLabelText(u"计算已完成，正在显示..."_s);
    m_busy = true;
    m_stopRequested = false;
    m_resultTable->setUpdatesEnabled(false);
    const bool filled = fillResultTable();
    m_resultTable->setUpdatesEnabled(true);
    m_busy = false;
    if (!filled) {
        discardCalculation();
        return;
    }

    const int count = int(m_records.size());
    // A modal dialog's setValue lets the window run once more, so "停止" may come in here too.
    setProgress(100, true);
    if (!progress() || progress()->wasCanceled()) {
        discardCalculation();
        return;
    }
    tabs()->setCurrentWidget(m_resultTable);
    m_dataState = DataState::Calculated;
    if (progress()) {
        // The results stand; only the record is left to read out of the tables.
        progress()->setCancelButtonText(QString());
        progress()->setLabelText(u"正在保存计算记录..."_s);
    }
    save();
    m_records = {};
    m_calculating = false;
    closeProgress();
    QMessageBox::information(this, u"计算提示"_s, calcCompletionMessage(count, m_unreadableCells),
                             QMessageBox::Ok);
}

bool BatchCalcWid::stopRequested(int value)
{
    // A repaint and a look at "停止" a few dozen times a second, not per row.
    if (keepAlive(value))
        m_stopRequested = true;
    return m_stopRequested || !progress();
}

bool BatchCalcWid::fillResultTable()
{
    const qsizetype count = qsizetype(m_records.size());
    m_resultTable->setRowCount(kTitleRows + int(count) + 1);
    CalcResultTotals totals;
    std::vector<ResultText> texts;
    // The process text also shows as its cell's tool tip.
    const int processColumn =
        ColumnCatalogue::instance().resultColumn(TreeCalcResult, GroupRemark, ColProcess);
    for (qsizetype i = 0; i < count; ++i) {
        if (stopRequested(90 + int(i * 10 / count)))
            return false;
        const int row = int(i) + kTitleRows;
        for (int column : {0, 1}) {
            if (const QTableWidgetItem *source = m_sourceTable->item(row, column))
                m_resultTable->setItem(row, column, source->clone());
        }
        const Salary &record = m_records[size_t(i)];
        texts = calcResultTexts(record);
        for (const ResultText &text : texts) {
            QTableWidgetItem *item = pagekit::valueItem(text.text);
            if (text.column == processColumn)
                item->setToolTip(text.text);
            m_resultTable->setItem(row, text.column, item);
        }
        totals.add(record);
    }
    const int totalsRow = m_resultTable->rowCount() - 1;
    auto *caption = new QTableWidgetItem(u"总计"_s);
    caption->setTextAlignment(Qt::AlignCenter);
    caption->setFont(m_totalsFont);
    m_resultTable->setItem(totalsRow, 1, caption);
    for (const ResultText &text : totals.texts()) {
        QTableWidgetItem *item = pagekit::valueItem(text.text);
        item->setFont(m_totalsFont);
        m_resultTable->setItem(totalsRow, text.column, item);
    }
    m_taxSum = double(totals.taxTotal()) / 100;
    m_netSum = double(totals.netTotal()) / 100;
    return true;
}

void BatchCalcWid::discardCalculation()
{
    // The run looks at its cancel flag every few records: this waits no longer than that.
    stopOffThread();
    m_records = {};
    if (m_calculating) {
        // A stopped run leaves no results behind.
        m_resultTable->setRowCount(kTitleRows);
        m_resultTable->setUpdatesEnabled(true);
        m_calculating = false;
    }
    m_stopRequested = false;
    closeProgress();
}

void BatchCalcWid::stopCalc()
{
    // Work on the window's thread is on the stack: it sees the request at its next row and cleans
    // up itself.
    if (m_busy) {
        m_stopRequested = true;
        return;
    }
    discardCalculation();
}

void BatchCalcWid::save()
{
    PendingRecord record = pendingRecord(historyDir(), extension(), m_taxSum, m_netSum);
    QDataStream out(&record.head, QIODevice::WriteOnly);
    out.setVersion(kHistoryStreamVersion);
    out << localThreshold();
    out << extensionGroup();
    saveRecord(std::move(record), {m_sourceTable, m_resultTable});
}

std::pair<PTableWidget *, PTableWidget *> BatchCalcWid::exportedTables() const
{
    return {m_resultTable, nullptr};
}

bool BatchCalcWid::loadRecord(const QString &fileName)
{
    if (isCalculating() || isLoading())
        return true; // not now; the entry itself is fine
    HistoryReader reader(fileName);
    BatchCalcRecord record;
    if (!readBatchCalcRecord(reader, &record))
        return false;

    m_taxSum = reader.head().value1;
    m_netSum = reader.head().value2;
    setLocalThreshold(record.local);
    restoreExtension(record.extension);
    fillStoredTables(
        {{m_sourceTable, TreeCalcSource, &record.source}, {m_resultTable, TreeCalcResult, &record.result}});
    m_dataState = DataState::Calculated;
    return true;
}
