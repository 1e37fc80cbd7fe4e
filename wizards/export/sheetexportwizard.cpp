#include "wizards/export/sheetexportwizard.h"

bool runSheetExportWizard(QWidget *parent, const QString &fileStem, const std::vector<SheetExportChoice> &choices,
                          QString *written)
{
    Q_UNUSED(parent);
    Q_UNUSED(fileStem);
    Q_UNUSED(choices);
    Q_UNUSED(written);
    return false;
}
