#include "history/compacttable.h"

#include "history/historyrecord.h"

#include <QtEndian>
#include <cstring>
#include <zlib.h>

namespace {

enum CellFlag : quint8
{
    FlagPresent = 0x01,
    FlagNumber = 0x02,
    FlagBackground = 0x04,
    FlagForeground = 0x08,
    FlagBold = 0x10,
    FlagToolTipIsText = 0x20,
    FlagToolTip = 0x40,
    FlagsKnown = 0x7f,
};

void putVarint(QByteArray &out, quint64 value)
{
    while (value >= 0x80) {
        out.append(char(quint8(value) | 0x80));
        value >>= 7;
    }
    out.append(char(value));
}

void putText(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    putVarint(out, quint64(utf8.size()));
    out.append(utf8);
}

void putU32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

// Reads the packed cells with every length checked against the end.
class Cursor
{
public:
    explicit Cursor(const QByteArray &bytes)
        : m_at(reinterpret_cast<const uchar *>(bytes.constData())), m_end(m_at + bytes.size())
    {}
    bool atEnd() const { return m_at == m_end; }
    bool byte(quint8 *value)
    {
        if (m_at == m_end)
            return false;
        *value = *m_at++;
        return true;
    }
    bool varint(quint64 *value)
    {
        quint64 result = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            quint8 b;
            if (!byte(&b))
                return false;
            result |= quint64(b & 0x7f) << shift;
            if (!(b & 0x80)) {
                *value = result;
                return true;
            }
        }
        return false;
    }
    bool u32(quint32 *value)
    {
        if (m_end - m_at < 4)
            return false;
        *value = qFromLittleEndian<quint32>(m_at);
        m_at += 4;
        return true;
    }
    bool f64(double *value)
    {
        if (m_end - m_at < 8)
            return false;
        const quint64 bits = qFromLittleEndian<quint64>(m_at);
        std::memcpy(value, &bits, 8);
        m_at += 8;
        return true;
    }
    // A text, decoded only when `out` is given.
    bool text(QString *out)
    {
        quint64 length;
        if (!varint(&length) || length > quint64(m_end - m_at))
            return false;
        if (out)
            *out = QString::fromUtf8(reinterpret_cast<const char *>(m_at), qsizetype(length));
        m_at += length;
        return true;
    }

private:
    const uchar *m_at;
    const uchar *m_end;
};

} // namespace

CompactTableWriter::CompactTableWriter(qint32 rows, qint32 columns)
    : m_rows(qMax(0, rows)), m_columns(qMax(0, columns))
{}

void CompactTableWriter::addAbsent()
{
    m_raw.append('\0');
    ++m_cells;
}

void CompactTableWriter::add(const CompactCell &cell)
{
    if (!cell.present) {
        addAbsent();
        return;
    }
    quint8 flags = FlagPresent;
    if (cell.hasNumber)
        flags |= FlagNumber;
    if (cell.hasBackground)
        flags |= FlagBackground;
    if (cell.hasForeground)
        flags |= FlagForeground;
    if (cell.bold)
        flags |= FlagBold;
    if (!cell.toolTip.isEmpty())
        flags |= cell.toolTip == cell.text ? FlagToolTipIsText : FlagToolTip;
    m_raw.append(char(flags));
    putVarint(m_raw, quint32(cell.type));
    putVarint(m_raw, cell.alignment);
    putText(m_raw, cell.text);
    if (cell.hasNumber) {
        quint64 bits;
        std::memcpy(&bits, &cell.number, 8);
        char bytes[8];
        qToLittleEndian(bits, bytes);
        m_raw.append(bytes, 8);
    }
    if (cell.hasBackground)
        putU32(m_raw, cell.background);
    if (cell.hasForeground)
        putU32(m_raw, cell.foreground);
    if (flags & FlagToolTip)
        putText(m_raw, cell.toolTip);
    ++m_cells;
}

bool CompactTableWriter::write(QDataStream &out) const
{
    if (m_cells != qint64(m_rows) * m_columns || m_cells > kMaxCompactCells ||
        m_raw.size() > kMaxCompactBytes)
        return false;
    // Speed over size: the cells repeat so much that the fastest level already packs them well.
    const QByteArray packed = qCompress(m_raw, 1);
    if (packed.isEmpty() && !m_raw.isEmpty())
        return false;
    out << m_rows << m_columns << qint64(m_raw.size()) << qint64(packed.size());
    out.writeRawData(packed.constData(), int(packed.size()));
    return out.status() == QDataStream::Ok;
}

