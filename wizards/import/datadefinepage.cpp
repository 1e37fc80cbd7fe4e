#include "wizards/import/datadefinepage.h"

#include "batch/importsetting.h"
#include "excel/workbook.h"
#include "widgets/ptablewidget.h"
#include "wizards/import/importwizard.h"
#include "wizards/import/worksheettable.h"

#include <QApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QSpinBox>
#include <QTabWidget>
#include <QThread>
#include <QVBoxLayout>

#include <atomic>
#include <memory>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// The progress dialog is repainted at most this often while tables fill (milliseconds).
constexpr int kProgressInterval = 40;

const char kItemStyle[] =
    "QTableWidget::item{selection-background-color:rgb(23,165,230);selection-color: rgb(255,255,255);}";

QSpinBox *rowBox(int minimum, int value, QWidget *parent)
{
    auto *box = new QSpinBox(parent);
    box->setRange(minimum, kMaxImportRowNumber);
    box->setValue(value);
    return box;
}

} // namespace

void RowRangeDelegate::setRange(int first, int last, int title, int rowCount)
{
    if (last == 0)
        last = rowCount;
    if (last != 0 && last < first)
        std::swap(first, last);
    m_first = first;
    m_last = last;
    m_title = title;
}

QColor RowRangeDelegate::rowColour(int row) const
{
    const int r = row + 1;
    if (r == m_title)
        return titleColour();
    if (r >= m_first && r <= m_last)
        return dataColour();
    return QColor();
}

void RowRangeDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QColor colour = rowColour(index.row());
    if (colour.isValid())
        option->backgroundBrush = colour;
}

DataDefinePage::DataDefinePage(ImportWizard *wizard)
    : QWizardPage(wizard), m_firstLabel(new QLabel(u"首行"_s, this)), m_firstBox(rowBox(1, 2, this)),
      m_lastLabel(new QLabel(u"末行"_s, this)), m_lastBox(rowBox(0, 0, this)),
      m_titleLabel(new QLabel(u"标题行"_s, this)), m_titleBox(rowBox(1, 1, this)),
      m_tabs(new QTabWidget(this)), m_wizard(wizard), m_warnings(new QLabel(this))
{
    setTitle(u"数据范围"_s);
    setSubTitle(u"您可以设定数据源的有效范围。"_s);
    auto *row = new QHBoxLayout;
    row->setSpacing(7);
    row->addWidget(m_firstLabel);
    row->addWidget(m_firstBox);
    row->addWidget(m_lastLabel);
    row->addWidget(m_lastBox);
    row->addWidget(m_titleLabel);
    row->addWidget(m_titleBox);
    row->addStretch();
    m_warnings->setWordWrap(true);
    m_warnings->setStyleSheet(u"color:rgb(200,0,0);"_s);
    m_warnings->hide();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_warnings);
    layout->addWidget(m_tabs, 10);

    connect(m_firstBox, &QSpinBox::valueChanged, this, &DataDefinePage::firstChanged);
    connect(m_lastBox, &QSpinBox::valueChanged, this, &DataDefinePage::lastChanged);
    connect(m_titleBox, &QSpinBox::valueChanged, this, &DataDefinePage::titleChanged);
}

QColor DataDefinePage::rowColour(const PTableWidget *table, int row)
{
    const auto *delegate = qobject_cast<const RowRangeDelegate *>(table->itemDelegate());
    return delegate ? delegate->rowColour(row) : QColor();
}

QWidget *DataDefinePage::firstField() const
{
    return m_firstBox;
}

int DataDefinePage::nextId() const
{
    return ImportWizard::ContrastPageId;
}

void DataDefinePage::initializePage()
{
    int index = m_tabs->currentIndex();
    if (!m_wizard->rangeReady()) {
        m_first = m_wizard->firstRowNO();
        m_last = m_wizard->lastRowNO();
        m_title = m_wizard->titleRowNO();
        index = m_wizard->sheetNO();
        const QSignalBlocker b1(m_firstBox), b2(m_lastBox), b3(m_titleBox);
        m_firstBox->setValue(m_first);
        m_lastBox->setValue(m_last);
        m_titleBox->setValue(m_title);
    }
    // The data source page reads the workbook; a caller that skipped it gets it read here.
    if (m_loadedFile != m_wizard->fileName())
        readWorkbook(m_wizard->fileName());
    if (!m_freshlyLoaded) {
        if (!m_wizard->rangeReady() && index >= 0)
            m_tabs->setCurrentIndex(index < m_tabs->count() ? index : 0);
        if (!m_wizard->rangeReady())
            proposeShape();
        recolour();
        return;
    }
    m_freshlyLoaded = false;
    // A saved setting's sheet that the workbook no longer has falls back to the first sheet.
    if (index >= 0 && index < m_tabs->count())
        m_tabs->setCurrentIndex(index);
    else if (m_tabs->count() > 0)
        m_tabs->setCurrentIndex(0);
    if (!m_wizard->rangeReady())
        proposeShape();
    recolour();
    m_tabIndex = m_tabs->currentIndex();
}

