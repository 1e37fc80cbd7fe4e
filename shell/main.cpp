// Start-up of the desktop program: translation, font, the main window, and "--page N" to open on
// function N (used by desktop shortcuts and the screenshot tool), and "--screenshot FILE" to save a
// picture of the window once it has settled and quit (used by tools/screenshot); with
// "--import-page ID" the picture is of the import wizard on that page, run on the sample sheet.
#include "pages/batch/batchcalcwid.h"
#include "shell/lumo.h"
#include "shell/startup.h"
#include "wizards/import/importwizard.h"

#include <QApplication>
#include <QTimer>
#include <QTranslator>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::addLibraryPath(QCoreApplication::applicationDirPath() + QStringLiteral("/codecs"));
    QTranslator translator;
    installChineseTranslation(&app, &translator);
    QApplication::setFont(applicationFont());

    QString error;
    const int page = pageFromArguments(QCoreApplication::arguments(), &error);
    if (!error.isEmpty())
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());

    Lumo window;
    if (const QSize size = sizeFromArguments(QCoreApplication::arguments()); size.isValid())
        window.resize(size.expandedTo(window.minimumSize()));
    window.showWidget();
    if (page != 0)
        window.selectFunction(page);
    const QString shot = screenshotFromArguments(QCoreApplication::arguments());
    QWidget *pictured = &window;
    const qsizetype wizardAt = QCoreApplication::arguments().indexOf(QStringLiteral("--import-page"));
    if (!shot.isEmpty() && wizardAt > 0 && wizardAt + 1 < QCoreApplication::arguments().size()) {
        window.selectFunction(1);
        if (auto *batch = window.findChild<BatchCalcWid *>()) {
            auto *wizard = new ImportWizard(batch->sourceTable(), 0, &window);
            wizard->show();
            const QString sample =
                QCoreApplication::applicationDirPath() + QStringLiteral("/examples/标准工资表.xls");
            wizard->stepTo(QCoreApplication::arguments().at(wizardAt + 1).toInt(), sample, 1);
            pictured = wizard;
        }
    }
    if (!shot.isEmpty()) {
        // Long enough for the pages' delayed history fill and the first paints.
        QTimer::singleShot(1500, &window, [pictured, shot] {
            const bool saved = pictured->grab().save(shot, "PNG");
            if (!saved)
                std::fprintf(stderr, "无法保存截图 %s\n", shot.toLocal8Bit().constData());
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
