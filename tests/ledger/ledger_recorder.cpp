// Records month after month of many employees into a ledger until it is killed: the ledger test
// kills it at random moments and checks that every month is whole or absent.
// ledger_recorder LEDGER FIRST_YEAR EMPLOYEES
#include "ledger/payrollledger.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    PayrollLedger ledger(args[1]);
    QString error;
    if (!ledger.openForWriting(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const int employees = args[3].toInt();
    std::vector<PayrollInput> inputs(static_cast<size_t>(employees));
    for (int i = 0; i < employees; ++i) {
        PayrollInput &in = inputs[size_t(i)];
        in.sheetRow = i + 2;
        in.code = QString::number(i);
        in.name = QStringLiteral("员工%1").arg(i);
        in.idType = QStringLiteral("中国护照");
        in.idNumber = QStringLiteral("E%1").arg(i, 8, 10, QLatin1Char('0'));
        in.amounts[PfIncome] = 500000 + 100 * i;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (int year = args[2].toInt();; ++year) {
        for (int month = 1; month <= 12; ++month) {
            const QHash<QString, PayrollState> states = ledger.statesBefore(year, month, &error);
            std::vector<PayrollEntry> entries;
            entries.reserve(inputs.size());
            for (const PayrollInput &in : inputs)
                entries.push_back(computePayrollMonth(in, states.value(employeeKey(in.idType, in.idNumber)),
                                                      year, month, CurrentRules::BonusMethod::Merged, false));
            QList<int> later;
            if (!ledger.recordMonth(year, month, QStringLiteral("recorder"), entries, &later, &error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return 1;
            }
        }
    }
}
