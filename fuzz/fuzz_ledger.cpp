// Any bytes as a payroll ledger file: opening for reading either refuses with a message or gives
// months and entries that can be read; opening for writing that refuses leaves every byte as it
// was.
#include "ledger/payrollledger.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

[[noreturn]] void fail()
{
    __builtin_trap();
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ledger.sqlite"));
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 0;
    }
    {
        PayrollLedger ledger(path);
        QString error;
        if (ledger.openForReading(&error)) {
            const QList<LedgerMonth> months = ledger.months(0, &error);
            for (const LedgerMonth &m : months) {
                if (m.month < 1 || m.month > 12 || m.employees < 0)
                    fail();
            }
            const int year = months.isEmpty() ? 2026 : months.front().year;
            ledger.statesBefore(year, 13, &error);
            ledger.entries(year, 0, QString(), &error);
        } else if (error.isEmpty()) {
            fail();
        }
    }
    PayrollLedger ledger(path);
    QString error;
    if (!ledger.openForWriting(&error) && (error.isEmpty() || bytesOf(path) != bytes))
        fail();
    return 0;
}
