// Reading an amount from a cell of a salary sheet, the one rule every batch page and lumo-cli
// batch use.
//
// A number cell gives its number; a text cell is read as a decimal after removing blanks and
// thousands separators ("12,000.00" → 12000), full-width characters as their ASCII forms; an empty or missing
// cell is 0. Anything else (text that is not a number, a negative amount, more than 999,999,999.99 yuan, NaN
// or infinity, a date) also counts as 0, but the reading says why, so the page can count and mark such cells
// instead of taxing them as 0 without a word. The result never overflows the fen type. QtCore only.
#pragma once

#include "engine/amount.h"
#include "excel/cellkind.h"

#include <QString>

class WorksheetRow;

enum class AmountProblem
{
    None,
    NotANumber, // text that does not read as a number (also error cells and unstored formulas)
    Negative,
    TooLarge,   // more than 999,999,999.99 yuan, or not finite
    NotAnAmount // a date or time cell
};

struct AmountReading
{
    Amount fen = 0;
    AmountProblem problem = AmountProblem::None;
    bool ok() const { return problem == AmountProblem::None; }
};

// A number as a cell holds it (yuan).
AmountReading amountFromNumber(double yuan);
// A cell's text: full-width digits, signs and points read as ASCII ("１，２３４．５０" is 1234.50),
// blanks and "," removed, then a plain decimal ("1e3" is not an amount).
AmountReading amountFromCellText(const QString &text);
// A cell of a given kind: NumberCell uses `number` when hasNumber (the table kept the cell's value)
// and its text otherwise; TextCell its text; date and time cells are not amounts.
AmountReading readAmountCell(CellKind kind, const QString &text, bool hasNumber, double number);
// The cell `column` of a worksheet row; a missing cell is 0 without a problem.
AmountReading readAmountCell(const WorksheetRow &row, int column);

// Why a cell was read as 0, for a tool tip: "无法识别为金额：abc，已按 0 计算。" and the like.
QString amountProblemText(AmountProblem problem, const QString &cellText);
