// Reads .xlsx workbooks: a zip package of XML parts, found through their relationships.
#include "excel/biff.h"
#include "excel/columnletters.h"
#include "excel/formats.h"
#include "excel/workbook.h"

#include "excel/zipreader.h"

#include <expat.h>

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

// No part of a salary workbook inflates beyond this; a zip bomb stops here instead of filling memory.
constexpr qint64 kMaxPartSize = 256 * 1024 * 1024;
// All parts of one workbook together; a file whose parts inflate beyond this is refused, so no
// small file can make the reader work through gigabytes.
constexpr qint64 kMaxPackageSize = 1024LL * 1024 * 1024;
// Column width entries may each name thousands of columns; past this many the rest are ignored.
constexpr qint64 kMaxColWidthEntries = 1'000'000;
// Row heights of the whole workbook; past this many the rest are ignored (they only shape the look).
constexpr qint64 kMaxRowHeightEntries = 2'000'000;
// Styles and fonts of a workbook: far beyond what Excel itself allows (64,000 cell formats).
constexpr size_t kMaxStyleItems = 200'000;

struct Rel
{
    QString type;
    QString target;
};

class Package
{
public:
    Package(const QByteArray &bytes, qsizetype chunkSize) : m_bytes(bytes), m_chunkSize(chunkSize) {}

    bool open(QString *error)
    {
        if (!m_zip.open(m_bytes)) {
            *error = m_zip.error();
            return false;
        }
        return true;
    }

    bool read(const QString &name, QByteArray *out, QString *error)
    {
        QString path = name;
        while (path.startsWith(QLatin1Char('/')))
            path.remove(0, 1);
        if (!m_zip.read(path, kMaxPartSize, out)) {
            *error = m_zip.error();
            return false;
        }
        m_inflated += out->size();
        if (m_inflated > kMaxPackageSize) {
            *error = QStringLiteral("工作簿解压后过大（超过 1 GB），无法读取。");
            return false;
        }
        return true;
    }

    // The part in pieces as it inflates; false, with `error` set, when it cannot be read or the sink
    // refuses a piece (the sink then says why).
    bool stream(const QString &name, const ZipReader::Sink &sink, QString *error)
    {
        QString path = name;
        while (path.startsWith(QLatin1Char('/')))
            path.remove(0, 1);
        bool overflow = false;
        const bool ok =
            m_zip.readChunks(path, kMaxPartSize, m_chunkSize, [&](const char *data, qsizetype size) {
                m_inflated += size;
                if (m_inflated > kMaxPackageSize) {
                    overflow = true;
                    return false;
                }
                return sink(data, size);
            });
        if (overflow)
            *error = QStringLiteral("工作簿解压后过大（超过 1 GB），无法读取。");
        else if (!ok && !m_zip.sinkStopped())
            *error = m_zip.error();
        return ok;
    }

    // Row heights read so far in the whole workbook.
    qint64 rowHeightEntries = 0;

    bool exists(const QString &name) const { return m_zip.exists(name); }

private:
    const QByteArray &m_bytes;
    qsizetype m_chunkSize;
    ZipReader m_zip;
    qint64 m_inflated = 0;
};

QString dirOf(const QString &part)
{
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : part.left(slash);
}

QString resolve(const QString &baseDir, const QString &target)
{
    if (target.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(target).mid(1);
    QString path = QDir::cleanPath(baseDir.isEmpty() ? target : baseDir + QLatin1Char('/') + target);
    while (path.startsWith(QLatin1String("../")))
        path.remove(0, 3);
    return path;
}

QString relsPathOf(const QString &part)
{
    const QString dir = dirOf(part);
    const QString file = part.mid(dir.isEmpty() ? 0 : dir.size() + 1);
    return (dir.isEmpty() ? QString() : dir + QLatin1Char('/')) + QStringLiteral("_rels/") + file +
           QStringLiteral(".rels");
}

// Starts a reader and refuses a document type declaration: workbooks never need one, and its
// entities are how XML bombs get in.
bool nextToken(QXmlStreamReader &xml, QString *error)
{
    const QXmlStreamReader::TokenType t = xml.readNext();
    if (t == QXmlStreamReader::DTD) {
        *error = QStringLiteral("工作簿含有不允许的 XML 文档类型声明（DTD）。");
        return false;
    }
    if (t == QXmlStreamReader::EntityReference) {
        *error = QStringLiteral("工作簿含有未定义的 XML 实体。");
        return false;
    }
    return true;
}

bool xmlFailed(const QXmlStreamReader &xml, const QString &part, QString *error)
{
    if (xml.hasError() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError) {
        *error = QStringLiteral("工作簿部件 %1 的 XML 有误（第 %2 行）：%3")
                     .arg(part)
                     .arg(xml.lineNumber())
                     .arg(xml.errorString());
        return true;
    }
    if (xml.hasError()) {
        *error = QStringLiteral("工作簿部件 %1 不完整。").arg(part);
        return true;
    }
    return false;
}

QString attr(const QXmlStreamReader &xml, QLatin1String name)
{
    return xml.attributes().value(name).toString();
}

bool readRels(Package &pkg, const QString &relsPath, QHash<QString, Rel> *rels, QString *error)
{
    QByteArray bytes;
    if (!pkg.read(relsPath, &bytes, error))
        return false;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (!nextToken(xml, error))
            return false;
        if (xml.isStartElement() && xml.name() == u"Relationship") {
            if (attr(xml, QLatin1String("TargetMode"))
                    .compare(QLatin1String("External"), Qt::CaseInsensitive) == 0)
                continue;
            rels->insert(attr(xml, QLatin1String("Id")),
                         Rel{attr(xml, QLatin1String("Type")), attr(xml, QLatin1String("Target"))});
        }
    }
    return !xmlFailed(xml, relsPath, error);
}

