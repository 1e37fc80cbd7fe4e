#include "history/singlerecords.h"

#include "engine/amount.h"

#include <QtEndian>
#include <cmath>
#include <initializer_list>

namespace {

bool allInputYuan(std::initializer_list<double> values)
{
    for (double yuan : values) {
        if (!isInputYuan(yuan))
            return false;
    }
    return true;
}

bool readLabels(HistoryReader &reader, std::initializer_list<QString *> labels)
{
    for (QString *label : labels) {
        if (!readBoundedText(reader, kMaxStoredLabelLength, label))
            return false;
    }
    return true;
}

bool readTable(HistoryReader &reader, qint32 rows, qint32 columns, TableSnapshot *table)
{
    return reader.finish() && readTableSnapshot(reader, rows, columns, table) && reader.finish() &&
           table->rows == rows && table->columns == columns;
}

} // namespace

bool isInputYuan(double yuan)
{
    return std::isfinite(yuan) && yuan >= 0 && yuan <= kMaxInputYuan;
}

bool readBoundedText(HistoryReader &reader, qsizetype maxLength, QString *text)
{
    QDataStream &in = reader.stream();
    quint32 bytes = 0;
    in >> bytes;
    if (!reader.finish())
        return false;
    if (bytes == 0xffffffffu) { // a null string
        *text = QString();
        return true;
    }
    if (bytes % 2 != 0 || bytes / 2 > quint64(maxLength) || qint64(bytes) > reader.remaining())
        return false;
    QString read(qsizetype(bytes / 2), Qt::Uninitialized);
    if (in.readRawData(reinterpret_cast<char *>(read.data()), int(bytes)) != int(bytes))
        return false;
    // UTF-16 in the stream's byte order (big-endian unless a writer chose otherwise).
    if (in.byteOrder() == QDataStream::BigEndian)
        qFromBigEndian<quint16>(read.data(), read.size(), read.data());
    else
        qFromLittleEndian<quint16>(read.data(), read.size(), read.data());
    *text = std::move(read);
    return true;
}

bool readSingleCalcRecord(HistoryReader &reader, SingleCalcRecord *record)
{
    if (!reader.ok())
        return false;
    SingleCalcRecord r;
    r.gross = reader.head().value1;
    r.bonus = reader.head().value2;
    reader.stream() >> r.insurance >> r.annuity >> r.local;
    if (!reader.finish() || !readBoundedText(reader, kMaxStoredProcessText, &r.processText) ||
        !readTable(reader, kSingleCalcRows, kSingleCalcColumns, &r.table) ||
        !allInputYuan({r.gross, r.bonus, r.insurance, r.annuity}))
        return false;
    *record = std::move(r);
    return true;
}

bool readSingleSaveRecord(HistoryReader &reader, SingleSaveRecord *record)
{
    if (!reader.ok())
        return false;
    SingleSaveRecord r;
    r.headNet = reader.head().value1;
    r.headCost = reader.head().value2;
    if (!readLabels(reader, {&r.method, &r.taxDecrease, &r.costDecrease, &r.netIncrease}))
        return false;
    reader.stream() >> r.gross >> r.insurance >> r.bonus >> r.local >> r.raiseNet >> r.bonusOnly >> r.months;
    if (!reader.finish() || !readBoundedText(reader, kMaxStoredProcessText, &r.processText) ||
        !readTable(reader, kSingleSaveRows, kSingleSaveColumns, &r.table) ||
        !allInputYuan({r.gross, r.insurance, r.bonus}) || r.months < 1 || r.months > kMaxStoredMonths)
        return false;
    *record = std::move(r);
    return true;
}

bool readApportionRecord(HistoryReader &reader, ApportionRecord *record)
{
    if (!reader.ok())
        return false;
    ApportionRecord r;
    r.headNet = reader.head().value1;
    r.headTax = reader.head().value2;
    reader.stream() >> r.wage >> r.insurance >> r.bonus >> r.local >> r.months;
    if (!reader.finish() || !readLabels(reader, {&r.taxDecrease, &r.netIncrease}) ||
        !readTable(reader, kApportionRows, kApportionColumns, &r.table) ||
        !allInputYuan({r.wage, r.insurance, r.bonus}) || r.months < 1 || r.months > kMaxStoredMonths)
        return false;
    *record = std::move(r);
    return true;
}

bool readInverseRecord(HistoryReader &reader, InverseRecord *record)
{
    if (!reader.ok())
        return false;
    InverseRecord r;
    r.headExpense = reader.head().value1;
    r.headTax = reader.head().value2;
    reader.stream() >> r.netAnnualMode >> r.netAnnual >> r.employer >> r.grossAnnualMode >> r.grossAnnual >>
        r.netMonthMode >> r.netMonth >> r.netBonus >> r.local;
    if (!reader.finish() || !readLabels(reader, {&r.taxTotal, &r.employerTotal, &r.expenseTotal}) ||
        !readTable(reader, kInverseRows, kInverseColumns, &r.table) ||
        !allInputYuan({r.netAnnual, r.employer, r.grossAnnual, r.netMonth, r.netBonus}))
        return false;
    // Exactly one mode was selected when the record was written.
    if (int(r.netAnnualMode) + int(r.grossAnnualMode) + int(r.netMonthMode) != 1)
        return false;
    *record = std::move(r);
    return true;
}
