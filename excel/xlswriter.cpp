// Writes .xls workbooks: the BIFF8 records Excel, LibreOffice and xlrd need, in a compound file.
#include "excel/biff.h"
#include "excel/formats.h"
#include "excel/workbook.h"

#include <QHash>

#include <cmath>
#include <cstring>

namespace {

constexpr int kMaxRecordData = 8224;
constexpr int kDefaultCellXf = 15; // the sixteen XFs every workbook starts with: 15 styles, 1 cell
constexpr int kFirstUserXf = 16;
constexpr int kFirstUserFont = 5; // font index 4 is never used

class Bytes
{
public:
    Bytes &u8(int v)
    {
        m_b.append(char(v & 0xFF));
        return *this;
    }
    Bytes &u16(int v) { return u8(v).u8(v >> 8); }
    Bytes &u32(quint32 v) { return u16(int(v & 0xFFFF)).u16(int(v >> 16)); }
    Bytes &f64(double d)
    {
        quint64 bits;
        std::memcpy(&bits, &d, sizeof d);
        return u32(quint32(bits)).u32(quint32(bits >> 32));
    }
    Bytes &raw(const QByteArray &b)
    {
        m_b.append(b);
        return *this;
    }
    const QByteArray &data() const { return m_b; }

private:
    QByteArray m_b;
};

bool isWide(const QString &s)
{
    for (const QChar c : s) {
        if (c.unicode() > 0xFF)
            return true;
    }
    return false;
}

QByteArray chars(QStringView s, bool wide)
{
    QByteArray b(s.size() * (wide ? 2 : 1), Qt::Uninitialized);
    char *p = b.data();
    for (const QChar c : s) {
        *p++ = char(c.unicode() & 0xFF);
        if (wide)
            *p++ = char(c.unicode() >> 8);
    }
    return b;
}

// ShortXLUnicodeString: 8-bit length.
QByteArray string8(const QString &text)
{
    const QString s = text.left(255);
    const bool wide = isWide(s);
    return Bytes().u8(int(s.size())).u8(wide ? 1 : 0).raw(chars(s, wide)).data();
}

// XLUnicodeString: 16-bit length.
QByteArray string16(const QString &text)
{
    const bool wide = isWide(text);
    return Bytes().u16(int(text.size())).u8(wide ? 1 : 0).raw(chars(text, wide)).data();
}

class Stream
{
public:
    void record(quint16 id, const QByteArray &data)
    {
        Bytes head;
        head.u16(id).u16(int(data.size()));
        m_b.append(head.data());
        m_b.append(data);
    }
    // A cell record (NUMBER, LABELSST, BOOLERR, BLANK) written in place: row, column, XF and the
    // value's `size` bytes.
    void cell(quint16 id, int row, int col, int xf, const void *value, int size)
    {
        char head[10];
        const int length = 6 + size;
        const int fields[5] = {id, length, row, col, xf};
        for (int i = 0; i < 5; ++i) {
            head[2 * i] = char(fields[i] & 0xFF);
            head[2 * i + 1] = char((fields[i] >> 8) & 0xFF);
        }
        m_b.append(head, sizeof head);
        if (size > 0)
            m_b.append(static_cast<const char *>(value), size);
    }
    void reserve(qsizetype bytes) { m_b.reserve(bytes); }
    qsizetype size() const { return m_b.size(); }
    QByteArray &bytes() { return m_b; }

private:
    QByteArray m_b;
};

QByteArray bof(int type)
{
    return Bytes().u16(0x0600).u16(type).u16(0x0DBB).u16(0x07CC).u32(0).u32(6).data();
}

QByteArray fontRecord(const Font &f)
{
    const bool cjk = isWide(f.name());
    Bytes b;
    b.u16(int(std::lround(std::clamp(f.size(), 1.0, 409.0) * 20)))
        // Bit 0 is bold for BIFF2–4 readers (xlrd among them); BIFF8 readers use the weight.
        .u16((f.bold() ? 0x01 : 0) | (f.italic() ? 0x02 : 0) | (f.strikeOut() ? 0x08 : 0))
        .u16(0x7FFF) // automatic colour
        .u16(f.bold() ? 700 : 400)
        .u16(0)
        .u8(std::clamp(f.underline(), 0, 0x22))
        .u8(0)
        .u8(cjk ? 0x86 : 0) // GB2312 for Chinese font names, so Excel picks the font it names
        .u8(0)
        .raw(string8(f.name()));
    return b.data();
}

QByteArray xfRecord(int font, int numFormat, bool style, const Format *f)
{
    Bytes b;
    b.u16(font).u16(numFormat);
    b.u16(style ? (0x0001 | 0x0004 | 0xFFF0) : 0x0001); // locked; a style XF has no parent
    const int alignH = f ? std::clamp(f->alignH(), 0, 7) : 0;
    const int alignV = f ? std::clamp(f->alignV(), 0, 4) : CellAlignV::Bottom;
    b.u8(alignH | alignV << 4).u8(0).u8(0);
    b.u8(style ? 0x00 : 0xFC); // a cell XF sets every attribute itself
    auto border = [](int s) { return std::clamp(s, 0, 13); };
    const int left = f ? border(f->borderLeft()) : 0;
    const int right = f ? border(f->borderRight()) : 0;
    const int top = f ? border(f->borderTop()) : 0;
    const int bottom = f ? border(f->borderBottom()) : 0;
    b.u16(left | right << 4 | top << 8 | bottom << 12);
    const int black = 8;
    b.u16((left ? black : 0) | (right ? black : 0) << 7);
    const int pattern = f ? std::clamp(f->fillPattern(), 0, 18) : 0;
    b.u32(quint32((top ? black : 0) | (bottom ? black : 0) << 7) | quint32(pattern) << 26);
    const int fore = pattern && f ? std::clamp(f->patternForegroundColor(), 0, 0x7F) : 0x40;
    b.u16(fore | 0x41 << 7);
    return b.data();
}

// The shared string table with its CONTINUE records, split where Excel expects: a string's
// header never splits, and characters continuing in a new record start with a flags byte. Each
// text is kept once, found again through an open-addressing table of positions; the texts
// themselves stay in the sheets, which outlive the builder.
class SstBuilder
{
public:
    int add(const QString &s)
    {
        ++m_total;
        if (m_strings.size() * 2 >= m_slots.size())
            grow();
        const size_t mask = m_slots.size() - 1;
        const quint32 hash = quint32(qHash(QStringView(s)));
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot slot = m_slots[i];
            if (slot.position == 0) {
                m_strings.push_back(&s);
                m_slots[i] = Slot{quint32(m_strings.size()), hash};
                return int(m_strings.size() - 1);
            }
            // The hash kept beside the position spares reading the strings of other texts.
            if (slot.hash == hash && *m_strings[slot.position - 1] == s)
                return int(slot.position - 1);
        }
    }
    bool empty() const { return m_strings.empty(); }

