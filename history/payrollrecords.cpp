#include "history/payrollrecords.h"

#include "batch/importsetting.h"
#include "history/currentrecords.h"
#include "ledger/payrollrules.h"

namespace {

void writeText(QDataStream &out, const QString &text)
{
    const QByteArray bytes = text.toUtf8().left(kMaxPayrollRecordText);
    out << qint32(bytes.size());
    out.writeRawData(bytes.constData(), int(bytes.size()));
}

bool readText(HistoryReader &reader, QString *text)
{
    qint32 size = -1;
    reader.stream() >> size;
    if (!reader.finish() || size < 0 || size > kMaxPayrollRecordText || size > reader.remaining())
        return false;
    QByteArray bytes(size, Qt::Uninitialized);
    if (reader.stream().readRawData(bytes.data(), size) != size)
        return false;
    *text = QString::fromUtf8(bytes);
    return true;
}

} // namespace

void writePayrollMonthRecord(QDataStream &out, const PayrollMonthRecord &r)
{
    writeText(out, r.ledger);
    out << r.year << r.month << qint32(r.method == CurrentRules::BonusMethod::Merged ? 1 : 0);
    writeText(out, r.import.file);
    out << qint32(r.import.sheetIndex) << qint32(r.import.titleRow) << qint32(r.import.range.first)
        << qint32(r.import.range.last) << qint32(r.import.formulas.size());
    for (const QString &f : r.import.formulas)
        writeText(out, f);
    writeText(out, r.recordedAt);
}

bool readPayrollMonthRecord(HistoryReader &reader, PayrollMonthRecord *r)
{
    if (!reader.ok())
        return false;
    PayrollMonthRecord in;
    qint32 method = -1, sheet = -1, titleRow = 0, first = 0, last = -1, formulas = -1;
    if (!readText(reader, &in.ledger))
        return false;
    reader.stream() >> in.year >> in.month >> method;
    if (!readText(reader, &in.import.file))
        return false;
    reader.stream() >> sheet >> titleRow >> first >> last >> formulas;
    if (!reader.finish() || in.year < kCurrentFirstYear || in.year > kCurrentLastYear || in.month < 1 ||
        in.month > 12 || method < 0 || method > 1 || sheet < 0 || sheet > kMaxImportSheetIndex ||
        titleRow < 1 || titleRow > kMaxImportRowNumber || first < 1 || first > kMaxImportRowNumber ||
        last < 0 || last > kMaxImportRowNumber || formulas < 0 || formulas > PfFieldCount)
        return false;
    in.method = method == 1 ? CurrentRules::BonusMethod::Merged : CurrentRules::BonusMethod::Separate;
    if (in.method == CurrentRules::BonusMethod::Separate && !CurrentRules::separateBonusAllowed(in.year))
        return false;
    in.import.sheetIndex = sheet;
    in.import.titleRow = titleRow;
    in.import.range = {first, last};
    for (qint32 k = 0; k < formulas; ++k) {
        QString f;
        if (!readText(reader, &f))
            return false;
        in.import.formulas << f;
    }
    if (!readText(reader, &in.recordedAt) || !reader.finish() || reader.remaining() != 0)
        return false;
    *r = std::move(in);
    return true;
}
