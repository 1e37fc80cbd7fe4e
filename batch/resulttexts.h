// The batch core's own helpers for writing the cell texts of a result row: each text goes to the
// column the catalogue gives its (group, column) in the result tree of the calculation at hand,
// and a text whose column that tree does not have is left out. Shared by the calculation, planning
// and apportion rows so that their figures read the same way. Not for the pages.
#pragma once

#include "batch/batchcalc.h"
#include "batch/columncatalogue.h"
#include "engine/amount.h"
#include "engine/salary.h"

#include <QString>

#include <vector>

void appendResultText(std::vector<ResultText> &out, CatalogueTree tree, int kind, int id,
                      const QString &text);

void appendResultFigure(std::vector<ResultText> &out, CatalogueTree tree, int kind, int id, Amount amount);

// Taxable amount, tax and after-tax of an item, and its row's rate and quick deduction.
void appendResultItem(std::vector<ResultText> &out, CatalogueTree tree, int kind, const TaxItem &item);
