// The payroll ledger: twelve months of 10,000 employees recorded from .xlsx sheets into a fresh
// ledger, then one month of 100,000 employees against a ledger holding eleven earlier months
// (read the .xlsx, compute, record, write the result .xlsx) in a child process whose peak memory
// is reported; then the year-end plan of that month from the eleven before it (read the .xlsx,
// read the ledger and plan, write the result .xlsx). Each run is split into its steps. Reports only.
// bench_ledger [EMPLOYEES_SMALL EMPLOYEES_LARGE]
#include "bench/payrollbench.h"
#include "excel/workbook.h"
#include "ledger/payrollmonth.h"
#include "ledger/payrollyearplan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

double cpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Steps
{
    double read = 0, compute = 0, record = 0, write = 0;
    // The processor time of each step (every thread of the process), to tell a loaded machine.
    double readCpu = 0, computeCpu = 0, recordCpu = 0, writeCpu = 0;
    double total() const { return read + compute + record + write; }
};

// Wall and processor time since the last lap, added to `wall` and `cpu`.
class Lap
{
public:
    Lap() { restart(); }
    void restart()
    {
        m_wall.start();
        m_cpu = cpuSeconds(RUSAGE_SELF);
    }
    void add(double *wall, double *cpu)
    {
        *wall += m_wall.nsecsElapsed() / 1e9;
        *cpu += cpuSeconds(RUSAGE_SELF) - m_cpu;
        restart();
    }

private:
    QElapsedTimer m_wall;
    double m_cpu = 0;
};

