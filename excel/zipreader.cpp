// Reading the zip package of .xlsx workbooks over zlib. Every offset and size in the archive is
// checked against the bytes there, and no entry inflates beyond the cap the caller gives, whatever
// its headers claim.
#include "excel/zipreader.h"

#include <zlib.h>

#include <algorithm>

namespace {

constexpr quint32 kEndOfCentralDir = 0x06054b50;
constexpr quint32 kZip64EndLocator = 0x07064b50;
constexpr quint32 kZip64End = 0x06064b50;
constexpr quint32 kCentralHeader = 0x02014b50;
constexpr quint32 kLocalHeader = 0x04034b50;
constexpr qint64 kMaxEntries = 100000;

quint16 u16(const char *p)
{
    return quint16(quint8(p[0]) | quint8(p[1]) << 8);
}

quint32 u32(const char *p)
{
    return quint32(u16(p)) | quint32(u16(p + 2)) << 16;
}

quint64 u64(const char *p)
{
    return quint64(u32(p)) | quint64(u32(p + 4)) << 32;
}

} // namespace

bool ZipReader::open(const QByteArray &bytes)
{
    m_bytes = bytes;
    m_entries.clear();
    const qint64 size = m_bytes.size();
    const char *d = m_bytes.constData();
    if (size < 22) {
        m_error = QStringLiteral("zip 包不完整。");
        return false;
    }
    // The end record sits in the last 64 KiB + 22 bytes, behind an optional comment.
    qint64 end = -1;
    for (qint64 p = size - 22; p >= 0 && p >= size - 65557; --p) {
        if (u32(d + p) == kEndOfCentralDir) {
            end = p;
            break;
        }
    }
    if (end < 0) {
        m_error = QStringLiteral("zip 包已损坏：找不到目录。");
        return false;
    }
    quint64 count = u16(d + end + 10);
    quint64 dirSize = u32(d + end + 12);
    quint64 dirOffset = u32(d + end + 16);
    if ((count == 0xFFFF || dirSize == 0xFFFFFFFF || dirOffset == 0xFFFFFFFF) && end >= 20 &&
        u32(d + end - 20) == kZip64EndLocator) {
        const quint64 at = u64(d + end - 20 + 8);
        if (size < 56 || at > quint64(size) - 56 || u32(d + at) != kZip64End) {
            m_error = QStringLiteral("zip 包已损坏：目录位置有误。");
            return false;
        }
        count = u64(d + at + 32);
        dirSize = u64(d + at + 40);
        dirOffset = u64(d + at + 48);
    }
    if (dirOffset > quint64(size) || dirSize > quint64(size) - dirOffset) {
        m_error = QStringLiteral("zip 包已损坏：目录超出文件范围。");
        return false;
    }
    if (count > quint64(kMaxEntries)) {
        m_error = QStringLiteral("zip 包中的文件过多。");
        return false;
    }
    qint64 p = qint64(dirOffset);
    const qint64 dirEnd = qint64(dirOffset + dirSize);
    for (quint64 i = 0; i < count; ++i) {
        if (p + 46 > dirEnd || u32(d + p) != kCentralHeader) {
            m_error = QStringLiteral("zip 包已损坏：目录项有误。");
            return false;
        }
        Entry e;
        e.flags = u16(d + p + 8);
        e.method = u16(d + p + 10);
        e.crc = u32(d + p + 16);
        e.compressedSize = u32(d + p + 20);
        e.size = u32(d + p + 24);
        const int nameLen = u16(d + p + 28);
        const int extraLen = u16(d + p + 30);
        const int commentLen = u16(d + p + 32);
        e.localOffset = u32(d + p + 42);
        if (p + 46 + nameLen + extraLen + commentLen > dirEnd) {
            m_error = QStringLiteral("zip 包已损坏：目录项超出范围。");
            return false;
        }
        e.name = QString::fromUtf8(d + p + 46, nameLen);
        // Sizes and offsets too large for the classic fields are in the zip64 extra field.
        const char *x = d + p + 46 + nameLen;
        for (int k = 0; k + 4 <= extraLen;) {
            const int id = u16(x + k);
            const int len = u16(x + k + 2);
            if (k + 4 + len > extraLen)
                break;
            if (id == 0x0001) {
                int at = k + 4;
                auto take = [&](quint64 *field) {
                    if (*field == 0xFFFFFFFF && at + 8 <= k + 4 + len) {
                        *field = u64(x + at);
                        at += 8;
                    }
                };
                take(&e.size);
                take(&e.compressedSize);
                take(&e.localOffset);
            }
            k += 4 + len;
        }
        m_entries.push_back(e);
        p += 46 + nameLen + extraLen + commentLen;
    }
    return true;
}

