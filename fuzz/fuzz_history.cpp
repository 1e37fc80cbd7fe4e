// Any bytes as a history record: the common head, then the single pages' stored table and, from
// the same bytes, the batch pages' extension group and compact tables. Nothing may crash, read
// past the record or claim memory the record cannot back; a record that reads must decode.
#include "batch/columncatalogue.h"
#include "pages/common/compacttable.h"
#include "pages/common/historyrecord.h"
// The single pages' kinds, each read as its page reads it.
#include "fuzz/singlerecordkinds.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    readAsSinglePageRecords(data, size);
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        HistoryReader reader(&buffer);
        TableSnapshot snapshot;
        if (reader.ok())
            readTableSnapshot(reader, 64, 16, &snapshot);
    }
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        HistoryReader reader(&buffer);
        if (!reader.ok())
            return 0;
        bool flag = false;
        ColumnGroup group;
        reader.stream() >> flag >> group;
        CompactTable table;
        while (reader.finish() && readCompactTable(reader, 200000, 16385, &table)) {
            qint64 cells = 0;
            if (decodeCompactCells(table, [&](qint32, qint32, const CompactCell &) { ++cells; }) &&
                cells != qint64(table.rows) * table.columns)
                __builtin_trap();
        }
    }
    return 0;
}
