#include "widgets/ptablewidget.h"

#include "batch/columncatalogue.h"
#include "excel/columnletters.h"
#include "widgets/formulabox.h"

#include <QDataStream>
#include <QHeaderView>
#include <QIODevice>
#include <QMimeData>
#include <QScrollBar>
#include <QTableView>

namespace {

// Hiding a section of an updating header costs a walk over all sections (to find what to
// repaint); a table of 100,000 rows would take seconds. Hidden in a batch with the header's updates
// off, and repainted once afterwards, it takes milliseconds.
class BatchOfSections
{
public:
    // Only the header's own switch is saved: when its owner has updates off for a while (a page
    // filling a large table), the header must follow the owner again afterwards.
    explicit BatchOfSections(QHeaderView *header)
        : m_header(header), m_wasOff(header->testAttribute(Qt::WA_ForceUpdatesDisabled))
    {
        m_header->setUpdatesEnabled(false);
    }
    ~BatchOfSections()
    {
        m_header->setUpdatesEnabled(!m_wasOff);
        m_header->viewport()->update();
    }
    BatchOfSections(const BatchOfSections &) = delete;
    BatchOfSections &operator=(const BatchOfSections &) = delete;

private:
    QHeaderView *m_header;
    bool m_wasOff;
};

} // namespace

PTableWidget::PTableWidget(QWidget *parent) : QTableWidget(parent)
{
    // A dragged worksheet column is copied into a formula, never taken out of the worksheet.
    setDefaultDropAction(Qt::CopyAction);
}

PTableWidget::~PTableWidget()
{
    // The overlay shares the model and the selection model: let it go before they do.
    destroyOverlay();
}

void PTableWidget::setSourceColumnNames(const QStringList &names)
{
    m_sourceColumnNames = names;
    for (int c = 0; c < columnCount() - 1; ++c) {
        if (auto *box = qobject_cast<FormulaBox *>(cellWidget(0, c)))
            box->setChoices(names);
    }
}

void PTableWidget::setFrozenColumns(int n)
{
    n = qMax(0, n);
    if (n > 0) {
        if (m_frozenRows > 0)
            setFrozenRows(0);
        if (m_frozenColumns == 0)
            createOverlay();
        if (n != m_frozenColumns) {
            m_frozenColumns = n;
            updateOverlay();
        }
        return;
    }
    if (m_frozenColumns != 0) {
        m_frozenColumns = 0;
        destroyOverlay();
    }
}

void PTableWidget::setFrozenRows(int n)
{
    n = qMax(0, n);
    if (n > 0) {
        if (m_frozenColumns > 0)
            setFrozenColumns(0);
        if (m_frozenRows == 0)
            createOverlay();
        if (n != m_frozenRows) {
            m_frozenRows = n;
            updateOverlay();
        }
        return;
    }
    if (m_frozenRows != 0) {
        m_frozenRows = 0;
        destroyOverlay();
    }
}

void PTableWidget::createOverlay()
{
    if (m_overlay)
        return;
    m_overlay = new QTableView(this);
    m_overlay->setModel(model());
    m_overlay->setSelectionModel(selectionModel());
    m_overlayConnections << connect(horizontalHeader(), &QHeaderView::sectionResized, this,
                                    &PTableWidget::updateSectionWidth)
                         << connect(verticalHeader(), &QHeaderView::sectionResized, this,
                                    &PTableWidget::updateSectionHeight)
                         // Connected after the overlay's own headers, so that they already know
                         // of the new sections.
                         << connect(model(), &QAbstractItemModel::rowsInserted, this,
                                    [this](const QModelIndex &, int first, int last) {
                                        hideNewSections(Qt::Vertical, first, last);
                                    })
                         << connect(model(), &QAbstractItemModel::columnsInserted, this,
                                    [this](const QModelIndex &, int first, int last) {
                                        hideNewSections(Qt::Horizontal, first, last);
                                    });
}

