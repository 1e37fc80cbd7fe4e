// The export of a large batch result, offscreen: the batch tax page calculates 100,000 generated
// rows, then the export's sheet is built from its tables as the wizard's preview builds it
// (template "全部薪酬列") and written to .xlsx through the one sheet writer. Reports the time of
// each step and the process's peak memory before and after the export. Reports only.
#include "batch/columncatalogue.h"
#include "batch/exporttemplate.h"
#include "excel/cellkind.h"
#include "pages/batch/batchcalcwid.h"
#include "pages/batch/ptablewidget.h"
#include "wizards/export/exportreadypage.h"
#include "wizards/export/tableexport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

QTableWidgetItem *numberItem(double yuan)
{
    auto *item = new QTableWidgetItem(QString::number(yuan, 'f', 2), NumberCell);
    item->setData(kCellNumberRole, yuan);
    return item;
}

void fill(BatchCalcWid &page, int rows)
{
    QRandomGenerator random(42);
    PTableWidget *table = page.sourceTable();
    table->setUpdatesEnabled(false);
    table->setRowCount(rows + 2);
    for (int r = 2; r < rows + 2; ++r) {
        table->setItem(r, 0, new QTableWidgetItem(QString::number(r), TextCell));
        table->setItem(r, 1, new QTableWidgetItem(QStringLiteral("员工%1").arg(r), TextCell));
        table->setItem(r, 2, numberItem(random.bounded(2000000) / 100.0));
        table->setItem(r, 3, numberItem(random.bounded(300000) / 100.0));
        if (r % 3)
            table->setItem(r, 4, numberItem(random.bounded(6000000) / 100.0));
        if (r % 4 == 0)
            table->setItem(r, 5, numberItem(random.bounded(500000) / 100.0));
    }
    table->setUpdatesEnabled(true);
    page.importFinished();
}

void calculate(BatchCalcWid &page)
{
    bool done = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            box->done(QMessageBox::Ok);
            done = true;
        }
    });
    closer.start(5);
    QTimer::singleShot(0, &page, [&] { page.calc(); });
    while (!done)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
}

void run(int rows)
{
    BatchCalcWid page;
    page.resize(1200, 700);
    page.show();
    fill(page, rows);
    calculate(page);
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
