// How every batch page lays out a salary table from a layout of the column catalogue: two frozen
// title rows (group titles spanning their columns above the column titles), worksheet-like letters
// in the header, the catalogue's widths, and a 1-pixel trailing column that takes the rest of the
// width. Data rows start at row 2.
#pragma once

#include "batch/batchcalc.h"

class PTableWidget;

// The number of title rows a laid-out salary table starts with.
inline constexpr int kSalaryTitleRows = kTitleRows;

#include "batch/columncatalogue.h"

// Lays out `table` from catalogue tree `tree`; with basicOnly only its first group (the
// source tables show only the basic columns). The table ends with its two title rows and no data.
void layoutSalaryTable(PTableWidget *table, CatalogueTree tree, bool basicOnly);

// Widens the code and name columns (0 and 1) to their longest text, titles included, so no code or
// name is cut; a column never becomes narrower than it is. Cheap on 100,000 rows: the texts are
// ranked by a character count first and only the few longest are measured.
void fitCodeAndNameColumns(PTableWidget *table);
