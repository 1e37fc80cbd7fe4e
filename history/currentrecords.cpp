#include "history/currentrecords.h"

#include <initializer_list>

namespace {

bool allInputFen(std::initializer_list<Amount> values)
{
    for (Amount fen : values) {
        if (fen < 0 || fen > kMaxInputFen)
            return false;
    }
    return true;
}

bool isMonth(qint32 month)
{
    return month >= 1 && month <= 12;
}

// Every field read and nothing left over.
bool readWhole(const HistoryReader &reader)
{
    return reader.finish() && reader.remaining() == 0;
}

} // namespace

void writeCurrentYearRecord(QDataStream &out, const CurrentYearRecord &r)
{
    out << r.year << r.startMonth << r.wage << r.insurance << r.special << r.other << r.bonus << r.bonusMonth
        << r.method;
}

void writeCurrentSplitRecord(QDataStream &out, const CurrentSplitRecord &r)
{
    out << r.annual << r.insurance << r.special << r.enteredBonus;
}

void writeCurrentInverseRecord(QDataStream &out, const CurrentInverseRecord &r)
{
    out << r.fromNet << r.amount << r.insurance << r.special;
}

void writeCurrentSheetRecord(QDataStream &out, const CurrentSheetRecord &r)
{
    const SheetImport &i = r.import;
    out << i.file << qint32(i.sheetIndex) << qint32(i.titleRow) << qint32(i.range.first)
        << qint32(i.range.last) << qint32(i.formulas.size());
    for (const QString &formula : i.formulas)
        out << formula;
    out << qint8(r.fromLedger ? 1 : 0) << r.ledger << r.year << r.month;
}

bool readCurrentYearRecord(HistoryReader &reader, CurrentYearRecord *r)
{
    if (!reader.ok())
        return false;
    CurrentYearRecord read;
    reader.stream() >> read.year >> read.startMonth >> read.wage >> read.insurance >> read.special >>
        read.other >> read.bonus >> read.bonusMonth >> read.method;
    if (!readWhole(reader) || read.year < kCurrentFirstYear || read.year > kCurrentLastYear ||
        !isMonth(read.startMonth) || !isMonth(read.bonusMonth) || read.method < 0 || read.method > 2 ||
        !allInputFen({read.wage, read.insurance, read.special, read.other, read.bonus}))
        return false;
    // A bonus is paid within the period the page computed.
    if (read.bonus > 0 && read.bonusMonth < read.startMonth)
        return false;
    *r = read;
    return true;
}

bool readCurrentSplitRecord(HistoryReader &reader, CurrentSplitRecord *r)
{
    if (!reader.ok())
        return false;
    CurrentSplitRecord read;
    reader.stream() >> read.annual >> read.insurance >> read.special >> read.enteredBonus;
    if (!readWhole(reader) || !allInputFen({read.annual, read.insurance, read.special}) ||
        (read.enteredBonus != -1 && !allInputFen({read.enteredBonus})))
        return false;
    *r = read;
    return true;
}

bool readCurrentInverseRecord(HistoryReader &reader, CurrentInverseRecord *r)
{
    if (!reader.ok())
        return false;
    CurrentInverseRecord read;
    qint8 fromNet = 0;
    reader.stream() >> fromNet >> read.amount >> read.insurance >> read.special;
    // A flag is written as 0 or 1; any other byte is not a record of the page.
    if (!readWhole(reader) || (fromNet != 0 && fromNet != 1) ||
        !allInputFen({read.amount, read.insurance, read.special}))
        return false;
    read.fromNet = fromNet == 1;
    *r = read;
    return true;
}

CurrentRules::YearInput toYearInput(const CurrentYearRecord &r)
{
    CurrentRules::YearInput in;
    in.startMonth = r.startMonth;
    const int months = r.startMonth >= 1 && r.startMonth <= 12 ? 13 - r.startMonth : 0;
    in.gross = QList<Amount>(months, r.wage);
    in.insurance = r.insurance;
    in.deductions = r.special + r.other;
    in.bonus = r.bonus;
    in.bonusMonth = r.bonusMonth;
    in.method = r.method == 0   ? CurrentRules::BonusMethod::Separate
                : r.method == 1 ? CurrentRules::BonusMethod::Merged
                                : CurrentRules::BonusMethod::Best;
    in.year = r.year;
    return in;
}

CurrentRules::SplitInput toSplitInput(const CurrentSplitRecord &r)
{
    CurrentRules::SplitInput in;
    in.annual = r.annual;
    in.insurance = r.insurance;
    in.deductions = r.special;
    return in;
}

CurrentRules::SplitInput toSplitInput(const CurrentInverseRecord &r)
{
    CurrentRules::SplitInput in;
    in.annual = r.fromNet ? 0 : r.amount;
    in.insurance = r.insurance;
    in.deductions = r.special;
    return in;
}

bool readCurrentSheetRecord(HistoryReader &reader, CurrentSheetRecord *r)
{
    if (!reader.ok())
        return false;
    constexpr qsizetype kMaxText = 4096;
    CurrentSheetRecord read;
    SheetImport &i = read.import;
    qint32 sheet = 0, titleRow = 0, first = 0, last = 0, count = 0;
    QDataStream &in = reader.stream();
    in >> i.file >> sheet >> titleRow >> first >> last >> count;
    if (in.status() != QDataStream::Ok || i.file.isEmpty() || i.file.size() > kMaxText || sheet < 0 ||
        titleRow < 1 || first < 1 || last < 0 || count < 0 || count > kMaxSheetRecordFormulas)
        return false;
    for (qint32 k = 0; k < count; ++k) {
        QString formula;
        in >> formula;
        if (in.status() != QDataStream::Ok || formula.size() > kMaxText)
            return false;
        i.formulas << formula;
    }
    i.sheetIndex = sheet;
    i.titleRow = titleRow;
    i.range = {first, last};
    qint8 fromLedger = 0;
    in >> fromLedger >> read.ledger >> read.year >> read.month;
    if (!readWhole(reader) || (fromLedger != 0 && fromLedger != 1) || read.ledger.size() > kMaxText ||
        (fromLedger == 1 && read.ledger.isEmpty()) || read.year < kCurrentFirstYear ||
        read.year > kCurrentLastYear || !isMonth(read.month))
        return false;
    read.fromLedger = fromLedger == 1;
    *r = std::move(read);
    return true;
}
