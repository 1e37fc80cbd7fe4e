// Writes .xlsx workbooks: the SpreadsheetML parts are generated as text straight into a zip
// package in memory, a large block at a time, so the only copy of a sheet that is ever whole is
// the workbook's own cell store and the compressed file.
#include "excel/celldisplay.h"
#include "excel/columnletters.h"
#include "excel/formats.h"
#include "excel/utf8.h"
#include "excel/workbook.h"
#include "excel/zipwriter.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <tuple>
#include <unordered_map>

namespace {

constexpr std::string_view kXmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

bool isHex(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

char *putHexEscape(char *p, unsigned code)
{
    static const char digits[] = "0123456789ABCDEF";
    *p++ = '_';
    *p++ = 'x';
    *p++ = digits[(code >> 12) & 0xF];
    *p++ = digits[(code >> 8) & 0xF];
    *p++ = digits[(code >> 4) & 0xF];
    *p++ = digits[code & 0xF];
    *p++ = '_';
    return p;
}

// Text as XML character data (or an attribute value) in UTF-8. The characters XML 1.0 cannot hold
// (controls other than tab and line feed, lone surrogates, U+FFFE/U+FFFF) are written as Excel
// writes them, "_xHHHH_", which readers of .xlsx decode back; carriage returns too, as XML would
// turn them into line feeds. A "_" that would itself read as the start of such an escape is written
// "_x005F_", so a cell's text reads back exactly as it was.
void putEscaped(ZipWriter &z, QStringView text)
{
    const char16_t *s = text.utf16();
    const qsizetype n = text.size();
    constexpr qsizetype kSpan = ZipWriter::kMaxReserve / 8; // at most 7 bytes a unit
    for (qsizetype start = 0; start < n; start += kSpan) {
        const qsizetype end = std::min(n, start + kSpan);
        char *const begin = z.reserve(ZipWriter::kMaxReserve);
        char *p = begin;
        for (qsizetype i = start; i < end; ++i) {
            const char16_t c = s[i];
            if (c < 0x80) {
                if (c >= 0x20) {
                    switch (c) {
                    case u'&':
                        std::memcpy(p, "&amp;", 5);
                        p += 5;
                        break;
                    case u'<':
                        std::memcpy(p, "&lt;", 4);
                        p += 4;
                        break;
                    case u'>':
                        std::memcpy(p, "&gt;", 4);
                        p += 4;
                        break;
                    case u'"':
                        std::memcpy(p, "&quot;", 6);
                        p += 6;
                        break;
                    case u'_':
                        if (i + 6 < n && s[i + 1] == u'x' && isHex(s[i + 2]) && isHex(s[i + 3]) &&
                            isHex(s[i + 4]) && isHex(s[i + 5]) && s[i + 6] == u'_')
                            p = putHexEscape(p, u'_');
                        else
                            *p++ = '_';
                        break;
                    default:
                        *p++ = char(c);
                    }
                } else if (c == u'\t' || c == u'\n') {
                    *p++ = char(c);
                } else {
                    p = putHexEscape(p, c);
                }
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                if (c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
                    p = putUtf8(p, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (s[i + 1] - 0xDC00));
                    ++i;
                    if (i == end && end < n) // the pair straddled the span: the next one starts after it
                        ++start;
                } else {
                    p = putHexEscape(p, c);
                }
            } else if (c >= 0xFFFE) {
                p = putHexEscape(p, c);
            } else {
                p = putUtf8(p, c);
            }
        }
        z.written(size_t(p - begin));
    }
}

void putInt(ZipWriter &z, long long v)
{
    char *p = z.reserve(24);
    z.written(size_t(std::to_chars(p, p + 24, v).ptr - p));
}

// The shortest text that reads back as the same double.
void putNumber(ZipWriter &z, double v)
{
    char *p = z.reserve(32);
    z.written(size_t(std::to_chars(p, p + 32, v).ptr - p));
}

void put(ZipWriter &z, QStringView text)
{
    putEscaped(z, text);
}

// Column widths are stored as Excel stores them, in 1/256 of a character.
double storedXlsxWidth(double chars)
{
    return std::floor(storedWidth(chars) * 256) / 256;
}

// A 1900-system file holds a 1904 workbook's dates moved by the 1462 days between the two epochs,
// so that they show the same dates; other numbers stay as they are.
double storedNumber(const Workbook &book, double value, const Format *format)
{
    if (!book.isDate1904() || !format)
        return value;
    const int id = effectiveNumFormat(format->numFormat(), book.numFormatCode(format->numFormat()));
    const bool date = (id >= 14 && id <= 17) || id == 22;
    return date ? value + 1462 : value;
}

const char *const kBorderStyles[] = {"none",
                                     "thin",
                                     "medium",
                                     "dashed",
                                     "dotted",
                                     "thick",
                                     "double",
                                     "hair",
                                     "mediumDashed",
                                     "dashDot",
                                     "mediumDashDot",
                                     "dashDotDot",
                                     "mediumDashDotDot",
                                     "slantDashDot"};
const char *const kFillPatterns[] = {"none",          "solid",          "mediumGray",   "darkGray",
                                     "lightGray",     "darkHorizontal", "darkVertical", "darkDown",
                                     "darkUp",        "darkGrid",       "darkTrellis",  "lightHorizontal",
                                     "lightVertical", "lightDown",      "lightUp",      "lightGrid",
                                     "lightTrellis",  "gray125",        "gray0625"};
const char *const kAlignH[] = {"general", "left",    "center",           "right",
                               "fill",    "justify", "centerContinuous", "distributed"};
const char *const kAlignV[] = {"top", "center", "bottom", "justify", "distributed"};

void putArgb(ZipWriter &z, quint32 rgb)
{
    static const char digits[] = "0123456789ABCDEF";
    char text[8] = {'F', 'F'};
    for (int i = 0; i < 6; ++i)
        text[2 + i] = digits[(rgb >> (20 - 4 * i)) & 0xF];
    z.put(std::string_view(text, 8));
}

struct FontKey
{
    QString name;
    double size;
    bool bold, italic, strike;
    int underline;
    bool operator<(const FontKey &o) const
    {
        return std::tie(name, size, bold, italic, strike, underline) <
               std::tie(o.name, o.size, o.bold, o.italic, o.strike, o.underline);
    }
};

FontKey keyOf(const Font &f)
{
    return {f.name(), f.size(), f.bold(), f.italic(), f.strikeOut(), f.underline()};
}

// The styles part, and each of the workbook's formats' cell format index in it (0, the default,
// for a cell without one).
class Styles
{
public:
    explicit Styles(const Workbook &book) : m_book(book) {}
    void write(ZipWriter &z);
    int xfOf(const Format *f) const
    {
        const auto it = m_xf.find(f);
        return it == m_xf.end() ? 0 : it->second;
    }

private:
    int numFmtOf(const Format &f);
    const Workbook &m_book;
    std::map<FontKey, int> m_fontIds;
    std::vector<FontKey> m_fonts;
    std::map<std::pair<int, int>, int> m_fillIds;
    std::vector<std::pair<int, int>> m_fills;
    std::map<std::array<int, 4>, int> m_borderIds;
    std::vector<std::array<int, 4>> m_borders;
    std::map<QString, int> m_codeIds;
    std::vector<std::pair<int, QString>> m_codes;
    std::unordered_map<const Format *, int> m_xf;
};

// The workbook's own format codes get ids from 164 on, one per distinct code; an id it leaves to
// the built-in meaning is written as it is.
int Styles::numFmtOf(const Format &f)
{
    const int id = f.numFormat();
    if (id <= 0)
        return 0;
    const QString code = m_book.numFormatCode(id);
    if (code.isEmpty())
        return id < 164 ? id : 0;
    if (code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        return 0;
    const auto [it, added] = m_codeIds.emplace(code, 164 + int(m_codes.size()));
    if (added)
        m_codes.emplace_back(it->second, code);
    return it->second;
}

void Styles::write(ZipWriter &z)
{
    struct Xf
    {
        int numFmt, font, fill, border, alignH, alignV;
    };
    std::vector<Xf> xfs;
    auto fontId = [&](const Font &font) {
        const auto [it, added] = m_fontIds.emplace(keyOf(font), int(m_fonts.size()));
        if (added)
            m_fonts.push_back(it->first);
        return it->second;
    };
    fontId(*m_book.defaultFont());
    m_fills = {{0, 64}, {17, 64}}; // Excel expects these two first, whatever the cells use
    m_fillIds = {{{0, 64}, 0}, {{17, 64}, 1}};
    m_borders = {{0, 0, 0, 0}};
    m_borderIds = {{{0, 0, 0, 0}, 0}};
    xfs.push_back({0, 0, 0, 0, 0, CellAlignV::Bottom});
    for (int i = 0; i < m_book.formatCount(); ++i) {
        const Format &f = *m_book.format(i);
        Xf x{numFmtOf(f), fontId(*f.font()), 0, 0, 0, CellAlignV::Bottom};
        if (f.fillPattern() > 0) {
            const std::pair<int, int> fill{std::clamp(f.fillPattern(), 1, 18), f.patternForegroundColor()};
            const auto [it, added] = m_fillIds.emplace(fill, int(m_fills.size()));
            if (added)
                m_fills.push_back(fill);
            x.fill = it->second;
        }
        auto style = [](int s) { return std::clamp(s, 0, 13); };
        const std::array<int, 4> border{style(f.borderLeft()), style(f.borderRight()), style(f.borderTop()),
                                        style(f.borderBottom())};
        const auto [it, added] = m_borderIds.emplace(border, int(m_borders.size()));
        if (added)
            m_borders.push_back(border);
        x.border = it->second;
        x.alignH = f.alignH() >= CellAlignH::Left && f.alignH() <= CellAlignH::Distributed ? f.alignH() : 0;
        x.alignV = f.alignV() >= CellAlignV::Top && f.alignV() <= CellAlignV::Distributed
                       ? f.alignV()
                       : CellAlignV::Bottom;
        m_xf.emplace(&f, int(xfs.size()));
        xfs.push_back(x);
    }

    z.put(kXmlHead);
    z.put("<styleSheet xmlns=\"");
    z.put(kMainNs);
    z.put("\">");
    if (!m_codes.empty()) {
        z.put("<numFmts count=\"");
        putInt(z, qsizetype(m_codes.size()));
        z.put("\">");
        for (const auto &[id, code] : m_codes) {
            z.put("<numFmt numFmtId=\"");
            putInt(z, id);
            z.put("\" formatCode=\"");
            put(z, code);
            z.put("\"/>");
        }
        z.put("</numFmts>");
    }
    z.put("<fonts count=\"");
    putInt(z, qsizetype(m_fonts.size()));
    z.put("\">");
    for (const FontKey &f : m_fonts) {
        z.put("<font>");
        if (f.bold)
            z.put("<b/>");
        if (f.italic)
            z.put("<i/>");
        if (f.strike)
            z.put("<strike/>");
        if (f.underline)
            z.put(f.underline == 2 ? "<u val=\"double\"/>" : "<u/>");
        z.put("<sz val=\"");
        // Excel takes 1 to 409 points; a size outside (or not a number) would make the file unreadable.
        putNumber(z, f.size >= 1 && f.size <= 409 ? f.size : f.size > 409 ? 409.0 : 11.0);
        z.put("\"/><name val=\"");
        put(z, f.name);
        z.put("\"/><family val=\"2\"/></font>");
    }
    z.put("</fonts><fills count=\"");
    putInt(z, qsizetype(m_fills.size()));
    z.put("\">");
    for (size_t i = 0; i < m_fills.size(); ++i) {
        const auto [pattern, color] = m_fills[i];
        z.put("<fill><patternFill patternType=\"");
        z.put(kFillPatterns[pattern]);
        if (i < 2) { // the two reserved fills have no colours; a cell's own gray125 has
            z.put("\"/></fill>");
            continue;
        }
        z.put("\"><fgColor rgb=\"");
        putArgb(z, paletteColor(color));
        z.put("\"/><bgColor indexed=\"64\"/></patternFill></fill>");
    }
    z.put("</fills><borders count=\"");
    putInt(z, qsizetype(m_borders.size()));
    z.put("\">");
    static const char *const sides[] = {"left", "right", "top", "bottom"};
    for (const auto &b : m_borders) {
        z.put("<border>");
        for (int i = 0; i < 4; ++i) {
            z.put('<');
            z.put(sides[i]);
            if (b[size_t(i)]) {
                z.put(" style=\"");
                z.put(kBorderStyles[b[size_t(i)]]);
                z.put("\"><color auto=\"1\"/></");
                z.put(sides[i]);
                z.put('>');
            } else {
                z.put("/>");
            }
        }
        z.put("<diagonal/></border>");
    }
    z.put("</borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
          "</cellStyleXfs><cellXfs count=\"");
    putInt(z, qsizetype(xfs.size()));
    z.put("\">");
    for (const Xf &x : xfs) {
        z.put("<xf numFmtId=\"");
        putInt(z, x.numFmt);
        z.put("\" fontId=\"");
        putInt(z, x.font);
        z.put("\" fillId=\"");
        putInt(z, x.fill);
        z.put("\" borderId=\"");
        putInt(z, x.border);
        z.put("\" xfId=\"0\"");
        if (x.numFmt)
            z.put(" applyNumberFormat=\"1\"");
        if (x.font)
            z.put(" applyFont=\"1\"");
        if (x.fill)
            z.put(" applyFill=\"1\"");
        if (x.border)
            z.put(" applyBorder=\"1\"");
        if (x.alignH || x.alignV != CellAlignV::Bottom) {
            z.put(" applyAlignment=\"1\"><alignment");
            if (x.alignH) {
                z.put(" horizontal=\"");
                z.put(kAlignH[x.alignH]);
                z.put('"');
            }
            if (x.alignV != CellAlignV::Bottom) {
                z.put(" vertical=\"");
                z.put(kAlignV[x.alignV]);
                z.put('"');
            }
            z.put("/></xf>");
        } else {
            z.put("/>");
        }
    }
    z.put("</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/>"
          "</cellStyles><dxfs count=\"0\"/><tableStyles count=\"0\"/></styleSheet>");
}

void writeSheet(ZipWriter &z, const Workbook &book, const Sheet &sheet, bool selected, const Styles &styles)
{
    const int lastCol = std::max(sheet.lastCol(), 0);
    std::vector<std::string> letters(size_t(lastCol) + 1);
    for (int c = 0; c <= lastCol; ++c)
        letters[size_t(c)] = columnLetters(c).toStdString();
    auto letter = [&](int c) -> std::string {
        return c <= lastCol ? letters[size_t(c)] : columnLetters(c).toStdString();
    };

    z.put(kXmlHead);
    z.put("<worksheet xmlns=\"");
    z.put(kMainNs);
    z.put("\" xmlns:r=\"");
    z.put(kRelNs);
    z.put("\"><dimension ref=\"A1");
    if (sheet.lastRow() > 0 || sheet.lastCol() > 0) {
        z.put(':');
        z.put(letter(lastCol));
        putInt(z, std::max(sheet.lastRow(), 0) + 1);
    }
    z.put(selected ? "\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/></sheetViews>"
                   : "\"/><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>");
    z.put("<sheetFormatPr defaultRowHeight=\"15\"/>");

    const std::vector<std::pair<int, double>> widths = sheet.colWidths();
    if (!widths.empty()) {
        z.put("<cols>");
        for (size_t i = 0; i < widths.size();) {
            size_t j = i + 1;
            while (j < widths.size() && widths[j].first == widths[j - 1].first + 1 &&
                   widths[j].second == widths[i].second)
                ++j;
            z.put("<col min=\"");
            putInt(z, widths[i].first + 1);
            z.put("\" max=\"");
            putInt(z, widths[j - 1].first + 1);
            z.put("\" width=\"");
            putNumber(z, storedXlsxWidth(widths[i].second));
            z.put(widths[i].second <= 0 ? "\" hidden=\"1\" customWidth=\"1\"/>" : "\" customWidth=\"1\"/>");
            i = j;
        }
        z.put("</cols>");
    }

    z.put("<sheetData>");
    const std::vector<std::pair<int, double>> heights = sheet.rowHeights();
    size_t h = 0;
    auto putRowStart = [&](int row, bool empty) {
        z.put("<row r=\"");
        putInt(z, qint64(row) + 1);
        z.put('"');
        if (h < heights.size() && heights[h].first == row) {
            z.put(" ht=\"");
            putNumber(z, heights[h].second);
            z.put(heights[h].second <= 0 ? "\" hidden=\"1\" customHeight=\"1\"" : "\" customHeight=\"1\"");
            ++h;
        }
        z.put(empty ? "/>" : ">");
    };
    // Rows that hold only a height of their own, up to (not including) `row`.
    auto heightsBefore = [&](int row) {
        while (h < heights.size() && heights[h].first < row)
            putRowStart(heights[h].first, true);
    };
    int openRow = -1;
    char rowText[16];
    std::string_view rowRef;
    const Format *lastFormat = nullptr;
    int lastXf = 0;
    sheet.forEachCell([&](const Sheet::CellView &cell) {
        const bool blank =
            cell.type == CellType::Empty || (cell.type == CellType::String && cell.str->isEmpty());
        if (blank && !cell.format)
            return; // nothing to show and nothing to keep
        if (cell.row != openRow) {
            if (openRow >= 0)
                z.put("</row>");
            heightsBefore(cell.row);
            putRowStart(cell.row, false);
            openRow = cell.row;
            rowRef = std::string_view(
                rowText, size_t(std::to_chars(rowText, rowText + 16, cell.row + 1).ptr - rowText));
        }
        if (cell.format != lastFormat) { // neighbouring cells mostly share their format
            lastFormat = cell.format;
            lastXf = styles.xfOf(cell.format);
        }
        z.put("<c r=\"");
        if (cell.col <= lastCol)
            z.put(letters[size_t(cell.col)]);
        else
            z.put(letter(cell.col));
        z.put(rowRef);
        if (lastXf) {
            z.put("\" s=\"");
            putInt(z, lastXf);
        }
        if (blank) {
            z.put("\"/>");
            return;
        }
        switch (cell.type) {
        case CellType::Number:
            z.put("\"><v>");
            putNumber(z, storedNumber(book, cell.num, cell.format));
            break;
        case CellType::Boolean:
            z.put(cell.num != 0 ? "\" t=\"b\"><v>1" : "\" t=\"b\"><v>0");
            break;
        default: {
            // Inline, as the texts come: a table of distinct texts costs a lookup of every text,
            // most cells of an export being distinct amounts, and took several times as long as
            // all the rest of the writing.
            const QString &t = *cell.str;
            const bool keep = t.front().isSpace() || t.back().isSpace(); // else readers trim them
            z.put(keep ? "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" : "\" t=\"inlineStr\"><is><t>");
            putEscaped(z, t);
            z.put("</t></is></c>");
            return;
        }
        }
        z.put("</v></c>");
    });
    if (openRow >= 0)
        z.put("</row>");
    heightsBefore(INT_MAX);
    z.put("</sheetData>");

    std::vector<CellRange> merges;
    for (const CellRange &m : sheet.merges()) {
        if (m.firstRow != m.lastRow || m.firstCol != m.lastCol)
            merges.push_back(m);
    }
    if (!merges.empty()) {
        z.put("<mergeCells count=\"");
        putInt(z, qsizetype(merges.size()));
        z.put("\">");
        for (const CellRange &m : merges) {
            z.put("<mergeCell ref=\"");
            z.put(letter(m.firstCol));
            putInt(z, qint64(m.firstRow) + 1);
            z.put(':');
            z.put(letter(m.lastCol));
            putInt(z, qint64(m.lastRow) + 1);
            z.put("\"/>");
        }
        z.put("</mergeCells>");
    }
    z.put("<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
          "footer=\"0.3\"/></worksheet>");
}

void writePackageParts(ZipWriter &z, const Workbook &book)
{
    const int sheets = book.sheetCount();
    z.beginEntry(QStringLiteral("[Content_Types].xml"));
    z.put(kXmlHead);
    z.put("<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
          "<Default Extension=\"rels\" "
          "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
          "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
          "<Override PartName=\"/xl/workbook.xml\" "
          "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>");
    for (int s = 1; s <= sheets; ++s) {
        z.put("<Override PartName=\"/xl/worksheets/sheet");
        putInt(z, s);
        z.put(".xml\" "
              "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>");
    }
    z.put("<Override PartName=\"/xl/styles.xml\" "
          "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
          "<Override PartName=\"/docProps/core.xml\" "
          "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
          "<Override PartName=\"/docProps/app.xml\" "
          "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
          "</Types>");

    z.beginEntry(QStringLiteral("_rels/.rels"));
    z.put(kXmlHead);
    z.put("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" "
          "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
          "Target=\"xl/workbook.xml\"/>"
          "<Relationship Id=\"rId2\" "
          "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" "
          "Target=\"docProps/core.xml\"/>"
          "<Relationship Id=\"rId3\" "
          "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties\" "
          "Target=\"docProps/app.xml\"/>"
          "</Relationships>");

    z.beginEntry(QStringLiteral("docProps/app.xml"));
    z.put(kXmlHead);
    z.put("<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
          "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
          "<Application>lumo</Application><DocSecurity>0</DocSecurity><ScaleCrop>false</ScaleCrop>"
          "</Properties>");

    z.beginEntry(QStringLiteral("docProps/core.xml"));
    const QByteArray now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toLatin1();
    z.put(kXmlHead);
    z.put("<cp:coreProperties "
          "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
          "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
          "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" "
          "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
          "<dcterms:created xsi:type=\"dcterms:W3CDTF\">");
    z.put(std::string_view(now.constData(), size_t(now.size())));
    z.put("</dcterms:created><dcterms:modified xsi:type=\"dcterms:W3CDTF\">");
    z.put(std::string_view(now.constData(), size_t(now.size())));
    z.put("</dcterms:modified></cp:coreProperties>");

    z.beginEntry(QStringLiteral("xl/workbook.xml"));
    z.put(kXmlHead);
    z.put("<workbook xmlns=\"");
    z.put(kMainNs);
    z.put("\" xmlns:r=\"");
    z.put(kRelNs);
    z.put("\"><workbookPr/><bookViews><workbookView/></bookViews><sheets>");
    for (int s = 0; s < sheets; ++s) {
        z.put("<sheet name=\"");
        put(z, book.getSheet(s)->name());
        z.put("\" sheetId=\"");
        putInt(z, s + 1);
        z.put("\" r:id=\"rId");
        putInt(z, s + 1);
        z.put("\"/>");
    }
    z.put("</sheets><calcPr calcId=\"124519\" fullCalcOnLoad=\"1\"/></workbook>");

    z.beginEntry(QStringLiteral("xl/_rels/workbook.xml.rels"));
    z.put(kXmlHead);
    z.put("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">");
    for (int s = 1; s <= sheets; ++s) {
        z.put("<Relationship Id=\"rId");
        putInt(z, s);
        z.put("\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
              "Target=\"worksheets/sheet");
        putInt(z, s);
        z.put(".xml\"/>");
    }
    z.put("<Relationship Id=\"rId");
    putInt(z, sheets + 1);
    z.put("\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
          "Target=\"styles.xml\"/></Relationships>");
}

} // namespace

bool writeXlsx(const Workbook &book, QByteArray *out, QString *error)
{
    out->clear();
    try {
        QByteArray bytes;
        ZipWriter z(&bytes);
        writePackageParts(z, book);
        Styles styles(book);
        z.beginEntry(QStringLiteral("xl/styles.xml"));
        styles.write(z);
        for (int s = 0; s < book.sheetCount() && z.ok(); ++s) {
            z.beginEntry(QStringLiteral("xl/worksheets/sheet%1.xml").arg(s + 1));
            writeSheet(z, book, *book.getSheet(s), s == 0, styles);
        }
        if (!z.finish()) {
            *error = QStringLiteral("生成 .xlsx 工作簿失败：%1").arg(z.error());
            return false;
        }
        *out = std::move(bytes);
    } catch (const std::bad_alloc &) {
        out->clear();
        *error = QStringLiteral("内存不足，无法生成 .xlsx 工作簿。");
        return false;
    }
    return true;
}
