// Reading and writing a large salary sheet in each format: 100,000 rows × 20 columns for .xlsx,
// 65,000 for .xls (its limit is 65,536). Each step runs in a process of its own (this program
// started again with --write or --read), so its peak memory is its own and not the steps' before
// it. A step reports its wall-clock seconds, the processor seconds it used (which a busy machine
// does not inflate), rows per second and its peak memory; writing is split into filling the sheet
// (the caller's work) and saving it, reading into loading and showing every cell through the
// display rule. Beside the .xlsx figures it measures, in the same run, Python's openpyxl reading
// the same file (read-only mode) and Python's XlsxWriter writing the same sheet (constant-memory
// mode), when Debian's interpreter has them, and prints how many times faster this layer is.
//
//   bench_workbook [--no-python] [xls|xlsx]
#include "excel/celldisplay.h"
#include "excel/workbook.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kCols = 20;

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Processor seconds (user and system) this process has used so far.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Wall-clock and processor time of one step.
class Stopwatch
{
public:
    Stopwatch()
    {
        m_timer.start();
        m_cpu = cpuSeconds();
    }
    void report(const char *step, int rows)
    {
        const double seconds = m_timer.nsecsElapsed() / 1e9;
        const double cpu = cpuSeconds() - m_cpu;
        std::printf("%-22s %7d rows %7.2f s (cpu %5.2f s) %9.0f rows/s  peak %5ld MB\n", step, rows, seconds,
                    cpu, rows / seconds, peakMegabytes());
        std::fflush(stdout);
        m_timer.restart();
        m_cpu = cpuSeconds();
    }

private:
    QElapsedTimer m_timer;
    double m_cpu = 0;
};

int writeBook(const QString &path, int rows, const char *suffix)
{
    Stopwatch watch;
    auto book = Workbook::create(path);
    Font *font = book->addFont();
    font->setName(QStringLiteral("微软雅黑"));
    font->setSize(10);
    Format *left = book->addFormat();
    left->setFont(font);
    left->setAlignH(CellAlignH::Left);
    left->setBorder(CellBorder::Thin);
    Format *right = book->addFormat();
    right->setFont(font);
    right->setAlignH(CellAlignH::Right);
    right->setBorder(CellBorder::Thin);
    Sheet *sheet = book->addSheet(QStringLiteral("lumo"));
    for (int r = 0; r < rows; ++r) {
        // As the export writes them: every value as text.
        sheet->writeStr(r, 0, QStringLiteral("员工%1").arg(r), left);
        for (int c = 1; c < kCols; ++c)
            sheet->writeStr(r, c, QString::number((r * 31 + c * 7) % 1000000 / 100.0, 'f', 2), right);
    }
    for (int c = 0; c < kCols; ++c)
        sheet->setCol(c, c, 12);
    watch.report(qPrintable(QStringLiteral("  fill sheet .%1").arg(QLatin1String(suffix))), rows);
    if (!book->save(path)) {
        std::fprintf(stderr, "%s\n", qPrintable(book->errorMessage()));
        return 1;
    }
    watch.report(qPrintable(QStringLiteral("  save .%1").arg(QLatin1String(suffix))), rows);
    return 0;
}

int readBook(const QString &path, int rows, const char *suffix)
{
    Stopwatch watch;
    auto book = Workbook::create(path);
    if (!book->load(path)) {
        std::fprintf(stderr, "%s\n", qPrintable(book->errorMessage()));
        return 1;
    }
    watch.report(qPrintable(QStringLiteral("  load .%1").arg(QLatin1String(suffix))), rows);
    // As the import page reads them: every cell through the display rule.
    const Sheet &sheet = *book->getSheet(0);
    qsizetype chars = 0;
    for (int r = 0; r <= sheet.lastRow(); ++r) {
        for (int c = 0; c <= sheet.lastCol(); ++c)
            chars += displayCell(*book, sheet, r, c).text.size();
    }
    if (sheet.lastRow() != rows - 1 || chars == 0) {
        std::fprintf(stderr, "read back %d rows\n", sheet.lastRow() + 1);
        return 1;
    }
    watch.report(qPrintable(QStringLiteral("  display .%1").arg(QLatin1String(suffix))), rows);
    return 0;
}