    // Appends SST, CONTINUE and EXTSST to the stream.
    void write(Stream &out)
    {
        std::vector<QByteArray> records(1);
        records[0] = Bytes().u32(quint32(m_total)).u32(quint32(m_strings.size())).data();
        const int bucket = std::max<int>(8, int(m_strings.size() / 128 + 1));
        struct Mark
        {
            size_t record;
            int offset;
        };
        std::vector<Mark> marks;
        for (size_t i = 0; i < m_strings.size(); ++i) {
            const QString &s = *m_strings[i];
            const bool wide = isWide(s);
            const int per = wide ? 2 : 1;
            if (kMaxRecordData - records.back().size() < 3 + per)
                records.emplace_back();
            if (i % size_t(bucket) == 0)
                marks.push_back({records.size() - 1, int(records.back().size())});
            records.back().append(Bytes().u16(int(s.size())).u8(wide ? 1 : 0).data());
            qsizetype done = 0;
            while (done < s.size()) {
                const qsizetype room = (kMaxRecordData - records.back().size()) / per;
                if (room <= 0) {
                    records.emplace_back();
                    records.back().append(char(wide ? 1 : 0));
                    continue;
                }
                const qsizetype n = std::min(room, s.size() - done);
                records.back().append(chars(QStringView(s).mid(done, n), wide));
                done += n;
            }
        }
        std::vector<qsizetype> starts;
        for (size_t r = 0; r < records.size(); ++r) {
            starts.push_back(out.size());
            out.record(r == 0 ? biff::Sst : biff::Continue, records[r]);
        }
        Bytes ext;
        ext.u16(bucket);
        for (const Mark &m : marks)
            ext.u32(quint32(starts[m.record] + 4 + m.offset)).u16(4 + m.offset).u16(0);
        out.record(biff::ExtSst, ext.data());
    }

private:
    struct Slot
    {
        quint32 position = 0; // the string's position + 1; 0 for a free slot
        quint32 hash = 0;
    };

