// Hand-built workbook files for the tests: a zip package of given parts for .xlsx, and BIFF8
// records in a compound file for .xls, so each test can break exactly one thing.
#pragma once

#include "excel/biff.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <cstring>
#include <optional>
#include <utility>

#include <zlib.h>

namespace testbooks {

inline void put16(QByteArray &b, int v)
{
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
}

inline void put32(QByteArray &b, quint32 v)
{
    put16(b, int(v & 0xFFFF));
    put16(b, int(v >> 16));
}

inline QByteArray le16(int v)
{
    QByteArray b;
    put16(b, v);
    return b;
}

inline QByteArray le32(quint32 v)
{
    QByteArray b;
    put32(b, v);
    return b;
}

inline QByteArray f64(double d)
{
    quint64 bits;
    std::memcpy(&bits, &d, sizeof d);
    return le32(quint32(bits)) + le32(quint32(bits >> 32));
}

struct ZipPart
{
    QString name;
    QByteArray data;                  // what the entry holds
    QByteArray compressed;            // raw deflate data, or empty to store `data`
    quint32 claimedSize = 0xFFFFFFFF; // the size the headers claim; default: the real one
    int flags = 0;                    // general purpose flags (1: encrypted)
    std::optional<quint32> crc = {};  // the checksum the headers give; default: that of `data`
};

// A zip archive of the parts, stored or deflated as given.
inline QByteArray zip(const QList<ZipPart> &parts)
{
    QByteArray out, dir;
    for (const ZipPart &p : parts) {
        const QByteArray name = p.name.toUtf8();
        const bool deflated = !p.compressed.isEmpty();
        const QByteArray &body = deflated ? p.compressed : p.data;
        const quint32 crc =
            p.crc
                ? *p.crc
                : quint32(crc32(0, reinterpret_cast<const Bytef *>(p.data.constData()), uInt(p.data.size())));
        const quint32 size = p.claimedSize == 0xFFFFFFFF ? quint32(p.data.size()) : p.claimedSize;
        const quint32 offset = quint32(out.size());
        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, p.flags);
        put16(out, deflated ? 8 : 0);
        put32(out, 0);
        put32(out, crc);
        put32(out, quint32(body.size()));
        put32(out, size);
        put16(out, int(name.size()));
        put16(out, 0);
        out.append(name);
        out.append(body);
        put32(dir, 0x02014b50);
        put16(dir, 20);
        put16(dir, 20);
        put16(dir, p.flags);
        put16(dir, deflated ? 8 : 0);
        put32(dir, 0);
        put32(dir, crc);
        put32(dir, quint32(body.size()));
        put32(dir, size);
        put16(dir, int(name.size()));
        put16(dir, 0);
        put16(dir, 0);
        put16(dir, 0);
        put16(dir, 0);
        put32(dir, 0);
        put32(dir, offset);
        dir.append(name);
    }
    const quint32 dirOffset = quint32(out.size());
    out.append(dir);
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, int(parts.size()));
    put16(out, int(parts.size()));
    put32(out, quint32(dir.size()));
    put32(out, dirOffset);
    put16(out, 0);
    return out;
}

inline QByteArray contentTypes()
{
    return QByteArrayLiteral("<?xml version=\"1.0\"?><Types "
                             "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>");
}

// An .xlsx package with one sheet "S" holding `sheetXml`'s sheetData (and optional shared strings
// and styles parts).
inline QList<ZipPart> xlsxParts(const QByteArray &sheetData, const QByteArray &strings = {},
                                const QByteArray &styles = {}, const QByteArray &sheetExtra = {})
{
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    QByteArray wbRels = "<?xml version=\"1.0\"?><Relationships "
                        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                        "<Relationship Id=\"rId1\" Type=\"" +
                        rel + "worksheet\" Target=\"worksheets/sheet1.xml\"/>";
    if (!strings.isEmpty())
        wbRels +=
            "<Relationship Id=\"rId2\" Type=\"" + rel + "sharedStrings\" Target=\"sharedStrings.xml\"/>";
    if (!styles.isEmpty())
        wbRels += "<Relationship Id=\"rId3\" Type=\"" + rel + "styles\" Target=\"styles.xml\"/>";
    wbRels += "</Relationships>";
    QList<ZipPart> parts = {
        {QStringLiteral("[Content_Types].xml"), contentTypes(), {}},
        {QStringLiteral("_rels/.rels"),
         "<?xml version=\"1.0\"?><Relationships "
         "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" "
         "Type=\"" +
             rel + "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>",
         {}},
        {QStringLiteral("xl/workbook.xml"),
         "<?xml version=\"1.0\"?><workbook "
         "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"" +
             rel.chopped(1) +
             "\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>",
         {}},
        {QStringLiteral("xl/_rels/workbook.xml.rels"), wbRels, {}},
        {QStringLiteral("xl/worksheets/sheet1.xml"),
         "<?xml version=\"1.0\"?><worksheet "
         "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
         "<sheetData>" +
             sheetData + "</sheetData>" + sheetExtra + "</worksheet>",
         {}},
    };
    if (!strings.isEmpty())
        parts.append({QStringLiteral("xl/sharedStrings.xml"), strings, {}});
    if (!styles.isEmpty())
        parts.append({QStringLiteral("xl/styles.xml"), styles, {}});
    return parts;
}

