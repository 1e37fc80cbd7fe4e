// Calculation history shared by every page.
//
// Each calculation is one small data-stream file in historyDir(), named by its save time
// ("yyMMddhhmmss", then "-1", "-2"… when that name is taken) and the page's extension; every page
// keeps the twelve newest files of its own extension. Every record starts with the common head
// (time text, two figures in yuan for the list); what follows is the page's own layout.
//
// The files are written whole or not at all (HistoryWriter commits through QSaveFile), with a
// pinned stream version so an upgraded toolkit still reads them, and are read defensively
// (HistoryReader, readTableSnapshot): a truncated or hostile file is rejected before anything on a
// page changes, and no stored count is trusted before it is checked against what is left of the
// file. This module knows no widget and no page; historylist.h adds the table widget side (the
// history list, writing a table widget, applying a snapshot to one).
//
// A page uses it like this (HistoryPanel gives the "计算历史" box and its list):
//   save():   HistoryWriter w(historyDir(), ext, figure1, figure2);
//             w.stream() << …page fields…;  writeTableSnapshot(w.stream(), table);
//             if (w.commit()) addHistoryRow(list, w.path(), w.timeText(), figure1, figure2);
//   load(p):  HistoryReader r(p);  if (!r.ok()) return;
//             r.stream() >> …page fields…;  TableSnapshot t;
//             if (!r.finish() || !readTableSnapshot(r, maxRows, maxColumns, &t) || !r.finish()) return;
//             …check the values, then set the widgets and applyTableSnapshot(table, t)…
//   searchHistory(): fillHistoryList(list, historyDir(), "*." + ext);
//   openHistory(row, column): load(historyPathAt(list, row)) when the path is not empty.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QDataStream>
#include <QDateTime>
#include <QFile>
#include <QIODevice>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <utility>

// The stream version of every history record: the one this program first wrote. Pinned so that a
// newer toolkit's default cannot change the byte layout under old files.
inline constexpr QDataStream::Version kHistoryStreamVersion = QDataStream::Qt_6_4;
// Entries kept per page (per extension).
inline constexpr int kHistoryKeep = 12;
// Larger files are not history records this program wrote; refusing them bounds the memory a
// hostile file can claim.
inline constexpr qint64 kHistoryMaxFileSize = 256LL * 1024 * 1024;

// The user's home directory followed by "/lumo/log/"; created when missing.
QString historyDir();

// "yyMMddhhmmss.ext" in dir, or "yyMMddhhmmss-N.ext" with the smallest N ≥ 1 that is free.
QString newHistoryFileName(const QString &dir, const QString &extension, const QDateTime &when);

// The files of dir matching filter (e.g. "*.sc"), oldest first, as full paths; then those of each
// subdirectory, recursively. Within a directory the order is the save order: by the timestamp,
// then by the "-N" counter as a number, so "…-1.sc" follows "….sc" and "…-10.sc" follows "…-9.sc".
QStringList listHistoryFiles(const QString &dir, const QString &filter);

// The list's display of a head figure: yuan to fen, then the program's amount text.
QString historyFigureText(double yuan);

// Writes one record. The constructor chooses the file name and writes the common head with the
// current time; the page then streams its own fields into stream() and calls commit(). The record
// is assembled in memory, so nothing is visible at the final path until commit() succeeds, and it
// can be compared with an earlier record first (repeats()).
class HistoryWriter
{
public:
    HistoryWriter(const QString &dir, const QString &extension, double value1, double value2,
                  const QDateTime &when = QDateTime::currentDateTime());
    HistoryWriter(const HistoryWriter &) = delete;
    HistoryWriter &operator=(const HistoryWriter &) = delete;

    QDataStream &stream() { return m_stream; }
    const QString &path() const { return m_path; }
    const QString &timeText() const { return m_timeText; }
    double value1() const { return m_value1; }
    double value2() const { return m_value2; }
    // True when the record in the file at `path` holds exactly what this one holds after the time
    // text: the same figures, fields and table. False when that file is missing or unreadable.
    bool repeats(const QString &path) const;
    // False when the file could not be opened, written or renamed into place.
    bool commit();

private:
    QString m_path;
    QString m_timeText;
    double m_value1;
    double m_value2;
    QByteArray m_bytes;
    QBuffer m_buffer;
    QDataStream m_stream;
    qint64 m_bodyStart = 0;
};

// The common head of every record.
struct HistoryHead
{
    QString timeText;
    double value1 = 0;
    double value2 = 0;
};

// Reads one record straight from its file (nothing is loaded whole; files larger than
// kHistoryMaxFileSize are refused unread), or from a device the caller keeps open, positioned at
// the record's start. ok() is false when the file is missing, too large or its head is malformed;
// after the page has read its fields, finish() tells whether every read succeeded.
class HistoryReader
{
public:
    explicit HistoryReader(const QString &path);
    explicit HistoryReader(QIODevice *device);
    HistoryReader(const HistoryReader &) = delete;
    HistoryReader &operator=(const HistoryReader &) = delete;

    bool ok() const { return m_ok; }
    const HistoryHead &head() const { return m_head; }
    QDataStream &stream() { return m_stream; }
    // Bytes not read yet; stored counts are checked against it before anything is allocated.
    qint64 remaining() const;
    // True when every read so far succeeded.
    bool finish() const { return m_ok && m_stream.status() == QDataStream::Ok; }

private:
    void start(QIODevice *device);

    QFile m_file;
    QIODevice *m_device = nullptr;
    QDataStream m_stream;
    HistoryHead m_head;
    bool m_ok = false;
};

// Reads only the head of a history file; false when the file cannot be read.
bool readHistoryHead(const QString &path, HistoryHead *head);

// A stored table: row and column counts, then every cell row by row as the table item class
// streams it (its data roles with their values); a missing cell is stored as an empty item.
struct TableSnapshot
{
    using Cell = QList<std::pair<int, QVariant>>; // (role, value)
    qint32 rows = 0;
    qint32 columns = 0;
    QList<Cell> cells; // rows × columns
};

// Writes one cell of a table in the format above: its roles (e.g. a model's itemData). Only values
// of plain types (text, numbers, colours, solid or hatched brushes, alignment) are stored; other
// roles are left out so that every stored cell can be read back safely. historylist.h writes a
// whole table widget with it.
void writeSnapshotCell(QDataStream &out, const QMap<int, QVariant> &roles);
// An absent cell: no roles.
void writeEmptySnapshotCell(QDataStream &out);

// Reads a table written by writeTableSnapshot. False, with nothing allocated beyond what the bytes
// left in the record can hold, when the counts exceed maxRows / maxColumns, a cell has an unknown or
// unsafe value type, or the stream ends early.
bool readTableSnapshot(HistoryReader &reader, qint32 maxRows, qint32 maxColumns, TableSnapshot *table);
