// Reads .xlsx workbooks: a zip package of XML parts, found through their relationships.
#include "excel/biff.h"
#include "excel/formats.h"
#include "excel/workbook.h"

#include "excel/zipreader.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QSet>
#include <QXmlStreamReader>

#include <cmath>

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
    explicit Package(const QByteArray &bytes) : m_bytes(bytes) {}

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

    // Row heights read so far in the whole workbook.
    qint64 rowHeightEntries = 0;

    bool exists(const QString &name) const { return m_zip.exists(name); }

private:
    const QByteArray &m_bytes;
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

// The text of a string item (<si> or <is>) up to its end tag: runs joined, phonetic runs left out.
QString readStringItem(QXmlStreamReader &xml, QString *error, bool *ok)
{
    const QString endName = xml.name().toString();
    QString text;
    int phonetic = 0;
    while (!xml.atEnd()) {
        if (!nextToken(xml, error)) {
            *ok = false;
            return text;
        }
        if (xml.isStartElement()) {
            if (xml.name() == u"rPh")
                ++phonetic;
            else if (xml.name() == u"t" && phonetic == 0)
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (xml.isEndElement()) {
            if (xml.name() == u"rPh")
                --phonetic;
            else if (xml.name() == endName)
                break;
        }
    }
    // Characters XML cannot hold are written as _xHHHH_.
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

bool readSharedStrings(Package &pkg, const QString &part, std::vector<QString> *strings, QString *error)
{
    QByteArray bytes;
    if (!pkg.read(part, &bytes, error))
        return false;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (!nextToken(xml, error))
            return false;
        if (xml.isStartElement() && xml.name() == u"si") {
            if (strings->size() >= size_t(Workbook::kMaxCells)) {
                *error = QStringLiteral("工作簿的共享字符串过多（超过一千万个），无法读取。");
                return false;
            }
            bool ok = true;
            strings->push_back(readStringItem(xml, error, &ok));
            if (!ok)
                return false;
        }
    }
    return !xmlFailed(xml, part, error);
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
    return style.isEmpty() || style == u"none" ? BorderNone : style == u"thin" ? BorderThin : 2;
}

struct XfBorders
{
    int left = 0, right = 0, top = 0, bottom = 0;
};

struct XfFill
{
    int pattern = FillNone;
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
        Other
    } section = None;
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
        } else if (n == u"cellStyleXfs" || n == u"dxfs" || n == u"numFmts") {
            section = Other;
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
                fills.back().pattern = type.isEmpty() || type == u"none" ? FillNone
                                       : type == u"solid"                ? FillSolid
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
                    {QStringLiteral("general"), AlignHGeneral},
                    {QStringLiteral("left"), AlignLeft},
                    {QStringLiteral("center"), AlignHCenter},
                    {QStringLiteral("right"), AlignRight},
                    {QStringLiteral("fill"), AlignFill},
                    {QStringLiteral("justify"), AlignJustify},
                    {QStringLiteral("centerContinuous"), AlignMerge},
                    {QStringLiteral("distributed"), AlignHDistributed}};
                static const QHash<QString, int> vertical = {
                    {QStringLiteral("top"), AlignTop},
                    {QStringLiteral("center"), AlignVCenter},
                    {QStringLiteral("bottom"), AlignBottom},
                    {QStringLiteral("justify"), AlignVJustify},
                    {QStringLiteral("distributed"), AlignVDistributed}};
                format->setAlignH(horizontal.value(attr(xml, QLatin1String("horizontal")), AlignHGeneral));
                format->setAlignV(vertical.value(attr(xml, QLatin1String("vertical")), AlignBottom));
            }
        }
    }
    return !xmlFailed(xml, part, error);
}