// One month from a sheet: read, compute, record, and (with an output path) write the result.
bool runMonth(PayrollLedger &ledger, const QString &sheetPath, int month, const QString &out, Steps *s)
{
    Lap t;
    auto book = Workbook::create(sheetPath);
    if (!book->load(sheetPath))
        return false;
    const Sheet *sheet = book->getSheet(0);
    PayrollSheet rows =
        readPayrollSheet(*book, *sheet, payrollAutoFormulas(sheetTitles(*book, *sheet, 1)), {});
    book.reset();
    t.add(&s->read, &s->readCpu);
    PayrollMonthRun run;
    QString error;
    if (!runPayrollMonth(ledger, std::move(rows), 2026, month, CurrentRules::BonusMethod::Separate, &run,
                         &error))
        return false;
    t.add(&s->compute, &s->computeCpu);
    if (!out.isEmpty()) {
        if (!writeSheetLayout(payrollResultLayout(run.entries, QStringLiteral("bench"), false), out, &error))
            return false;
        t.add(&s->write, &s->writeCpu);
    }
    QList<int> later;
    if (!ledger.recordMonth(2026, month, sheetPath, run.entries, &later, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    t.add(&s->record, &s->recordCpu);
    return true;
}

void print(const char *what, const Steps &s)
{
    std::printf("%-44s %7.2f s  (read .xlsx %.2f, compute %.2f, record %.2f, write .xlsx %.2f)\n", what,
                s.total(), s.read, s.compute, s.record, s.write);
    std::printf("%-44s          processor %.2f, %.2f, %.2f, %.2f\n", "", s.readCpu, s.computeCpu, s.recordCpu,
                s.writeCpu);
}

// The child: month 12 of the large ledger, with the result written.
int childMonth(const QString &ledgerPath, const QString &sheetPath, const QString &out)
{
    PayrollLedger ledger(ledgerPath);
    QString error;
    if (!ledger.openForWriting(&error))
        return 1;
    Steps s;
    if (!runMonth(ledger, sheetPath, 12, out, &s))
        return 1;
    std::printf("%.3f %.3f %.3f %.3f %.3f %.3f %.3f %.3f\n", s.read, s.compute, s.record, s.write, s.readCpu,
                s.computeCpu, s.recordCpu, s.writeCpu);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == QLatin1String("--child"))
        return childMonth(args[2], args[3], args[4]);
    const int small = args.size() > 2 ? args[1].toInt() : 10000;
    const int large = args.size() > 2 ? args[2].toInt() : 100000;
    QTemporaryDir dir;

    // Twelve months of `small` employees into a fresh ledger.
    for (int m = 1; m <= 12; ++m)
        writeSheet(dir.filePath(QStringLiteral("s%1.xlsx").arg(m)), small, m);
    {
        PayrollLedger ledger(dir.filePath(QStringLiteral("small.sqlite")));
        QString error;
        QElapsedTimer t;
        t.start();
        const double cpu = cpuSeconds(RUSAGE_SELF);
        if (!ledger.openForWriting(&error))
            return 1;
        Steps s;
        for (int m = 1; m <= 12; ++m)
            if (!runMonth(ledger, dir.filePath(QStringLiteral("s%1.xlsx").arg(m)), m, QString(), &s))
                return 1;
        print(qPrintable(QStringLiteral("12 months x %1 employees, from .xlsx").arg(small)), s);
        std::printf("%-44s %7.2f s, processor time %.2f s\n", "  wall, ledger created",
                    t.nsecsElapsed() / 1e9, cpuSeconds(RUSAGE_SELF) - cpu);
    }

    // A ledger with eleven earlier months of `large` employees, recorded straight from the core.
    const QString largeLedger = dir.filePath(QStringLiteral("large.sqlite"));
    {
        PayrollLedger ledger(largeLedger);
        QString error;
        if (!ledger.openForWriting(&error))
            return 1;
        QElapsedTimer t;
        t.start();
        if (!recordMonths(ledger, large, 11))
            return 1;
        std::printf("%-44s %7.2f s\n",
                    qPrintable(QStringLiteral("setup: 11 months x %1 straight from the core").arg(large)),
                    t.nsecsElapsed() / 1e9);
    }
    const QString sheet = dir.filePath(QStringLiteral("large12.xlsx"));
    writeSheet(sheet, large, 12);
    QElapsedTimer t;
    t.start();
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), largeLedger, sheet, dir.filePath(QStringLiteral("out.xlsx"))});
    child.waitForFinished(-1);
    const double wall = t.nsecsElapsed() / 1e9;
    const QStringList parts = QString::fromLatin1(child.readAllStandardOutput()).split(QLatin1Char(' '));
    if (child.exitCode() != 0 || parts.size() != 8) {
        std::printf("month of %d employees failed\n", large);
        return 1;
    }
    Steps s{parts[0].toDouble(), parts[1].toDouble(), parts[2].toDouble(), parts[3].toDouble(),
            parts[4].toDouble(), parts[5].toDouble(), parts[6].toDouble(), parts[7].toDouble()};
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    print(qPrintable(QStringLiteral("month 12 of %1 against 11 months").arg(large)), s);
    std::printf("%-44s %7.2f s, processor time %.2f s, peak memory %ld MB\n", "  wall of the child process",
                wall, cpuSeconds(RUSAGE_CHILDREN), usage.ru_maxrss / 1024);

    // The year-end plan of month 12 from the eleven months before it (read only).
    Steps plan;
    {
        Lap lap;
        auto book = Workbook::create(sheet);
        if (!book->load(sheet))
            return 1;
        const Sheet *first = book->getSheet(0);
        PayrollSheet rows =
            readPayrollSheet(*book, *first, payrollAutoFormulas(sheetTitles(*book, *first, 1)), {});
        book.reset();
        lap.add(&plan.read, &plan.readCpu);
        PayrollLedger ledger(largeLedger);
        QString error;
        LedgerYearPlanRun run;
        if (!ledger.openForReading(&error) ||
            !runLedgerYearPlan(ledger, std::move(rows), 2026, 12, &run, &error))
            return 1;
        lap.add(&plan.compute, &plan.computeCpu);
        if (!writeSheetLayout(ledgerYearPlanLayout(run, QStringLiteral("bench")),
                              dir.filePath(QStringLiteral("plan.xlsx")), &error))
            return 1;
        lap.add(&plan.write, &plan.writeCpu);
    }
    print(qPrintable(QStringLiteral("year-end plan of month 12, %1 employees").arg(large)), plan);
    return 0;
}