bool isBool(QStringView v)
{
    return v.isEmpty() || v == u"1" || v.compare(u"true", Qt::CaseInsensitive) == 0 ||
           v.compare(u"on", Qt::CaseInsensitive) == 0;
}

// An attribute named "id" in the relationships namespace, whatever its prefix.
QString relId(const QXmlStreamReader &xml)
{
    for (const QXmlStreamAttribute &a : xml.attributes()) {
        if (a.name() == u"id" && (a.namespaceUri().contains(u"relationships") || a.prefix() == u"r"))
            return a.value().toString();
    }
    return QString();
}

// Characters XML cannot hold are written as _xHHHH_; the text of a string item with them decoded,
// cut to what a cell holds.
QString decodeItemText(QString text)
{
    if (text.contains(u"_x")) {
        QString out;
        out.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i) == QLatin1Char('_') && i + 6 < text.size() && text.at(i + 1) == QLatin1Char('x') &&
                text.at(i + 6) == QLatin1Char('_')) {
                bool hex = false;
                const uint code = text.mid(i + 2, 4).toUInt(&hex, 16);
                if (hex) {
                    out += QChar(char16_t(code));
                    i += 6;
                    continue;
                }
            }
            out += text.at(i);
        }
        text = out;
    }
    if (text.size() > kMaxCellTextLength)
        text.truncate(kMaxCellTextLength);
    return text;
}

// An element's name without its namespace prefix.
std::string_view localName(const char *name)
{
    // One pass finds both the last colon and the end.
    const char *start = name;
    const char *p = name;
    for (; *p; ++p) {
        if (*p == ':')
            start = p + 1;
    }
    return std::string_view(start, size_t(p - start));
}

// An attribute's value by its (unprefixed) name; empty when absent. Compared in place: a cell's
// few short attribute names are not worth measuring first.
std::string_view attrOf(const char **atts, const char *name)
{
    for (; atts[0]; atts += 2) {
        if (atts[0][0] == name[0] && std::strcmp(atts[0], name) == 0)
            return atts[1];
    }
    return {};
}

QByteArrayView view(std::string_view s)
{
    return QByteArrayView(s.data(), qsizetype(s.size()));
}

// What a part's elements are handed to as the part inflates. A handler stops the reading by
// setting `error`.
class XmlHandler
{
public:
    virtual ~XmlHandler() = default;
    virtual void start(std::string_view name, const char **atts) = 0;
    virtual void end(std::string_view name) = 0;
    virtual void text(const char *s, int len) = 0;
    QString error;
};

struct ExpatContext
{
    XML_Parser parser;
    XmlHandler *handler;
    bool doctype = false;
};

void XMLCALL onStart(void *user, const XML_Char *name, const XML_Char **atts)
{
    auto *ctx = static_cast<ExpatContext *>(user);
    ctx->handler->start(localName(name), atts);
    if (!ctx->handler->error.isEmpty())
        XML_StopParser(ctx->parser, XML_FALSE);
}

void XMLCALL onEnd(void *user, const XML_Char *name)
{
    auto *ctx = static_cast<ExpatContext *>(user);
    ctx->handler->end(localName(name));
    if (!ctx->handler->error.isEmpty())
        XML_StopParser(ctx->parser, XML_FALSE);
}

void XMLCALL onText(void *user, const XML_Char *s, int len)
{
    auto *ctx = static_cast<ExpatContext *>(user);
    ctx->handler->text(s, len);
    if (!ctx->handler->error.isEmpty())
        XML_StopParser(ctx->parser, XML_FALSE);
}

// Workbooks never need a document type declaration, and its entities are how XML bombs get in.
void XMLCALL onDoctype(void *user, const XML_Char *, const XML_Char *, const XML_Char *, int)
{
    auto *ctx = static_cast<ExpatContext *>(user);
    ctx->doctype = true;
    XML_StopParser(ctx->parser, XML_FALSE);
}

