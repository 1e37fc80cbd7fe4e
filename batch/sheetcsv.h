// A result sheet as comma-separated text, for scripts and programs that read no workbooks.
//
// The same SheetLayout the workbook writer takes, written as UTF-8 with a byte-order mark (so a
// spreadsheet program opens the Chinese texts correctly) and CRLF line ends: the title (when there
// is one) on a line of its own, then the heading rows and the data rows. A spanned cell gives its
// text to its first column and leaves the covered ones empty. Amount cells are written as plain
// decimals without thousands separators, so they read back as numbers. A text a spreadsheet would
// take for a formula (starting with "=", "+", "@", or "-" when it is not a number) gets a leading
// "'", so a name in a salary sheet can never run as a formula where the file is opened. QtCore only.
#pragma once

#include "batch/sheetlayout.h"

#include <QByteArray>
#include <QString>

// The whole file's bytes, byte-order mark included.
QByteArray sheetLayoutCsv(const SheetLayout &layout);

// Writes the file whole or not at all (a temporary file in the same folder, then a rename), so on
// any failure an existing file stays as it was; a read-only existing file is not replaced. False
// with a Chinese reason in *error.
bool writeSheetCsv(const SheetLayout &layout, const QString &fileName, QString *error);
