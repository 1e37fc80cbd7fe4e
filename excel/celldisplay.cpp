#include "excel/celldisplay.h"

#include "engine/amount.h"
#include "excel/workbook.h"

#include <QHash>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

QString pad2(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

QString ampm(const DateParts &p)
{
    return p.hour < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
}

int hour12(const DateParts &p)
{
    const int h = p.hour % 12;
    return h == 0 ? 12 : h;
}

// Milliseconds as the "z" of a time pattern: without trailing zeros, "0" for none.
QString msecText(int ms)
{
    QString z = QStringLiteral("%1").arg(ms, 3, 10, QLatin1Char('0'));
    while (z.size() > 1 && z.endsWith(QLatin1Char('0')))
        z.chop(1);
    return z;
}

QString dateText(const DateParts &p, int id)
{
    const QString ymd =
        QStringLiteral("%1-%2-%3").arg(p.year, 4, 10, QLatin1Char('0')).arg(pad2(p.month), pad2(p.day));
    switch (id) {
    case 14:
    case 15:
        return ymd;
    case 16:
        return QStringLiteral("%1/%2").arg(p.month).arg(p.day);
    case 17:
        return QStringLiteral("%1-%2").arg(p.year, 4, 10, QLatin1Char('0')).arg(p.month);
    case 22:
        return QStringLiteral("%1 %2:%3").arg(ymd).arg(p.hour).arg(pad2(p.minute));
    case 18:
        return QStringLiteral("%1:%2 %3").arg(hour12(p)).arg(pad2(p.minute), ampm(p));
    case 19:
        return QStringLiteral("%1:%2:%3 %4").arg(hour12(p)).arg(pad2(p.minute), pad2(p.second), ampm(p));
    case 20:
        return QStringLiteral("%1:%2").arg(p.hour).arg(pad2(p.minute));
    case 21:
        return QStringLiteral("%1:%2:%3").arg(p.hour).arg(pad2(p.minute), pad2(p.second));
    case 45:
        return QStringLiteral("%1:%2").arg(pad2(p.minute), pad2(p.second));
    case 47:
        return QStringLiteral("%1:%2:%3.%4")
            .arg(pad2(p.hour), pad2(p.minute), pad2(p.second), msecText(p.msec));
    }
    return QString();
}

CellKind dateKind(int id)
{
    switch (id) {
    case 14:
    case 15:
    case 16:
    case 17:
        return DateCell;
    case 22:
        return DateTimeCell;
    case 18:
    case 19:
    case 20:
    case 21:
    case 45:
    case 46:
    case 47:
        return TimeCell;
    }
    return NumberCell;
}

// Elapsed time ([h]:mm:ss, format 46): the hours counted from serial 0, not the hour of the day,
// so 1.25 days show as 30:00:00. At least two digits of hours, as the built-in format shows them.
bool elapsedText(double value, QString *text)
{
    // Beyond the last day Excel can show, it shows ##### here too.
    if (!(value >= 0) || value >= 2958466.0)
        return false;
    const qint64 seconds = std::llround(value * 86400.0);
    *text = QStringLiteral("%1:%2:%3")
                .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                .arg(pad2(int(seconds / 60 % 60)), pad2(int(seconds % 60)));
    return true;
}

// The 15 significant digits the spreadsheet keeps of |value|, rounded to nearest, into digits[0..14],
// and the decimal exponent of the first one.
int significantDigits(double magnitude, char digits[15])
{
    // The shortest text that reads back as the same double: when it has at most 15 digits it is
    // also the nearest 15-digit decimal (15-digit steps are several units in the last place wide,
    // so no other one comes as close), and no ties can arise. Only longer ones need the slower
    // correctly rounded 15-digit conversion.
    char shortest[40];
    const auto [end, ec] =
        std::to_chars(shortest, shortest + sizeof shortest, magnitude, std::chars_format::scientific);
    const char *e = ec == std::errc() ? std::find(shortest, end, 'e') : end;
    int count = 0;
    if (e != end) {
        for (const char *p = shortest; p < e && count <= 15; ++p) {
            if (*p != '.')
                digits[std::min(count, 14)] = *p, ++count;
        }
    }
    if (e == end || count > 15) {
        const QByteArray sci = QString::number(magnitude, 'e', 14).toLatin1(); // d.dddddddddddddde±XX
        const qsizetype ePos = sci.indexOf('e');
        count = 0;
        for (qsizetype i = 0; i < ePos && count < 15; ++i) {
            if (sci.at(i) != '.')
                digits[count++] = sci.at(i);
        }
        std::fill(digits + count, digits + 15, '0');
        return sci.mid(ePos + 1).toInt();
    }
    std::fill(digits + count, digits + 15, '0');
    int exponent = 0;
    std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), end, exponent);
    return exponent;
}

