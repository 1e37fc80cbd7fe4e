// Reading and writing a large salary sheet in each format: 100,000 rows × 20 columns for .xlsx,
// 65,000 for .xls (its limit is 65,536). Reports rows per second and the process's peak memory
// after each step (the peak only grows, so each figure includes the steps before it). Beside the
// .xlsx figures it measures, in the same run, Python's openpyxl reading the same file (read-only
// mode) and Python's XlsxWriter writing the same sheet (constant-memory mode), when Debian's
// interpreter has them, and prints how many times faster this layer is.
#include "excel/celldisplay.h"
#include "excel/workbook.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

constexpr int kCols = 20;

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

void report(const char *step, int rows, qint64 nsecs)
{
    const double seconds = nsecs / 1e9;
    std::printf("%-22s %7d rows %8.2f s %10.0f rows/s  peak %5ld MB\n", step, rows, seconds, rows / seconds,
                peakMegabytes());
    std::fflush(stdout);
}

bool writeBook(const QString &path, int rows)
{
    auto book = Workbook::create(path);
    Font *font = book->addFont();
    font->setName(QStringLiteral("微软雅黑"));
    font->setSize(10);
    Format *left = book->addFormat();
    left->setFont(font);
    left->setAlignH(AlignLeft);
    left->setBorder(BorderThin);
    Format *right = book->addFormat();
    right->setFont(font);
    right->setAlignH(AlignRight);
    right->setBorder(BorderThin);
    Sheet *sheet = book->addSheet(QStringLiteral("lumo"));
    for (int r = 0; r < rows; ++r) {
        // As the export writes them: every value as text.
        sheet->writeStr(r, 0, QStringLiteral("员工%1").arg(r), left);
        for (int c = 1; c < kCols; ++c)
            sheet->writeStr(r, c, QString::number((r * 31 + c * 7) % 1000000 / 100.0, 'f', 2), right);
    }
    for (int c = 0; c < kCols; ++c)
        sheet->setCol(c, c, 12);
    if (!book->save(path)) {
        std::fprintf(stderr, "%s\n", qPrintable(book->errorMessage()));
        return false;
    }
    return true;
}

bool readBook(const QString &path, int rows)
{
    auto book = Workbook::create(path);
    if (!book->load(path)) {
        std::fprintf(stderr, "%s\n", qPrintable(book->errorMessage()));
        return false;
    }
    // As the import page reads them: every cell through the display rule.
    const Sheet &sheet = *book->getSheet(0);
    qsizetype chars = 0;
    for (int r = 0; r <= sheet.lastRow(); ++r) {
        for (int c = 0; c <= sheet.lastCol(); ++c)
            chars += displayCell(*book, sheet, r, c).text.size();
    }
    if (sheet.lastRow() != rows - 1 || chars == 0) {
        std::fprintf(stderr, "read back %d rows\n", sheet.lastRow() + 1);
        return false;
    }
    return true;
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

} // namespace

int main()
{
    QTemporaryDir dir;
    for (const auto &[suffix, rows] : {std::pair{"xls", 65000}, std::pair{"xlsx", 100000}}) {
        const QString path = dir.filePath(QStringLiteral("bench.") + QLatin1String(suffix));
        QElapsedTimer timer;
        timer.start();
        if (!writeBook(path, rows))
            return 1;
        const qint64 written = timer.nsecsElapsed();
        report(qPrintable(QStringLiteral("write .%1").arg(QLatin1String(suffix))), rows, written);
        timer.restart();
        if (!readBook(path, rows))
            return 1;
        const qint64 read = timer.nsecsElapsed();
        report(qPrintable(QStringLiteral("read + display .%1").arg(QLatin1String(suffix))), rows, read);
        if (QLatin1String(suffix) == QLatin1String("xlsx")) {
            compare("write .xlsx", "Python XlsxWriter", written / 1e9,
                    pythonSeconds(kXlsxWriterScript, dir.filePath(QStringLiteral("python.xlsx"))));
            compare("read .xlsx", "openpyxl", read / 1e9, pythonSeconds(kOpenpyxlScript, path));
        }
    }
    return 0;
}
