// The salary table of the batch pages and the import wizard.
//
// On top of a plain table widget it adds:
// - frozen leading rows or columns: an overlay view of the same model and selection, laid over the
//   table, that does not scroll away (the batch pages freeze their two title rows, the mapping
//   table its leading columns; one mode at a time);
// - drag and drop of one worksheet column ("application/lumo.ptable": its letters and its title)
//   onto a mapping column, whose formula box takes the letters;
// - entry columns: target columns inserted in front of a trailing last column, each with a formula
//   box in row 0;
// - entry by the clerk (a batch page's source table): cells below the title rows are edited in
//   place, amounts are read by the amount rule as they are committed, and a blank row at the end
//   takes a new employee.
//
// setRowCount, setSpan and clearSpans hide QTableWidget's functions of the same name (they are not
// virtual there): callers must hold the table as a PTableWidget for the overlay to follow.
#pragma once

#include <QColor>
#include <QStringList>
#include <QTableWidget>

#include <vector>

class QTableView;
class QTimer;

class PTableWidget : public QTableWidget
{
    Q_OBJECT
public:
    // The drag payload of one worksheet column.
    static QString mimeType() { return QStringLiteral("application/lumo.ptable"); }
    // The text a new entry column's header starts with.
    static QString untitled() { return QStringLiteral("未命名"); }

    // Call once at start-up, before any table is filled. Tables of a hundred thousand rows free
    // millions of small items; the C library keeps such small blocks unmerged in quick lists and
    // merges all of them at once on a later large allocation, which held the window for over half
    // a second after a stopped run's tables went. Switched off, blocks merge as they are freed.
    static void freeItemsPromptly();

    explicit PTableWidget(QWidget *parent = nullptr);
    ~PTableWidget() override;

    // The 1-based row that holds the worksheet's column titles; -1 when there is none.
    int titleRow() const { return m_titleRow; }
    void setTitleRow(int row) { m_titleRow = row; }

    // The names offered in the formula boxes of row 0, given to every column but the last.
    QStringList sourceColumnNames() const { return m_sourceColumnNames; }
    void setSourceColumnNames(const QStringList &names);

    // Keep n leading columns (or rows) in place; 0 switches the overlay off. Switching one mode on
    // switches the other off.
    void setFrozenColumns(int n);
    void setFrozenRows(int n);
    int frozenColumns() const { return m_frozenColumns; }
    int frozenRows() const { return m_frozenRows; }
    // The frozen-area view, or null while nothing is frozen.
    QTableView *overlay() const { return m_overlay; }

    // The row count; new rows stay out of the frozen overlay. Rows dropped in large numbers (a run
    // stopped late, a table emptied for the next one) leave the table at once, but their items are
    // freed a slice at a time while the window goes on: freeing a hundred thousand rows of them
    // takes seconds.
    void setRowCount(int rows);
    // Items of dropped rows that are still to be freed (for tests; the window never waits for them).
    qsizetype itemsToFree() const;
    // Hides the table and deletes it later, its rows dropped from the end a slice at a time while
    // the window goes on: a table nobody shows any more (the results of a stopped run) goes
    // without touching every item at once, which for a few hundred thousand rows takes a second.
    void discardLater();
    // A span, mirrored into the overlay when its cell lies in the frozen area.
    void setSpan(int row, int column, int rowSpan, int columnSpan);
    void clearSpans();

    // The worksheet column of the first item, for a drag.
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QList<QTableWidgetItem *> &items) const override;
    // A dropped worksheet column: the formula box of the cell takes its letters; on the last column
    // an entry column is added first. A payload that is not a worksheet column is refused.
    bool dropMimeData(int row, int column, const QMimeData *data, Qt::DropAction action) override;

    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;

    // The tint of an amount cell that the amount rule cannot read (its tool tip says why).
    static QColor unreadableColor() { return QColor(255, 199, 206); }

    // Lets the clerk enter and correct the rows from `firstRow` on: F2, a double click or typing
    // edits a cell, Delete clears it; every column but the trailing one. Columns
    // [amountFirst, amountEnd) hold amounts: a committed amount the rule reads becomes a number
    // cell showing the amount's text; one it cannot read stays as typed, tinted, its tool tip
    // saying why. Other cells become text cells. Every change the clerk makes is announced by
    // entryEdited.
    void setEntry(int firstRow, int amountFirst, int amountEnd);
    bool entryEnabled() const { return m_entryFirstRow >= 0; }
    // Keeps a blank row at the end for a new employee (added when the clerk comes to the table,
    // by a click or Tab, and when the clerk fills the last row).
    void ensureEntryRow();
    // Removes the rows of the entry area without any text (the blank row at the end, rows the
    // clerk emptied): what is left are the employees.
    void removeBlankRows();
    // Commits the cell being edited, if any.
    void finishEditing();
    // What committing `text` into cell (row, column) does (the editor's way in, open for tests).
    void commitEntry(int row, int column, const QString &text);

signals:
    // Asks the owner to open the title editor of header section `column`.
    void requestEdit(int column);
    // The clerk changed cell (row, column).
    void entryEdited(int row, int column);

public slots:
    // Inserts a target column in front of the last column, titled "未命名", with a formula box in
    // row 0; asks for a header edit when headerEditFlag is set.
    void addEntryCol(bool headerEditFlag);
    void addEntryCol();
    // Removes a target column; the trailing last column is never removed.
    void removeEntryCol(int logicalIndex);
    void updateSectionWidth(int logicalIndex, int oldSize, int newSize);
    void updateSectionHeight(int logicalIndex, int oldSize, int newSize);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void updateGeometries() override;

private:
    void createOverlay();
    void destroyOverlay();
    void updateOverlay();
    // Sections, sizes and settings of the overlay from the table (updateOverlay without geometry).
    void syncOverlay();
    void updateOverlayGeometry();
    // Keeps sections added to the model after the overlay was set up out of the frozen area.
    void hideNewSections(Qt::Orientation orientation, int first, int last);
    int frozenWidth() const;
    int frozenHeight() const;
    bool isEntryCell(int row, int column) const;
    bool isBlankRow(int row) const;

    qint32 m_titleRow = -1;
    QStringList m_sourceColumnNames;
    QTableView *m_overlay = nullptr;
    qint32 m_frozenColumns = 0;
    qint32 m_frozenRows = 0;
    QList<QMetaObject::Connection> m_overlayConnections;
    qint32 m_entryFirstRow = -1;
    qint32 m_amountFirst = 0;
    qint32 m_amountEnd = 0;
    // The items of dropped rows, freed from the back a slice per turn of the event loop.
    std::vector<QTableWidgetItem *> m_toFree;
    QTimer *m_freeTimer = nullptr;
    void freeSlice();
    void discardSlice();
};