// The spreadsheet's decimal rounding, deliberately not roundHalfUp: the value rounded half away
// from zero to `decimals` places, after first rounding it to the 15 significant digits Excel keeps.
// The text must read as the spreadsheet shows the same cell: 2.675 shows as 2.68, not 2.67 as its
// binary value would, and −2.675 as −2.68 (halves of negatives go away from zero, where roundHalfUp
// would give −2.67). Worked on a byte buffer: every number cell of a sheet being read comes here.
QString fixedText(double value, int decimals)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    char digits[15];
    const int exponent = significantDigits(std::fabs(value), digits);
    const int keep = exponent + 1 + decimals; // digits before the rounding position
    // At most 309 integer digits, the decimals, a carry, the padding, the point.
    char kept[400];
    int size = 0;
    bool roundUp = false;
    if (keep >= 15) {
        std::copy(digits, digits + 15, kept);
        std::fill(kept + 15, kept + keep, '0');
        size = keep;
    } else if (keep >= 0) {
        std::copy(digits, digits + keep, kept);
        size = keep;
        roundUp = digits[keep] >= '5';
    }
    if (roundUp) {
        int i = size - 1;
        while (i >= 0 && kept[i] == '9')
            kept[i--] = '0';
        if (i < 0) {
            std::memmove(kept + 1, kept, size_t(size));
            kept[0] = '1';
            ++size;
        } else {
            ++kept[i];
        }
    }
    if (size < decimals + 1) {
        const int pad = decimals + 1 - size;
        std::memmove(kept + pad, kept, size_t(size));
        std::fill(kept, kept + pad, '0');
        size = decimals + 1;
    }
    // Leading zeros of the integer part go, all but the last.
    int lead = 0;
    while (lead < size - decimals - 1 && kept[lead] == '0')
        ++lead;
    const bool zero = std::all_of(kept + lead, kept + size, [](char c) { return c == '0'; });
    char out[404];
    int length = 0;
    if (value < 0 && !zero)
        out[length++] = '-';
    const int integerEnd = size - decimals;
    for (int i = lead; i < integerEnd; ++i)
        out[length++] = kept[i];
    if (decimals > 0) {
        out[length++] = '.';
        for (int i = integerEnd; i < size; ++i)
            out[length++] = kept[i];
    }
    return QString::fromLatin1(out, length);
}

QString generalText(double value)
{
    QString s = fixedText(value, 6);
    while (s.endsWith(QLatin1Char('0')))
        s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}

