// The zip package of an .xlsx workbook, read from memory, over zlib alone: it needs only the
// stored and deflated entries that spreadsheet programs write, and takes its bounds from us.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

class ZipReader
{
public:
    // False, with error(), for anything but a readable zip directory.
    bool open(const QByteArray &bytes);
    bool exists(const QString &name) const;
    // The entry's bytes, inflated and checked against its CRC; false for a missing, damaged or
    // encrypted entry, or one inflating beyond `maxSize` bytes.
    bool read(const QString &name, qint64 maxSize, QByteArray *out);
    // The same, handing the inflated bytes to `sink` in pieces of at most `chunkSize` bytes as they
    // come, so a large part is never held whole. The checksum is checked after the last piece;
    // `sink` returning false stops the reading (and the caller says why).
    using Sink = std::function<bool(const char *data, qsizetype size)>;
    bool readChunks(const QString &name, qint64 maxSize, qsizetype chunkSize, const Sink &sink);
    // Whether the last failed readChunks stopped because its sink said so.
    bool sinkStopped() const { return m_sinkStopped; }
    QString error() const { return m_error; }

private:
    struct Entry
    {
        QString name;
        int flags = 0;
        int method = 0;
        quint32 crc = 0;
        quint64 compressedSize = 0;
        quint64 size = 0;
        quint64 localOffset = 0;
    };
    const Entry *find(const QString &name) const;

    QByteArray m_bytes;
    std::vector<Entry> m_entries;
    QString m_error;
    bool m_sinkStopped = false;
};
