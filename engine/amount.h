// Money amounts.
//
// Every amount in the program is an exact count of fen (1/100 yuan) in a signed 64-bit integer.
// Floating point appears only where the tax rules need it (entering yuan, rate × amount, a few
// divisions) and every such value comes back to fen through roundHalfUp, the one rounding rule
// of the program. This header depends on QtCore only.
#pragma once

#include <QString>
#include <QtGlobal>

using Amount = qint64;

// The two monthly thresholds (免征额) a calculation can use, in fen.
inline constexpr qint32 kThresholdLocal = 350000;   // "3500元"
inline constexpr qint32 kThresholdForeign = 480000; // "4800元(外籍人员)"

// The largest amount an input field accepts, in yuan and in fen.
inline constexpr double kMaxInputYuan = 999999999.99;
inline constexpr Amount kMaxInputFen = 99999999999LL;

// Rounds to the nearest integer with halves toward +∞ (2.5 → 3, −2.5 → −2).
// Qt's qRound64 rounds negative halves away from zero, which gives a different fen on
// negative intermediate values; every floating value that becomes an amount goes through here,
// and so does a whole number a worksheet cell displays. Exact for every x whose result fits in
// qint64 (the fraction is taken as x − ⌊x⌋, which a double holds exactly).
qint64 roundHalfUp(double x);

// Yuan as entered (a spin box value, a table cell) to fen: value × 100 rounded by roundHalfUp.
Amount fenFromInput(double yuan);

// Fen as yuan, where a double in yuan is what is kept (a history entry's head figures, a spin box):
// fen / 100. fenFromInput brings every amount up to kMaxInputFen back to the same fen. Texts are
// written with formatAmount instead.
constexpr double yuanFromFen(Amount fen)
{
    return static_cast<double>(fen) / 100.0;
}

// Display text of an amount in yuan: thousands commas, trailing fraction zeros stripped,
// no unit ("123456" fen → "1,234.56", "350000" → "3,500", "5" → "0.05").
// A negative amount is written as "-" followed by the text of its magnitude.
QString formatAmount(Amount amount);
// The same text appended to `out`, for texts built from many figures without a string for each.
void appendAmount(QString &out, Amount amount);
// The same text written to `out`, which holds kAmountTextMax characters; returns its length.
constexpr int kAmountTextMax = 32;
int writeAmount(char16_t *out, Amount amount);

// Thousands grouping, the one rule for amounts and displayed cells: `number` is an optional "-",
// the integer digits and optionally "." and the fraction; a "," goes between groups of three digits
// of the integer part ("-1234567.891" → "-1,234,567.891"). The fraction is left as it is.
QString groupDigits(QStringView number);
// The same text appended to `out`.
void appendGroupedDigits(QString &out, QStringView number);

// Parses a yuan text the way an amount field accepts it: optional surrounding blanks, digits with
// an optional "." and at most two decimals, 0 to 999999999.99. Returns false for anything else.
bool parseYuan(const QString &text, Amount *fen);
