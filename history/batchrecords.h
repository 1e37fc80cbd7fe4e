// The history records of the three batch pages ("bc", "bsc", "bac"), read and checked whole before
// a page changes anything. Each record is the common head, the page's own fields, the extension
// group of its source layout and compactly stored tables:
//   bc:  threshold flag, extension group, source table, result table;
//   bsc: threshold flag, first-goal flag, first-method flag, N, the method sentence and the three
//        totals texts, extension group, source, before and after tables, then the before-table
//        rows of the employees planning helps (count, rows); "全员筹划" and "筹划对照" are rebuilt
//        from those;
//   bac: threshold flag, N, the tax-decrease and gain texts, extension group, source, before and
//        after tables; "全员分摊" is rebuilt from the last two.
// A reader returns false for anything this program did not write: a short or overlong record,
// sizes that do not fit the catalogue's layouts, an extension group that does not fit its source
// table, cells that do not decode. QtCore only, so the fuzz target reads records as the pages do.
#pragma once

#include "batch/columncatalogue.h"
#include "history/compacttable.h"
#include "history/historyrecord.h"

#include <QList>
#include <QString>

struct BatchRecordBase
{
    bool local = true;
    ColumnGroup extension;
    CompactTable source;
};

struct BatchCalcRecord : BatchRecordBase
{
    CompactTable result;
};

struct BatchPlanRecord : BatchRecordBase
{
    bool firstGoal = true;
    bool firstMethod = true;
    qint32 months = 6;
    QString method, taxDecrease, costDecrease, netIncrease;
    CompactTable before, after;
    QList<qint32> effectiveRows;
};

struct BatchApportionRecord : BatchRecordBase
{
    qint32 months = 3;
    QString taxDecrease, netIncrease;
    CompactTable before, after;
};

// Stored batch tables larger than this are not tables a batch page wrote.
inline constexpr qint32 kMaxStoredRows = 2'000'000;
inline constexpr qint32 kMaxStoredColumns = 16'384 + 1;

// Whether a stored extension group fits a stored source table of `sourceColumns` columns of
// source layout `tree`: it starts after the basic columns, and the basic columns, its items and
// the table's trailing column make up the table.
bool extensionFitsSource(CatalogueTree tree, const ColumnGroup &extension, int sourceColumns);

bool readBatchCalcRecord(HistoryReader &reader, BatchCalcRecord *record);
bool readBatchPlanRecord(HistoryReader &reader, BatchPlanRecord *record);
bool readBatchApportionRecord(HistoryReader &reader, BatchApportionRecord *record);