// "AB12" to 0-based row 11, column 27; false for anything else or beyond the format's limits.
bool parseRef(QStringView ref, int *row, int *col)
{
    qsizetype i = 0;
    qint64 c = 0;
    while (i < ref.size() && ref[i].isLetter() && ref[i].unicode() < 128) {
        c = c * 26 + (ref[i].toUpper().unicode() - 'A' + 1);
        if (c > kXlsxMaxCols)
            return false;
        ++i;
    }
    if (i == 0 || i == ref.size())
        return false;
    qint64 r = 0;
    for (; i < ref.size(); ++i) {
        if (!ref[i].isDigit() || ref[i].unicode() >= 128)
            return false;
        r = r * 10 + (ref[i].unicode() - '0');
        if (r > kXlsxMaxRows)
            return false;
    }
    if (r < 1)
        return false;
    *row = int(r - 1);
    *col = int(c - 1);
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

bool readSheet(Package &pkg, const QString &part, Workbook *book, Sheet *sheet,
               const std::vector<QString> &strings, const std::vector<Format *> &formats, QString *error)
{
    QByteArray bytes;
    if (!pkg.read(part, &bytes, error))
        return false;
    QXmlStreamReader xml(bytes);
    int row = -1;
    int col = -1;
    qint64 colEntries = 0;
    while (!xml.atEnd()) {
        if (!nextToken(xml, error))
            return false;
        if (!xml.isStartElement())
            continue;
        const QStringView n = xml.name();
        if (n == u"c") {
            const QXmlStreamAttributes attrs = xml.attributes();
            const QStringView ref = attrs.value(QLatin1String("r"));
            int r = row < 0 ? 0 : row;
            int c = col + 1;
            if (!ref.isEmpty() && !parseRef(ref, &r, &c)) {
                xml.skipCurrentElement();
                continue;
            }
            if (row < 0)
                row = r;
            col = c;
            const Format *format = nullptr;
            const QStringView s = attrs.value(QLatin1String("s"));
            if (!s.isEmpty()) {
                bool ok = false;
                const int xf = s.toInt(&ok);
                if (ok && xf >= 0 && size_t(xf) < formats.size())
                    format = formats[size_t(xf)];
            }
            const QString type = attrs.value(QLatin1String("t")).toString();
            QString value;
            bool hasValue = false;
            bool ok = true;
            while (!xml.atEnd()) {
                if (!nextToken(xml, error))
                    return false;
                if (xml.isEndElement() && xml.name() == u"c")
                    break;
                if (!xml.isStartElement())
                    continue;
                if (xml.name() == u"v") {
                    value = xml.readElementText();
                    hasValue = true;
                } else if (xml.name() == u"is") {
                    value = readStringItem(xml, error, &ok);
                    if (!ok)
                        return false;
                    hasValue = true;
                } else {
                    xml.skipCurrentElement();
                }
            }
            if (r >= book->maxRows() || c >= book->maxCols())
                continue;
            if (!hasValue) {
                if (format)
                    sheet->writeBlank(r, c, format);
            } else if (type == u"s") {
                bool isIndex = false;
                const qint64 index = value.toLongLong(&isIndex);
                if (isIndex && index >= 0 && index < qint64(strings.size()))
                    sheet->writeStr(r, c, strings[size_t(index)], format);
                else if (format)
                    sheet->writeBlank(r, c, format);
            } else if (type == u"str" || type == u"inlineStr") {
                sheet->writeStr(r, c, value.left(kMaxCellTextLength), format);
            } else if (type == u"b") {
                sheet->writeBool(r, c, value.trimmed() == u"1" || value.trimmed() == u"true", format);
            } else if (type == u"e") {
                sheet->writeBlank(r, c, format);
            } else if (type == u"d") {
                double serial = 0;
                if (isoToSerial(value.trimmed(), book->isDate1904(), &serial))
                    sheet->writeNum(r, c, serial, format);
                else
                    sheet->writeBlank(r, c, format);
            } else {
                bool isNumber = false;
                const double v = value.trimmed().toDouble(&isNumber);
                if (isNumber && std::isfinite(v))
                    sheet->writeNum(r, c, v, format);
                else
                    sheet->writeBlank(r, c, format);
            }
            if (book->cellCount() > Workbook::kMaxCells) {
                *error = QStringLiteral("工作簿的单元格过多（超过一千万个），无法读取。");
                return false;
            }
        } else if (n == u"row") {
            const QStringView r = xml.attributes().value(QLatin1String("r"));
            bool ok = false;
            const qint64 index = r.toLongLong(&ok);
            row = ok && index >= 1 && index <= kXlsxMaxRows ? int(index - 1) : row + 1;
            col = -1;
            const QStringView ht = xml.attributes().value(QLatin1String("ht"));
            if (!ht.isEmpty() && pkg.rowHeightEntries < kMaxRowHeightEntries) {
                ++pkg.rowHeightEntries;
                sheet->setRow(row, ht.toDouble());
            }
        } else if (n == u"col") {
            const int first = xml.attributes().value(QLatin1String("min")).toInt();
            const int last = std::min(xml.attributes().value(QLatin1String("max")).toInt(), kXlsxMaxCols);
            const QStringView width = xml.attributes().value(QLatin1String("width"));
            if (!width.isEmpty() && first >= 1 && last >= first && colEntries < kMaxColWidthEntries) {
                colEntries += last - first + 1;
                sheet->setCol(first - 1, last - 1, widthFromStored(width.toDouble()));
            }
        } else if (n == u"sheetFormatPr") {
            const QStringView height = xml.attributes().value(QLatin1String("defaultRowHeight"));
            bool ok = false;
            const double h = height.toDouble(&ok);
            if (ok && h >= 0 && h <= 409)
                sheet->setDefaultRowHeight(h);
            const double w = xml.attributes().value(QLatin1String("defaultColWidth")).toDouble(&ok);
            if (ok && w >= 0 && w <= 255)
                sheet->setDefaultColWidth(widthFromStored(w));
        } else if (n == u"mergeCell") {
            const QString ref = attr(xml, QLatin1String("ref"));
            const qsizetype colon = ref.indexOf(QLatin1Char(':'));
            int r1, c1, r2, c2;
            if (colon > 0 && parseRef(QStringView(ref).left(colon), &r1, &c1) &&
                parseRef(QStringView(ref).mid(colon + 1), &r2, &c2) && r1 < book->maxRows() &&
                c1 < book->maxCols() && sheet->merges().size() < kMaxMergesRead) {
                // A merge overlapping an earlier one is dropped, as Excel would refuse it.
                sheet->setMerge(std::min(r1, r2), std::min(std::max(r1, r2), book->maxRows() - 1),
                                std::min(c1, c2), std::min(std::max(c1, c2), book->maxCols() - 1));
            }
        } else if (n == u"sheetData" || n == u"worksheet" || n == u"cols" || n == u"mergeCells" ||
                   n == u"sheetFormatPr") {
            continue;
        } else if (n != u"sheetData") {
            // Everything else (views, conditional formats, drawings) is not ours to read.
            xml.skipCurrentElement();
        }
    }
    return !xmlFailed(xml, part, error);
}

} // namespace

bool readXlsx(const QByteArray &bytes, Workbook *book)
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
    Package pkg(bytes);
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
