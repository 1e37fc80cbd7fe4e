// Reading and writing a large salary sheet in each format: 100,000 rows × 20 columns for .xlsx,
// 65,000 for .xls (its limit is 65,536). Reports rows per second and the process's peak memory
// after each step (the peak only grows, so each figure includes the steps before it).
#include "excel/celldisplay.h"
#include "excel/workbook.h"

#include <QElapsedTimer>
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
        report(qPrintable(QStringLiteral("write .%1").arg(QLatin1String(suffix))), rows,
               timer.nsecsElapsed());
        timer.restart();
        if (!readBook(path, rows))
            return 1;
        report(qPrintable(QStringLiteral("read + display .%1").arg(QLatin1String(suffix))), rows,
               timer.nsecsElapsed());
    }
    return 0;
}