// Parses a part while it inflates, never holding more of it than one inflated piece.
bool parsePart(Package &pkg, const QString &part, XmlHandler &handler, QString *error)
{
    std::unique_ptr<std::remove_pointer_t<XML_Parser>, decltype(&XML_ParserFree)> parser(
        XML_ParserCreate(nullptr), &XML_ParserFree);
    if (!parser) {
        *error = QStringLiteral("内存不足，无法读取工作簿部件 %1。").arg(part);
        return false;
    }
    ExpatContext ctx{parser.get(), &handler};
    XML_SetUserData(parser.get(), &ctx);
    XML_SetElementHandler(parser.get(), onStart, onEnd);
    XML_SetCharacterDataHandler(parser.get(), onText);
    XML_SetStartDoctypeDeclHandler(parser.get(), onDoctype);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
    auto failed = [&](bool final) {
        if (ctx.doctype) {
            *error = QStringLiteral("工作簿含有不允许的 XML 文档类型声明（DTD）。");
            return true;
        }
        if (!handler.error.isEmpty()) {
            *error = handler.error;
            return true;
        }
        const XML_Error code = XML_GetErrorCode(parser.get());
        if (code == XML_ERROR_UNDEFINED_ENTITY) {
            *error = QStringLiteral("工作簿含有未定义的 XML 实体。");
        } else if (final && (code == XML_ERROR_NO_ELEMENTS || code == XML_ERROR_UNCLOSED_TOKEN ||
                             code == XML_ERROR_PARTIAL_CHAR || code == XML_ERROR_UNCLOSED_CDATA_SECTION)) {
            *error = QStringLiteral("工作簿部件 %1 不完整。").arg(part);
        } else {
            *error = QStringLiteral("工作簿部件 %1 的 XML 有误（第 %2 行）：%3")
                         .arg(part)
                         .arg(qulonglong(XML_GetCurrentLineNumber(parser.get())))
                         .arg(QString::fromUtf8(XML_ErrorString(code)));
        }
        return true;
    };
    bool parseFailed = false;
    const bool read = pkg.stream(
        part,
        [&](const char *data, qsizetype size) {
            if (XML_Parse(parser.get(), data, int(size), XML_FALSE) == XML_STATUS_OK)
                return true;
            parseFailed = failed(false);
            return false;
        },
        error);
    if (parseFailed)
        return false;
    if (!read)
        return false;
    if (XML_Parse(parser.get(), nullptr, 0, XML_TRUE) != XML_STATUS_OK)
        return !failed(true);
    return true;
}

// The text of a string item (<si> or <is>) up to its end tag: runs joined, phonetic runs left out.
class StringItem
{
public:
    void begin(std::string_view endName)
    {
        m_endName = endName;
        m_text.clear();
        m_tDepth = 0;
        m_phonetic = 0;
        m_open = true;
    }
    bool open() const { return m_open; }
    void start(std::string_view name)
    {
        if (m_tDepth > 0)
            ++m_tDepth;
        else if (name == "rPh")
            ++m_phonetic;
        else if (name == "t" && m_phonetic == 0)
            m_tDepth = 1;
    }
    // True when the item ends here.
    bool end(std::string_view name)
    {
        if (m_tDepth > 0) {
            --m_tDepth;
        } else if (name == "rPh") {
            --m_phonetic;
        } else if (name == m_endName) {
            m_open = false;
            return true;
        }
        return false;
    }
    void text(const char *s, int len)
    {
        // Nothing a cell can show is longer; a hostile run is not collected without end.
        if (m_tDepth > 0 && m_text.size() < size_t(kMaxCellTextLength) * 4 + 64)
            m_text.append(s, size_t(len));
    }
    QString take() const
    {
        return decodeItemText(QString::fromUtf8(m_text.data(), qsizetype(m_text.size())));
    }

private:
    std::string_view m_endName;
    std::string m_text;
    int m_tDepth = 0;
    int m_phonetic = 0;
    bool m_open = false;
};

class SharedStringsHandler : public XmlHandler
{
public:
    explicit SharedStringsHandler(std::vector<QString> *strings) : m_strings(strings) {}
    void start(std::string_view name, const char **) override
    {
        if (m_item.open()) {
            m_item.start(name);
        } else if (name == "si") {
            if (m_strings->size() >= size_t(Workbook::kMaxCells)) {
                error = QStringLiteral("工作簿的共享字符串过多（超过一千万个），无法读取。");
                return;
            }
            m_item.begin("si");
        }
    }
    void end(std::string_view name) override
    {
        if (m_item.open() && m_item.end(name))
            m_strings->push_back(m_item.take());
    }
    void text(const char *s, int len) override
    {
        if (m_item.open())
            m_item.text(s, len);
    }

private:
    std::vector<QString> *m_strings;
    StringItem m_item;
};

bool readSharedStrings(Package &pkg, const QString &part, std::vector<QString> *strings, QString *error)
{
    SharedStringsHandler handler(strings);
    return parsePart(pkg, part, handler, error);
}

int paletteIndexOf(const QString &argb)
{
    bool ok = false;
    const quint32 rgb = argb.right(6).toUInt(&ok, 16);
    if (!ok)
        return 64;
    for (int i = 8; i < 64; ++i) {
        if (paletteColor(i) == rgb)
            return i;
    }
    return 64;
}

int borderStyleOf(const QString &style)
{
    return style.isEmpty() || style == u"none" ? CellBorder::NoBorder
           : style == u"thin"                  ? CellBorder::Thin
                                               : 2;
}

struct XfBorders
{
    int left = 0, right = 0, top = 0, bottom = 0;
};

struct XfFill
{
    int pattern = CellFill::NoFill;
    int color = 64;
};

