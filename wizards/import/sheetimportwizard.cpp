#include "wizards/import/sheetimportwizard.h"

#include "wizards/import/importwizard.h"
#include "wizards/import/sheettargets.h"

bool runSheetImportWizard(int mode, QWidget *parent, SheetImport *out)
{
    if (!isSheetImportMode(mode) || !out)
        return false;
    ImportWizard wizard(nullptr, mode, parent);
    if (wizard.exec() != QDialog::Accepted)
        return false;
    *out = wizard.sheetImport();
    return true;
}
