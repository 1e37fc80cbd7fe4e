#include "batch/amountcell.h"

#include "formula/formularewrite.h"

#include <cmath>

using namespace Qt::StringLiterals;

AmountReading amountFromNumber(double yuan)
{
    AmountReading reading;
    if (!std::isfinite(yuan) || yuan > kMaxInputYuan)
        reading.problem = AmountProblem::TooLarge;
    // A hugely negative number is refused before it is rounded: it has no fen value.
    else if (yuan < 0 && (yuan < -kMaxInputYuan || fenFromInput(yuan) != 0))
        reading.problem = AmountProblem::Negative;
    else
        reading.fen = yuan < 0 ? 0 : fenFromInput(yuan);
    return reading;
}

namespace {

// A character as the amount rule reads it: full-width digits, signs and the full-width point (what
// a Chinese input method types) as their ASCII forms; every other character as it is.
QChar asciiForm(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'０' && u <= u'９')
        return QChar(char16_t(u'0' + (u - u'０')));
    switch (u) {
    case u'＋':
        return u'+';
    case u'－':
        return u'-';
    case u'．':
        return u'.';
    default:
        return c;
    }
}

} // namespace

AmountReading amountFromCellText(const QString &text)
{
    QString plain;
    plain.reserve(text.size());
    for (QChar c : text) {
        // Blanks (the ideographic one too) and thousands separators, half- or full-width, go.
        if (c.isSpace() || c == u',' || c == u'，')
            continue;
        plain.append(asciiForm(c));
    }
    if (plain.isEmpty())
        return {};
    // A plain decimal: optional sign, digits, optional fraction. Exponents, hexadecimal, "inf"
    // and "nan" are not amounts a clerk types.
    qsizetype i = 0;
    if (plain[0] == u'-' || plain[0] == u'+')
        ++i;
    qsizetype digits = 0;
    bool point = false;
    for (; i < plain.size(); ++i) {
        const QChar c = plain[i];
        if (c >= u'0' && c <= u'9')
            ++digits;
        else if (c == u'.' && !point)
            point = true;
        else
            return {0, AmountProblem::NotANumber};
    }
    if (digits == 0)
        return {0, AmountProblem::NotANumber};
    bool ok = false;
    const double value = plain.toDouble(&ok);
    if (!ok)
        return {0, AmountProblem::TooLarge}; // only overflow is left once the shape is checked
    return amountFromNumber(value);
}

AmountReading readAmountCell(CellKind kind, const QString &text, bool hasNumber, double number)
{
    switch (kind) {
    case NumberCell:
        return hasNumber ? amountFromNumber(number) : amountFromCellText(text);
    case DateTimeCell:
    case DateCell:
    case TimeCell:
        if (text.trimmed().isEmpty())
            return {};
        return {0, AmountProblem::NotAnAmount};
    case TextCell:
    default:
        return amountFromCellText(text);
    }
}

AmountReading readAmountCell(const WorksheetRow &row, int column)
{
    if (column < 0 || column >= row.columnCount() || !row.hasCell(column))
        return {};
    const CellKind kind = row.cellKind(column);
    const QString text = row.cellText(column);
    if (kind == NumberCell)
        return readAmountCell(kind, text, true, row.cellNumber(column));
    return readAmountCell(kind, text, false, 0);
}

QString amountProblemText(AmountProblem problem, const QString &cellText)
{
    switch (problem) {
    case AmountProblem::None:
        return QString();
    case AmountProblem::NotANumber:
        return u"无法识别为金额：%1，已按 0 计算。"_s.arg(cellText);
    case AmountProblem::Negative:
        return u"金额不能为负数：%1，已按 0 计算。"_s.arg(cellText);
    case AmountProblem::TooLarge:
        return u"金额超出 999,999,999.99 元：%1，已按 0 计算。"_s.arg(cellText);
    case AmountProblem::NotAnAmount:
        return u"日期或时间不是金额：%1，已按 0 计算。"_s.arg(cellText);
    }
    return QString();
}