bool readStyles(Package &pkg, const QString &part, Workbook *book, std::vector<Format *> *cellFormats,
                QString *error)
{
    QByteArray bytes;
    if (!pkg.read(part, &bytes, error))
        return false;
    QXmlStreamReader xml(bytes);
    std::vector<Font *> fonts;
    std::vector<XfBorders> borders;
    std::vector<XfFill> fills;
    enum Section
    {
        None,
        Fonts,
        Fills,
        Borders,
        CellXfs,
        StyleXfs,
        Other
    } section = None;
    int normalFont = -1;
    Font *font = nullptr;
    Format *format = nullptr;
    while (!xml.atEnd()) {
        if (!nextToken(xml, error))
            return false;
        if (xml.isEndElement()) {
            const QStringView n = xml.name();
            if (n == u"fonts" || n == u"fills" || n == u"borders" || n == u"cellXfs" ||
                n == u"cellStyleXfs" || n == u"dxfs" || n == u"numFmts")
                section = None;
            else if (n == u"font")
                font = nullptr;
            else if (n == u"xf")
                format = nullptr;
            continue;
        }
        if (!xml.isStartElement())
            continue;
        const QStringView n = xml.name();
        if (n == u"numFmt") {
            bool ok = false;
            const int id = attr(xml, QLatin1String("numFmtId")).toInt(&ok);
            if (ok && id >= 0 && id < 65536)
                book->setNumFormatCode(id, attr(xml, QLatin1String("formatCode")));
        } else if (n == u"fonts") {
            section = Fonts;
        } else if (n == u"fills") {
            section = Fills;
        } else if (n == u"borders") {
            section = Borders;
        } else if (n == u"cellXfs") {
            section = CellXfs;
        } else if (n == u"cellStyleXfs") {
            section = StyleXfs;
        } else if (n == u"dxfs" || n == u"numFmts") {
            section = Other;
        } else if (section == StyleXfs) {
            // The first cell style is the workbook's normal style: cells without a style of their
            // own show its font.
            if (n == u"xf" && normalFont < 0) {
                bool ok = false;
                const int fontId = attr(xml, QLatin1String("fontId")).toInt(&ok);
                normalFont = ok && fontId >= 0 ? fontId : 0;
            }
        } else if (section == Fonts) {
            if (n == u"font") {
                if (fonts.size() >= kMaxStyleItems) {
                    *error = QStringLiteral("工作簿的字体过多，无法读取。");
                    return false;
                }
                font = book->addFont();
                fonts.push_back(font);
            } else if (font) {
                const QString val = attr(xml, QLatin1String("val"));
                if (n == u"b")
                    font->setBold(isBool(val));
                else if (n == u"i")
                    font->setItalic(isBool(val));
                else if (n == u"strike")
                    font->setStrikeOut(isBool(val));
                else if (n == u"u")
                    font->setUnderline(val.isEmpty() || val == u"single" ? 1
                                       : val == u"double"                ? 2
                                       : val == u"singleAccounting"      ? 0x21
                                       : val == u"doubleAccounting"      ? 0x22
                                                                         : 0);
                else if (n == u"sz")
                    font->setSize(std::clamp(val.toDouble(), 1.0, 409.0));
                else if (n == u"name" || n == u"rFont")
                    font->setName(val);
            }
        } else if (section == Fills) {
            if (n == u"fill") {
                fills.push_back(XfFill());
            } else if (!fills.empty() && n == u"patternFill") {
                const QString type = attr(xml, QLatin1String("patternType"));
                fills.back().pattern = type.isEmpty() || type == u"none" ? CellFill::NoFill
                                       : type == u"solid"                ? CellFill::Solid
                                                                         : 2;
            } else if (!fills.empty() && n == u"fgColor") {
                bool ok = false;
                const int indexed = attr(xml, QLatin1String("indexed")).toInt(&ok);
                fills.back().color = ok ? indexed : paletteIndexOf(attr(xml, QLatin1String("rgb")));
            }
        } else if (section == Borders) {
            if (n == u"border") {
                borders.push_back(XfBorders());
            } else if (!borders.empty()) {
                const int style = borderStyleOf(attr(xml, QLatin1String("style")));
                if (n == u"left" || n == u"start")
                    borders.back().left = style;
                else if (n == u"right" || n == u"end")
                    borders.back().right = style;
                else if (n == u"top")
                    borders.back().top = style;
                else if (n == u"bottom")
                    borders.back().bottom = style;
            }
        } else if (section == CellXfs) {
            if (n == u"xf") {
                if (cellFormats->size() >= kMaxStyleItems) {
                    *error = QStringLiteral("工作簿的单元格格式过多，无法读取。");
                    return false;
                }
                format = book->addFormat();
                cellFormats->push_back(format);
                bool ok = false;
                const int numFmt = attr(xml, QLatin1String("numFmtId")).toInt(&ok);
                format->setNumFormat(ok && numFmt >= 0 && numFmt < 65536 ? numFmt : 0);
                const int fontId = attr(xml, QLatin1String("fontId")).toInt(&ok);
                if (ok && fontId >= 0 && size_t(fontId) < fonts.size())
                    format->setFont(fonts[size_t(fontId)]);
                const int borderId = attr(xml, QLatin1String("borderId")).toInt(&ok);
                if (ok && borderId >= 0 && size_t(borderId) < borders.size()) {
                    const XfBorders &b = borders[size_t(borderId)];
                    format->setBorderLeft(b.left);
                    format->setBorderRight(b.right);
                    format->setBorderTop(b.top);
                    format->setBorderBottom(b.bottom);
                }
                const int fillId = attr(xml, QLatin1String("fillId")).toInt(&ok);
                if (ok && fillId >= 0 && size_t(fillId) < fills.size()) {
                    format->setFillPattern(fills[size_t(fillId)].pattern);
                    format->setPatternForegroundColor(fills[size_t(fillId)].color);
                }
            } else if (n == u"alignment" && format) {
                static const QHash<QString, int> horizontal = {
                    {QStringLiteral("general"), CellAlignH::General},
                    {QStringLiteral("left"), CellAlignH::Left},
                    {QStringLiteral("center"), CellAlignH::Center},
                    {QStringLiteral("right"), CellAlignH::Right},
                    {QStringLiteral("fill"), CellAlignH::Fill},
                    {QStringLiteral("justify"), CellAlignH::Justify},
                    {QStringLiteral("centerContinuous"), CellAlignH::CenterAcross},
                    {QStringLiteral("distributed"), CellAlignH::Distributed}};
                static const QHash<QString, int> vertical = {
                    {QStringLiteral("top"), CellAlignV::Top},
                    {QStringLiteral("center"), CellAlignV::Center},
                    {QStringLiteral("bottom"), CellAlignV::Bottom},
                    {QStringLiteral("justify"), CellAlignV::Justify},
                    {QStringLiteral("distributed"), CellAlignV::Distributed}};
                format->setAlignH(
                    horizontal.value(attr(xml, QLatin1String("horizontal")), CellAlignH::General));
                format->setAlignV(vertical.value(attr(xml, QLatin1String("vertical")), CellAlignV::Bottom));
            }
        }
    }
    if (xmlFailed(xml, part, error))
        return false;
    if (!fonts.empty())
        *book->defaultFont() =
            *fonts[normalFont >= 0 && size_t(normalFont) < fonts.size() ? size_t(normalFont) : 0];
    return true;
}