void PTableWidget::destroyOverlay()
{
    for (const QMetaObject::Connection &connection : std::as_const(m_overlayConnections))
        disconnect(connection);
    m_overlayConnections.clear();
    delete m_overlay;
    m_overlay = nullptr;
}

void PTableWidget::updateOverlay()
{
    if (!m_overlay)
        return;
    syncOverlay();
    updateOverlayGeometry();
}

void PTableWidget::syncOverlay()
{
    // Both views scroll by pixels, so that their coupled scroll bars mean the same.
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerPixel);
    m_overlay->setHorizontalScrollMode(ScrollPerPixel);
    m_overlay->setVerticalScrollMode(ScrollPerPixel);
    m_overlay->setFocusPolicy(Qt::NoFocus);
    m_overlay->setSelectionBehavior(selectionBehavior());
    m_overlay->setSelectionMode(selectionMode());
    m_overlay->setEditTriggers(editTriggers());
    m_overlay->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_overlay->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->stackUnder(m_overlay);
    const BatchOfSections columns(m_overlay->horizontalHeader());
    const BatchOfSections rows(m_overlay->verticalHeader());

    if (m_frozenColumns > 0) {
        m_overlay->verticalHeader()->hide();
        m_overlay->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        m_overlay->horizontalHeader()->setMinimumHeight(horizontalHeader()->minimumHeight());
        m_overlay->setStyleSheet(QStringLiteral("QTableView { border: none;}"));
        for (int c = 0; c < model()->columnCount(); ++c) {
            const bool frozen = c < m_frozenColumns;
            if (m_overlay->isColumnHidden(c) == frozen)
                m_overlay->setColumnHidden(c, !frozen);
            if (frozen)
                m_overlay->setColumnWidth(c, columnWidth(c));
        }
        for (int r = 0; r < model()->rowCount(); ++r)
            m_overlay->setRowHeight(r, rowHeight(r));
        connect(m_overlay->verticalScrollBar(), &QScrollBar::valueChanged, verticalScrollBar(),
                &QScrollBar::setValue, Qt::UniqueConnection);
        connect(verticalScrollBar(), &QScrollBar::valueChanged, m_overlay->verticalScrollBar(),
                &QScrollBar::setValue, Qt::UniqueConnection);
    } else {
        m_overlay->horizontalHeader()->hide();
        m_overlay->verticalHeader()->setVisible(!verticalHeader()->isHidden());
        m_overlay->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        m_overlay->setStyleSheet(
            QStringLiteral("QTableView {border: none;background-color:rgb(232,232,232);}"));
        for (int r = 0; r < model()->rowCount(); ++r) {
            const bool frozen = r < m_frozenRows;
            if (m_overlay->isRowHidden(r) == frozen)
                m_overlay->setRowHidden(r, !frozen);
            if (frozen)
                m_overlay->setRowHeight(r, rowHeight(r));
        }
        for (int c = 0; c < model()->columnCount(); ++c)
            m_overlay->setColumnWidth(c, columnWidth(c));
        connect(m_overlay->horizontalScrollBar(), &QScrollBar::valueChanged, horizontalScrollBar(),
                &QScrollBar::setValue, Qt::UniqueConnection);
        connect(horizontalScrollBar(), &QScrollBar::valueChanged, m_overlay->horizontalScrollBar(),
                &QScrollBar::setValue, Qt::UniqueConnection);
    }
    m_overlay->show();
}

