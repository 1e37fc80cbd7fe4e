// Spreadsheet column letters and the 0-based column index they stand for: 0 is "A", 25 "Z",
// 26 "AA", 701 "ZZ", 702 "AAA", 16383 "XFD". The one pair every reader, writer, table header
// and formula uses; no other copy of this rule belongs anywhere.
#pragma once

#include <QString>
#include <QStringView>

// The letters of a 0-based column index; an empty string for a negative index.
QString columnLetters(int index);

// The 0-based index of upper-case column letters ("A" is 0); -1 for an empty text, any character
// other than A–Z, or an index beyond the range of int.
int columnIndex(QStringView letters);