// "AB12" to 0-based row 11, column 27; false for anything else or beyond the format's limits.
bool parseRef(std::string_view ref, int *row, int *col)
{
    char16_t letters[3];
    size_t i = 0;
    while (i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
        if (i == 3)
            return false; // four letters are past the last column
        letters[i] = char16_t(ref[i] & ~0x20);
        ++i;
    }
    if (i == 0 || i == ref.size())
        return false;
    const int c = columnIndex(QStringView(letters, qsizetype(i)));
    if (c < 0 || c >= kXlsxMaxCols)
        return false;
    qint64 r = 0;
    for (; i < ref.size(); ++i) {
        if (ref[i] < '0' || ref[i] > '9')
            return false;
        r = r * 10 + (ref[i] - '0');
        if (r > kXlsxMaxRows)
            return false;
    }
    if (r < 1)
        return false;
    *row = int(r - 1);
    *col = c;
    return true;
}

// An ISO 8601 date or time of a t="d" cell, as a serial number.
bool isoToSerial(const QString &text, bool date1904, double *serial)
{
    // A time of day alone ("08:30:00") is the fraction of a day, as Excel stores times.
    if (const QTime t = QTime::fromString(text, Qt::ISODateWithMs);
        t.isValid() && !text.contains(QLatin1Char('-'))) {
        *serial = t.msecsSinceStartOfDay() / 86400000.0;
        return true;
    }
    QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!dt.isValid()) {
        const QDate d = QDate::fromString(text, Qt::ISODate);
        if (!d.isValid())
            return false;
        dt = QDateTime(d, QTime(0, 0));
    }
    const QDate epoch = date1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    double days = double(epoch.daysTo(dt.date()));
    if (!date1904 && days < 61)
        days -= 1; // before Excel's phantom 1900-02-29
    // Other programs write a time of day on the day before 1900-01-01 (1899-12-30 or -31): it is the
    // time alone, serial 0 plus the fraction.
    if (!date1904 && days < 0 && dt.date() >= QDate(1899, 12, 30))
        days = 0;
    *serial = days + dt.time().msecsSinceStartOfDay() / 86400000.0;
    return days >= 0;
}

class SheetHandler : public XmlHandler
{
public:
    SheetHandler(Package &pkg, Workbook *book, Sheet *sheet, const std::vector<QString> &strings,
                 const std::vector<Format *> &formats)
        : m_pkg(pkg), m_book(book), m_sheet(sheet), m_strings(strings), m_formats(formats)
    {}

