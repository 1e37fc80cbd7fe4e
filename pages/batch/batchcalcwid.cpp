#include "pages/batch/batchcalcwid.h"

#include "batch/amountcell.h"
#include "batch/batchcalc.h"
#include "batch/columncatalogue.h"
#include "engine/ratetable.h"
#include "engine/salary.h"
#include "excel/cellkind.h"
#include "excel/columnletters.h"
#include "pages/batch/calctaxthread.h"
#include "pages/batch/ptablewidget.h"
#include "pages/batch/salarytablelayout.h"
#include "pages/common/historylist.h"
#include "pages/single/historypanel.h"
#include "pages/single/pagekit.h"
#include "wizards/import/importwizard.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Source columns of the four amounts: 月应发工资, 三险一金, 年终奖金, 企业年金.
constexpr int kGrossColumn = 2;
constexpr int kInsuranceColumn = 3;
constexpr int kBonusColumn = 4;
constexpr int kAnnuityColumn = 5;
// The tint of a source cell whose amount could not be read.
const QColor kUnreadableColor(255, 199, 206);
// The progress dialog is repainted at most this often (milliseconds).
constexpr int kProgressInterval = 33;
// Stored tables larger than this are not tables this page wrote.
constexpr qint32 kMaxStoredRows = 2'000'000;
constexpr qint32 kMaxStoredColumns = 16'384 + 1;
// Entries up to this many cells reopen at once, without a progress dialog.
constexpr qint64 kQuietLoadCells = 500'000;

const char kButtonStyle[] = "QPushButton{border-radius:5px; background:rgb(110, 190, 10); color:white;}"
                            "QPushButton:hover{background:rgb(140, 220, 35);}";
const char kFullScreenStyle[] =
    "QToolButton{border: 1px solid grey;border-radius:5px; background:transparent; "
    "color:white;}QToolButton:hover{background:rgb(220, 220, 220);}";

QPushButton *stepButton(const QString &text, const QString &icon, QWidget *parent)
{
    auto *button = new QPushButton(QIcon(icon), text, parent);
    button->setStyleSheet(QString::fromLatin1(kButtonStyle));
    button->setFixedSize(110, 36);
    button->setIconSize(QSize(20, 20));
    return button;
}

QLabel *stepPicture(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(QPixmap(u":/contentWidget/wizard"_s));
    return label;
}

// The amount in a source cell, by the core's rule; unreadable cells are tinted and say why.
Amount readSourceAmount(PTableWidget *table, int row, int column, int *unreadable)
{
    QTableWidgetItem *item = table->item(row, column);
    if (!item)
        return 0;
    const QVariant number = item->data(kCellNumberRole);
    const CellKind kind =
        item->type() >= NumberCell && item->type() <= TimeCell ? CellKind(item->type()) : TextCell;
    const AmountReading reading = readAmountCell(kind, item->text(), number.isValid(), number.toDouble());
    if (reading.ok()) {
        // A cell mended since the last calculation loses its mark.
        if (item->data(Qt::BackgroundRole).value<QBrush>().color() == kUnreadableColor) {
            item->setData(Qt::BackgroundRole, QVariant());
            item->setToolTip(QString());
        }
        return reading.fen;
    }
    ++*unreadable;
    item->setBackground(kUnreadableColor);
    item->setToolTip(amountProblemText(reading.problem, item->text()));
    return 0;
}

} // namespace