// What a format code's first section shows: a date, a time or both, read from its letters
// outside quotes, escapes and brackets. Returns the resembling built-in id, or -1 for none.
int classifyCode(const QString &code)
{
    bool year = false, day = false, month = false, hour = false, second = false, minute = false;
    bool ampmSeen = false, elapsedHour = false, fraction = false, digitPlaceholder = false;
    bool lastWasHour = false; // an "m" right after hours (or before seconds) is minutes
    qsizetype pendingM = -1;  // an "m" run whose meaning waits for what follows
    auto settleM = [&](bool asMinute) {
        if (pendingM >= 0) {
            (asMinute ? minute : month) = true;
            pendingM = -1;
        }
    };
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        const char16_t u = c.toLower().unicode();
        if (c == QLatin1Char(';'))
            break;
        if (c == QLatin1Char('"')) {
            const qsizetype end = code.indexOf(QLatin1Char('"'), i + 1);
            if (end < 0)
                break;
            i = end;
            continue;
        }
        if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
            ++i;
            continue;
        }
        if (c == QLatin1Char('[')) {
            const qsizetype end = code.indexOf(QLatin1Char(']'), i + 1);
            if (end < 0)
                break;
            const QString inner = code.mid(i + 1, end - i - 1).toLower();
            if (!inner.isEmpty() && inner.count(inner.at(0)) == inner.size()) {
                // An elapsed hour, like a plain one, makes the "mm" after it minutes.
                if (inner.at(0) == QLatin1Char('h')) {
                    elapsedHour = hour = true;
                    lastWasHour = true;
                } else if (inner.at(0) == QLatin1Char('m')) {
                    minute = true;
                    lastWasHour = false;
                } else if (inner.at(0) == QLatin1Char('s')) {
                    second = true;
                    lastWasHour = false;
                }
            }
            i = end;
            continue;
        }
        if (code.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            ampmSeen = true;
            i += 4;
            continue;
        }
        if (code.mid(i, 5) == QStringLiteral("上午/下午")) {
            ampmSeen = true;
            i += 4;
            continue;
        }
        if (code.mid(i, 3).compare(QLatin1String("A/P"), Qt::CaseInsensitive) == 0) {
            ampmSeen = true;
            i += 2;
            continue;
        }
        switch (u) {
        case 'y':
            settleM(false);
            year = true;
            lastWasHour = false;
            break;
        case 'd':
            settleM(false);
            day = true;
            lastWasHour = false;
            break;
        case 'h':
            settleM(false);
            hour = true;
            lastWasHour = true;
            break;
        case 's':
            settleM(true);
            second = true;
            lastWasHour = false;
            break;
        case 'm':
            while (i + 1 < code.size() && code.at(i + 1).toLower() == QLatin1Char('m'))
                ++i;
            if (lastWasHour) {
                minute = true;
                lastWasHour = false;
            } else {
                settleM(false);
                pendingM = i;
            }
            break;
        case '0':
            if (i > 0 && code.at(i - 1) == QLatin1Char('.') && second)
                fraction = true;
            else
                digitPlaceholder = true;
            break;
        case '#':
        case '?':
            digitPlaceholder = true;
            break;
        default:
            break;
        }
    }
    settleM(false);
    const bool date = year || day || month;
    const bool time = hour || minute || second;
    if (!date && !time)
        return -1;
    if (digitPlaceholder && !time && !year && !day)
        return -1; // "0 m" and the like are not dates
    if (date && time)
        return 22;
    if (date) {
        if (year && month && day)
            return 14;
        if (month && day)
            return 16;
        if (year || month)
            return 17;
        return 14;
    }
    if (elapsedHour)
        return 46;
    if (ampmSeen)
        return second ? 19 : 18;
    if (hour)
        return fraction ? 47 : second ? 21 : 20;
    return fraction ? 47 : 45;
}

// The Chinese built-in date and time formats, which have no international number of their own.
int chineseBuiltin(int id)
{
    switch (id) {
    case 27: // yyyy"年"m"月"
    case 36:
    case 50:
    case 52:
    case 57:
        return 17;
    case 28: // m"月"d"日"
    case 29:
    case 51:
    case 53:
    case 54:
    case 58:
        return 16;
    case 30: // m-d-yy
    case 31: // yyyy"年"m"月"d"日"
        return 14;
    case 32: // h"时"mm"分"
        return 20;
    case 33: // h"时"mm"分"ss"秒"
        return 21;
    case 34: // 上午/下午h"时"mm"分"
    case 55:
        return 18;
    case 35: // 上午/下午h"时"mm"分"ss"秒"
    case 56:
        return 19;
    }
    return -1;
}

} // namespace

QString roundedText(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    // From 2^53 on every double is a whole number; below 2^63 it also fits the rounding's result.
    constexpr double kWhole = 9007199254740992.0; // 2^53
    if (std::fabs(value) >= kWhole)
        return QString::number(value, 'f', 0);
    return QString::number(roundHalfUp(value));
}

