// Any bytes as a history record of every page: the common head, then the single pages' stored
// table ("sc", "ssc", "ac", "ic"), their current-rules inputs ("sc19", "ac19", "ssc19", "ic19", "pm19" of
// the month's payroll page and the year-sheet batch pages' "bp19", "ba19") and, from the
// same bytes, each batch page's record ("bc", "bsc", "bac") read exactly as the page reads it, plus the
// compact tables on their own. Nothing may crash, read past the record or claim memory the record cannot
// back; a record that reads must decode, and its tables must fit what the pages build from them.
#include "batch/columncatalogue.h"
#include "history/batchrecords.h"
#include "history/compacttable.h"
#include "history/currentrecords.h"
#include "history/historyrecord.h"
#include "history/payrollrecords.h"
#include "ledger/payrollrules.h"
// The single pages' kinds, each read as its page reads it.
#include "fuzz/singlerecordkinds.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

namespace {

template<typename Read> void asRecord(QByteArray &bytes, Read read)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    HistoryReader reader(&buffer);
    read(reader);
}

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    readAsSinglePageRecords(data, size);
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    asRecord(bytes, [](HistoryReader &reader) {
        TableSnapshot snapshot;
        if (reader.ok())
            readTableSnapshot(reader, 64, 16, &snapshot);
    });
    asRecord(bytes, [](HistoryReader &reader) {
        if (!reader.ok())
            return;
        bool flag = false;
        ColumnGroup group;
        reader.stream() >> flag >> group;
        CompactTable table;
        while (reader.finish() && readCompactTable(reader, 200000, 16385, &table)) {
            qint64 cells = 0;
            if (decodeCompactCells(table, [&](qint32, qint32, const CompactCell &) { ++cells; }))
                check(cells == qint64(table.rows) * table.columns);
        }
    });
    // A current-rules record that reads is one the core computes again without complaint (a separate
    // bonus after its last year aside, which the page reports).
    asRecord(bytes, [](HistoryReader &reader) {
        CurrentYearRecord record;
        if (!readCurrentYearRecord(reader, &record))
            return;
        QString error;
        const CurrentRules::YearInput in = toYearInput(record);
        check(CurrentRules::checkYearInput(in, &error) ||
              (record.method == 0 && !CurrentRules::separateBonusAllowed(record.year)));
    });
    // The month's payroll page: a record that reads names a period and no more formulas than fields.
    asRecord(bytes, [](HistoryReader &reader) {
        PayrollMonthRecord record;
        if (readPayrollMonthRecord(reader, &record))
            check(record.month >= 1 && record.month <= 12 && record.import.formulas.size() <= PfFieldCount);
    });
    asRecord(bytes, [](HistoryReader &reader) {
        CurrentSplitRecord record;
        if (readCurrentSplitRecord(reader, &record))
            check(record.enteredBonus >= -1 && toSplitInput(record).annual <= kMaxInputFen);
    });
    asRecord(bytes, [](HistoryReader &reader) {
        CurrentInverseRecord record;
        if (readCurrentInverseRecord(reader, &record))
            check(toSplitInput(record).annual <= kMaxInputFen && record.amount >= 0);
    });
    asRecord(bytes, [](HistoryReader &reader) {
        CurrentSheetRecord record;
        if (readCurrentSheetRecord(reader, &record))
            check(!record.import.file.isEmpty() && record.import.formulas.size() <= kMaxSheetRecordFormulas &&
                  (!record.fromLedger || !record.ledger.isEmpty()));
    });
    asRecord(bytes, [](HistoryReader &reader) {
        BatchCalcRecord record;
        if (readBatchCalcRecord(reader, &record))
            check(record.source.rows >= 2 && record.result.rows >= 2);
    });
    asRecord(bytes, [](HistoryReader &reader) {
        BatchPlanRecord record;
        if (!readBatchPlanRecord(reader, &record))
            return;
        check(record.after.rows == record.before.rows && record.months >= 1 && record.months <= 12);
        for (qint32 row : record.effectiveRows)
            check(row >= 2 && row < record.before.rows - 2);
    });
    asRecord(bytes, [](HistoryReader &reader) {
        BatchApportionRecord record;
        if (readBatchApportionRecord(reader, &record))
            check(record.after.rows == record.before.rows && record.before.rows >= 3);
    });
    return 0;
}
