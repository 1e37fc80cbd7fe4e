// Start-up of the desktop program: translation, font, the main window, and "--page N" to open on
// function N (used by desktop shortcuts and the screenshot tool), and "--screenshot FILE" to save a
// picture of the window once it has settled and quit (used by tools/screenshot).
#include "shell/lumo.h"
#include "shell/startup.h"

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
    if (!shot.isEmpty()) {
        // Long enough for the pages' delayed history fill and the first paints.
        QTimer::singleShot(1500, &window, [&window, shot] {
            const bool saved = window.grab().save(shot, "PNG");
            if (!saved)
                std::fprintf(stderr, "无法保存截图 %s\n", shot.toLocal8Bit().constData());
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