// Raw deflate data, its inflated size and checksum, in a form that joins: every piece but the
// last ends on a byte boundary without the final-block mark, so pieces made apart follow each
// other in one entry.
struct Deflated
{
    QByteArray bytes;
    quint64 size = 0;
    quint32 crc = 0;
};

// Each pattern repeated its count of times, deflated piece by piece: hundreds of megabytes of
// inflated text are never held, only the few hundred kilobytes they deflate to.
inline Deflated deflateRepeated(const QList<std::pair<QByteArray, qint64>> &runs, bool last)
{
    Deflated out;
    out.crc = quint32(crc32(0, nullptr, 0));
    z_stream z = {};
    deflateInit2(&z, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray buffer(1 << 20, '\0');
    auto feed = [&](const QByteArray &data, int flush) {
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
        z.avail_in = uInt(data.size());
        do {
            z.next_out = reinterpret_cast<Bytef *>(buffer.data());
            z.avail_out = uInt(buffer.size());
            deflate(&z, flush);
            out.bytes.append(buffer.constData(), buffer.size() - qsizetype(z.avail_out));
        } while (z.avail_out == 0);
        out.crc =
            quint32(crc32(out.crc, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size())));
        out.size += quint64(data.size());
    };
    for (const auto &[pattern, count] : runs) {
        if (pattern.isEmpty())
            continue;
        // Runs of one byte deflate best, and fastest, as runs.
        z.next_out = reinterpret_cast<Bytef *>(buffer.data());
        z.avail_out = uInt(buffer.size());
        deflateParams(&z, pattern.size() == 1 ? 1 : 6, pattern.size() == 1 ? Z_RLE : Z_DEFAULT_STRATEGY);
        out.bytes.append(buffer.constData(), buffer.size() - qsizetype(z.avail_out));
        const qint64 perBlock = std::max<qint64>(1, (1 << 20) / pattern.size());
        const QByteArray block = pattern.repeated(qsizetype(std::min(perBlock, count)));
        qint64 left = count;
        for (; left >= perBlock; left -= perBlock)
            feed(block, Z_NO_FLUSH);
        if (left > 0)
            feed(pattern.repeated(qsizetype(left)), Z_NO_FLUSH);
    }
    feed(QByteArray(), last ? Z_FINISH : Z_SYNC_FLUSH);
    deflateEnd(&z);
    return out;
}

// The pieces one after the other, as one entry (the last must have been made `last`).
inline ZipPart joined(const QString &name, const QList<Deflated> &pieces)
{
    ZipPart part{name, {}, {}, 0xFFFFFFFF, 0, {}};
    quint32 crc = quint32(crc32(0, nullptr, 0));
    quint64 size = 0;
    for (const Deflated &d : pieces) {
        part.compressed += d.bytes;
        crc = quint32(crc32_combine(crc, d.crc, z_off_t(d.size)));
        size += d.size;
    }
    part.crc = crc;
    part.claimedSize = quint32(size);
    return part;
}

inline QByteArray record(quint16 id, const QByteArray &data)
{
    return le16(id) + le16(int(data.size())) + data;
}

inline QByteArray bof(int type)
{
    return record(biff::Bof, le16(0x0600) + le16(type) + le16(0x0DBB) + le16(0x07CC) + le32(0) + le32(6));
}

inline QByteArray xf(int font, int numFormat, int align = 0x20)
{
    return record(biff::Xf, le16(font) + le16(numFormat) + le16(1) + QByteArray(1, char(align)) +
                                QByteArray(3, '\0') + QByteArray(8, '\0') + le16(0x2040));
}

// A BIFF8 workbook stream: the globals' records, then one worksheet "S" holding `sheet`.
inline QByteArray biffStream(const QByteArray &globals, const QByteArray &sheet, bool sheetBof = true)
{
    const QByteArray name = QByteArrayLiteral("\x01\x00S");
    const QByteArray head = bof(5) + globals;
    const int boundSize = 4 + 6 + int(name.size());
    const quint32 sheetAt = quint32(head.size() + boundSize + 4);
    QByteArray stream =
        head + record(biff::BoundSheet, le32(sheetAt) + QByteArray(2, '\0') + name) + record(biff::Eof, {});
    stream += (sheetBof ? bof(0x10) : QByteArray()) + sheet + record(biff::Eof, {});
    return stream;
}

inline QByteArray xlsFile(const QByteArray &stream)
{
    QByteArray file;
    QString error;
    biff::writeWorkbookStream(stream, &file, &error);
    return file;
}

} // namespace testbooks
