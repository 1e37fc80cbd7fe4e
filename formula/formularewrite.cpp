#include "formula/formularewrite.h"

#include "excel/columnletters.h"

#include <QRegularExpression>

#include <charconv>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

PlainWorksheetRow::Cell PlainWorksheetRow::numberCell(double value, const QString &text)
{
    return Cell{text, NumberCell, value, true};
}

PlainWorksheetRow::Cell PlainWorksheetRow::textCell(const QString &text, CellKind kind)
{
    return Cell{text, kind, 0, true};
}

PlainWorksheetRow::Cell PlainWorksheetRow::missingCell()
{
    return Cell{QString(), TextCell, 0, false};
}

bool PlainWorksheetRow::hasCell(int column) const
{
    return column >= 0 && column < m_cells.size() && m_cells.at(column).present;
}

QString PlainWorksheetRow::cellText(int column) const
{
    return hasCell(column) ? m_cells.at(column).text : QString();
}

CellKind PlainWorksheetRow::cellKind(int column) const
{
    return hasCell(column) ? m_cells.at(column).kind : TextCell;
}

double PlainWorksheetRow::cellNumber(int column) const
{
    return hasCell(column) ? m_cells.at(column).number : 0;
}

QString replaceFormulaConstants(const QString &formula)
{
    struct Constant
    {
        QRegularExpression pattern;
        QString value;
    };
    // In this order: a digit put in by one replacement keeps a name just before it from being
    // replaced ("TrueFalse" becomes "True0"), and saved formulas were computed that way.
    static const Constant constants[] = {
        {QRegularExpression(u"False(?!\\d)(?!\\()"_s, QRegularExpression::CaseInsensitiveOption), u"0"_s},
        {QRegularExpression(u"True(?!\\d)(?!\\()"_s, QRegularExpression::CaseInsensitiveOption), u"1"_s},
        {QRegularExpression(u"Null(?!\\d)(?!\\()"_s, QRegularExpression::CaseInsensitiveOption), u"0"_s},
        // 3.1415925, not …26: saved import settings were computed with this value.
        {QRegularExpression(u"Pi(?!\\d)(?!\\()"_s, QRegularExpression::CaseInsensitiveOption),
         u"3.1415925"_s},
    };
    QString text = formula;
    for (const Constant &c : constants)
        text.replace(c.pattern, c.value);
    return text;
}

static void splitColumnLetters(const QString &piece, FormulaTokens &out)
{
    static const QRegularExpression letters(u"([A-Z]+)(?!\\d)(?!\\()"_s);
    qsizetype last = 0;
    QRegularExpressionMatchIterator it = letters.globalMatch(piece);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedStart(1) > last)
            out.append({piece.mid(last, m.capturedStart(1) - last), FormulaToken::Literal});
        out.append({m.captured(1), FormulaToken::ColumnRef});
        last = m.capturedEnd(1);
    }
    if (last < piece.size())
        out.append({piece.mid(last), FormulaToken::Literal});
}

FormulaTokens tokenizeFormula(const QString &formula)
{
    static const QRegularExpression names(u"\\[(.*?)\\]"_s, QRegularExpression::CaseInsensitiveOption);
    const QString text = replaceFormulaConstants(formula);
    FormulaTokens tokens;
    qsizetype last = 0;
    QRegularExpressionMatchIterator it = names.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        splitColumnLetters(text.mid(last, m.capturedStart(0) - last), tokens);
        tokens.append({m.captured(1), FormulaToken::NameRef});
        last = m.capturedEnd(0);
    }
    splitColumnLetters(text.mid(last), tokens);
    return tokens;
}

int formulaColumnIndex(const QString &letters)
{
    return columnIndex(letters);
}

QString numberLiteral(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    // The evaluator takes "e" and an optional "-" before the exponent, no "+".
    text.replace(u"e+"_s, u"e"_s);
    return text;
}