void PTableWidget::hideNewSections(Qt::Orientation orientation, int first, int last)
{
    if (!m_overlay)
        return;
    {
        const BatchOfSections batch(orientation == Qt::Vertical ? m_overlay->verticalHeader()
                                                                : m_overlay->horizontalHeader());
        if (orientation == Qt::Vertical) {
            for (int r = first; r <= last; ++r) {
                if (m_frozenRows > 0 && r >= m_frozenRows)
                    m_overlay->setRowHidden(r, true);
                else
                    m_overlay->setRowHeight(r, rowHeight(r));
            }
            // Rows inserted inside the frozen area push others out of it.
            if (m_frozenRows > 0 && first < m_frozenRows) {
                for (int r = m_frozenRows; r <= qMin(last + m_frozenRows, model()->rowCount() - 1); ++r)
                    m_overlay->setRowHidden(r, true);
            }
        } else {
            for (int c = first; c <= last; ++c) {
                if (m_frozenColumns > 0 && c >= m_frozenColumns)
                    m_overlay->setColumnHidden(c, true);
                else
                    m_overlay->setColumnWidth(c, columnWidth(c));
            }
            if (m_frozenColumns > 0 && first < m_frozenColumns) {
                for (int c = m_frozenColumns; c <= qMin(last + m_frozenColumns, model()->columnCount() - 1);
                     ++c)
                    m_overlay->setColumnHidden(c, true);
            }
        }
    }
    updateOverlayGeometry();
}

int PTableWidget::frozenWidth() const
{
    int width = 0;
    for (int c = 0; c < qMin(m_frozenColumns, columnCount()); ++c)
        width += columnWidth(c);
    return width;
}

int PTableWidget::frozenHeight() const
{
    int height = 0;
    for (int r = 0; r < qMin(m_frozenRows, rowCount()); ++r)
        height += rowHeight(r);
    return height;
}

void PTableWidget::updateOverlayGeometry()
{
    if (!m_overlay)
        return;
    const int f = frameWidth();
    // A hidden header takes no room, whatever size it last had.
    const int headerWidth = verticalHeader()->isHidden() ? 0 : verticalHeader()->width();
    const int headerHeight = horizontalHeader()->isHidden() ? 0 : horizontalHeader()->height();
    if (m_frozenColumns > 0) {
        m_overlay->setGeometry(headerWidth + f, f, frozenWidth(), viewport()->height() + headerHeight);
    } else if (m_frozenRows > 0) {
        // The row numbers grow wider with the row count; the overlay's must follow.
        m_overlay->verticalHeader()->setVisible(!verticalHeader()->isHidden());
        m_overlay->verticalHeader()->setFixedWidth(headerWidth);
        m_overlay->setGeometry(f, headerHeight + f, viewport()->width() + headerWidth, frozenHeight());
    }
}

void PTableWidget::updateSectionWidth(int logicalIndex, int, int newSize)
{
    if (!m_overlay)
        return;
    if (m_frozenColumns == 0 || logicalIndex < m_frozenColumns)
        m_overlay->setColumnWidth(logicalIndex, newSize);
    updateOverlayGeometry();
}

void PTableWidget::updateSectionHeight(int logicalIndex, int, int newSize)
{
    if (!m_overlay)
        return;
    if (m_frozenRows == 0 || logicalIndex < m_frozenRows)
        m_overlay->setRowHeight(logicalIndex, newSize);
    updateOverlayGeometry();
}

void PTableWidget::resizeEvent(QResizeEvent *event)
{
    QTableWidget::resizeEvent(event);
    if (m_frozenColumns > 0 || m_frozenRows > 0)
        updateOverlayGeometry();
}

void PTableWidget::updateGeometries()
{
    QTableWidget::updateGeometries();
    // The headers change size without a resize of the table (more row-number digits, a taller
    // header): the overlay must cover the same area.
    updateOverlayGeometry();
}

QModelIndex PTableWidget::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex current = QTableWidget::moveCursor(cursorAction, modifiers);
    if (m_frozenColumns > 0 && cursorAction == MoveLeft && current.column() >= m_frozenColumns) {
        const int frozen = frozenWidth();
        const int x = visualRect(current).topLeft().x();
        if (x < frozen)
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() + x - frozen);
    }
    return current;
}

