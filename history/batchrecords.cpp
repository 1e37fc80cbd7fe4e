#include "history/batchrecords.h"

#include <algorithm>

namespace {

constexpr int kTitleRowsStored = 2;

bool readTable(HistoryReader &reader, CompactTable *table)
{
    return reader.finish() && readCompactTable(reader, kMaxStoredRows, kMaxStoredColumns, table) &&
           table->rows >= kTitleRowsStored;
}

// A result table of layout `tree`: its shown columns and the trailing one.
bool fitsResult(CatalogueTree tree, const CompactTable &table)
{
    return table.columns == ColumnCatalogue::instance().shownColumnCount(tree, false) + 1;
}

} // namespace

bool extensionFitsSource(CatalogueTree tree, const ColumnGroup &extension, int sourceColumns)
{
    const int basic = ColumnCatalogue::instance().shownColumnCount(tree, true);
    return extension.start == basic && sourceColumns == basic + extension.itemCount() + 1 &&
           std::all_of(extension.items.begin(), extension.items.end(), [&](const auto &item) {
               return item->column >= basic && item->column < sourceColumns - 1;
           });
}

bool readBatchCalcRecord(HistoryReader &reader, BatchCalcRecord *record)
{
    if (!reader.ok())
        return false;
    reader.stream() >> record->local >> record->extension;
    return readTable(reader, &record->source) && readTable(reader, &record->result) && reader.finish() &&
           reader.remaining() == 0 &&
           extensionFitsSource(TreeCalcSource, record->extension, record->source.columns) &&
           fitsResult(TreeCalcResult, record->result) && decodeCompactCells(record->source) &&
           decodeCompactCells(record->result);
}

bool readBatchPlanRecord(HistoryReader &reader, BatchPlanRecord *record)
{
    if (!reader.ok())
        return false;
    QDataStream &in = reader.stream();
    in >> record->local >> record->firstGoal >> record->firstMethod >> record->months >> record->method >>
        record->taxDecrease >> record->costDecrease >> record->netIncrease >> record->extension;
    if (!reader.finish() || record->months < 1 || record->months > 12 ||
        !readTable(reader, &record->source) || !readTable(reader, &record->before) ||
        !readTable(reader, &record->after) || !reader.finish())
        return false;
    const CompactTable &before = record->before;
    // Two totals rows below the employees; the after table pairs the before table row by row.
    if (before.rows < kTitleRowsStored + 2 || record->after.rows != before.rows ||
        !fitsResult(TreePlanResult, before) || !fitsResult(TreePlanResult, record->after) ||
        !extensionFitsSource(TreePlanSource, record->extension, record->source.columns))
        return false;
    qint32 count = -1;
    in >> count;
    if (!reader.finish() || count < 0 || count > before.rows || qint64(count) * 4 > reader.remaining())
        return false;
    // Every effective row is an employee row of the before table, in order, each once.
    record->effectiveRows.clear();
    record->effectiveRows.reserve(count);
    qint32 previous = kTitleRowsStored - 1;
    for (qint32 i = 0; i < count; ++i) {
        qint32 row = -1;
        in >> row;
        if (!reader.finish() || row <= previous || row >= before.rows - 2)
            return false;
        previous = row;
        record->effectiveRows.append(row);
    }
    return reader.remaining() == 0 && decodeCompactCells(record->source) && decodeCompactCells(before) &&
           decodeCompactCells(record->after);
}

bool readBatchApportionRecord(HistoryReader &reader, BatchApportionRecord *record)
{
    if (!reader.ok())
        return false;
    reader.stream() >> record->local >> record->months >> record->taxDecrease >> record->netIncrease >>
        record->extension;
    if (!reader.finish() || record->months < 1 || record->months > 12)
        return false;
    // One totals row below the employees; the after table pairs the before table row by row.
    return readTable(reader, &record->source) && readTable(reader, &record->before) &&
           readTable(reader, &record->after) && reader.finish() && reader.remaining() == 0 &&
           record->before.rows >= kTitleRowsStored + 1 && record->after.rows == record->before.rows &&
           fitsResult(TreeApportionResult, record->before) &&
           fitsResult(TreeApportionResult, record->after) &&
           extensionFitsSource(TreeApportionSource, record->extension, record->source.columns) &&
           decodeCompactCells(record->source) && decodeCompactCells(record->before) &&
           decodeCompactCells(record->after);
}
