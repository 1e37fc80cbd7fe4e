#include "widgets/ptablewidget.h"

#include "batch/amountcell.h"
#include "excel/cellkind.h"
#include "excel/columnletters.h"
#include "widgets/formulabox.h"
#include "widgets/pheaderview.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QIODevice>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>

#include <algorithm>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// Dropping fewer cells than this frees their items at once, as the table itself would.
constexpr qint64 kDeferredFreeCells = 20'000;
// How long one slice of freeing dropped items may keep the window (milliseconds).
constexpr qint64 kFreeSliceMs = 8;

// Hiding a section of an updating header costs a walk over all sections (to find what to
// repaint); a table of 100,000 rows would take seconds. Hidden in a batch with the header's updates
// off, and repainted once afterwards, it takes milliseconds.
class BatchOfSections
{
public:
    // A header whose updates are off already (its owner fills a large table with its own updates
    // off) is left alone: switching it on again here would not follow the owner, and it would
    // stay blank when the owner's updates come back, showing the table's row numbers beneath it.
    explicit BatchOfSections(QHeaderView *header) : m_header(header), m_switched(header->updatesEnabled())
    {
        if (m_switched)
            m_header->setUpdatesEnabled(false);
    }
    ~BatchOfSections()
    {
        if (m_switched)
            m_header->setUpdatesEnabled(true);
        m_header->viewport()->update();
    }
    BatchOfSections(const BatchOfSections &) = delete;
    BatchOfSections &operator=(const BatchOfSections &) = delete;

private:
    QHeaderView *m_header;
    bool m_switched;
};

// The editor of a cell the clerk enters: a line edit with the cell's text, whose text goes through
// PTableWidget::commitEntry rather than straight into the item.
class EntryDelegate : public QStyledItemDelegate
{
public:
    explicit EntryDelegate(PTableWidget *table) : QStyledItemDelegate(table), m_table(table) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        auto *editor = new QLineEdit(parent);
        editor->setFrame(false);
        return editor;
    }
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            line->setText(index.data(Qt::DisplayRole).toString());
    }
    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const override
    {
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            m_table->commitEntry(index.row(), index.column(), line->text());
    }

private:
    PTableWidget *m_table;
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
    for (QTableWidgetItem *item : m_toFree)
        delete item;
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
    // The frozen title rows are never edited, whatever the table below allows.
    m_overlay->setEditTriggers(entryEnabled() ? NoEditTriggers : editTriggers());
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
    rows = std::max(rows, 0);
    const int old = rowCount();
    if (rows < old && qint64(old - rows) * columnCount() >= kDeferredFreeCells) {
        // The items leave the model first, without a signal per cell (the rows go right after, and
        // the views with them); then the rows go without an item to free.
        const bool blocked = model()->blockSignals(true);
        m_toFree.reserve(m_toFree.size() + size_t(old - rows) * size_t(columnCount()));
        const int columns = columnCount();
        for (int r = rows; r < old; ++r) {
            for (int c = 0; c < columns; ++c) {
                if (QTableWidgetItem *cell = takeItem(r, c))
                    m_toFree.push_back(cell);
            }
        }
        model()->blockSignals(blocked);
        if (!m_freeTimer) {
            m_freeTimer = new QTimer(this);
            m_freeTimer->setInterval(0);
            connect(m_freeTimer, &QTimer::timeout, this, &PTableWidget::freeSlice);
        }
        if (!m_toFree.empty())
            m_freeTimer->start();
    }
    QTableWidget::setRowCount(rows);
    if (m_frozenRows > 0)
        updateOverlay();
}

qsizetype PTableWidget::itemsToFree() const
{
    return qsizetype(m_toFree.size());
}

void PTableWidget::freeSlice()
{
    QElapsedTimer clock;
    clock.start();
    while (!m_toFree.empty()) {
        // The clock is read every few hundred items: reading it costs more than freeing one.
        const size_t slice = std::min<size_t>(m_toFree.size(), 256);
        for (size_t i = 0; i < slice; ++i) {
            delete m_toFree.back();
            m_toFree.pop_back();
        }
        if (clock.elapsed() >= kFreeSliceMs)
            break;
    }
    if (m_toFree.empty()) {
        m_freeTimer->stop();
        // The list's own memory goes with the last item.
        std::vector<QTableWidgetItem *>().swap(m_toFree);
    }
}

void PTableWidget::freeItemsPromptly()
{
#ifdef __GLIBC__
    mallopt(M_MXFAST, 0);
#endif
}

void PTableWidget::discardLater()
{
    hide();
    setUpdatesEnabled(false);
    // The overlay hides every row but the frozen ones: each removal would walk its hidden rows.
    setFrozenRows(0);
    auto *timer = new QTimer(this);
    timer->setInterval(0);
    connect(timer, &QTimer::timeout, this, &PTableWidget::discardSlice);
    timer->start();
}

