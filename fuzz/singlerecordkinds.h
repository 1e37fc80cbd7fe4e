// The single pages' history records for the history fuzz target: the same bytes read as each kind
// ("sc", "ssc", "ac", "ic") exactly as its page reads it. A record that reads must hold only what
// its page can show: its own table size and texts and months within the page's limits.
#pragma once

#include "history/singlerecords.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace singlerecordkinds {

inline void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

inline void requireTable(const TableSnapshot &table, qint32 rows, qint32 columns)
{
    require(table.rows == rows && table.columns == columns &&
            table.cells.size() == qsizetype(rows) * columns);
}

inline void requireLabels(std::initializer_list<const QString *> labels)
{
    for (const QString *label : labels)
        require(label->size() <= kMaxStoredLabelLength);
}

inline void readSingleCalc(HistoryReader &reader)
{
    SingleCalcRecord r;
    if (!readSingleCalcRecord(reader, &r))
        return;
    requireTable(r.table, kSingleCalcRows, kSingleCalcColumns);
    require(r.processText.size() <= kMaxStoredProcessText && isInputYuan(r.gross) && isInputYuan(r.bonus));
}

inline void readSingleSave(HistoryReader &reader)
{
    SingleSaveRecord r;
    if (!readSingleSaveRecord(reader, &r))
        return;
    requireTable(r.table, kSingleSaveRows, kSingleSaveColumns);
    requireLabels({&r.method, &r.taxDecrease, &r.costDecrease, &r.netIncrease});
    require(r.months >= 1 && r.months <= kMaxStoredMonths && r.processText.size() <= kMaxStoredProcessText);
}

inline void readApportion(HistoryReader &reader)
{
    ApportionRecord r;
    if (!readApportionRecord(reader, &r))
        return;
    requireTable(r.table, kApportionRows, kApportionColumns);
    requireLabels({&r.taxDecrease, &r.netIncrease});
    require(r.months >= 1 && r.months <= kMaxStoredMonths);
}

inline void readInverse(HistoryReader &reader)
{
    InverseRecord r;
    if (!readInverseRecord(reader, &r))
        return;
    requireTable(r.table, kInverseRows, kInverseColumns);
    requireLabels({&r.taxTotal, &r.employerTotal, &r.expenseTotal});
    require(int(r.netAnnualMode) + int(r.grossAnnualMode) + int(r.netMonthMode) == 1);
}

} // namespace singlerecordkinds

// Reads the bytes as a record of every single-page kind, each from the record's start.
inline void readAsSinglePageRecords(const uint8_t *data, size_t size)
{
    struct Kind
    {
        const char *extension;
        void (*read)(HistoryReader &);
    };
    static const Kind kinds[] = {{"sc", singlerecordkinds::readSingleCalc},
                                 {"ssc", singlerecordkinds::readSingleSave},
                                 {"ac", singlerecordkinds::readApportion},
                                 {"ic", singlerecordkinds::readInverse}};
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const Kind &kind : kinds) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        HistoryReader reader(&buffer);
        kind.read(reader);
    }
}
