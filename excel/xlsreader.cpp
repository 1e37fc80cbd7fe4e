// Reads .xls workbooks: BIFF8 records in the "Workbook" stream of a compound file. Every length,
// count and index in the file is checked against the bytes actually there before it is used.
#include "excel/biff.h"
#include "excel/formats.h"
#include "excel/workbook.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <numeric>

namespace {

quint16 u16(const char *p)
{
    return quint16(quint8(p[0]) | quint8(p[1]) << 8);
}

quint32 u32(const char *p)
{
    return quint32(u16(p)) | quint32(u16(p + 2)) << 16;
}

double f64(const char *p)
{
    quint64 bits = quint64(u32(p)) | quint64(u32(p + 4)) << 32;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

double rkValue(quint32 rk)
{
    double v;
    if (rk & 2) {
        v = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return rk & 1 ? v / 100.0 : v;
}

constexpr quint16 kSharedFormula = 0x04BC;
constexpr quint16 kArrayFormula = 0x0221;
constexpr quint16 kTableFormula = 0x0236;

struct Rec
{
    quint16 id = 0;
    const char *data = nullptr;
    int size = 0;
};

// Walks the records of a stream from an offset; stops at the end of the data, never past it.
class RecordReader
{
public:
    RecordReader(const QByteArray &stream, qsizetype offset) : m_s(stream), m_pos(offset) {}
    bool next(Rec *r)
    {
        if (m_pos < 0 || m_pos + 4 > m_s.size())
            return false;
        const char *p = m_s.constData() + m_pos;
        r->id = u16(p);
        r->size = u16(p + 2);
        if (m_pos + 4 + r->size > m_s.size()) {
            m_truncated = true;
            return false;
        }
        r->data = p + 4;
        m_pos += 4 + r->size;
        return true;
    }
    // The next record without consuming it.
    bool peek(Rec *r)
    {
        const qsizetype keep = m_pos;
        const bool ok = next(r);
        m_pos = keep;
        return ok;
    }
    bool truncated() const { return m_truncated; }
    qsizetype pos() const { return m_pos; }

private:
    const QByteArray &m_s;
    qsizetype m_pos;
    bool m_truncated = false;
};

// Reads a record and its CONTINUE records as one: strings may run from one into the next, and
// each continuation of a string's characters starts with a new flags byte.
class ContinuedReader
{
public:
    void add(const char *data, int size) { m_parts.push_back({data, size}); }
    bool atEnd() const { return m_part >= m_parts.size(); }

    bool readU8(quint8 *v)
    {
        if (!settle())
            return false;
        *v = quint8(m_parts[m_part].data[m_off++]);
        return true;
    }
    bool readU16(quint16 *v)
    {
        quint8 a, b;
        if (!readU8(&a) || !readU8(&b))
            return false;
        *v = quint16(a | b << 8);
        return true;
    }
    bool readU32(quint32 *v)
    {
        quint16 a, b;
        if (!readU16(&a) || !readU16(&b))
            return false;
        *v = quint32(a) | quint32(b) << 16;
        return true;
    }
    bool skip(qint64 n)
    {
        while (n > 0) {
            if (!settle())
                return false;
            const qint64 step = std::min<qint64>(n, m_parts[m_part].size - m_off);
            m_off += int(step);
            n -= step;
        }
        return true;
    }
    // `count` characters, 8-bit or UTF-16 as `flags` says, switching at each record boundary. False
    // when the records end first; `out` then holds the characters that were there.
    bool readChars(int count, quint8 flags, QString *out)
    {
        out->clear();
        out->reserve(std::min(count, 65536));
        bool wide = flags & 1;
        while (count > 0) {
            if (m_part >= m_parts.size())
                return false;
            if (m_off >= m_parts[m_part].size) {
                ++m_part;
                m_off = 0;
                if (m_part >= m_parts.size() || m_parts[m_part].size < 1)
                    return false;
                // Each continuation starts with its own flags byte, of which only the width bit may
                // be set. Some writers leave it out: anything else is already text, read at the
                // width of the run before.
                const quint8 next = quint8(m_parts[m_part].data[0]);
                if ((next & 0xFE) == 0) {
                    wide = next & 1;
                    m_off = 1;
                }
                continue;
            }
            const Part &p = m_parts[m_part];
            if (wide) {
                const int n = std::min(count, (p.size - m_off) / 2);
                if (n == 0) {
                    // Half a character at a record's end, written so by a writer that splits the
                    // text anywhere: its other half opens the next record, with no flags byte.
                    if (m_part + 1 >= m_parts.size() || m_parts[m_part + 1].size < 1)
                        return false;
                    const quint8 low = quint8(p.data[m_off]);
                    ++m_part;
                    m_off = 0;
                    out->append(QChar(char16_t(low | quint8(m_parts[m_part].data[0]) << 8)));
                    m_off = 1;
                    --count;
                    continue;
                }
                for (int i = 0; i < n; ++i)
                    out->append(QChar(u16(p.data + m_off + 2 * i)));
                m_off += 2 * n;
                count -= n;
            } else {
                const int n = std::min(count, p.size - m_off);
                out->append(QString::fromLatin1(p.data + m_off, n));
                m_off += n;
                count -= n;
            }
        }
        return true;
    }

private:
    bool settle()
    {
        while (m_part < m_parts.size() && m_off >= m_parts[m_part].size) {
            ++m_part;
            m_off = 0;
        }
        return m_part < m_parts.size();
    }
    struct Part
    {
        const char *data;
        int size;
    };
    std::vector<Part> m_parts;
    size_t m_part = 0;
    int m_off = 0;
};

// An XLUnicodeRichExtendedString (SST entries): its text; formatting runs and phonetic data skipped.
bool readRichString(ContinuedReader &in, QString *text)
{
    quint16 count;
    quint8 flags;
    if (!in.readU16(&count) || !in.readU8(&flags))
        return false;
    quint16 runs = 0;
    quint32 extSize = 0;
    if ((flags & 0x08) && !in.readU16(&runs))
        return false;
    if ((flags & 0x04) && !in.readU32(&extSize))
        return false;
    if (!in.readChars(count, flags, text))
        return false;
    // Runs and phonetic data cut off at the end still leave the text whole.
    if (in.skip(qint64(runs) * 4))
        in.skip(extSize);
    return true;
}

// An XLUnicodeString inside one record (LABEL, FORMAT, RSTRING): false when it runs past the end.
bool readString16(const char *p, int size, int at, QString *text, int *end = nullptr)
{
    if (at + 3 > size)
        return false;
    const int count = u16(p + at);
    const quint8 flags = quint8(p[at + 2]);
    int pos = at + 3;
    if (flags & 0x08)
        pos += 2;
    if (flags & 0x04)
        pos += 4;
    const int bytes = (flags & 1) ? count * 2 : count;
    if (pos + bytes > size)
        return false;
    text->clear();
    text->reserve(count);
    for (int i = 0; i < count; ++i)
        text->append((flags & 1) ? QChar(u16(p + pos + 2 * i)) : QChar(quint8(p[pos + i])));
    if (end)
        *end = pos + bytes;
    return true;
}

// A ShortXLUnicodeString (FONT names, sheet names): an 8-bit length.
bool readString8(const char *p, int size, int at, QString *text)
{
    if (at + 2 > size)
        return false;
    const int count = quint8(p[at]);
    const quint8 flags = quint8(p[at + 1]);
    const int pos = at + 2;
    const int bytes = (flags & 1) ? count * 2 : count;
    if (pos + bytes > size)
        return false;
    text->clear();
    for (int i = 0; i < count; ++i)
        text->append((flags & 1) ? QChar(u16(p + pos + 2 * i)) : QChar(quint8(p[pos + i])));
    return true;
}

struct SheetEntry
{
    quint32 offset;
    QString name;
};

struct Globals
{
    std::vector<Font *> fonts; // by BIFF font index (index 4 does not exist in the file)
    std::vector<Format *> formats;
    std::vector<QString> strings;
    std::vector<SheetEntry> sheets;
};

class XlsReader
{
public:
    XlsReader(const QByteArray &stream, Workbook *book, const std::function<bool()> &cancelled)
        : m_s(stream), m_book(book), m_cancelled(cancelled)
    {}

    bool read()
    {
        if (!readGlobals())
            return false;
        std::vector<Sheet *> sheets;
        for (const SheetEntry &entry : m_g.sheets) {
            Sheet *sheet = addSheetForReading(m_book, entry.name);
            if (!sheet)
                return fail(QStringLiteral("工作表名称无效：%1").arg(entry.name));
            sheets.push_back(sheet);
        }
        // Sheets are read in the order of their records. A sheet whose records start inside those
        // already read (a damaged or hostile directory pointing into another sheet) stays empty:
        // reading the same records again for every such entry could take hours.
        std::vector<size_t> order(sheets.size());
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return m_g.sheets[a].offset < m_g.sheets[b].offset; });
        qsizetype readUpTo = -1;
        for (const size_t i : order) {
            const quint32 offset = m_g.sheets[i].offset;
            if (qsizetype(offset) < readUpTo)
                continue;
            if (!readSheet(offset, sheets[i]))
                return false;
            readUpTo = std::max(readUpTo, m_sheetEnd);
        }
        return true;
    }

private:
    bool fail(const QString &message)
    {
        m_book->setError(message);
        return false;
    }
    bool damaged() { return fail(QStringLiteral("Excel 文件已损坏：记录不完整或长度有误。")); }
    // Whether the caller asked to stop; looked at once every few thousand records.
    bool cancelled() { return (++m_records & 0xFFF) == 0 && m_cancelled && m_cancelled(); }

    bool checkBof(const Rec &r, quint16 wantedType)
    {
        if (r.id != biff::Bof || r.size < 4)
            return false;
        const quint16 version = u16(r.data);
        const quint16 type = u16(r.data + 2);
        if (version != 0x0600)
            return fail(QStringLiteral(
                "不支持这个版本的 Excel 文件，请在 Excel 中另存为 97-2003 或 .xlsx 格式后再试。"));
        return type == wantedType;
    }

    bool readGlobals()
    {
        RecordReader in(m_s, 0);
        Rec r;
        if (!in.next(&r) || r.id != biff::Bof)
            return fail(QStringLiteral("文件不是 Excel 97-2003 (.xls) 工作簿：缺少开始记录。"));
        if (!checkBof(r, 0x0005)) {
            if (m_book->errorMessage().isEmpty())
                return fail(QStringLiteral("文件不是 Excel 97-2003 (.xls) 工作簿：开始记录有误。"));
            return false;
        }
        while (in.next(&r)) {
            if (cancelled())
                return fail(Workbook::cancelledMessage());
            switch (r.id) {
            case biff::Eof:
                useNormalFont();
                return true;
            case biff::FilePass:
                return fail(QStringLiteral("工作簿已加密，请在 Excel 中取消密码后再试。"));
            case biff::DateMode:
                if (r.size >= 2)
                    m_book->setDate1904(u16(r.data) == 1);
                break;
            case biff::Font:
                readFont(r);
                break;
            case biff::Format:
                if (r.size >= 2) {
                    QString code;
                    if (readString16(r.data, r.size, 2, &code))
                        m_book->setNumFormatCode(u16(r.data), code);
                }
                break;
            case biff::Xf:
                readXf(r);
                break;
            case biff::BoundSheet:
                if (r.size >= 8 && r.data[5] == 0) { // worksheets only; charts and macros hold no cells
                    QString name;
                    if (readString8(r.data, r.size, 6, &name) && m_g.sheets.size() < 10000)
                        m_g.sheets.push_back({u32(r.data), name});
                }
                break;
            case biff::Sst: {
                ContinuedReader sst;
                sst.add(r.data, r.size);
                Rec more;
                while (in.peek(&more) && more.id == biff::Continue) {
                    in.next(&more);
                    sst.add(more.data, more.size);
                }
                readSst(sst);
                break;
            }
            default:
                break;
            }
        }
        // A stream without its end record: keep what was read, as Excel does with a cut-off file.
        useNormalFont();
        return in.truncated() ? damaged() : true;
    }

    // The first font is the normal style's: cells without a format of their own show it.
    void useNormalFont()
    {
        if (!m_g.fonts.empty() && m_g.fonts.front())
            *m_book->defaultFont() = *m_g.fonts.front();
    }

    void readFont(const Rec &r)
    {
        if (m_g.fonts.size() >= 32768)
            return;
        Font *font = m_book->addFont();
        if (m_g.fonts.size() == 4)
            m_g.fonts.push_back(nullptr); // font index 4 is never stored
        m_g.fonts.push_back(font);
        if (r.size < 14)
            return;
        font->setSize(std::max(1, int(u16(r.data))) / 20.0);
        const quint16 flags = u16(r.data + 2);
        font->setItalic(flags & 0x02);
        font->setStrikeOut(flags & 0x08);
        font->setBold(u16(r.data + 6) >= 700);
        font->setUnderline(quint8(r.data[10]));
        QString name;
        if (readString8(r.data, r.size, 14, &name))
            font->setName(name);
    }

    void readXf(const Rec &r)
    {
        if (m_g.formats.size() >= 65536)
            return;
        Format *format = m_book->addFormat();
        m_g.formats.push_back(format);
        if (r.size < 20)
            return;
        const int fontIndex = u16(r.data);
        if (fontIndex < int(m_g.fonts.size()) && m_g.fonts[size_t(fontIndex)])
            format->setFont(m_g.fonts[size_t(fontIndex)]);
        format->setNumFormat(u16(r.data + 2));
        const quint8 align = quint8(r.data[6]);
        format->setAlignH(align & 0x07);
        format->setAlignV((align >> 4) & 0x07);
        const quint16 borders = u16(r.data + 10);
        format->setBorderLeft(borders & 0x0F);
        format->setBorderRight((borders >> 4) & 0x0F);
        format->setBorderTop((borders >> 8) & 0x0F);
        format->setBorderBottom((borders >> 12) & 0x0F);
        const quint32 fill = u32(r.data + 14);
        format->setFillPattern(int(fill >> 26));
        format->setPatternForegroundColor(u16(r.data + 18) & 0x7F);
    }

    void readSst(ContinuedReader &in)
    {
        quint32 total, unique;
        if (!in.readU32(&total) || !in.readU32(&unique))
            return;
        // The count is not trusted: strings are read while the records hold them.
        for (quint32 i = 0; i < unique && !in.atEnd(); ++i) {
            QString text;
            if (!readRichString(in, &text)) {
                // The records ended inside this string: keep what they held of it.
                if (!text.isEmpty())
                    m_g.strings.push_back(text.left(kMaxCellTextLength));
                break;
            }
            m_g.strings.push_back(text.left(kMaxCellTextLength));
        }
    }

    const Format *formatAt(const char *p) const
    {
        const quint16 xf = u16(p);
        return xf < m_g.formats.size() ? m_g.formats[xf] : nullptr;
    }

    bool readSheet(quint32 offset, Sheet *sheet)
    {
        if (offset >= quint32(m_s.size()))
            return damaged();
        RecordReader in(m_s, offset);
        // Where this sheet's records ended, however reading stops.
        struct EndMark
        {
            qsizetype *end;
            const RecordReader &in;
            ~EndMark() { *end = in.pos(); }
        } mark{&m_sheetEnd, in};
        Rec r;
        if (!in.next(&r))
            return damaged();
        if (!checkBof(r, 0x0010)) {
            if (!m_book->errorMessage().isEmpty())
                return false;
            return true; // not a worksheet after all: leave it empty
        }
        int nested = 0;
        bool formulaString = false; // the next STRING record is the cached text of this cell
        int formulaRow = 0, formulaCol = 0;
        const Format *formulaFormat = nullptr;
        while (in.next(&r)) {
            if (cancelled())
                return fail(Workbook::cancelledMessage());
            if (nested > 0) {
                // An embedded chart's own records, up to its end.
                if (r.id == biff::Bof)
                    ++nested;
                else if (r.id == biff::Eof)
                    --nested;
                continue;
            }
            const char *d = r.data;
            const int n = r.size;
            switch (r.id) {
            case biff::Eof:
                return true;
            case biff::Bof:
                ++nested;
                break;
            case biff::Number:
                if (n >= 14)
                    sheet->writeNum(u16(d), u16(d + 2), finite(f64(d + 6)), formatAt(d + 4));
                break;
            case biff::Rk:
                if (n >= 10)
                    sheet->writeNum(u16(d), u16(d + 2), finite(rkValue(u32(d + 6))), formatAt(d + 4));
                break;
            case biff::MulRk:
                if (n >= 6) {
                    const int row = u16(d);
                    const int first = u16(d + 2);
                    const int count = (n - 6) / 6;
                    for (int i = 0; i < count; ++i)
                        sheet->writeNum(row, first + i, finite(rkValue(u32(d + 6 + 6 * i))),
                                        formatAt(d + 4 + 6 * i));
                }
                break;
            case biff::Blank:
                if (n >= 6)
                    sheet->writeBlank(u16(d), u16(d + 2), formatAt(d + 4));
                break;
            case biff::MulBlank:
                if (n >= 6) {
                    const int row = u16(d);
                    const int first = u16(d + 2);
                    const int count = (n - 6) / 2;
                    for (int i = 0; i < count; ++i)
                        sheet->writeBlank(row, first + i, formatAt(d + 4 + 2 * i));
                }
                break;
            case biff::LabelSst:
                if (n >= 10) {
                    const quint32 index = u32(d + 6);
                    if (index < m_g.strings.size())
                        sheet->writeStr(u16(d), u16(d + 2), m_g.strings[index], formatAt(d + 4));
                    else
                        sheet->writeBlank(u16(d), u16(d + 2), formatAt(d + 4));
                }
                break;
            case biff::Label:
            case biff::RString:
                if (n >= 6) {
                    QString text;
                    if (readString16(d, n, 6, &text))
                        sheet->writeStr(u16(d), u16(d + 2), text.left(kMaxCellTextLength), formatAt(d + 4));
                }
                break;
            case biff::BoolErr:
                if (n >= 8) {
                    if (d[7] == 0)
                        sheet->writeBool(u16(d), u16(d + 2), d[6] != 0, formatAt(d + 4));
                    else
                        sheet->writeStr(u16(d), u16(d + 2), errorText(quint8(d[6])), formatAt(d + 4),
                                        CellOrigin::Error);
                }
                break;
            case biff::Formula:
                if (n >= 20) {
                    const int row = u16(d);
                    const int col = u16(d + 2);
                    const Format *format = formatAt(d + 4);
                    if (u16(d + 12) != 0xFFFF) {
                        sheet->writeNum(row, col, finite(f64(d + 6)), format);
                    } else {
                        switch (quint8(d[6])) {
                        case 0: // text, in the STRING record that follows
                            formulaString = true;
                            formulaRow = row;
                            formulaCol = col;
                            formulaFormat = format;
                            sheet->writeBlank(row, col, format);
                            continue;
                        case 1:
                            sheet->writeBool(row, col, d[8] != 0, format);
                            break;
                        case 3:
                            sheet->writeStr(row, col, QString(), format);
                            break;
                        case 2:
                            sheet->writeStr(row, col, errorText(quint8(d[8])), format, CellOrigin::Error);
                            break;
                        default:
                            sheet->writeBlank(row, col, format);
                            break;
                        }
                    }
                }
                break;
            case biff::String:
                if (formulaString) {
                    ContinuedReader str;
                    str.add(d, n);
                    Rec more;
                    while (in.peek(&more) && more.id == biff::Continue) {
                        in.next(&more);
                        str.add(more.data, more.size);
                    }
                    quint16 count;
                    quint8 flags;
                    QString text;
                    // Text cut off by the end of the records is kept as far as it goes.
                    if (str.readU16(&count) && str.readU8(&flags)) {
                        str.readChars(count, flags, &text);
                        sheet->writeStr(formulaRow, formulaCol, text.left(kMaxCellTextLength), formulaFormat);
                    }
                }
                break;
            case biff::Row:
                if (n >= 16) {
                    const quint32 flags = u32(d + 12);
                    // Only rows whose height was set count; the others follow the default.
                    if (flags & 0x40)
                        sheet->setRow(u16(d), (u16(d + 6) & 0x7FFF) / 20.0);
                }
                break;
            case biff::ColInfo:
                if (n >= 10) {
                    const int first = u16(d);
                    const int last = std::min<int>(u16(d + 2), kXlsMaxCols - 1);
                    // A hidden column (a helper column a clerk hid) shows with no width at all.
                    const bool hidden = u16(d + 8) & 0x0001;
                    sheet->setCol(first, last, hidden ? 0.0 : widthFromStored(u16(d + 4) / 256.0));
                }
                break;
            case biff::DefColWidth:
                if (n >= 2)
                    sheet->setDefaultColWidth(std::min<int>(u16(d), 255) + 0.43);
                break;
            case biff::DefaultRowHeight:
                if (n >= 4)
                    sheet->setDefaultRowHeight((u16(d + 2) & 0x7FFF) / 20.0);
                break;
            case biff::MergedCells:
                if (n >= 2) {
                    const int count = std::min<int>(u16(d), (n - 2) / 8);
                    for (int i = 0; i < count; ++i) {
                        const char *m = d + 2 + 8 * i;
                        const int r1 = u16(m), r2 = u16(m + 2), c1 = u16(m + 4),
                                  c2 = std::min<int>(u16(m + 6), 255);
                        // A reversed or overlapping range is dropped: Excel would refuse it.
                        if (sheet->merges().size() < kMaxMergesRead)
                            sheet->setMerge(r1, r2, c1, c2);
                        else
                            m_book->addLoadWarning(mergesCappedWarning());
                    }
                }
                break;
            default:
                break;
            }
            // A shared or array formula's record may stand between a formula and its text.
            if (r.id != kSharedFormula && r.id != kArrayFormula && r.id != kTableFormula)
                formulaString = false;
            if (m_book->cellCount() > Workbook::kMaxCells)
                return fail(QStringLiteral("工作簿的单元格过多（超过一千万个），无法读取。"));
        }
        return in.truncated() ? damaged() : true;
    }

    static double finite(double v) { return std::isfinite(v) ? v : 0.0; }

    const QByteArray &m_s;
    Workbook *m_book;
    Globals m_g;
    qsizetype m_sheetEnd = 0;
    const std::function<bool()> &m_cancelled;
    quint32 m_records = 0;
};

} // namespace

bool readXls(const QByteArray &bytes, Workbook *book, const std::function<bool()> &cancelled)
{
    QByteArray stream;
    QString error;
    if (!biff::readWorkbookStream(bytes, &stream, &error)) {
        book->setError(error);
        return false;
    }
    if (cancelled && cancelled()) {
        book->setError(Workbook::cancelledMessage());
        return false;
    }
    return XlsReader(stream, book, cancelled).read();
}

bool readXlsStream(const QByteArray &stream, Workbook *book)
{
    return XlsReader(stream, book, {}).read();
}
