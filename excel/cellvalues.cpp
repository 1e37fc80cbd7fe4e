// Texts of cells that hold no plain value: Excel's error values and formulas the file carries
// without their result.
#include "excel/columnletters.h"
#include "excel/formats.h"
#include "excel/workbook.h"

#include <algorithm>

namespace {

bool isLetter(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isNameChar(QChar c)
{
    return isLetter(c) || isDigit(c) || c == QLatin1Char('_') || c == QLatin1Char('.') ||
           c == QLatin1Char('$') || c.unicode() > 0x7F;
}

// One A1 reference ("C3", "$C$3", "c$3") moved by rows and columns; false when `token` is not one
// (a name, a function, a sheet), with `out` untouched.
bool shiftReference(QStringView token, int rows, int cols, QString *out)
{
    qsizetype i = 0;
    const bool colAbs = i < token.size() && token[i] == QLatin1Char('$');
    if (colAbs)
        ++i;
    const qsizetype lettersAt = i;
    while (i < token.size() && isLetter(token[i]))
        ++i;
    const qsizetype letters = i - lettersAt;
    if (letters < 1 || letters > 3)
        return false;
    const bool rowAbs = i < token.size() && token[i] == QLatin1Char('$');
    if (rowAbs)
        ++i;
    const qsizetype digitsAt = i;
    while (i < token.size() && isDigit(token[i]))
        ++i;
    if (i != token.size() || i == digitsAt || i - digitsAt > 7)
        return false;
    int col = columnIndex(token.mid(lettersAt, letters).toString().toUpper());
    qint64 row = token.mid(digitsAt).toLongLong() - 1;
    if (col < 0 || col >= kXlsxMaxCols || row < 0 || row >= kXlsxMaxRows)
        return false;
    if (!colAbs)
        col += cols;
    if (!rowAbs)
        row += rows;
    if (col < 0 || col >= kXlsxMaxCols || row < 0 || row >= kXlsxMaxRows) {
        *out += QStringLiteral("#REF!");
        return true;
    }
    if (colAbs)
        *out += QLatin1Char('$');
    *out += columnLetters(col);
    if (rowAbs)
        *out += QLatin1Char('$');
    *out += QString::number(row + 1);
    return true;
}

} // namespace

QString errorText(int code)
{
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    default:
        return QStringLiteral("#N/A");
    }
}

QString shiftFormula(const QString &formula, int rows, int cols)
{
    QString out;
    out.reserve(formula.size() + 8);
    qsizetype i = 0;
    while (i < formula.size()) {
        const QChar c = formula.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            // A text or a quoted sheet name, up to its closing quote (doubled quotes are one).
            qsizetype end = i + 1;
            while (end < formula.size()) {
                if (formula.at(end) == c) {
                    if (end + 1 < formula.size() && formula.at(end + 1) == c) {
                        end += 2;
                        continue;
                    }
                    break;
                }
                ++end;
            }
            end = std::min(end + 1, formula.size());
            out += QStringView(formula).mid(i, end - i);
            i = end;
        } else if (isDigit(c) ||
                   (c == QLatin1Char('.') && i + 1 < formula.size() && isDigit(formula.at(i + 1)))) {
            // A number, exponent included: never a reference.
            qsizetype end = i;
            while (end < formula.size() && (isDigit(formula.at(end)) || formula.at(end) == QLatin1Char('.')))
                ++end;
            if (end < formula.size() &&
                (formula.at(end) == QLatin1Char('E') || formula.at(end) == QLatin1Char('e'))) {
                qsizetype e = end + 1;
                if (e < formula.size() &&
                    (formula.at(e) == QLatin1Char('+') || formula.at(e) == QLatin1Char('-')))
                    ++e;
                if (e < formula.size() && isDigit(formula.at(e))) {
                    end = e;
                    while (end < formula.size() && isDigit(formula.at(end)))
                        ++end;
                }
            }
            out += QStringView(formula).mid(i, end - i);
            i = end;
        } else if (isNameChar(c)) {
            qsizetype end = i;
            while (end < formula.size() && isNameChar(formula.at(end)))
                ++end;
            const QStringView token = QStringView(formula).mid(i, end - i);
            // A function's name is followed by "(", a sheet's by "!".
            const bool named = end < formula.size() &&
                               (formula.at(end) == QLatin1Char('(') || formula.at(end) == QLatin1Char('!'));
            if (named || !shiftReference(token, rows, cols, &out))
                out += token;
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}
