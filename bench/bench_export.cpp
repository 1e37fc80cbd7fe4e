// The export of a large batch result, offscreen: the batch tax page calculates 100,000 generated
// rows, then the export's sheet is built from its tables as the wizard's preview builds it
// (template "全部薪酬列") and written to .xlsx through the one sheet writer. Reports the time of
// each step and the process's peak memory before and after the export. Reports only.
#include "batch/columncatalogue.h"
#include "batch/exporttemplate.h"
#include "bench/benchkit.h"
#include "pages/batch/batchcalcwid.h"
#include "wizards/export/exportreadypage.h"
#include "wizards/export/tableexport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void run(int rows)
{
    BatchCalcWid page;
    page.resize(1200, 700);
    page.show();
    fillSalaryRows(page.sourceTable(), rows, true);
    page.importFinished();
    timeRun([&] { page.calc(); }, [] { return false; });
    const long pagePeak = peakMegabytes();

    const QList<ExportColumn> columns =
        loadExportTemplate(BatchCalcPage, 2, ExportSettings(), ScopeAfter).columns;
    QElapsedTimer clock;
    clock.start();
    ExportPreviewModel preview;
    preview.setLayout(exportLayoutFromTables(BatchCalcPage, page.sourceTable(), page.resultTable(), nullptr,
                                             columns, ScopeBefore, QStringLiteral("工资计算结果")));
    const double previewSeconds = clock.elapsed() / 1000.0;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export.xlsx"));
    QString error;
    clock.restart();
    const bool ok = writeSheetLayout(preview.sheetLayout(), path, &error);
    const double writeSeconds = clock.elapsed() / 1000.0;
    std::printf("%6d rows x %2d columns: preview %5.2f s  write .xlsx %5.2f s  total %5.2f s  file %6.1f MB  "
                "peak %5ld MB (page alone %5ld MB)%s%s\n",
                rows, int(columns.size()), previewSeconds, writeSeconds, previewSeconds + writeSeconds,
                QFileInfo(path).size() / 1e6, peakMegabytes(), pagePeak,
                ok ? "" : "  FAILED: ", ok ? "" : qPrintable(error));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    run(100000);
    return 0;
}
