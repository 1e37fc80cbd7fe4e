// Exporting a current-rules batch page: the page offers its sheets by name (the month's results,
// 扣缴申报, the plan in each scope …), each built by the core as a SheetLayout; the user picks one
// and the file, and writeSheetLayout writes it whole or not at all.
#pragma once

#include "batch/sheetlayout.h"

#include <QString>

#include <functional>
#include <vector>

class QWidget;

struct SheetExportChoice
{
    QString name;
    std::function<SheetLayout()> layout;
};

// Runs the export for the page's choices; `fileStem` proposes the file name. True when a file was
// written (its name in *written when given).
bool runSheetExportWizard(QWidget *parent, const QString &fileStem, const std::vector<SheetExportChoice> &choices,
                          QString *written = nullptr);