bool readCompactTable(HistoryReader &reader, qint32 maxRows, qint32 maxColumns, CompactTable *table)
{
    qint32 rows = 0, columns = 0;
    qint64 rawSize = 0, packedSize = 0;
    reader.stream() >> rows >> columns >> rawSize >> packedSize;
    if (!reader.finish() || rows < 0 || columns < 0 || rows > maxRows || columns > maxColumns ||
        qint64(rows) * columns > kMaxCompactCells)
        return false;
    // Every cell takes at least its flag byte.
    if (rawSize < qint64(rows) * columns || rawSize > kMaxCompactBytes || packedSize < 0 ||
        packedSize > reader.remaining())
        return false;
    QByteArray packed(qsizetype(packedSize), Qt::Uninitialized);
    if (packedSize > 0 && reader.stream().readRawData(packed.data(), int(packedSize)) != packedSize)
        return false;

    QByteArray raw;
    if (rawSize > 0) {
        // qCompress puts the unpacked size (big-endian, 32 bits) before the zlib stream.
        if (packed.size() < 4 ||
            qFromBigEndian<quint32>(packed.constData()) != quint64(rawSize) % (1ULL << 32))
            return false;
        raw = QByteArray(qsizetype(rawSize), Qt::Uninitialized);
        z_stream z{};
        if (inflateInit(&z) != Z_OK)
            return false;
        z.next_in = reinterpret_cast<Bytef *>(packed.data() + 4);
        qint64 inLeft = packed.size() - 4;
        z.next_out = reinterpret_cast<Bytef *>(raw.data());
        qint64 outLeft = rawSize;
        int status = Z_OK;
        while (status == Z_OK) {
            const uInt inChunk = uInt(qMin<qint64>(inLeft, 1 << 30));
            const uInt outChunk = uInt(qMin<qint64>(outLeft, 1 << 30));
            z.avail_in = inChunk;
            z.avail_out = outChunk;
            status = inflate(&z, Z_NO_FLUSH);
            inLeft -= inChunk - z.avail_in;
            outLeft -= outChunk - z.avail_out;
            if (status == Z_OK && z.avail_in == inChunk && z.avail_out == outChunk)
                status = Z_DATA_ERROR; // no progress: the stream is cut or wants more room
        }
        inflateEnd(&z);
        // Exactly the stated size, and the stream ends there.
        if (status != Z_STREAM_END || outLeft != 0)
            return false;
    }
    table->rows = rows;
    table->columns = columns;
    table->packed = std::move(raw);
    return true;
}

bool decodeCompactCells(const CompactTable &table,
                        const std::function<void(qint32, qint32, const CompactCell &)> &visit)
{
    Cursor cursor(table.packed);
    CompactCell cell;
    const CompactCell absent;
    for (qint32 row = 0; row < table.rows; ++row) {
        for (qint32 column = 0; column < table.columns; ++column) {
            quint8 flags;
            if (!cursor.byte(&flags) || (flags & ~FlagsKnown) ||
                ((flags & FlagToolTip) && (flags & FlagToolTipIsText)))
                return false;
            if (!(flags & FlagPresent)) {
                if (flags)
                    return false;
                if (visit)
                    visit(row, column, absent);
                continue;
            }
            quint64 type, alignment;
            if (!cursor.varint(&type) || type > 0x7fffffff || !cursor.varint(&alignment) ||
                alignment > 0xffffffff)
                return false;
            cell.present = true;
            cell.type = qint32(type);
            cell.alignment = quint32(alignment);
            if (!cursor.text(visit ? &cell.text : nullptr))
                return false;
            cell.hasNumber = flags & FlagNumber;
            cell.number = 0;
            if (cell.hasNumber && !cursor.f64(&cell.number))
                return false;
            cell.hasBackground = flags & FlagBackground;
            if (cell.hasBackground && !cursor.u32(&cell.background))
                return false;
            cell.hasForeground = flags & FlagForeground;
            if (cell.hasForeground && !cursor.u32(&cell.foreground))
                return false;
            cell.bold = flags & FlagBold;
            cell.toolTip.clear();
            if ((flags & FlagToolTip) && !cursor.text(visit ? &cell.toolTip : nullptr))
                return false;
            if (visit) {
                if (flags & FlagToolTipIsText)
                    cell.toolTip = cell.text;
                visit(row, column, cell);
            }
        }
    }
    return cursor.atEnd();
}

WrittenRecord writePendingRecord(const PendingRecord &record)
{
    HistoryWriter writer(record.dir, record.extension, record.value1, record.value2, record.when);
    QDataStream &out = writer.stream();
    out.writeRawData(record.head.constData(), int(record.head.size()));
    for (const CompactTableWriter &table : record.tables) {
        if (!table.write(out))
            return {}; // too large for a record: no entry rather than a broken one
    }
    out.writeRawData(record.tail.constData(), int(record.tail.size()));
    WrittenRecord written;
    if ((!record.newest.isEmpty() && writer.repeats(record.newest)) || !writer.commit())
        return written;
    written.written = true;
    written.path = writer.path();
    written.timeText = writer.timeText();
    written.value1 = writer.value1();
    written.value2 = writer.value2();
    return written;
}

PendingRecord pendingRecord(const QString &dir, const QString &extension, double value1, double value2)
{
    PendingRecord record;
    record.dir = dir;
    record.extension = extension;
    record.value1 = value1;
    record.value2 = value2;
    record.when = QDateTime::currentDateTime();
    return record;
}
