#include "excel/zipwriter.h"

#include <QDateTime>

#include <zlib.h>

#include <limits>
#include <new>

namespace {

// Past these the plain zip fields overflow and ZIP64 records would be needed; no salary workbook
// comes near them, so such a package is refused rather than written in a form few readers know.
constexpr quint64 kMaxField = 0xFFFFFFFEu;
constexpr size_t kMaxEntries = 0xFFFE;

void le16(QByteArray *out, quint16 v)
{
    const char b[2] = {char(v & 0xFF), char(v >> 8)};
    out->append(b, 2);
}

void le32(QByteArray *out, quint32 v)
{
    const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
    out->append(b, 4);
}

void patch32(QByteArray *out, quint64 at, quint32 v)
{
    char *p = out->data() + at;
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
    p[2] = char((v >> 16) & 0xFF);
    p[3] = char(v >> 24);
}

QString tooLarge()
{
    return QStringLiteral(
        "工作簿过大（其中的工作表或整个文件超过 4 GB），无法保存为 .xlsx，请分成几个文件导出。");
}

} // namespace

struct ZipWriter::Stream
{
    z_stream z{};
    bool initialised = false;
    char out[256 * 1024];
};

ZipWriter::ZipWriter(QByteArray *out, int level)
    : m_out(out), m_z(std::make_unique<Stream>()), m_buffer(std::make_unique<char[]>(kBufferSize))
{
    // Raw deflate (negative window bits): the zip headers carry the checksum and sizes.
    if (deflateInit2(&m_z->z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        fail(QStringLiteral("无法初始化压缩程序。"));
    else
        m_z->initialised = true;
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    if (d.year() >= 1980 && d.year() <= 2107) {
        m_dosDate = quint16(((d.year() - 1980) << 9) | (d.month() << 5) | d.day());
        m_dosTime = quint16((t.hour() << 11) | (t.minute() << 5) | (t.second() / 2));
    } else {
        m_dosDate = (0 << 9) | (1 << 5) | 1;
    }
}

ZipWriter::~ZipWriter()
{
    if (m_z->initialised)
        deflateEnd(&m_z->z);
}

void ZipWriter::fail(const QString &message)
{
    if (m_error.isEmpty())
        m_error = message;
}

bool ZipWriter::beginEntry(const QString &name)
{
    if (!ok())
        return false;
    if (m_inEntry && !endEntry())
        return false;
    if (m_entries.size() >= kMaxEntries || quint64(m_out->size()) > kMaxField) {
        fail(tooLarge());
        return false;
    }
    Entry e;
    e.name = name.toUtf8();
    e.offset = quint64(m_out->size());
    // The local header, its checksum and sizes filled in by endEntry.
    le32(m_out, 0x04034b50);
    le16(m_out, 20);     // version needed: deflate
    le16(m_out, 0x0800); // names are UTF-8
    le16(m_out, 8);      // deflated
    le16(m_out, m_dosTime);
    le16(m_out, m_dosDate);
    le32(m_out, 0);
    le32(m_out, 0);
    le32(m_out, 0);
    le16(m_out, quint16(e.name.size()));
    le16(m_out, 0);
    m_out->append(e.name);
    m_entries.push_back(std::move(e));
    deflateReset(&m_z->z);
    m_used = 0;
    m_inEntry = true;
    return true;
}

bool ZipWriter::drain(int flushMode)
{
    z_stream &z = m_z->z;
    for (;;) {
        z.next_out = reinterpret_cast<Bytef *>(m_z->out);
        z.avail_out = sizeof m_z->out;
        const int r = deflate(&z, flushMode);
        if (r == Z_STREAM_ERROR) {
            fail(QStringLiteral("压缩工作簿失败。"));
            return false;
        }
        const size_t produced = sizeof m_z->out - z.avail_out;
        if (produced) {
            m_out->append(m_z->out, qsizetype(produced));
            m_entries.back().compressedSize += produced;
        }
        if (flushMode == Z_FINISH ? r == Z_STREAM_END : (z.avail_in == 0 && z.avail_out != 0))
            return true;
    }
}

void ZipWriter::deflateBlock(const char *data, size_t size)
{
    if (!ok() || !m_inEntry || size == 0)
        return;
    Entry &e = m_entries.back();
    e.size += size;
    if (e.size > kMaxField) {
        fail(tooLarge());
        return;
    }
    // zlib counts in 32 bits: a block is handed over in pieces it can count.
    while (size > 0) {
        const uInt piece = uInt(std::min<size_t>(size, 1u << 30));
        e.crc = quint32(crc32(e.crc, reinterpret_cast<const Bytef *>(data), piece));
        m_z->z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
        m_z->z.avail_in = piece;
        try {
            if (!drain(Z_NO_FLUSH))
                return;
        } catch (const std::bad_alloc &) {
            fail(QStringLiteral("内存不足，无法生成工作簿。"));
            return;
        }
        data += piece;
        size -= piece;
    }
}

void ZipWriter::flush()
{
    const size_t used = m_used;
    m_used = 0;
    deflateBlock(m_buffer.get(), used);
}

bool ZipWriter::endEntry()
{
    if (!ok() || !m_inEntry)
        return ok();
    flush();
    if (!ok())
        return false;
    m_z->z.next_in = nullptr;
    m_z->z.avail_in = 0;
    try {
        if (!drain(Z_FINISH))
            return false;
    } catch (const std::bad_alloc &) {
        fail(QStringLiteral("内存不足，无法生成工作簿。"));
        return false;
    }
    m_inEntry = false;
    const Entry &e = m_entries.back();
    if (e.compressedSize > kMaxField || quint64(m_out->size()) > kMaxField) {
        fail(tooLarge());
        return false;
    }
    patch32(m_out, e.offset + 14, e.crc);
    patch32(m_out, e.offset + 18, quint32(e.compressedSize));
    patch32(m_out, e.offset + 22, quint32(e.size));
    return true;
}

bool ZipWriter::finish()
{
    if (m_inEntry && !endEntry())
        return false;
    if (!ok())
        return false;
    try {
        const quint64 start = quint64(m_out->size());
        for (const Entry &e : m_entries) {
            le32(m_out, 0x02014b50);
            le16(m_out, 20); // made by: MS-DOS attributes, zip 2.0
            le16(m_out, 20);
            le16(m_out, 0x0800);
            le16(m_out, 8);
            le16(m_out, m_dosTime);
            le16(m_out, m_dosDate);
            le32(m_out, e.crc);
            le32(m_out, quint32(e.compressedSize));
            le32(m_out, quint32(e.size));
            le16(m_out, quint16(e.name.size()));
            le16(m_out, 0); // extra
            le16(m_out, 0); // comment
            le16(m_out, 0); // disk
            le16(m_out, 0); // internal attributes
            le32(m_out, 0); // external attributes
            le32(m_out, quint32(e.offset));
            m_out->append(e.name);
        }
        const quint64 size = quint64(m_out->size()) - start;
        if (quint64(m_out->size()) > kMaxField) {
            fail(tooLarge());
            return false;
        }
        le32(m_out, 0x06054b50);
        le16(m_out, 0);
        le16(m_out, 0);
        le16(m_out, quint16(m_entries.size()));
        le16(m_out, quint16(m_entries.size()));
        le32(m_out, quint32(size));
        le32(m_out, quint32(start));
        le16(m_out, 0);
    } catch (const std::bad_alloc &) {
        fail(QStringLiteral("内存不足，无法生成工作簿。"));
        return false;
    }
    return true;
}
