#include "pages/batch/batchcalcwid.h"

#include "batch/batchcalc.h"
#include "batch/columncatalogue.h"
#include "engine/salary.h"
#include "history/batchrecords.h"
#include "history/compacttable.h"
#include "pages/batch/calctaxthread.h"
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
    discardCalculation();
    QProgressDialog *dialog = openProgress(u"正在准备计算..."_s);
    connect(dialog, &QProgressDialog::canceled, this, &BatchCalcWid::stopCalc);

    const int sourceRows = m_sourceTable->rowCount();
    m_resultTable->setRowCount(sourceRows + 1);
    m_finishedCount = 0;
    m_finishedWorkers = 0;
    m_unreadableCells = 0;
    dialog->setValue(1);
    dialog->setLabelText(u"正在计算..."_s);

    const Amount threshold = this->threshold();
    const QList<RowRange> ranges = calcWorkerRanges(sourceRows);
    m_records.reserve(sourceRows - kTitleRows);
    for (int k = 0; k < ranges.size(); ++k) {
        QList<Salary *> own;
        own.reserve(ranges[k].count());
        for (int r = ranges[k].first; r <= ranges[k].last; ++r) {
            auto *record = new Salary;
            setCalcInputs(*record, readSourceAmount(r, kGrossColumn), readSourceAmount(r, kInsuranceColumn),
                          readSourceAmount(r, kBonusColumn), readSourceAmount(r, kAnnuityColumn));
            own.append(record);
            m_records.append(record);
        }
        auto *worker = new CalcTaxThread(threshold, this);
        worker->setRecords(own);
        m_threads.append(worker);
        connect(worker, &CalcTaxThread::taxCalculated, this, &BatchCalcWid::taxCalculated,
                Qt::QueuedConnection);
        connect(worker, &QThread::finished, this, &BatchCalcWid::threadFinished);
        dialog->setValue(int(double(k + 1) / ranges.size() * 9 + 1));
    }
    for (CalcTaxThread *worker : std::as_const(m_threads))
        worker->start(QThread::InheritPriority);
}

void BatchCalcWid::taxCalculated(Salary *, bool)
{
    ++m_finishedCount;
    if (!m_records.isEmpty())
        setProgress(int(double(m_finishedCount) / m_records.size() * 90 + 10),
                    m_finishedCount == m_records.size());
}

void BatchCalcWid::threadFinished()
{
    if (m_threads.isEmpty())
        return;
    // finished() is sent just before a thread ends, so isFinished() can still be false when the
    // last report arrives here: count the reports instead, then wait the moment it takes.
    if (++m_finishedWorkers < m_threads.size())
        return;
    // Every worker ended; one that was stopped early leaves records without results, which are
    // never shown.
    if (m_finishedCount != m_records.size()) {
        discardCalculation();
        return;
    }
    for (CalcTaxThread *worker : std::as_const(m_threads)) {
        worker->wait();
        worker->deleteLater();
    }
    m_threads.clear();
    if (progress())
        progress()->setLabelText(u"计算已完成，正在显示..."_s);

    m_resultTable->setUpdatesEnabled(false);
    fillResultTable();
    m_resultTable->setUpdatesEnabled(true);

    const int count = int(m_records.size());
    setProgress(100, true);
    tabs()->setCurrentWidget(m_resultTable);
    m_dataState = DataState::Calculated;
    if (progress()) {
        // The results stand; only the record is left to read out of the tables.
        progress()->setCancelButtonText(QString());
        progress()->setLabelText(u"正在保存计算记录..."_s);
    }
    save();
    discardCalculation();
    QMessageBox::information(this, u"计算提示"_s, calcCompletionMessage(count, m_unreadableCells),
                             QMessageBox::Ok);
}

void BatchCalcWid::fillResultTable()
{
    CalcResultTotals totals;
    std::vector<ResultText> texts;
    // The process text also shows as its cell's tool tip.
    const int processColumn =
        ColumnCatalogue::instance().resultColumn(TreeCalcResult, GroupRemark, ColProcess);
    for (int i = 0; i < m_records.size(); ++i) {
        const int row = i + kTitleRows;
        for (int column : {0, 1}) {
            if (const QTableWidgetItem *source = m_sourceTable->item(row, column))
                m_resultTable->setItem(row, column, source->clone());
        }
        const Salary &record = *m_records[i];
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
}

void BatchCalcWid::discardCalculation()
{
    for (CalcTaxThread *worker : std::as_const(m_threads)) {
        disconnect(worker, nullptr, this, nullptr);
        worker->requestInterruption();
        worker->quit();
    }
    // Each worker ends within one record once asked; wait for all of them before their records go.
    for (CalcTaxThread *worker : std::as_const(m_threads)) {
        worker->wait();
        delete worker;
    }
    m_threads.clear();
    qDeleteAll(m_records);
    m_records.clear();
    closeProgress();
}

void BatchCalcWid::stopCalc()
{
    discardCalculation();
}

void BatchCalcWid::save()
{
    PendingRecord record = pendingRecord(historyDir(), extension(), m_taxSum, m_netSum);
    QDataStream out(&record.head, QIODevice::WriteOnly);
    out.setVersion(kHistoryStreamVersion);
    out << localThreshold();
    out << *ColumnCatalogue::instance().sourceGroup(TreeCalcSource, GroupExtension);
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