QString formatFormulaResult(double value)
{
    if (!std::isfinite(value))
        return QString::number(value, 'f', 2);

    // d.dddddddddddddde±x: the 15 significant digits a spreadsheet works with.
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::scientific, 14);
    const QByteArray sci(buffer, int(result.ptr - buffer));
    const bool negative = sci.startsWith('-');
    const qsizetype ePos = sci.indexOf('e');
    QByteArray digits = sci.mid(negative ? 1 : 0, ePos - (negative ? 1 : 0));
    digits.replace(".", "");
    const int exponent = sci.mid(ePos + 1).toInt();

    // The value in hundredths is the first `keep` digits; the digit after them decides the rounding.
    const int keep = exponent + 3;
    QByteArray hundredths;
    bool roundUp = false;
    if (keep >= int(digits.size())) {
        hundredths = digits + QByteArray(keep - int(digits.size()), '0');
    } else {
        hundredths = keep > 0 ? digits.left(keep) : QByteArray("0");
        if (keep >= 0) {
            const char next = digits.at(keep);
            bool restNonZero = false;
            for (qsizetype i = keep + 1; i < digits.size(); ++i)
                restNonZero = restNonZero || digits.at(i) != '0';
            // Halves go toward +∞, as every amount of the program rounds.
            roundUp = next > '5' || (next == '5' && (!negative || restNonZero));
        }
    }
    if (roundUp) {
        qsizetype i = hundredths.size() - 1;
        while (i >= 0 && hundredths.at(i) == '9')
            hundredths[i--] = '0';
        if (i < 0)
            hundredths.prepend('1');
        else
            hundredths[i] = char(hundredths.at(i) + 1);
    }
    while (hundredths.size() > 1 && hundredths.startsWith('0'))
        hundredths.remove(0, 1);
    if (hundredths.size() < 3)
        hundredths = QByteArray(3 - hundredths.size(), '0') + hundredths;
    hundredths.insert(hundredths.size() - 2, '.');
    // A value that rounds to zero is written without a sign: "-0.00" would read as a separate value.
    const bool zero = hundredths == "0.00";
    return QString::fromLatin1((negative && !zero ? "-" : "") + hundredths);
}

QString formulaErrorNote(const QString &text, int errorPos, const QString &message)
{
    // errorPos counts UTF-8 bytes; the marker line counts characters, so that a Chinese name left in
    // the text does not push the marker off its place. Past the end (an unclosed bracket) it stays
    // past the end by the same distance.
    const QByteArray utf8 = text.toUtf8();
    const int pos = errorPos <= utf8.size() ? int(QString::fromUtf8(utf8.left(errorPos)).size())
                                            : int(text.size()) + (errorPos - int(utf8.size()));
    const int from = std::max(pos - 2, 0);
    const int to = std::min(pos + 2, int(text.size()));
    QString note = text;
    note += u'\n';
    note += QString(from + 1, u' ');
    note += QString(pos - from, u'-');
    note += u"Δ"_s;
    note += QString(std::max(to - pos, 0), u'-');
    note += u'\n';
    note += message;
    return note;
}

Substitution substituteFormula(const FormulaTokens &tokens, const WorksheetRow &row,
                               const RowResults &results, bool forEvaluation)
{
    Substitution s;
    for (const FormulaToken &token : tokens) {
        switch (token.kind) {
        case FormulaToken::Literal:
            s.text += token.text;
            break;
        case FormulaToken::NameRef: {
            const auto found = results.constFind(token.text);
            if (found == results.constEnd()) {
                s.text += token.text;
                s.isNumber = false;
                break;
            }
            s.text += *found;
            bool ok = false;
            found->toDouble(&ok);
            if (!ok)
                s.isNumber = false;
            break;
        }
        case FormulaToken::ColumnRef: {
            const int column = formulaColumnIndex(token.text);
            if (column < 0 || column >= row.columnCount() || !row.hasCell(column)) {
                s.text += token.text;
                s.isNumber = false;
                break;
            }
            if (row.cellKind(column) != NumberCell) {
                s.text += row.cellText(column);
                s.isNumber = false;
                break;
            }
            const double number = row.cellNumber(column);
            s.text += forEvaluation && std::isfinite(number) ? numberLiteral(number) : row.cellText(column);
            break;
        }
        }
    }
    return s;
}

FormulaCell computeFormulaCell(Evaluator &evaluator, const FormulaTokens &tokens, const WorksheetRow &row,
                               const QString &targetName, RowResults &results)
{
    const bool evaluates = tokens.size() > 1;
    const Substitution s = substituteFormula(tokens, row, results, evaluates);
    FormulaCell cell;
    cell.kind = s.isNumber ? NumberCell : TextCell;
    cell.text = s.text;
    if (!s.isNumber || !evaluates)
        return cell;

    const EvalOutcome outcome = evaluateText(evaluator, s.text.toUtf8());
    if (outcome.ok) {
        cell.text = formatFormulaResult(outcome.value);
        results.insert(targetName, cell.text);
    } else {
        cell.errorNote = formulaErrorNote(s.text, outcome.errorPos, outcome.message);
    }
    return cell;
}

FormulaSheet::FormulaSheet(const QStringList &targetNames, const QStringList &formulas) : m_names(targetNames)
{
    m_tokens.reserve(m_names.size());
    for (qsizetype i = 0; i < m_names.size(); ++i)
        m_tokens.append(i < formulas.size() ? tokenizeFormula(formulas.at(i)) : FormulaTokens());
}

QList<FormulaCell> FormulaSheet::computeRow(Evaluator &evaluator, const WorksheetRow &row) const
{
    RowResults results;
    QList<FormulaCell> cells;
    cells.reserve(m_names.size());
    for (qsizetype i = 0; i < m_names.size(); ++i)
        cells.append(computeFormulaCell(evaluator, m_tokens.at(i), row, m_names.at(i), results));
    return cells;
}