    void start(std::string_view n, const char **atts) override
    {
        if (m_skip > 0) {
            ++m_skip;
            return;
        }
        if (m_inCell) {
            if (m_item.open()) {
                m_item.start(n);
            } else if (m_inF) {
                m_skip = 1;
            } else if (m_inV) {
                error = QStringLiteral("工作簿部件的 XML 有误：单元格的值中不应有元素 <%1>。")
                            .arg(QString::fromUtf8(n.data(), qsizetype(n.size())));
            } else if (n == "v") {
                m_inV = true;
                m_value.clear();
                m_valueIsItem = false;
                m_hasValue = true;
            } else if (n == "is") {
                m_item.begin("is");
            } else if (n == "f") {
                m_inF = true;
                m_hasFormula = true;
                m_formula.clear();
                m_sharedIndex =
                    attrOf(atts, "t") == "shared" ? view(attrOf(atts, "si")).toInt(&m_shared) : -1;
                m_shared = m_shared && m_sharedIndex >= 0;
            } else {
                m_skip = 1;
            }
            return;
        }
        if (n == "c") {
            startCell(atts);
        } else if (n == "row") {
            bool ok = false;
            const qint64 index = view(attrOf(atts, "r")).toLongLong(&ok);
            m_row = ok && index >= 1 && index <= kXlsxMaxRows ? int(index - 1) : m_row + 1;
            m_col = -1;
            const std::string_view ht = attrOf(atts, "ht");
            if (!ht.empty() && m_pkg.rowHeightEntries < kMaxRowHeightEntries) {
                ++m_pkg.rowHeightEntries;
                m_sheet->setRow(m_row, view(ht).toDouble());
            }
        } else if (n == "col") {
            const int first = view(attrOf(atts, "min")).toInt();
            const int last = std::min(view(attrOf(atts, "max")).toInt(), kXlsxMaxCols);
            const std::string_view width = attrOf(atts, "width");
            // A hidden column (a helper column a clerk hid) shows with no width at all.
            const std::string_view hiddenAttr = attrOf(atts, "hidden");
            const bool hidden = hiddenAttr == "1" || hiddenAttr == "true";
            if ((hidden || !width.empty()) && first >= 1 && last >= first &&
                m_colEntries < kMaxColWidthEntries) {
                m_colEntries += last - first + 1;
                m_sheet->setCol(first - 1, last - 1, hidden ? 0.0 : widthFromStored(view(width).toDouble()));
            }
        } else if (n == "sheetFormatPr") {
            bool ok = false;
            const double h = view(attrOf(atts, "defaultRowHeight")).toDouble(&ok);
            if (ok && h >= 0 && h <= 409)
                m_sheet->setDefaultRowHeight(h);
            const double w = view(attrOf(atts, "defaultColWidth")).toDouble(&ok);
            if (ok && w >= 0 && w <= 255)
                m_sheet->setDefaultColWidth(widthFromStored(w));
        } else if (n == "mergeCell") {
            const std::string_view ref = attrOf(atts, "ref");
            const size_t colon = ref.find(':');
            int r1, c1, r2, c2;
            const int maxRows = m_book->maxRows();
            const int maxCols = m_book->maxCols();
            if (m_sheet->merges().size() >= kMaxMergesRead) {
                m_book->addLoadWarning(mergesCappedWarning());
            } else if (colon != std::string_view::npos && colon > 0 &&
                       parseRef(ref.substr(0, colon), &r1, &c1) &&
                       parseRef(ref.substr(colon + 1), &r2, &c2) && r1 < maxRows && c1 < maxCols) {
                // A merge overlapping an earlier one is dropped, as Excel would refuse it.
                m_sheet->setMerge(std::min(r1, r2), std::min(std::max(r1, r2), maxRows - 1), std::min(c1, c2),
                                  std::min(std::max(c1, c2), maxCols - 1));
            }
        } else if (n == "sheetData" || n == "worksheet" || n == "cols" || n == "mergeCells") {
            // their children are read
        } else {
            // Everything else (views, conditional formats, drawings) is not ours to read.
            m_skip = 1;
        }
    }

    void end(std::string_view n) override
    {
        if (m_skip > 0) {
            --m_skip;
            return;
        }
        if (!m_inCell)
            return;
        if (m_item.open()) {
            if (m_item.end(n)) {
                m_itemText = m_item.take();
                m_valueIsItem = true;
                m_hasValue = true;
            }
        } else if (m_inV) {
            m_inV = false;
        } else if (m_inF) {
            m_inF = false;
        } else if (n == "c") {
            m_inCell = false;
            commitCell();
        }
    }

    void text(const char *s, int len) override
    {
        if (m_skip > 0 || !m_inCell)
            return;
        if (m_item.open())
            m_item.text(s, len);
        else if (m_inV && m_value.size() < 1024 * 1024)
            m_value.append(s, size_t(len));
        else if (m_inF && m_formula.size() < size_t(kMaxCellTextLength) * 4)
            m_formula.append(s, size_t(len));
    }

private:
    void startCell(const char **atts)
    {
        const std::string_view ref = attrOf(atts, "r");
        int r = m_row < 0 ? 0 : m_row;
        int c = m_col + 1;
        if (!ref.empty() && !parseRef(ref, &r, &c)) {
            m_skip = 1;
            return;
        }
        if (m_row < 0)
            m_row = r;
        m_col = c;
        m_r = r;
        m_c = c;
        m_format = nullptr;
        const std::string_view s = attrOf(atts, "s");
        if (!s.empty()) {
            bool ok = false;
            const int xf = view(s).toInt(&ok);
            if (ok && xf >= 0 && size_t(xf) < m_formats.size())
                m_format = m_formats[size_t(xf)];
        }
        m_type = attrOf(atts, "t");
        m_value.clear();
        m_itemText.clear();
        m_valueIsItem = false;
        m_hasValue = false;
        m_inV = false;
        m_inF = false;
        m_hasFormula = false;
        m_shared = false;
        m_inCell = true;
    }