constexpr char kPython[] = "/usr/bin/python3";

// Seconds the script took with `path` as its argument (interpreter start included), or a negative
// number when it could not run.
double pythonSeconds(const char *script, const QString &path)
{
    if (!QFile::exists(QLatin1String(kPython)))
        return -1;
    QProcess p;
    QElapsedTimer timer;
    timer.start();
    p.start(QLatin1String(kPython), {QStringLiteral("-c"), QLatin1String(script), path});
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return -1;
    return timer.nsecsElapsed() / 1e9;
}

// The same sheet as writeBook writes, every value as text.
const char kXlsxWriterScript[] = R"(
import sys, xlsxwriter
wb = xlsxwriter.Workbook(sys.argv[1], {'constant_memory': True})
font = {'font_name': '微软雅黑', 'font_size': 10, 'border': 1}
left = wb.add_format(dict(font, align='left'))
right = wb.add_format(dict(font, align='right'))
ws = wb.add_worksheet('lumo')
ws.set_column(0, 19, 12)
for r in range(100000):
    ws.write_string(r, 0, '员工%d' % r, left)
    for c in range(1, 20):
        ws.write_string(r, c, '%.2f' % ((r * 31 + c * 7) % 1000000 / 100.0), right)
wb.close()
)";

const char kOpenpyxlScript[] = R"(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1], read_only=True)
n = 0
for row in wb.worksheets[0].iter_rows(values_only=True):
    n += sum(len(str(v)) for v in row if v is not None)
assert n > 0
)";

void compare(const char *step, const char *other, double ours, double theirs)
{
    if (theirs < 0)
        std::printf("%-22s (%s not available under %s)\n", step, other, kPython);
    else
        std::printf("%-22s %s %.2f s: ours is %.1f× faster\n", step, other, theirs, theirs / ours);
    std::fflush(stdout);
}

// Runs this program again for one step, passing its report lines on; the step's wall-clock
// seconds as this process sees them, or a negative number when it failed.
double runStep(const char *step, const QString &path, int rows)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    p.start(QCoreApplication::applicationFilePath(), {QLatin1String(step), path, QString::number(rows)});
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return -1;
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::fputs(p.readAllStandardOutput().constData(), stdout);
    std::fflush(stdout);
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && (args[1] == u"--write" || args[1] == u"--read")) {
        const QString path = args[2];
        const QByteArray suffix = path.section(QLatin1Char('.'), -1).toLatin1();
        const int rows = args[3].toInt();
        return args[1] == u"--write" ? writeBook(path, rows, suffix.constData())
                                     : readBook(path, rows, suffix.constData());
    }
    const bool python = !args.contains(QStringLiteral("--no-python"));
    const bool onlyXls = args.contains(QStringLiteral("xls"));
    const bool onlyXlsx = args.contains(QStringLiteral("xlsx"));

    QTemporaryDir dir;
    for (const auto &[suffix, rows] : {std::pair{"xls", 65000}, std::pair{"xlsx", 100000}}) {
        const bool xlsx = std::strcmp(suffix, "xlsx") == 0;
        if ((onlyXls && xlsx) || (onlyXlsx && !xlsx))
            continue;
        const QString path = dir.filePath(QStringLiteral("bench.") + QLatin1String(suffix));
        const double written = runStep("--write", path, rows);
        if (written < 0)
            return 1;
        std::printf("%-22s %7d rows %7.2f s (whole process)\n",
                    qPrintable(QStringLiteral("write .%1").arg(QLatin1String(suffix))), rows, written);
        const double read = runStep("--read", path, rows);
        if (read < 0)
            return 1;
        std::printf("%-22s %7d rows %7.2f s (whole process)\n",
                    qPrintable(QStringLiteral("read + display .%1").arg(QLatin1String(suffix))), rows, read);
        std::fflush(stdout);
        if (xlsx && python) {
            compare("write .xlsx", "Python XlsxWriter", written,
                    pythonSeconds(kXlsxWriterScript, dir.filePath(QStringLiteral("python.xlsx"))));
            compare("read .xlsx", "openpyxl", read, pythonSeconds(kOpenpyxlScript, path));
        }
    }
    return 0;
}