    void grow()
    {
        std::vector<Slot> table(std::max<size_t>(1024, m_slots.size() * 2));
        const size_t mask = table.size() - 1;
        for (const Slot &slot : m_slots) {
            if (slot.position == 0)
                continue;
            size_t i = slot.hash & mask;
            while (table[i].position != 0)
                i = (i + 1) & mask;
            table[i] = slot;
        }
        m_slots = std::move(table);
    }

    std::vector<Slot> m_slots;
    std::vector<const QString *> m_strings;
    qint64 m_total = 0;
};

QByteArray storedXlsWidth(double chars)
{
    return Bytes().u16(int(std::clamp(std::floor(storedWidth(chars) * 256.0), 0.0, 65535.0))).data();
}

QByteArray sheetStream(const Sheet &sheet, int sheetIndex, const QHash<const Format *, int> &xfs,
                       SstBuilder &sst)
{
    Stream s;
    s.record(biff::Bof, bof(0x0010));
    const int lastRow = sheet.lastRow();
    const int lastCol = sheet.lastCol();
    s.record(biff::Dimensions,
             Bytes().u32(0).u32(quint32(lastRow + 1)).u16(0).u16(lastCol + 1).u16(0).data());
    const auto widths = sheet.colWidths();
    for (size_t i = 0; i < widths.size();) {
        size_t j = i;
        while (j + 1 < widths.size() && widths[j + 1].first == widths[j].first + 1 &&
               widths[j + 1].second == widths[i].second)
            ++j;
        s.record(biff::ColInfo, Bytes()
                                    .u16(widths[i].first)
                                    .u16(widths[j].first)
                                    .raw(storedXlsWidth(widths[i].second))
                                    .u16(kDefaultCellXf)
                                    .u16(0)
                                    .u16(0)
                                    .data());
        i = j + 1;
    }
    for (const auto &[row, height] : sheet.rowHeights()) {
        const std::vector<int> cols = sheet.colIndexes(row);
        s.record(biff::Row, Bytes()
                                .u16(row)
                                .u16(cols.empty() ? 0 : cols.front())
                                .u16(cols.empty() ? 0 : cols.back() + 1)
                                .u16(int(std::lround(height * 20)) & 0x7FFF)
                                .u16(0)
                                .u16(0)
                                .u32(0x0100 | 0x0040 | quint32(kDefaultCellXf) << 16)
                                .data());
    }
    s.reserve(s.size() + sheet.cellCount() * 18 + 4096);
    const Format *lastFormat = nullptr;
    int lastXf = kDefaultCellXf;
    sheet.forEachCell([&](const Sheet::CellView &cell) {
        if (cell.format != lastFormat) {
            lastFormat = cell.format;
            lastXf = cell.format ? xfs.value(cell.format, kDefaultCellXf) : kDefaultCellXf;
        }
        switch (cell.type) {
        case CellType::Number: {
            quint64 bits;
            std::memcpy(&bits, &cell.num, sizeof bits);
            char le[8];
            for (int k = 0; k < 8; ++k)
                le[k] = char((bits >> (8 * k)) & 0xFF);
            s.cell(biff::Number, cell.row, cell.col, lastXf, le, 8);
            break;
        }
        case CellType::String: {
            const quint32 index = quint32(sst.add(*cell.str));
            const char le[4] = {char(index & 0xFF), char((index >> 8) & 0xFF), char((index >> 16) & 0xFF),
                                char(index >> 24)};
            s.cell(biff::LabelSst, cell.row, cell.col, lastXf, le, 4);
            break;
        }
        case CellType::Boolean: {
            const char value[2] = {char(cell.num != 0 ? 1 : 0), 0};
            s.cell(biff::BoolErr, cell.row, cell.col, lastXf, value, 2);
            break;
        }
        default:
            s.cell(biff::Blank, cell.row, cell.col, lastXf, nullptr, 0);
            break;
        }
    });
    s.record(
        biff::Window2,
        Bytes().u16(sheetIndex == 0 ? 0x06B6 : 0x00B6).u16(0).u16(0).u32(0x40).u16(0).u16(0).u32(0).data());
    const auto &merges = sheet.merges();
    for (size_t i = 0; i < merges.size(); i += 1026) {
        const size_t n = std::min<size_t>(1026, merges.size() - i);
        Bytes m;
        m.u16(int(n));
        for (size_t k = i; k < i + n; ++k)
            m.u16(merges[k].firstRow).u16(merges[k].lastRow).u16(merges[k].firstCol).u16(merges[k].lastCol);
        s.record(biff::MergedCells, m.data());
    }
    s.record(biff::Eof, QByteArray());
    return s.bytes();
}

} // namespace