void PTableWidget::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (m_frozenColumns > 0 && index.column() < m_frozenColumns)
        return;
    if (index.row() < m_frozenRows)
        return;
    QTableWidget::scrollTo(index, hint);
    // A row scrolled to the top would lie under the frozen rows: bring it out beside them.
    if (m_frozenRows > 0) {
        const int frozen = frozenHeight();
        const int y = visualRect(index).top();
        if (y < frozen)
            verticalScrollBar()->setValue(verticalScrollBar()->value() + y - frozen);
    }
}

void PTableWidget::setRowCount(int rows)
{
    QTableWidget::setRowCount(rows);
    if (m_frozenRows > 0)
        updateOverlay();
}

void PTableWidget::setSpan(int row, int column, int rowSpan, int columnSpan)
{
    QTableWidget::setSpan(row, column, rowSpan, columnSpan);
    if (!m_overlay)
        return;
    if ((m_frozenRows > 0 && row < m_frozenRows) || (m_frozenColumns > 0 && column < m_frozenColumns))
        m_overlay->setSpan(row, column, rowSpan, columnSpan);
}

void PTableWidget::clearSpans()
{
    QTableWidget::clearSpans();
    if (m_overlay)
        m_overlay->clearSpans();
}

void PTableWidget::addEntryCol(bool headerEditFlag)
{
    // The trailing column is where new columns are added in front of: make one if there is none.
    if (columnCount() == 0)
        setColumnCount(1);
    if (rowCount() == 0)
        setRowCount(1);
    insertColumn(columnCount() - 1);
    const int c = columnCount() - 2;
    setHorizontalHeaderItem(c, new QTableWidgetItem(untitled()));
    QTableWidgetItem *cell = item(0, c);
    if (!cell) {
        cell = new QTableWidgetItem;
        setItem(0, c, cell);
    }
    cell->setFlags(Qt::ItemIsEditable | Qt::ItemIsDropEnabled | Qt::ItemIsEnabled);
    auto *box = new FormulaBox;
    box->setChoices(m_sourceColumnNames);
    setCellWidget(0, c, box);
    if (headerEditFlag)
        emit requestEdit(c);
}

void PTableWidget::addEntryCol()
{
    addEntryCol(true);
}

void PTableWidget::removeEntryCol(int logicalIndex)
{
    if (logicalIndex >= 0 && logicalIndex < columnCount() - 1)
        removeColumn(logicalIndex);
}

QStringList PTableWidget::mimeTypes() const
{
    return {mimeType()};
}

QMimeData *PTableWidget::mimeData(const QList<QTableWidgetItem *> &items) const
{
    auto *mime = new QMimeData;
    if (items.isEmpty() || !items.first())
        return mime;
    const int column = items.first()->column();
    QString title;
    // titleRow is 1-based: the last row can be the title row too.
    if (m_titleRow > 0 && m_titleRow <= rowCount()) {
        if (const QTableWidgetItem *cell = item(m_titleRow - 1, column))
            title = cell->text();
    }
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << columnLetters(column) << title;
    mime->setData(mimeType(), bytes);
    return mime;
}

bool PTableWidget::dropMimeData(int row, int column, const QMimeData *data, Qt::DropAction)
{
    if (!data || !data->hasFormat(mimeType()))
        return false;
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return false;
    // Read and check the payload before anything changes: another program can drop anything.
    QString letters;
    QString title;
    QDataStream in(data->data(mimeType()));
    in >> letters >> title;
    if (in.status() != QDataStream::Ok || columnIndex(letters) < 0)
        return false;

    bool added = false;
    if (column == columnCount() - 1) {
        addEntryCol(false);
        added = true;
    }
    if (auto *box = qobject_cast<FormulaBox *>(cellWidget(row, column)))
        box->setEditText(letters);
    if (column >= ColumnCatalogue::sourceColumnCount(BatchCalcPage) && !title.isEmpty()) {
        if (QTableWidgetItem *header = horizontalHeaderItem(column))
            header->setText(title);
        else
            setHorizontalHeaderItem(column, new QTableWidgetItem(title));
    }
    if (added && title.isEmpty())
        emit requestEdit(column);
    return true;
}