BatchCalcWid::BatchCalcWid(QWidget *parent)
    : QWidget(parent), m_content(new QWidget(this)), m_fullScreenButton(new QToolButton(m_content)),
      m_sourceTable(new PTableWidget(m_content)), m_resultTable(new PTableWidget(m_content)),
      m_tabs(new QTabWidget(m_content)),
      m_history(new HistoryPanel({u"时间"_s, u"个人所得税"_s, u"实发数"_s}, {85, 82, 82}, this))
{
    ensureRateTable();
    pagekit::makeWhite(this);
    m_totalsFont = QFont(u"微软雅黑"_s, 9);
    m_totalsFont.setBold(true);

    QLabel *description = pagekit::headline(
        u"导入工资表格清单，或在下方表格中录入员工工资，批量计算员工个人所得税。"_s, m_content);
    QPushButton *importButton = stepButton(u"导入"_s, u":/contentWidget/import"_s, m_content);
    QPushButton *calcButton = stepButton(u"计算"_s, u":/contentWidget/calc"_s, m_content);
    QPushButton *exportButton = stepButton(u"导出"_s, u":/contentWidget/export"_s, m_content);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(importButton);
    buttons->addWidget(stepPicture(m_content));
    buttons->addWidget(calcButton);
    buttons->addWidget(stepPicture(m_content));
    buttons->addWidget(exportButton);
    buttons->addStretch();

    auto *hint = new QLabel(u"提示:先导入工资表，执行计算，即可浏览和导出计算结果。"_s, m_content);
    hint->setStyleSheet(u"color:gray;"_s);
    m_fullScreenButton->setToolTip(u"全屏"_s);
    m_fullScreenButton->setIcon(QIcon(u":/toolWidget/fullscreen"_s));
    m_fullScreenButton->setShortcut(QKeySequence(Qt::Key_F11));
    m_fullScreenButton->setAutoRaise(true);
    m_fullScreenButton->setStyleSheet(QString::fromLatin1(kFullScreenStyle));
    auto *hintRow = new QHBoxLayout;
    hintRow->addWidget(hint);
    hintRow->addStretch();
    hintRow->addWidget(m_fullScreenButton);

    layoutSalaryTable(m_sourceTable, TreeCalcSource, true);
    layoutSalaryTable(m_resultTable, TreeCalcResult, false);
    m_tabs->addTab(m_sourceTable, u"原始表"_s);
    m_tabs->addTab(m_resultTable, u"计算结果表"_s);

    auto *content = new QVBoxLayout(m_content);
    content->addWidget(description);
    content->addLayout(buttons);
    content->addLayout(hintRow);
    content->addWidget(m_tabs, 1);

    QWidget *threshold = pagekit::thresholdGroup(this, &m_local, &m_foreign);
    QSplitter *splitter = pagekit::pageSplitter(m_content, threshold, m_history, true, this);
    auto *page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->addWidget(splitter);

    connect(importButton, &QPushButton::clicked, this, &BatchCalcWid::import);
    connect(calcButton, &QPushButton::clicked, this, &BatchCalcWid::calc);
    connect(exportButton, &QPushButton::clicked, this, &BatchCalcWid::exportResult);
    connect(m_fullScreenButton, &QToolButton::clicked, this, &BatchCalcWid::fullScreen);
    connect(m_history->list(), &QTableWidget::cellDoubleClicked, this, &BatchCalcWid::openHistory);
    QTimer::singleShot(10, this, &BatchCalcWid::searchHistory);
}

BatchCalcWid::~BatchCalcWid()
{
    discardCalculation();
}

QTableWidget *BatchCalcWid::historyList() const
{
    return m_history->list();
}

bool BatchCalcWid::localThreshold() const
{
    return m_local->isChecked();
}

void BatchCalcWid::import()
{
    ImportWizard wizard(m_sourceTable, BatchCalcPage, this);
    wizard.exec();
    importFinished();
}

void BatchCalcWid::importFinished()
{
    m_tabs->setCurrentWidget(m_sourceTable);
    m_dataState = m_sourceTable->rowCount() > kTitleRows ? 1 : 0;
    m_resultTable->setRowCount(kTitleRows);
}

void BatchCalcWid::calc()
{
    if (m_dataState == 0) {
        QMessageBox::warning(this, u"信息提示"_s, u"计算前，请先导入员工工资数据。 "_s, QMessageBox::Ok);
        return;
    }
    discardCalculation();
    m_progress = new QProgressDialog(u"正在准备计算..."_s, u"停止"_s, 0, 100, this);
    m_progress->setMinimumWidth(500);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(0);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    connect(m_progress, &QProgressDialog::canceled, this, &BatchCalcWid::stopCalc);
    m_progress->show();

    const int sourceRows = m_sourceTable->rowCount();
    m_resultTable->setRowCount(sourceRows + 1);
    m_finishedCount = 0;
    m_finishedWorkers = 0;
    m_unreadableCells = 0;
    m_progress->setValue(1);
    m_progress->setLabelText(u"正在计算..."_s);

    const Amount threshold = localThreshold() ? kThresholdLocal : kThresholdForeign;
    const QList<RowRange> ranges = calcWorkerRanges(sourceRows);
    m_records.reserve(sourceRows - kTitleRows);
    for (int k = 0; k < ranges.size(); ++k) {
        QList<Salary *> own;
        own.reserve(ranges[k].count());
        for (int r = ranges[k].first; r <= ranges[k].last; ++r) {
            auto *record = new Salary;
            setCalcInputs(*record, readSourceAmount(m_sourceTable, r, kGrossColumn, &m_unreadableCells),
                          readSourceAmount(m_sourceTable, r, kInsuranceColumn, &m_unreadableCells),
                          readSourceAmount(m_sourceTable, r, kBonusColumn, &m_unreadableCells),
                          readSourceAmount(m_sourceTable, r, kAnnuityColumn, &m_unreadableCells));
            own.append(record);
            m_records.append(record);
        }
        auto *worker = new CalcTaxThread(threshold, this);
        worker->setRecords(own);
        m_threads.append(worker);
        connect(worker, &CalcTaxThread::taxCalculated, this, &BatchCalcWid::taxCalculated,
                Qt::QueuedConnection);
        connect(worker, &QThread::finished, this, &BatchCalcWid::threadFinished);
        m_progress->setValue(int(double(k + 1) / ranges.size() * 9 + 1));
    }
    m_progressClock.start();
    for (CalcTaxThread *worker : std::as_const(m_threads))
        worker->start(QThread::InheritPriority);
}