void DataDefinePage::clearTabs()
{
    while (m_tabs->count() > 0) {
        QWidget *table = m_tabs->widget(0);
        m_tabs->removeTab(0);
        if (table == m_wizard->sourceTable())
            m_wizard->setSourceTable(nullptr);
        delete table;
    }
}

bool DataDefinePage::readWorkbook(const QString &path)
{
    if (path == m_loadedFile)
        return true;
    m_loadedFile = path;
    if (!loadWorkbook()) {
        // Read again next time, whatever the name.
        m_loadedFile.clear();
        return false;
    }
    m_freshlyLoaded = true;
    return true;
}

bool DataDefinePage::loadWorkbook()
{
    m_warnings->hide();
    QProgressDialog progress(u"正在打开Excel文件..."_s, u"取消"_s, 0, 100, this);
    progress.setMinimumWidth(500);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    auto showProgress = [&](int value) {
        progress.setValue(value);
        m_progressReached = std::max(m_progressReached, value);
    };
    m_progressReached = 0;
    showProgress(0);
    clearTabs();

    const QString path = m_loadedFile;
    m_wizard->keepWorkbook(nullptr);
    std::unique_ptr<Workbook> book = Workbook::create(path); // never null
    m_holdsWorkbook = true;
    // Reading takes seconds for a large sheet: it runs beside the event loop, which keeps the
    // dialog painted. "取消" tells the reader, which stops between two pieces of the file.
    std::atomic<bool> done = false;
    std::atomic<bool> cancel = false;
    bool loaded = false;
    std::thread reader([&] {
        loaded = book->load(path, [&] { return cancel.load(); });
        done = true;
    });
    int pulse = 0;
    while (!done.load()) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (progress.wasCanceled())
            cancel = true;
        QThread::msleep(10);
        pulse = (pulse + 1) % 90;
        if (!progress.wasCanceled() && pulse % 3 == 0)
            progress.setValue(1 + pulse / 10);
    }
    reader.join();
    if (progress.wasCanceled()) {
        book.reset();
        m_holdsWorkbook = false;
        return false;
    }
    if (!loaded) {
        qDebug("load excel file failed.");
        const QString message = book->errorMessage();
        book.reset();
        m_holdsWorkbook = false;
        progress.close();
        importMessage(this, u"发生错误"_s,
                      u"加载Excel错误，请检查Excel文件格式或联系软件开发商咨询："_s + message);
        return false;
    }

    showProgress(10);
    m_shapes.clear();
    QElapsedTimer clock;
    clock.start();
    const int sheets = book->sheetCount();
    bool cancelled = false;
    qint64 budget = kMaxTablePositions;
    QStringList cut;
    for (int i = 0; i < sheets && !cancelled; ++i) {
        const Sheet *sheet = book->getSheet(i);
        if (!sheet)
            continue;
        progress.setLabelText(u"正在提取工作表：【"_s + sheet->name() + u"】..."_s);
        auto *table = new PTableWidget;
        m_tabs->addTab(table, sheet->name());
        m_shapes.push_back(proposeSheetShape(*book, *sheet));
        table->setUpdatesEnabled(false);
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        table->setSelectionMode(QAbstractItemView::SingleSelection);
        table->setAlternatingRowColors(false);
        table->setShowGrid(true);
        table->horizontalHeader()->setMinimumHeight(30);
        table->setStyleSheet(QString::fromLatin1(kItemStyle));
        table->setItemDelegate(new RowRangeDelegate(table));

        // A sheet the core reads itself is only looked at here: its first rows are enough to choose
        // the rows and columns, and a hundred thousand rows of items would cost seconds and memory.
        const bool glance = m_wizard->settlesSheetImport();
        qint64 sheetBudget =
            glance ? std::min<qint64>(budget, qint64(kShownSheetRows) * std::max(1, sheet->lastCol() + 1))
                   : budget;
        const qint64 before = sheetBudget;
        SheetTableFiller filler(*book, *sheet, table, &sheetBudget);
        budget -= before - sheetBudget;
        filler.prepare();
        if (filler.truncated() && glance)
            cut << u"工作表“%1”共 %2 行，这里只显示前 %3 行；导入时读取所选范围内的全部行。"_s
                       .arg(sheet->name())
                       .arg(sheet->lastRow() + 1)
                       .arg(filler.rowCount());
        else if (filler.truncated())
            cut << u"工作表“%1”太大，只显示了前 %2 行。"_s.arg(sheet->name()).arg(filler.rowCount());
        // Progress by row index, so that a sheet of one row and one of a hundred thousand both
        // end at their share; the last sheet's last row reaches 100.
        const double rows = std::max(1, filler.rowCount());
        // Rows and columns are in place; the view learns of the items when it paints them, not
        // through a signal per item.
        const QSignalBlocker quiet(table->model());
        for (const int r : filler.storedRows()) {
            if (r >= filler.rowCount())
                break;
            if (progress.wasCanceled()) {
                cancelled = true;
                break;
            }
            filler.fillRow(r);
            if (clock.elapsed() >= kProgressInterval) {
                clock.restart();
                showProgress(int((double(i) / sheets + (r + 1) / rows / sheets) * 90 + 10));
            }
        }
        if (!cancelled) {
            filler.finish();
            table->setUpdatesEnabled(true);
            showProgress(int(double(i + 1) / sheets * 90 + 10));
        }
    }
    const QStringList warnings = book->loadWarnings() + cut;
    if (m_wizard->settlesSheetImport() && !cancelled)
        m_wizard->keepWorkbook(std::move(book));
    book.reset();
    m_holdsWorkbook = false;
    if (cancelled) {
        clearTabs();
        return false;
    }
    if (!warnings.isEmpty()) {
        m_warnings->setText(warnings.join(u'\n'));
        m_warnings->show();
    }
    return true;
}

