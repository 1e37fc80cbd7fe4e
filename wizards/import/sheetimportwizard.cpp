#include "wizards/import/sheetimportwizard.h"

bool runSheetImportWizard(int mode, QWidget *parent, SheetImport *out)
{
    Q_UNUSED(mode);
    Q_UNUSED(parent);
    Q_UNUSED(out);
    return false;
}