    QString valueText() const
    {
        return m_valueIsItem ? m_itemText : QString::fromUtf8(m_value.data(), qsizetype(m_value.size()));
    }

    // The text of the cell's formula: its own, or for a later cell of a shared formula, the first
    // cell's moved to this one. Empty when there is none to be had.
    QString formulaText() const
    {
        if (m_shared && std::all_of(m_formula.begin(), m_formula.end(), [](char ch) { return ch == ' '; })) {
            const auto it = m_sharedFormulas.find(m_sharedIndex);
            return it == m_sharedFormulas.end()
                       ? QString()
                       : shiftFormula(it->second.text, m_r - it->second.row, m_c - it->second.col);
        }
        return QString::fromUtf8(m_formula.data(), qsizetype(m_formula.size())).trimmed();
    }

    void commitCell()
    {
        const int r = m_r;
        const int c = m_c;
        if (r >= m_book->maxRows() || c >= m_book->maxCols())
            return;
        Sheet *sheet = m_sheet;
        const Format *format = m_format;
        const std::string_view type = m_type;
        // The first cell of a shared formula holds its text for the cells after it.
        if (m_shared && !m_formula.empty() &&
            (m_sharedFormulas.size() < 65536 || m_sharedFormulas.count(m_sharedIndex)))
            m_sharedFormulas[m_sharedIndex] = SharedFormula{
                QString::fromUtf8(m_formula.data(), qsizetype(m_formula.size())).trimmed(), r, c};
        // A formula written by a program that does not calculate has no result to show: the cell
        // holds its formula, so that nothing takes it for a number.
        const bool noResult = m_hasFormula && type != "str" && type != "inlineStr" &&
                              (!m_hasValue || (!m_valueIsItem && m_value.empty()));
        const QString formula = noResult ? formulaText() : QString();
        const bool unevaluated = !formula.isEmpty();
        if (unevaluated) {
            sheet->writeStr(r, c, (QLatin1Char('=') + formula).left(kMaxCellTextLength), format,
                            CellOrigin::Formula);
        } else if (!m_hasValue) {
            if (format)
                sheet->writeBlank(r, c, format);
        } else if (type == "s") {
            bool isIndex = false;
            const qint64 index =
                m_valueIsItem ? m_itemText.toLongLong(&isIndex) : view(m_value).toLongLong(&isIndex);
            if (isIndex && index >= 0 && index < qint64(m_strings.size()))
                sheet->writeStr(r, c, m_strings[size_t(index)], format);
            else if (format)
                sheet->writeBlank(r, c, format);
        } else if (type == "str" || type == "inlineStr") {
            sheet->writeStr(r, c, valueText().left(kMaxCellTextLength), format);
        } else if (type == "b") {
            const QString v = valueText().trimmed();
            sheet->writeBool(r, c, v == u"1" || v == u"true", format);
        } else if (type == "e") {
            const QString text = valueText().trimmed().left(64);
            sheet->writeStr(r, c, text.isEmpty() ? errorText(-1) : text, format, CellOrigin::Error);
        } else if (type == "d") {
            double serial = 0;
            if (isoToSerial(valueText().trimmed(), m_book->isDate1904(), &serial))
                sheet->writeNum(r, c, serial, format);
            else
                sheet->writeBlank(r, c, format);
        } else {
            bool isNumber = false;
            const double v = m_valueIsItem ? m_itemText.trimmed().toDouble(&isNumber)
                                           : view(m_value).trimmed().toDouble(&isNumber);
            if (isNumber && std::isfinite(v))
                sheet->writeNum(r, c, v, format);
            else
                sheet->writeBlank(r, c, format);
        }
        if (m_book->cellCount() > Workbook::kMaxCells)
            error = QStringLiteral("工作簿的单元格过多（超过一千万个），无法读取。");
    }

    Package &m_pkg;
    Workbook *m_book;
    Sheet *m_sheet;
    const std::vector<QString> &m_strings;
    const std::vector<Format *> &m_formats;
    int m_skip = 0; // depth inside an element being skipped
    int m_row = -1;
    int m_col = -1;
    qint64 m_colEntries = 0;
    // The cell being read.
    bool m_inCell = false;
    bool m_inV = false;
    int m_r = 0;
    int m_c = 0;
    const Format *m_format = nullptr;
    std::string m_type;
    std::string m_value;
    bool m_inF = false;
    bool m_hasFormula = false;
    std::string m_formula;
    // A shared formula's first cell: its text and position, by the formula's index.
    struct SharedFormula
    {
        QString text;
        int row;
        int col;
    };
    bool m_shared = false;
    int m_sharedIndex = -1;
    std::unordered_map<int, SharedFormula> m_sharedFormulas;
    QString m_itemText;
    bool m_valueIsItem = false;
    bool m_hasValue = false;
    StringItem m_item;
};