bool writeXls(const Workbook &book, QByteArray *out, QString *error)
{
    // Fonts: the default four, then the workbook's own from index 5.
    QHash<const Font *, int> fontIndex;
    fontIndex.insert(book.defaultFont(), 0);
    for (int i = 0; i < book.fontCount(); ++i)
        fontIndex.insert(book.font(i), kFirstUserFont + i);
    QHash<const Format *, int> xfs;
    for (int i = 0; i < book.formatCount(); ++i)
        xfs.insert(book.format(i), kFirstUserXf + i);
    if (kFirstUserXf + book.formatCount() > 4050) {
        *error = QStringLiteral("单元格格式过多（.xls 最多约 4000 种）。");
        return false;
    }

    SstBuilder sst;
    std::vector<QByteArray> sheets;
    for (int i = 0; i < book.sheetCount(); ++i)
        sheets.push_back(sheetStream(*book.getSheet(i), i, xfs, sst));

    Stream g;
    g.record(biff::Bof, bof(0x0005));
    g.record(biff::CodePage, Bytes().u16(1200).data());
    g.record(
        biff::Window1,
        Bytes().u16(0).u16(0).u16(0x4000).u16(0x2000).u16(0x0038).u16(0).u16(0).u16(1).u16(0x0258).data());
    g.record(biff::DateMode, Bytes().u16(book.isDate1904() ? 1 : 0).data());
    for (int i = 0; i < 4; ++i)
        g.record(biff::Font, fontRecord(*book.defaultFont()));
    for (int i = 0; i < book.fontCount(); ++i)
        g.record(biff::Font, fontRecord(*book.font(i)));
    // Every code the workbook gives an id, below 164 too: a workbook read from another program
    // keeps that program's numbering of its own formats.
    for (const auto &[id, code] : book.numFormatCodes()) {
        if (id >= 0 && id < 65536)
            g.record(biff::Format, Bytes().u16(id).raw(string16(code.left(255))).data());
    }
    for (int i = 0; i < 15; ++i)
        g.record(biff::Xf, xfRecord(0, 0, true, nullptr));
    g.record(biff::Xf, xfRecord(0, 0, false, nullptr));
    for (int i = 0; i < book.formatCount(); ++i) {
        const Format *f = book.format(i);
        const int font = fontIndex.value(f->font(), 0);
        g.record(biff::Xf, xfRecord(font, std::clamp(f->numFormat(), 0, 65535), false, f));
    }
    g.record(biff::Style, Bytes().u16(0x8000).u8(0).u8(0xFF).data());

    std::vector<qsizetype> boundSheetAt;
    for (int i = 0; i < book.sheetCount(); ++i) {
        boundSheetAt.push_back(g.size() + 4);
        g.record(biff::BoundSheet, Bytes().u32(0).u8(0).u8(0).raw(string8(book.getSheet(i)->name())).data());
    }
    if (!sst.empty())
        sst.write(g);
    g.record(biff::Eof, QByteArray());

    QByteArray stream = std::move(g.bytes());
    qsizetype total = stream.size();
    for (const QByteArray &sheet : sheets)
        total += sheet.size();
    stream.reserve(std::max<qsizetype>(total, 4096));
    for (size_t i = 0; i < sheets.size(); ++i) {
        const quint32 at = quint32(stream.size());
        for (int k = 0; k < 4; ++k)
            stream[boundSheetAt[i] + k] = char((at >> (8 * k)) & 0xFF);
        stream.append(sheets[i]);
        sheets[i] = QByteArray(); // each sheet's bytes are held once at a time
    }
    // Excel does not read a workbook stream kept in the compound file's mini stream (under
    // 4096 bytes); the padding lies after the last EOF, where no reader looks.
    if (stream.size() < 4096)
        stream.append(QByteArray(4096 - stream.size(), '\0'));
    return biff::writeWorkbookStream(stream, out, error);
}

quint32 paletteColor(int index)
{
    static const quint32 palette[56] = {
        0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x800000, 0x008000,
        0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080, 0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF,
        0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF, 0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000,
        0x008080, 0x0000FF, 0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
        0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696, 0x003366, 0x339966,
        0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333};
    if (index >= 0 && index < 8)
        index += 8;
    if (index >= 8 && index < 64)
        return palette[index - 8];
    return 0xFFFFFF;
}
