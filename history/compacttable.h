// A salary table stored compactly in a history record.
//
// The batch pages keep tables of up to a hundred thousand rows in their history. Storing every
// item with all its data roles (as the single pages do for their few cells) would take hundreds of
// megabytes and seconds; here each cell keeps only what the page shows and needs back: its text,
// kind (the item type), alignment, tool tip, bold font, background and text colours, and the
// number of a number cell. The cells are packed into one buffer, row by row, and stored deflated.
//
// Reading is bounded: the compressed size is checked against what is left of the record, the
// unpacked size is fixed in the record and capped, the table's cell count is capped, and
// decodeCompactCells checks every cell before a caller builds anything, so a truncated or hostile
// record is refused whole. QtCore/QtGui only; historylist.h moves tables of widgets in and out.
#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QDateTime>
#include <QRgb>
#include <QString>

#include <functional>
#include <vector>

class HistoryReader;

// What a stored cell shows.
struct CompactCell
{
    bool present = false;
    qint32 type = 0;       // the item type: the cell kind of an imported cell, 0 for others
    quint32 alignment = 0; // Qt::Alignment bits; 0 for the default
    QString text;
    QString toolTip; // often the text itself (the process text), stored once then
    bool bold = false;
    bool hasNumber = false; // a number cell's value beside its text
    double number = 0;
    bool hasBackground = false;
    QRgb background = 0;
    bool hasForeground = false;
    QRgb foreground = 0;
};

// Stored tables hold at most this many cells (rows × columns) and unpack to at most this many
// bytes; larger claims are not tables this program wrote.
inline constexpr qint64 kMaxCompactCells = 8'000'000;
inline constexpr qint64 kMaxCompactBytes = 1'500'000'000;

// Packs a table's cells, row by row, then writes it to a record.
class CompactTableWriter
{
public:
    CompactTableWriter(qint32 rows, qint32 columns);
    void add(const CompactCell &cell);
    void addAbsent();
    // False when the table is larger than a record may hold (nothing is written then) or the
    // number of cells added does not match rows × columns.
    bool write(QDataStream &out) const;

private:
    qint32 m_rows;
    qint32 m_columns;
    qint64 m_cells = 0;
    QByteArray m_raw;
};

// A table read from a record: its size and its packed cells.
struct CompactTable
{
    qint32 rows = 0;
    qint32 columns = 0;
    QByteArray packed; // unpacked cell bytes
};

// Reads a table written by CompactTableWriter. False when the sizes exceed maxRows / maxColumns or
// the caps, the compressed data does not unpack to exactly the stated size, or the record ends.
bool readCompactTable(HistoryReader &reader, qint32 maxRows, qint32 maxColumns, CompactTable *table);

// Calls `visit` for every cell in row order. Without a visitor it only checks the cells. False
// when any cell is malformed or the cells do not fill rows × columns exactly; then the visitor may
// have seen some cells, so check first (without a visitor) before building anything.
bool decodeCompactCells(
    const CompactTable &table,
    const std::function<void(qint32 row, qint32 column, const CompactCell &)> &visit = {});

// A batch page's record made ready on the user-interface thread, where its tables' items can be
// read: the page's fields as stream bytes (kHistoryStreamVersion) and its tables packed cell by
// cell. writePendingRecord then deflates the tables and writes the file on any thread, which for a
// hundred thousand rows takes seconds the window should not wait for. The file holds exactly the
// bytes the page would have streamed into one HistoryWriter: head, tables, tail.
struct PendingRecord
{
    QString dir;
    QString extension;
    double value1 = 0;
    double value2 = 0;
    QDateTime when;
    QByteArray head;                        // the page's fields before its tables
    std::vector<CompactTableWriter> tables; // in the record's order
    QByteArray tail;                        // what follows the tables
    QString newest;                         // the newest entry of the list: a repeat of it is not written
};

// A record of `extension` for the history folder `dir`, with the list's two figures, stamped now.
PendingRecord pendingRecord(const QString &dir, const QString &extension, double value1, double value2);

struct WrittenRecord
{
    bool written = false;
    QString path;
    QString timeText;
    double value1 = 0;
    double value2 = 0;
};

// Writes the record (through HistoryWriter: whole or not at all) unless it repeats `newest` or a
// table is too large for a record.
WrittenRecord writePendingRecord(const PendingRecord &record);