void BatchCalcWid::updateProgress(bool force)
{
    if (!m_progress || m_records.isEmpty())
        return;
    // A repaint per record would make a long run crawl; a few dozen a second look the same.
    if (!force && m_progressClock.isValid() && m_progressClock.elapsed() < kProgressInterval)
        return;
    m_progressClock.restart();
    m_progress->setValue(int(double(m_finishedCount) / m_records.size() * 90 + 10));
}

void BatchCalcWid::taxCalculated(Salary *, bool)
{
    ++m_finishedCount;
    updateProgress(m_finishedCount == m_records.size());
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
    if (m_progress)
        m_progress->setLabelText(u"计算已完成，正在显示..."_s);

    m_resultTable->setUpdatesEnabled(false);
    fillResultTable();
    m_resultTable->setUpdatesEnabled(true);

    const int count = int(m_records.size());
    if (m_progress)
        m_progress->setValue(100);
    discardCalculation();
    m_tabs->setCurrentWidget(m_resultTable);
    m_dataState = 2;
    save();
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
    if (m_progress) {
        disconnect(m_progress, nullptr, this, nullptr);
        m_progress->hide();
        m_progress->deleteLater();
        m_progress = nullptr;
    }
}

void BatchCalcWid::stopCalc()
{
    discardCalculation();
}

void BatchCalcWid::exportResult()
{
    if (m_dataState == 0) {
        QMessageBox::warning(this, u"信息提示"_s, u"要导出数据，请先导入并计算工资数据。"_s, QMessageBox::Ok);
        return;
    }
    if (m_dataState == 1) {
        QMessageBox::warning(this, u"信息提示"_s, u"导出数据前，请先计算工资数据。"_s, QMessageBox::Ok);
        return;
    }
    QMessageBox::information(this, u"信息提示"_s, u"导出功能即将提供，目前尚不能导出计算结果。"_s,
                             QMessageBox::Ok);
}

void BatchCalcWid::fullScreen()
{
    if (!m_content->isFullScreen()) {
        if (!m_windowFlagsSaved) {
            m_savedWindowFlags = m_content->windowFlags();
            m_windowFlagsSaved = true;
        }
        m_content->setWindowFlags(Qt::Window);
        m_content->showFullScreen();
        QTimer::singleShot(100, m_content, [this] { m_content->showFullScreen(); });
        m_fullScreenButton->setShortcut(QKeySequence(Qt::Key_Escape));
        m_fullScreenButton->setToolTip(u"还原"_s);
        m_fullScreenButton->setIcon(QIcon(u":/toolWidget/exitfullscreen"_s));
    } else {
        m_content->setWindowFlags(m_savedWindowFlags);
        m_content->showNormal();
        m_content->show();
        m_fullScreenButton->setShortcut(QKeySequence(Qt::Key_F11));
        m_fullScreenButton->setToolTip(u"全屏"_s);
        m_fullScreenButton->setIcon(QIcon(u":/toolWidget/fullscreen"_s));
    }
}

void BatchCalcWid::save()
{
    HistoryWriter writer(historyDir(), extension(), m_taxSum, m_netSum);
    QDataStream &out = writer.stream();
    out << localThreshold();
    const ColumnGroup *extension = ColumnCatalogue::instance().sourceGroup(TreeCalcSource, GroupExtension);
    out << *extension;
    if (!writeCompactTable(out, m_sourceTable) || !writeCompactTable(out, m_resultTable))
        return; // too large for a record: no entry rather than a broken one
    addHistoryEntry(m_history->list(), writer);
}

void BatchCalcWid::load() {}