const ZipReader::Entry *ZipReader::find(const QString &name) const
{
    for (const Entry &e : m_entries) {
        if (e.name == name)
            return &e;
    }
    for (const Entry &e : m_entries) {
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return &e;
    }
    return nullptr;
}

bool ZipReader::exists(const QString &name) const
{
    return find(name) != nullptr;
}

bool ZipReader::read(const QString &name, qint64 maxSize, QByteArray *out)
{
    out->clear();
    if (const Entry *e = find(name))
        out->reserve(qsizetype(std::min<quint64>(e->size, std::min<quint64>(quint64(maxSize), 64u << 20))));
    return readChunks(name, maxSize, 65536, [out](const char *data, qsizetype size) {
        out->append(data, size);
        return true;
    });
}

bool ZipReader::readChunks(const QString &name, qint64 maxSize, qsizetype chunkSize, const Sink &sink)
{
    m_sinkStopped = false;
    chunkSize = std::clamp<qsizetype>(chunkSize, 1, 1 << 20);
    const Entry *e = find(name);
    if (!e) {
        m_error = QStringLiteral("工作簿缺少部件：%1").arg(name);
        return false;
    }
    const qint64 size = m_bytes.size();
    const char *d = m_bytes.constData();
    if (e->flags & 0x0001) {
        m_error = QStringLiteral("工作簿部件已加密：%1").arg(name);
        return false;
    }
    if (e->localOffset > quint64(size) - 30 || u32(d + e->localOffset) != kLocalHeader) {
        m_error = QStringLiteral("zip 包已损坏：部件 %1 的位置有误。").arg(name);
        return false;
    }
    const quint64 dataAt = e->localOffset + 30 + u16(d + e->localOffset + 26) + u16(d + e->localOffset + 28);
    if (dataAt > quint64(size) || e->compressedSize > quint64(size) - dataAt) {
        m_error = QStringLiteral("zip 包已损坏：部件 %1 超出文件范围。").arg(name);
        return false;
    }
    const char *data = d + dataAt;
    const qint64 compressed = qint64(e->compressedSize);
    uLong crc = crc32(0, nullptr, 0);
    auto give = [&](const char *p, qsizetype n) {
        crc = crc32(crc, reinterpret_cast<const Bytef *>(p), uInt(n));
        if (!sink(p, n)) {
            m_sinkStopped = true;
            m_error.clear();
            return false;
        }
        return true;
    };
    if (e->method == 0) {
        if (compressed > maxSize) {
            m_error = QStringLiteral("工作簿部件过大：%1").arg(name);
            return false;
        }
        for (qint64 at = 0; at < compressed; at += chunkSize) {
            if (!give(data + at, qsizetype(std::min<qint64>(chunkSize, compressed - at))))
                return false;
        }
    } else if (e->method == 8) {
        z_stream z = {};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
            m_error = QStringLiteral("无法解压工作簿部件：%1").arg(name);
            return false;
        }
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
        z.avail_in = 0;
        qint64 fed = 0;
        qint64 total = 0;
        std::vector<char> chunk(static_cast<size_t>(chunkSize));
        int rc = Z_OK;
        while (rc != Z_STREAM_END) {
            if (z.avail_in == 0 && fed < compressed) {
                const qint64 n = std::min<qint64>(compressed - fed, 1 << 30);
                z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data + fed));
                z.avail_in = uInt(n);
                fed += n;
            }
            z.next_out = reinterpret_cast<Bytef *>(chunk.data());
            z.avail_out = uInt(chunk.size());
            rc = inflate(&z, Z_NO_FLUSH);
            const qint64 produced = qint64(chunk.size() - z.avail_out);
            if (rc != Z_OK && rc != Z_STREAM_END && !(rc == Z_BUF_ERROR && produced > 0)) {
                inflateEnd(&z);
                m_error = QStringLiteral("工作簿部件已损坏，无法解压：%1").arg(name);
                return false;
            }
            if (total + produced > maxSize) {
                inflateEnd(&z);
                m_error =
                    QStringLiteral("工作簿部件解压后过大（超过 %1 MB）：%2").arg(maxSize >> 20).arg(name);
                return false;
            }
            total += produced;
            if (produced > 0 && !give(chunk.data(), qsizetype(produced))) {
                inflateEnd(&z);
                return false;
            }
            if (rc != Z_STREAM_END && produced == 0 && z.avail_in == 0 && fed >= compressed) {
                inflateEnd(&z);
                m_error = QStringLiteral("工作簿部件不完整：%1").arg(name);
                return false;
            }
        }
        inflateEnd(&z);
    } else {
        m_error = QStringLiteral("工作簿部件 %1 使用了不支持的压缩方式（%2）。").arg(name).arg(e->method);
        return false;
    }
    if (crc != e->crc) {
        m_error = QStringLiteral("工作簿部件已损坏（校验和不符）：%1").arg(name);
        return false;
    }
    return true;
}