bool readSheet(Package &pkg, const QString &part, Workbook *book, Sheet *sheet,
               const std::vector<QString> &strings, const std::vector<Format *> &formats, QString *error)
{
    SheetHandler handler(pkg, book, sheet, strings, formats);
    return parsePart(pkg, part, handler, error);
}

} // namespace

bool readXlsx(const QByteArray &bytes, Workbook *book, qsizetype chunkSize)
{
    QString error;
    auto fail = [&](const QString &message) {
        book->setError(message);
        return false;
    };
    if (!bytes.startsWith("PK")) {
        if (bytes.startsWith("\xD0\xCF\x11\xE0")) {
            // A password-protected .xlsx is a compound file holding the encrypted package.
            QByteArray stream;
            if (!biff::readWorkbookStream(bytes, &stream, &error) && error.contains(QStringLiteral("加密")))
                return fail(error);
            return fail(QStringLiteral(
                "这是一个 Excel 97-2003 (.xls) 文件，但文件名后缀是 .xlsx，请改正后缀后再试。"));
        }
        return fail(QStringLiteral("文件不是 Excel 2007 及以后版本的 .xlsx 工作簿（不是 zip 包）。"));
    }
    Package pkg(bytes, chunkSize);
    if (!pkg.open(&error))
        return fail(QStringLiteral("无法打开 .xlsx 工作簿：%1").arg(error));
    if (pkg.exists(QStringLiteral("EncryptionInfo")))
        return fail(QStringLiteral("工作簿已加密，请在 Excel 中取消密码后再试。"));

    QHash<QString, Rel> rootRels;
    if (!readRels(pkg, QStringLiteral("_rels/.rels"), &rootRels, &error))
        return fail(error);
    QString workbookPart;
    for (const Rel &rel : std::as_const(rootRels)) {
        if (rel.type.endsWith(QLatin1String("/officeDocument")))
            workbookPart = resolve(QString(), rel.target);
    }
    if (workbookPart.isEmpty())
        return fail(QStringLiteral("工作簿包中找不到工作簿部件（_rels/.rels 没有指向它）。"));

    QHash<QString, Rel> rels;
    if (!readRels(pkg, relsPathOf(workbookPart), &rels, &error))
        return fail(error);
    const QString baseDir = dirOf(workbookPart);
    QString stylesPart, stringsPart;
    for (const Rel &rel : std::as_const(rels)) {
        if (rel.type.endsWith(QLatin1String("/styles")))
            stylesPart = resolve(baseDir, rel.target);
        else if (rel.type.endsWith(QLatin1String("/sharedStrings")))
            stringsPart = resolve(baseDir, rel.target);
    }

    QByteArray workbookXml;
    if (!pkg.read(workbookPart, &workbookXml, &error))
        return fail(error);
    struct SheetRef
    {
        QString name;
        QString part;
    };
    std::vector<SheetRef> sheetRefs;
    {
        QXmlStreamReader xml(workbookXml);
        while (!xml.atEnd()) {
            if (!nextToken(xml, &error))
                return fail(error);
            if (!xml.isStartElement())
                continue;
            if (xml.name() == u"workbookPr") {
                book->setDate1904(isBool(xml.attributes().value(QLatin1String("date1904"))) &&
                                  !xml.attributes().value(QLatin1String("date1904")).isEmpty());
            } else if (xml.name() == u"sheet") {
                const Rel rel = rels.value(relId(xml));
                // Chart sheets and dialog sheets hold no cells.
                if (rel.type.endsWith(QLatin1String("/worksheet")))
                    sheetRefs.push_back({attr(xml, QLatin1String("name")), resolve(baseDir, rel.target)});
            }
        }
        if (xmlFailed(xml, workbookPart, &error))
            return fail(error);
    }

    std::vector<Format *> formats;
    if (!stylesPart.isEmpty() && !readStyles(pkg, stylesPart, book, &formats, &error))
        return fail(error);
    std::vector<QString> strings;
    if (!stringsPart.isEmpty() && !readSharedStrings(pkg, stringsPart, &strings, &error))
        return fail(error);

    QSet<QString> sheetParts;
    for (const SheetRef &ref : sheetRefs) {
        if (book->sheetCount() >= 10000)
            return fail(QStringLiteral("工作簿中的工作表过多。"));
        // Each sheet has its own part; a package naming one part for several sheets is not sound.
        if (sheetParts.contains(ref.part))
            return fail(QStringLiteral("工作簿已损坏：多个工作表指向同一部件 %1。").arg(ref.part));
        sheetParts.insert(ref.part);
        Sheet *sheet = addSheetForReading(book, ref.name);
        if (!sheet)
            return fail(QStringLiteral("工作表名称无效：%1").arg(ref.name));
        if (!readSheet(pkg, ref.part, book, sheet, strings, formats, &error))
            return fail(error);
    }
    return true;
}
