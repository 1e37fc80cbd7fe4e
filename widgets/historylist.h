// The table widget side of the history records of historyrecord.h: the page's "计算历史" list
// (fill, add with retention, path of a row) and storing a table widget in a record and back.
#pragma once

#include "history/compacttable.h"
#include "history/historyrecord.h"

#include <QObject>

#include <functional>
#include <memory>

class QFont;
class QTableWidget;
class QTimer;
class QWidget;

// The time of a record as the list shows it: with a four-digit year ("2026-12-10 08:00"). Records
// store the time with two ("26-12-10 08:00"); any other stored text is shown as it is.
QString historyTimeDisplay(const QString &stored);

// Shows the newest kHistoryKeep files (newest at row 0) and deletes every older one from disk.
// Leaves the table alone when no file matches.
void fillHistoryList(QTableWidget *table, const QString &dir, const QString &filter);

// Inserts the entry at row 0; when that makes more than kHistoryKeep rows, deletes the file of the
// last row from disk and cuts the list back.
void addHistoryRow(QTableWidget *table, const QString &path, const QString &timeText, double value1,
                   double value2);

// Writes the writer's record and puts it at the top of the list (with the trimming above), unless
// it repeats the list's newest entry: a second click on the same inputs, or a double-click, must not
// push older entries out. True when an entry was written.
bool addHistoryEntry(QTableWidget *table, HistoryWriter &writer);

// What the user reads when a history entry cannot be read back.
inline const QString kUnreadableHistoryText = QStringLiteral("该计算记录无法读取，文件可能已损坏。");

// Restores the entry of row `row` with `load` (which returns false for a record it cannot read)
// and tells the user when it fails. Nothing happens for a row without an entry.
void openHistoryEntry(QWidget *page, const QTableWidget *table, int row,
                      const std::function<bool(const QString &)> &load);

// The file path stored with row `row` of a history list; empty for a row without one.
QString historyPathAt(const QTableWidget *table, int row);

// Writes the table's size and every cell (see writeSnapshotCell).
void writeTableSnapshot(QDataStream &out, const QTableWidget *table);

// Replaces the table's size and every cell by the stored ones.
void applyTableSnapshot(QTableWidget *table, const TableSnapshot &snapshot);

// Writes every cell of the table in the compact form (compacttable.h). False, with nothing usable
// written, when the table is too large for a record.
bool writeCompactTable(QDataStream &out, const QTableWidget *table);

// Reads every cell of the table into `packed` (sized to the table), the part of writing a table
// that needs its items; `rowDone`, when given, is called after each row. False when the table is
// too large for a record.
bool packCompactTable(const QTableWidget *table, CompactTableWriter *packed,
                      const std::function<void(int row)> &rowDone = {});

// Writes a page's records on a worker thread, one after the other, and puts each written one at
// the top of the page's history list once it is on disk. File names are chosen by what is on
// disk, so a save waits for the one before it. Destroying the saver waits for a write in progress.
// The writing thread hands nothing to the window through Qt's event queue: the window looks at a
// flag every few milliseconds and joins the thread before it reads the result, so the hand-over
// is one the thread checker sees even with an uninstrumented Qt.
class HistorySaver : public QObject
{
    Q_OBJECT
public:
    HistorySaver(QTableWidget *list, QObject *parent);
    ~HistorySaver() override;

    // Compares with the list's newest entry and writes off the user-interface thread.
    void save(PendingRecord record);
    bool isSaving() const { return m_write != nullptr; }
    // Waits for the write in progress and lists its entry.
    void wait();

signals:
    // A save ended; `written` when its entry is on disk and in the list.
    void saved(bool written);

private:
    struct Write;
    void poll();
    void collect();

    QTableWidget *m_list;
    QTimer *m_poll;
    std::unique_ptr<Write> m_write;
};

// Puts the stored cells into a table whose row and column counts the caller has already set to
// the stored ones (a salary table keeps its frozen rows in step that way). Bold cells get
// `boldFont`. Call only for a table decodeCompactCells has checked.
// `rowDone`, when given, is called after each stored row, so a long fill can show progress.
void fillFromCompactTable(QTableWidget *table, const CompactTable &stored, const QFont &boldFont,
                          const std::function<void(int row)> &rowDone = {});
