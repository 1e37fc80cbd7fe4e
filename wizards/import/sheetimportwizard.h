// The import wizard for the sheets the core reads itself: a month's payroll (PayrollMonthPage) and
// a year sheet (YearSheetPage). The user chooses the file, the worksheet and its rows, and the
// column of each field; the wizard hands back what it settled, and the page reads the sheet.
#pragma once

#include "batch/sheetsource.h"

class QWidget;

// Runs the wizard for `mode`; true with *out when the user finished it, false when cancelled.
bool runSheetImportWizard(int mode, QWidget *parent, SheetImport *out);