void BatchCalcWid::load(const QString &fileName)
{
    loadRecord(fileName);
}

bool BatchCalcWid::loadRecord(const QString &fileName)
{
    if (isCalculating() || m_loading)
        return true; // not now; the entry itself is fine
    HistoryReader reader(fileName);
    if (!reader.ok())
        return false;
    bool local = true;
    ColumnGroup storedExtension;
    reader.stream() >> local >> storedExtension;
    CompactTable source, result;
    const int sourceBasic = ColumnCatalogue::instance().shownColumnCount(TreeCalcSource, true);
    const int resultColumns = ColumnCatalogue::instance().shownColumnCount(TreeCalcResult, false) + 1;
    const bool ok =
        reader.finish() && readCompactTable(reader, kMaxStoredRows, kMaxStoredColumns, &source) &&
        readCompactTable(reader, kMaxStoredRows, kMaxStoredColumns, &result) && reader.finish() &&
        reader.remaining() == 0 && source.rows >= kTitleRows && result.rows >= kTitleRows &&
        source.columns == sourceBasic + storedExtension.itemCount() + 1 &&
        storedExtension.start == sourceBasic && result.columns == resultColumns &&
        decodeCompactCells(source) && decodeCompactCells(result) &&
        std::all_of(storedExtension.items.begin(), storedExtension.items.end(), [&](const auto &item) {
            return item->column >= sourceBasic && item->column < source.columns - 1;
        });
    if (!ok)
        return false;

    m_taxSum = reader.head().value1;
    m_netSum = reader.head().value2;
    (local ? m_local : m_foreign)->setChecked(true);
    ColumnGroup *extension = ColumnCatalogue::instance().sourceGroup(TreeCalcSource, GroupExtension);
    extension->title = storedExtension.title;
    extension->start = storedExtension.start;
    extension->clearItems();
    for (const auto &item : storedExtension.items)
        extension->addItem(item->title, item->table, item->column, item->width);

    m_sourceTable->setUpdatesEnabled(false);
    m_resultTable->setUpdatesEnabled(false);
    m_sourceTable->clearContents();
    m_resultTable->clearContents();
    layoutSalaryTable(m_sourceTable, TreeCalcSource, true);
    layoutSalaryTable(m_resultTable, TreeCalcResult, false);
    m_sourceTable->setColumnCount(source.columns);
    m_sourceTable->setRowCount(source.rows);
    m_resultTable->setRowCount(result.rows);
    // A large entry takes a few seconds to rebuild: show how far it is and keep the window alive.
    std::unique_ptr<QProgressDialog> progress;
    const qint64 cells = qint64(source.rows) * source.columns + qint64(result.rows) * result.columns;
    qint64 cellsDone = 0;
    std::function<void(int)> rowDone;
    if (cells > kQuietLoadCells) {
        progress = std::make_unique<QProgressDialog>(u"正在打开计算记录..."_s, QString(), 0, 100, this);
        progress->setCancelButton(nullptr);
        progress->setMinimumWidth(500);
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->show();
    }
    m_loading = true;
    for (auto [table, stored] : {std::pair{m_sourceTable, &source}, std::pair{m_resultTable, &result}}) {
        if (progress) {
            rowDone = [&, columns = stored->columns](int row) {
                if (row % 2000 != 0)
                    return;
                progress->setValue(int((cellsDone + qint64(row) * columns) * 100 / cells));
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            };
        }
        fillFromCompactTable(table, *stored, m_totalsFont, rowDone);
        cellsDone += qint64(stored->rows) * stored->columns;
    }
    m_loading = false;

    QStringList letters;
    for (int c = 0; c < source.columns; ++c)
        letters << columnLetters(c);
    m_sourceTable->setHorizontalHeaderLabels(letters);
    if (extension->itemCount() > 0) {
        m_sourceTable->setSpan(0, extension->start, 1, extension->itemCount());
        for (const auto &item : extension->items) {
            m_sourceTable->setColumnWidth(item->column, item->width);
            m_sourceTable->horizontalHeader()->setSectionResizeMode(item->column, QHeaderView::Interactive);
        }
    }
    m_sourceTable->setUpdatesEnabled(true);
    m_resultTable->setUpdatesEnabled(true);
    m_dataState = 2;
    return true;
}

void BatchCalcWid::searchHistory()
{
    fillHistoryList(m_history->list(), historyDir(), u"*."_s + extension());
}

void BatchCalcWid::openHistory(int row, int)
{
    openHistoryEntry(this, m_history->list(), row, [this](const QString &path) { return loadRecord(path); });
}
