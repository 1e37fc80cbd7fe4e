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

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
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
// One XML token (a tag with its attributes, a comment, a processing instruction, a CDATA section,
// an entity reference) of any part: a cell holds at most 32,767 characters, so no real workbook
// comes near this. Past it the part is refused as it arrives; the expat parser re-reads a token
// still open from its start on every new piece, so without a bound one token of n bytes would
// cost n² / piece size. Text and blanks between tokens stay allowed up to the part's size cap.
constexpr qint64 kMaxXmlToken = 4 * 1024 * 1024;
// Elements inside one another: a sheet needs about ten levels.
constexpr int kMaxXmlDepth = 256;

struct Rel
{
    QString type;
    QString target;
};

class Package
{
public:
    Package(const QByteArray &bytes, qsizetype chunkSize, const std::function<bool()> &cancelled)
        : m_bytes(bytes), m_chunkSize(chunkSize), m_cancelled(cancelled)
    {}

    bool open(QString *error)
    {
        if (!m_zip.open(m_bytes)) {
            *error = m_zip.error();
            return false;
        }
        return true;
    }

    // The part in pieces as it inflates; false, with `error` set, when it cannot be read, the
    // reading was cancelled, or the sink refuses a piece (the sink then says why).
    bool stream(const QString &name, const ZipReader::Sink &sink, QString *error)
    {
        QString path = name;
        while (path.startsWith(QLatin1Char('/')))
            path.remove(0, 1);
        bool overflow = false;
        bool cancelled = false;
        const bool ok =
            m_zip.readChunks(path, kMaxPartSize, m_chunkSize, [&](const char *data, qsizetype size) {
                if (m_cancelled && m_cancelled()) {
                    cancelled = true;
                    return false;
                }
                m_inflated += size;
                if (m_inflated > kMaxPackageSize) {
                    overflow = true;
                    return false;
                }
                return sink(data, size);
            });
        if (cancelled)
            *error = Workbook::cancelledMessage();
        else if (overflow)
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
    const std::function<bool()> &m_cancelled;
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

bool isBool(QStringView v)
{
    return v.isEmpty() || v == u"1" || v.compare(u"true", Qt::CaseInsensitive) == 0 ||
           v.compare(u"on", Qt::CaseInsensitive) == 0;
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

// An attribute's value as text (entities already resolved by the parser).
QString attrText(const char **atts, const char *name)
{
    const std::string_view v = attrOf(atts, name);
    return QString::fromUtf8(v.data(), qsizetype(v.size()));
}

// What a part's elements are handed to as the part inflates. A handler stops the reading by
// setting `error`.
class XmlHandler
{
public:
    virtual ~XmlHandler() = default;
    virtual void start(std::string_view name, const char **atts) = 0;
    virtual void end(std::string_view name) = 0;
    virtual void text(const char *, int) {}
    QString error;
};

struct ExpatContext
{
    XML_Parser parser;
    XmlHandler *handler;
    bool doctype = false;
    bool tooDeep = false;
    int depth = 0;
    // Where the last whole token the parser reported ends, in bytes from the part's start.
    qint64 tokenEnd = 0;
    // Where the CDATA section being read began, or -1: its text comes in pieces, but it is one
    // token all the same.
    qint64 cdataStart = -1;
    bool cdataTooLong = false;
};

// Every report of the parser passes here: the token it reports is whole, so what follows it is
// where the next one begins.
void tokenPassed(ExpatContext *ctx)
{
    const qint64 end =
        qint64(XML_GetCurrentByteIndex(ctx->parser)) + qint64(XML_GetCurrentByteCount(ctx->parser));
    ctx->tokenEnd = std::max(ctx->tokenEnd, end);
}

void stopOnError(ExpatContext *ctx)
{
    if (!ctx->handler->error.isEmpty())
        XML_StopParser(ctx->parser, XML_FALSE);
}

void XMLCALL onStart(void *user, const XML_Char *name, const XML_Char **atts)
{
    auto *ctx = static_cast<ExpatContext *>(user);
    tokenPassed(ctx);
    if (++ctx->depth > kMaxXmlDepth) {
        ctx->tooDeep = true;
        XML_StopParser(ctx->parser, XML_FALSE);
        return;
    }
    ctx->handler->start(localName(name), atts);
    stopOnError(ctx);
}

void XMLCALL onEnd(void *user, const XML_Char *name)
{
    auto *ctx = static_cast<ExpatContext *>(user);
    tokenPassed(ctx);
    --ctx->depth;
    ctx->handler->end(localName(name));
    stopOnError(ctx);
}

void XMLCALL onText(void *user, const XML_Char *s, int len)
{
    auto *ctx = static_cast<ExpatContext *>(user);
    tokenPassed(ctx);
    if (ctx->cdataStart >= 0 && ctx->tokenEnd - ctx->cdataStart > kMaxXmlToken) {
        ctx->cdataTooLong = true;
        XML_StopParser(ctx->parser, XML_FALSE);
        return;
    }
    ctx->handler->text(s, len);
    stopOnError(ctx);
}

// Everything else the parser reads (declarations, comments, processing instructions, blanks
// outside the root element) is only counted as passed.
void XMLCALL onOther(void *user, const XML_Char *, int)
{
    tokenPassed(static_cast<ExpatContext *>(user));
}

void XMLCALL onCdataStart(void *user)
{
    auto *ctx = static_cast<ExpatContext *>(user);
    tokenPassed(ctx);
    ctx->cdataStart = ctx->tokenEnd;
}

void XMLCALL onCdataEnd(void *user)
{
    auto *ctx = static_cast<ExpatContext *>(user);
    tokenPassed(ctx);
    ctx->cdataStart = -1;
}

// Workbooks never need a document type declaration, and its entities are how XML bombs get in.
void XMLCALL onDoctype(void *user, const XML_Char *, const XML_Char *, const XML_Char *, int)
{
    auto *ctx = static_cast<ExpatContext *>(user);
    ctx->doctype = true;
    XML_StopParser(ctx->parser, XML_FALSE);
}

// Parses a part while it inflates, never holding more of it than one inflated piece and one token.
// Every part of a workbook is read this way, so each has the same bounds.
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
    XML_SetCdataSectionHandler(parser.get(), onCdataStart, onCdataEnd);
    XML_SetDefaultHandlerExpand(parser.get(), onOther);
    XML_SetStartDoctypeDeclHandler(parser.get(), onDoctype);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
#if XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 6)
    // Newer parsers wait for more data before reading an open token again; the bound below
    // still applies.
    XML_SetReparseDeferralEnabled(parser.get(), XML_TRUE);
#endif
    const QString tokenTooLong =
        QStringLiteral("工作簿部件 %1 中有一段 XML 标记长达 %2 MB 以上（注释、处理指令、标记或 CDATA 段），"
                       "正常的工作簿不会这样，文件已损坏或被恶意构造。")
            .arg(part)
            .arg(kMaxXmlToken >> 20);
    auto failed = [&](bool final) {
        if (ctx.doctype) {
            *error = QStringLiteral("工作簿含有不允许的 XML 文档类型声明（DTD）。");
            return true;
        }
        if (ctx.cdataTooLong) {
            *error = tokenTooLong;
            return true;
        }
        if (ctx.tooDeep) {
            *error = QStringLiteral("工作簿部件 %1 的 XML 元素嵌套过深（超过 %2 层），无法读取。")
                         .arg(part)
                         .arg(kMaxXmlDepth);
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
    qint64 parsed = 0; // bytes given to the parser
    // The parser reads a token still open from its start again on every call. While a long one is
    // open, pieces are gathered here until they are as long as what it would read again, so the
    // reading again costs no more than the token itself.
    std::string held;
    auto parse = [&](const char *data, qsizetype size, bool final) {
        if (XML_Parse(parser.get(), data, int(size), final ? XML_TRUE : XML_FALSE) != XML_STATUS_OK) {
            parseFailed = failed(final);
            return false;
        }
        parsed += size;
        return true;
    };
    const bool read = pkg.stream(
        part,
        [&](const char *data, qsizetype size) {
            const qint64 open = parsed - ctx.tokenEnd;
            if (held.empty() && open <= size) {
                if (!parse(data, size, false))
                    return false;
            } else {
                held.append(data, size_t(size));
                if (qint64(held.size()) >= open) {
                    if (!parse(held.data(), qsizetype(held.size()), false))
                        return false;
                    held.clear();
                }
            }
            // Whatever the parser holds back past its last report, and what waits here, is one
            // token still open.
            if (parsed + qint64(held.size()) - ctx.tokenEnd > kMaxXmlToken) {
                *error = tokenTooLong;
                parseFailed = true;
                return false;
            }
            return true;
        },
        error);
    if (parseFailed || !read)
        return false;
    return parse(held.data(), qsizetype(held.size()), true);
}

class RelsHandler : public XmlHandler
{
public:
    explicit RelsHandler(QHash<QString, Rel> *rels) : m_rels(rels) {}
    void start(std::string_view name, const char **atts) override
    {
        if (name != "Relationship")
            return;
        if (attrText(atts, "TargetMode").compare(QLatin1String("External"), Qt::CaseInsensitive) == 0)
            return;
        m_rels->insert(attrText(atts, "Id"), Rel{attrText(atts, "Type"), attrText(atts, "Target")});
    }
    void end(std::string_view) override {}

private:
    QHash<QString, Rel> *m_rels;
};

bool readRels(Package &pkg, const QString &relsPath, QHash<QString, Rel> *rels, QString *error)
{
    RelsHandler handler(rels);
    return parsePart(pkg, relsPath, handler, error);
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

class StylesHandler : public XmlHandler
{
public:
    StylesHandler(Workbook *book, std::vector<Format *> *cellFormats)
        : m_book(book), m_cellFormats(cellFormats)
    {}

    void end(std::string_view n) override
    {
        if (n == "fonts" || n == "fills" || n == "borders" || n == "cellXfs" || n == "cellStyleXfs" ||
            n == "dxfs" || n == "numFmts")
            m_section = None;
        else if (n == "font")
            m_font = nullptr;
        else if (n == "xf")
            m_format = nullptr;
    }

    void start(std::string_view n, const char **atts) override
    {
        if (n == "numFmt") {
            bool ok = false;
            const int id = view(attrOf(atts, "numFmtId")).toInt(&ok);
            if (ok && id >= 0 && id < 65536)
                m_book->setNumFormatCode(id, attrText(atts, "formatCode"));
        } else if (n == "fonts") {
            m_section = Fonts;
        } else if (n == "fills") {
            m_section = Fills;
        } else if (n == "borders") {
            m_section = Borders;
        } else if (n == "cellXfs") {
            m_section = CellXfs;
        } else if (n == "cellStyleXfs") {
            m_section = StyleXfs;
        } else if (n == "dxfs" || n == "numFmts") {
            m_section = Other;
        } else if (m_section == StyleXfs) {
            // The first cell style is the workbook's normal style: cells without a style of their
            // own show its font.
            if (n == "xf" && m_normalFont < 0) {
                bool ok = false;
                const int fontId = view(attrOf(atts, "fontId")).toInt(&ok);
                m_normalFont = ok && fontId >= 0 ? fontId : 0;
            }
        } else if (m_section == Fonts) {
            startFont(n, atts);
        } else if (m_section == Fills) {
            if (n == "fill") {
                m_fills.push_back(XfFill());
            } else if (!m_fills.empty() && n == "patternFill") {
                const std::string_view type = attrOf(atts, "patternType");
                m_fills.back().pattern = type.empty() || type == "none" ? CellFill::NoFill
                                         : type == "solid"              ? CellFill::Solid
                                                                        : 2;
            } else if (!m_fills.empty() && n == "fgColor") {
                bool ok = false;
                const int indexed = view(attrOf(atts, "indexed")).toInt(&ok);
                m_fills.back().color = ok ? indexed : paletteIndexOf(attrText(atts, "rgb"));
            }
        } else if (m_section == Borders) {
            if (n == "border") {
                m_borders.push_back(XfBorders());
            } else if (!m_borders.empty()) {
                const int style = borderStyleOf(attrText(atts, "style"));
                if (n == "left" || n == "start")
                    m_borders.back().left = style;
                else if (n == "right" || n == "end")
                    m_borders.back().right = style;
                else if (n == "top")
                    m_borders.back().top = style;
                else if (n == "bottom")
                    m_borders.back().bottom = style;
            }
        } else if (m_section == CellXfs) {
            startCellXf(n, atts);
        }
    }

    // The workbook's default font: the normal style's.
    void finish()
    {
        if (!m_fonts.empty())
            *m_book->defaultFont() =
                *m_fonts[m_normalFont >= 0 && size_t(m_normalFont) < m_fonts.size() ? size_t(m_normalFont)
                                                                                    : 0];
    }

private:
    void startFont(std::string_view n, const char **atts)
    {
        if (n == "font") {
            if (m_fonts.size() >= kMaxStyleItems) {
                error = QStringLiteral("工作簿的字体过多，无法读取。");
                return;
            }
            m_font = m_book->addFont();
            m_fonts.push_back(m_font);
            return;
        }
        if (!m_font)
            return;
        const QString val = attrText(atts, "val");
        if (n == "b")
            m_font->setBold(isBool(val));
        else if (n == "i")
            m_font->setItalic(isBool(val));
        else if (n == "strike")
            m_font->setStrikeOut(isBool(val));
        else if (n == "u")
            m_font->setUnderline(val.isEmpty() || val == u"single" ? 1
                                 : val == u"double"                ? 2
                                 : val == u"singleAccounting"      ? 0x21
                                 : val == u"doubleAccounting"      ? 0x22
                                                                   : 0);
        else if (n == "sz")
            m_font->setSize(std::clamp(val.toDouble(), 1.0, 409.0));
        else if (n == "name" || n == "rFont")
            m_font->setName(val);
    }

    void startCellXf(std::string_view n, const char **atts)
    {
        if (n == "xf") {
            if (m_cellFormats->size() >= kMaxStyleItems) {
                error = QStringLiteral("工作簿的单元格格式过多，无法读取。");
                return;
            }
            m_format = m_book->addFormat();
            m_cellFormats->push_back(m_format);
            bool ok = false;
            const int numFmt = view(attrOf(atts, "numFmtId")).toInt(&ok);
            m_format->setNumFormat(ok && numFmt >= 0 && numFmt < 65536 ? numFmt : 0);
            const int fontId = view(attrOf(atts, "fontId")).toInt(&ok);
            if (ok && fontId >= 0 && size_t(fontId) < m_fonts.size())
                m_format->setFont(m_fonts[size_t(fontId)]);
            const int borderId = view(attrOf(atts, "borderId")).toInt(&ok);
            if (ok && borderId >= 0 && size_t(borderId) < m_borders.size()) {
                const XfBorders &b = m_borders[size_t(borderId)];
                m_format->setBorderLeft(b.left);
                m_format->setBorderRight(b.right);
                m_format->setBorderTop(b.top);
                m_format->setBorderBottom(b.bottom);
            }
            const int fillId = view(attrOf(atts, "fillId")).toInt(&ok);
            if (ok && fillId >= 0 && size_t(fillId) < m_fills.size()) {
                m_format->setFillPattern(m_fills[size_t(fillId)].pattern);
                m_format->setPatternForegroundColor(m_fills[size_t(fillId)].color);
            }
        } else if (n == "alignment" && m_format) {
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
            m_format->setAlignH(horizontal.value(attrText(atts, "horizontal"), CellAlignH::General));
            m_format->setAlignV(vertical.value(attrText(atts, "vertical"), CellAlignV::Bottom));
        }
    }

    enum Section
    {
        None,
        Fonts,
        Fills,
        Borders,
        CellXfs,
        StyleXfs,
        Other
    };
    Workbook *m_book;
    std::vector<Format *> *m_cellFormats;
    std::vector<Font *> m_fonts;
    std::vector<XfBorders> m_borders;
    std::vector<XfFill> m_fills;
    Section m_section = None;
    int m_normalFont = -1;
    Font *m_font = nullptr;
    Format *m_format = nullptr;
};

bool readStyles(Package &pkg, const QString &part, Workbook *book, std::vector<Format *> *cellFormats,
                QString *error)
{
    StylesHandler handler(book, cellFormats);
    if (!parsePart(pkg, part, handler, error))
        return false;
    handler.finish();
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

struct SheetRef
{
    QString name;
    QString part;
};

// The workbook part: its date system and its sheets, in order.
class WorkbookHandler : public XmlHandler
{
public:
    WorkbookHandler(Workbook *book, const QHash<QString, Rel> &rels, const QString &baseDir)
        : m_book(book), m_rels(rels), m_baseDir(baseDir)
    {}
    void start(std::string_view n, const char **atts) override
    {
        // Prefixes bound to the relationships namespace, wherever they are declared.
        for (const char **a = atts; a[0]; a += 2) {
            if (std::strncmp(a[0], "xmlns:", 6) == 0 && std::strstr(a[1], "relationships"))
                m_relPrefixes.insert(QString::fromUtf8(a[0] + 6));
        }
        if (n == "workbookPr") {
            const std::string_view date1904 = attrOf(atts, "date1904");
            m_book->setDate1904(!date1904.empty() && isBool(QString::fromUtf8(view(date1904))));
        } else if (n == "sheet") {
            const Rel rel = m_rels.value(relId(atts));
            // Chart sheets and dialog sheets hold no cells.
            if (rel.type.endsWith(QLatin1String("/worksheet")))
                m_sheets.push_back({attrText(atts, "name"), resolve(m_baseDir, rel.target)});
        }
    }
    void end(std::string_view) override {}
    const std::vector<SheetRef> &sheets() const { return m_sheets; }

private:
    // An attribute named "id" in the relationships namespace, whatever its prefix.
    QString relId(const char **atts) const
    {
        for (; atts[0]; atts += 2) {
            const char *colon = std::strchr(atts[0], ':');
            if (colon && std::strcmp(colon + 1, "id") == 0) {
                const QString prefix = QString::fromUtf8(atts[0], qsizetype(colon - atts[0]));
                if (prefix == u"r" || m_relPrefixes.contains(prefix))
                    return QString::fromUtf8(atts[1]);
            }
        }
        return QString();
    }

    Workbook *m_book;
    const QHash<QString, Rel> &m_rels;
    QString m_baseDir;
    QSet<QString> m_relPrefixes;
    std::vector<SheetRef> m_sheets;
};

} // namespace

bool readXlsx(const QByteArray &bytes, Workbook *book, qsizetype chunkSize,
              const std::function<bool()> &cancelled)
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
    Package pkg(bytes, chunkSize, cancelled);
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

    WorkbookHandler workbook(book, rels, baseDir);
    if (!parsePart(pkg, workbookPart, workbook, &error))
        return fail(error);
    const std::vector<SheetRef> &sheetRefs = workbook.sheets();

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