void DataDefinePage::proposeShape()
{
    const int tab = m_tabs->currentIndex();
    if (m_wizard->lastSet() != 0 || tab < 0 || size_t(tab) >= m_shapes.size())
        return;
    const SheetShape &shape = m_shapes[size_t(tab)];
    m_first = shape.firstRow;
    m_last = shape.lastRow;
    m_title = shape.titleRow;
    const QSignalBlocker b1(m_firstBox), b2(m_lastBox), b3(m_titleBox);
    m_firstBox->setValue(m_first);
    m_lastBox->setValue(m_last);
    m_titleBox->setValue(m_title);
}

void DataDefinePage::recolour()
{
    for (int i = 0; i < m_tabs->count(); ++i) {
        auto *table = qobject_cast<PTableWidget *>(m_tabs->widget(i));
        if (!table)
            continue;
        if (auto *delegate = qobject_cast<RowRangeDelegate *>(table->itemDelegate()))
            delegate->setRange(m_first, m_last, m_title, table->rowCount());
        table->viewport()->update();
    }
}

void DataDefinePage::firstChanged(int value)
{
    m_first = value;
    recolour();
}

void DataDefinePage::lastChanged(int value)
{
    m_last = value;
    recolour();
}

void DataDefinePage::titleChanged(int value)
{
    m_title = value;
    recolour();
}

void DataDefinePage::cleanupPage()
{
    m_wizard->setRangeReady(true);
}

bool DataDefinePage::validatePage()
{
    auto *table = qobject_cast<PTableWidget *>(m_tabs->currentWidget());
    if (!table) {
        importMessage(this, u"没有工资数据！"_s, u"对不起，不能继续，请仔细检查!"_s);
        return false;
    }
    m_wizard->setSourceTable(table);
    m_wizard->setFirstRowNO(m_first);
    m_wizard->setLastRowNO(m_last);
    m_wizard->setTitleRowNO(m_title);
    m_wizard->setSheetNO(m_tabs->currentIndex());
    m_wizard->setRangeReady(true);
    table->setTitleRow(m_title);
    m_tabIndex = m_tabs->currentIndex();
    m_sheetName = m_tabs->tabText(m_tabIndex);
    m_tabs->removeTab(m_tabIndex);
    table->hide();
    table->setParent(m_wizard);
    return true;
}

void DataDefinePage::restoreTable(PTableWidget *table)
{
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setDragEnabled(false);
    const int at = std::clamp(int(m_tabIndex), 0, m_tabs->count());
    m_tabs->insertTab(at, table, m_sheetName);
    m_tabs->setCurrentIndex(at);
    table->show();
}
