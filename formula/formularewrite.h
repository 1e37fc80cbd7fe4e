// Formula rewriting: from an import formula and one worksheet row to a cell of the preview.
//
// A formula names worksheet columns by their letters ("A", "AB"), other target columns by name in
// square brackets ("[基本工资]") and four constants (True, False, Null, Pi). tokenizeFormula splits it
// once; per row, substitute puts the row's cells and the results computed earlier in the same row in
// their places, and a numeric text of more than one token goes through the evaluator.
//
// Owns nothing beyond its arguments. It needs no salary column catalogue: the caller hands the target
// column names in the order it computes them, and the worksheet row through WorksheetRow, so the
// import wizard can pass its table and tests plain data. QtCore only.
#pragma once

#include "excel/cellkind.h"
#include "formula/evaluator.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

struct FormulaToken
{
    enum Kind : int
    {
        Literal = 0,   // copied as it stands
        NameRef = 1,   // a target column's name, brackets removed
        ColumnRef = 2, // a run of capital letters naming a worksheet column
    };
    QString text;
    Kind kind = Literal;

    bool operator==(const FormulaToken &other) const = default;
};
using FormulaTokens = QList<FormulaToken>;

// One worksheet row as the rewriting reads it.
class WorksheetRow
{
public:
    virtual ~WorksheetRow() = default;
    // Columns of the worksheet; a reference at or beyond this count stays unresolved.
    virtual int columnCount() const = 0;
    // False where the table holds no cell at all (a reference to it stays unresolved).
    virtual bool hasCell(int column) const = 0;
    // The cell's text as the worksheet shows it ("1,234.50" under a thousands format).
    virtual QString cellText(int column) const = 0;
    virtual CellKind cellKind(int column) const = 0;
    // The cell's number; only asked of NumberCell cells.
    virtual double cellNumber(int column) const = 0;
};

// A row held as plain data, for tests, the command line and small callers.
class PlainWorksheetRow : public WorksheetRow
{
public:
    struct Cell
    {
        QString text;
        CellKind kind = TextCell;
        double number = 0;
        bool present = true;
    };

    PlainWorksheetRow() = default;
    explicit PlainWorksheetRow(QList<Cell> cells) : m_cells(std::move(cells)) {}

    void append(const Cell &cell) { m_cells.append(cell); }
    static Cell numberCell(double value, const QString &text);
    static Cell textCell(const QString &text, CellKind kind = TextCell);
    static Cell missingCell();

    int columnCount() const override { return int(m_cells.size()); }
    bool hasCell(int column) const override;
    QString cellText(int column) const override;
    CellKind cellKind(int column) const override;
    double cellNumber(int column) const override;

private:
    QList<Cell> m_cells;
};

// What a target column computed earlier in the same row produced, by target column name. Only
// formulas that went through the evaluator successfully leave an entry.
using RowResults = QHash<QString, QString>;

// "True", "False", "Null" and "Pi" in any letter case, not followed by a digit or "(", replaced by
// 1, 0, 0 and 3.1415925 everywhere in the formula (inside square brackets too).
QString replaceFormulaConstants(const QString &formula);

// Constants replaced, then split into name references, column references and literal text.
FormulaTokens tokenizeFormula(const QString &formula);

// Bijective base 26: "A" 0, "Z" 25, "AA" 26, "AZ" 51; -1 unless the text is capital letters only, or
// when the index would not fit an int.
int formulaColumnIndex(const QString &letters);

struct Substitution
{
    QString text;
    bool isNumber = true;
};

// The tokens with this row's values in place. When `forEvaluation` is set, a NumberCell enters as its
// number, so a display text such as "1,234.50" cannot cut the arithmetic short at the comma; otherwise
// (a formula that only copies) the cell's text is used as the worksheet shows it.
Substitution substituteFormula(const FormulaTokens &tokens, const WorksheetRow &row,
                               const RowResults &results, bool forEvaluation);

// A number as a literal the evaluator reads back to the same double ("1234.5", "1e21", "-2.5e-7").
QString numberLiteral(double value);

// Two decimals in fixed notation ("1234.50"). Rounded half up on the value's 15 significant
// digits, the way a spreadsheet shows it, so 10.15*0.7 gives 7.11 and not the binary 7.10.
QString formatFormulaResult(double value);

// The tooltip of a cell whose formula failed: the text, a line with the marker "Δ" under the error
// position (a byte position into the UTF-8 text), then the message.
QString formulaErrorNote(const QString &text, int errorPos, const QString &message);

struct FormulaCell
{
    QString text;
    CellKind kind = TextCell;
    QString errorNote; // empty unless the evaluator reported an error
};

// One target column's formula for one row. A numeric text of more than one token is evaluated on
// `evaluator`; on success its two-decimal text is recorded in `results` under `targetName`.
FormulaCell computeFormulaCell(Evaluator &evaluator, const FormulaTokens &tokens, const WorksheetRow &row,
                               const QString &targetName, RowResults &results);

// Every target column's formula, tokenized once and computed row by row in column order.
class FormulaSheet
{
public:
    // `targetNames` and `formulas` run in parallel (a missing formula counts as empty).
    FormulaSheet(const QStringList &targetNames, const QStringList &formulas);

    int columnCount() const { return int(m_names.size()); }
    const QStringList &targetNames() const { return m_names; }
    const FormulaTokens &tokens(int column) const { return m_tokens.at(column); }

    // One preview row. Variables of `evaluator` carry over between rows on purpose (n=n+1 counts
    // rows); call evaluator.reset() once before the first row.
    QList<FormulaCell> computeRow(Evaluator &evaluator, const WorksheetRow &row) const;

private:
    QStringList m_names;
    QList<FormulaTokens> m_tokens;
};