void PTableWidget::discardSlice()
{
    QElapsedTimer clock;
    clock.start();
    // Rows go from the end, a few hundred at a time (their items with them), and the clock is read
    // between: the last rows of the model's list go without moving the others.
    constexpr int kRowsPerStep = 256;
    while (rowCount() > 0 && clock.elapsed() < kFreeSliceMs) {
        const int count = std::min(rowCount(), kRowsPerStep);
        model()->removeRows(rowCount() - count, count);
    }
    // Items of rows dropped earlier are freed by their own slices first.
    if (rowCount() == 0 && m_toFree.empty()) {
        if (auto *timer = qobject_cast<QTimer *>(sender()))
            timer->stop();
        deleteLater();
    }
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
    // Only a column of the clerk's own takes the worksheet's title: the header's fixed sections (the
    // caption and the page's own columns) keep theirs.
    const auto *header = qobject_cast<const PHeaderView *>(horizontalHeader());
    if (column >= (header ? header->fixedSections() : 1) && !title.isEmpty()) {
        if (QTableWidgetItem *header = horizontalHeaderItem(column))
            header->setText(title);
        else
            setHorizontalHeaderItem(column, new QTableWidgetItem(title));
    }
    if (added && title.isEmpty())
        emit requestEdit(column);
    return true;
}

void PTableWidget::setEntry(int firstRow, int amountFirst, int amountEnd)
{
    m_entryFirstRow = qMax(0, firstRow);
    m_amountFirst = amountFirst;
    m_amountEnd = amountEnd;
    setItemDelegate(new EntryDelegate(this));
    setEditTriggers(DoubleClicked | EditKeyPressed | AnyKeyPressed);
    if (m_overlay)
        m_overlay->setEditTriggers(NoEditTriggers);
}

bool PTableWidget::isEntryCell(int row, int column) const
{
    return entryEnabled() && row >= m_entryFirstRow && row < rowCount() && column >= 0 &&
           column < columnCount() - 1;
}

bool PTableWidget::isBlankRow(int row) const
{
    for (int c = 0; c < columnCount() - 1; ++c) {
        const QTableWidgetItem *cell = item(row, c);
        if (cell && !cell->text().trimmed().isEmpty())
            return false;
    }
    return true;
}

void PTableWidget::ensureEntryRow()
{
    if (!entryEnabled() || columnCount() < 2)
        return;
    const int rows = rowCount();
    // A table not laid out yet has no place for it; one ending in a blank row has it already.
    if (rows < m_entryFirstRow || (rows > m_entryFirstRow && isBlankRow(rows - 1)))
        return;
    // One row inserted: the overlay hides it as it hides every row added below the frozen ones.
    insertRow(rows);
}

void PTableWidget::removeBlankRows()
{
    if (!entryEnabled())
        return;
    // Blank rows are few (the one at the end, rows the clerk emptied): removing each is cheap.
    for (int r = rowCount() - 1; r >= m_entryFirstRow; --r) {
        if (isBlankRow(r))
            removeRow(r);
    }
}

void PTableWidget::finishEditing()
{
    if (state() != EditingState)
        return;
    if (QWidget *editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void PTableWidget::commitEntry(int row, int column, const QString &typed)
{
    if (!isEntryCell(row, column))
        return;
    const QString text = typed.trimmed();
    const QTableWidgetItem *old = item(row, column);
    QTableWidgetItem *cell = nullptr;
    if (!text.isEmpty() && column >= m_amountFirst && column < m_amountEnd) {
        const AmountReading reading = amountFromCellText(text);
        if (reading.ok()) {
            // As an imported number: the amount's text, and the number the pages compute with.
            cell = new QTableWidgetItem(formatAmount(reading.fen), NumberCell);
            cell->setData(kCellNumberRole, yuanFromFen(reading.fen));
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        } else {
            cell = new QTableWidgetItem(text, TextCell);
            cell->setBackground(unreadableColor());
            cell->setToolTip(amountProblemText(reading.problem, text));
        }
    } else if (!text.isEmpty()) {
        cell = new QTableWidgetItem(text, TextCell);
    }
    // An editor closed without a change changes nothing: the results of a run stay current.
    if (!cell && (!old || old->text().isEmpty()))
        return;
    if (cell && old && old->type() == cell->type() && old->text() == cell->text() &&
        old->data(kCellNumberRole) == cell->data(kCellNumberRole) && old->toolTip() == cell->toolTip()) {
        delete cell;
        return;
    }
    if (cell)
        setItem(row, column, cell);
    else
        delete takeItem(row, column);
    if (row == rowCount() - 1)
        ensureEntryRow();
    emit entryEdited(row, column);
}

bool PTableWidget::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (entryEnabled() && !isEntryCell(index.row(), index.column()))
        return false;
    return QTableWidget::edit(index, trigger, event);
}

void PTableWidget::keyPressEvent(QKeyEvent *event)
{
    if (entryEnabled() && state() != EditingState &&
        (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) &&
        event->modifiers() == Qt::NoModifier) {
        const QModelIndexList chosen = selectedIndexes();
        const QModelIndexList cells = chosen.isEmpty() ? QModelIndexList{currentIndex()} : chosen;
        for (const QModelIndex &index : cells) {
            if (index.isValid())
                commitEntry(index.row(), index.column(), QString());
        }
        event->accept();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void PTableWidget::focusInEvent(QFocusEvent *event)
{
    QTableWidget::focusInEvent(event);
    // The clerk came to the table (a click, Tab): the focus coming back with the window after a
    // dialog (a run's progress, a message) is no reason to change the table under a page.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        ensureEntryRow();
}
