// What the payroll benchmarks share: identity numbers, a month's sheet in the withholding
// client's template and a ledger filled with earlier months straight from the core.
#pragma once

#include "excel/workbook.h"
#include "ledger/payrollmonth.h"

#include <QStringList>

inline QString idOf(int k)
{
    const QString first17 = QStringLiteral("4401061980") + QString::number(1000000 + k).right(7);
    return first17 + idCheckCharacter(first17);
}

inline bool writeSheet(const QString &path, int employees, int month)
{
    auto book = Workbook::create(path);
    Sheet *sheet = book->addSheet(QStringLiteral("正常工资薪金所得"));
    const QStringList titles = {
        QStringLiteral("工号"),           QStringLiteral("*姓名"),        QStringLiteral("*证件类型"),
        QStringLiteral("*证件号码"),      QStringLiteral("本期收入"),     QStringLiteral("基本养老保险费"),
        QStringLiteral("基本医疗保险费"), QStringLiteral("失业保险费"),   QStringLiteral("住房公积金"),
        QStringLiteral("累计子女教育"),   QStringLiteral("累计赡养老人"), QStringLiteral("企业(职业)年金")};
    for (int c = 0; c < titles.size(); ++c)
        sheet->writeStr(0, c, titles[c]);
    for (int k = 0; k < employees; ++k) {
        const int r = k + 1;
        const double income = 3000 + (k * 7919) % 60000 + (k % 100) / 100.0;
        sheet->writeStr(r, 0, QString::number(k));
        sheet->writeStr(r, 1, QStringLiteral("员工%1").arg(k));
        sheet->writeStr(r, 2, QStringLiteral("居民身份证"));
        sheet->writeStr(r, 3, idOf(k));
        sheet->writeNum(r, 4, income);
        sheet->writeNum(r, 5, qRound(income * 8) / 100.0);
        sheet->writeNum(r, 6, qRound(income * 2) / 100.0);
        sheet->writeNum(r, 7, qRound(income * 0.5) / 100.0);
        sheet->writeNum(r, 8, qRound(income * 7) / 100.0);
        sheet->writeNum(r, 9, (k % 3) * 1000.0 * month);
        sheet->writeNum(r, 10, (k % 2) * 2000.0 * month);
        sheet->writeNum(r, 11, k % 4 == 0 ? 300 : 0);
    }
    return book->save(path);
}

// Months 1 to `months` of 2026 for `employees` employees, recorded into an open ledger.
inline bool recordMonths(PayrollLedger &ledger, int employees, int months)
{
    QString error;
    for (int m = 1; m <= months; ++m) {
        const QHash<QString, PayrollState> states = ledger.statesBefore(2026, m, &error);
        std::vector<PayrollEntry> entries;
        entries.reserve(size_t(employees));
        for (int k = 0; k < employees; ++k) {
            PayrollInput in;
            in.sheetRow = k + 2;
            in.code = QString::number(k);
            in.name = QStringLiteral("员工%1").arg(k);
            in.idType = residentIdType();
            in.idNumber = idOf(k);
            in.amounts[PfIncome] = 300000 + qint64(k) * 7919 % 6000000;
            entries.push_back(computePayrollMonth(in, states.value(employeeKey(in.idType, in.idNumber)), 2026,
                                                  m, CurrentRules::BonusMethod::Separate, false));
        }
        QList<int> later;
        if (!ledger.recordMonth(2026, m, QStringLiteral("bench"), entries, &later, &error))
            return false;
    }
    return true;
}
