// Hand-built workbook files for the tests: a zip package of given parts for .xlsx, and BIFF8
// records in a compound file for .xls, so each test can break exactly one thing.
#pragma once

#include "excel/biff.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <cstring>

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
            quint32(crc32(0, reinterpret_cast<const Bytef *>(p.data.constData()), uInt(p.data.size())));
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