int effectiveNumFormat(int numFormat, const QString &code)
{
    // A code the workbook gives an id decides, whatever the id: other programs number their own
    // formats from 50 or 100, inside the range Excel keeps for its built-ins.
    if (numFormat >= 164 || !code.isEmpty()) {
        // Some writers give the plain built-in formats numbers of their own.
        static const QHash<QString, int> plain = {
            {QStringLiteral("general"), 0}, {QStringLiteral("0"), 1},        {QStringLiteral("0.00"), 2},
            {QStringLiteral("#,##0"), 3},   {QStringLiteral("#,##0.00"), 4}, {QStringLiteral("0%"), 9},
            {QStringLiteral("0.00%"), 10}};
        const auto it = plain.constFind(code.trimmed().toLower());
        if (it != plain.constEnd())
            return it.value();
        const int resembles = classifyCode(code);
        if (resembles >= 0)
            return resembles;
        // Excel itself writes its currency codes for ids 5–8 (and the others of 1–10 keep their
        // display when a file spells them in its own way).
        if (numFormat >= 1 && numFormat <= 10)
            return numFormat;
        // Any other number: two decimals, as the custom formats show. An id below 164 that the
        // display table gives a date or time meaning must not keep it.
        return numFormat >= 164 ? numFormat : kOtherNumberFormat;
    }
    const int chinese = chineseBuiltin(numFormat);
    return chinese >= 0 ? chinese : numFormat;
}

QString numberText(double value, int numFormat, const QString &code, bool date1904, CellKind *kind)
{
    const int id = effectiveNumFormat(numFormat, code);
    CellKind k = NumberCell;
    QString text;
    switch (id) {
    case 0:
        text = generalText(value);
        break;
    case 1:
        text = roundedText(value);
        break;
    case 2:
        text = fixedText(value, 2);
        break;
    // Formats 5–8 show negatives in red or in parentheses; the number itself keeps its sign.
    case 3:
    case 5:
    case 6:
        text = groupDigits(roundedText(value));
        break;
    case 4:
    case 7:
    case 8:
    case 9:
        text = groupDigits(fixedText(value, 2));
        break;
    case 10:
        text = groupDigits(fixedText(value, 4));
        break;
    default:
        k = dateKind(id);
        if (k == NumberCell) {
            text = fixedText(value, 2);
        } else if (id == 46) {
            if (!elapsedText(value, &text))
                text = roundedText(value);
        } else {
            DateParts parts;
            text = Workbook::dateUnpack(value, date1904, &parts) ? dateText(parts, id) : roundedText(value);
        }
        break;
    }
    if (kind)
        *kind = k;
    return text;
}

CellDisplay displayCell(const Workbook &book, const Sheet &sheet, int row, int col)
{
    CellDisplay d;
    const Format *format = sheet.cellFormat(row, col);
    const CellType type = sheet.cellType(row, col);
    int h = Qt::AlignLeft;
    int v = Qt::AlignTop;
    if (format) {
        switch (format->alignH()) {
        case CellAlignH::Left:
            h = Qt::AlignLeft;
            break;
        case CellAlignH::Center:
            h = Qt::AlignHCenter;
            break;
        case CellAlignH::Justify:
            h = Qt::AlignJustify;
            break;
        case CellAlignH::Right:
            h = Qt::AlignRight;
            break;
        default:
            h = type == CellType::Number ? Qt::AlignRight : Qt::AlignLeft;
            break;
        }
        switch (format->alignV()) {
        case CellAlignV::Top:
            v = Qt::AlignTop;
            break;
        case CellAlignV::Bottom:
            v = Qt::AlignBottom;
            break;
        case CellAlignV::Center:
            v = Qt::AlignVCenter;
            break;
        default:
            v = type == CellType::Number ? Qt::AlignVCenter : Qt::AlignTop;
            break;
        }
        const Font *f = format->font();
        d.hasFont = true;
        d.font =
            CellFontSpec{f->name(), f->size(), f->bold(), f->italic(), f->underline() != 0, f->strikeOut()};
    }
    d.alignment = h | v;
    switch (type) {
    case CellType::Number: {
        const int id = format ? format->numFormat() : 0;
        d.text = numberText(sheet.readNum(row, col), id, book.numFormatCode(id), book.isDate1904(), &d.kind);
        break;
    }
    case CellType::String:
        d.text = sheet.readStr(row, col);
        d.kind = TextCell;
        break;
    case CellType::Boolean:
        d.text = sheet.readBool(row, col) ? QStringLiteral("True") : QStringLiteral("False");
        d.kind = TextCell;
        break;
    default:
        d.kind = TextCell;
        break;
    }
    return d;
}
