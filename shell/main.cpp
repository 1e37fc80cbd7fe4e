// Start-up of the desktop program: Chinese locale (the file dialog's dates too) and translation, font,
// the main window, "--page N" to open on function N (used by desktop shortcuts) and "--size WxH" for the
// window's size. "--data-folders" prints where the help documents and sample sheets were found and quits
// (non-zero when one is missing), to check an install.
#include "batch/datafolders.h"
#include "shell/lumo.h"
#include "shell/startup.h"
#include "widgets/ptablewidget.h"

#include <QApplication>
#include <QTimer>
#include <QTranslator>
#include <cstdio>

int main(int argc, char **argv)
{
    PTableWidget::freeItemsPromptly();
    preferChineseDates();
    QApplication app(argc, argv);
    // Ties the window to the menu entry (its icon and name in a Wayland dock).
    QGuiApplication::setDesktopFileName(QStringLiteral("cn.lanzhou.lumo"));
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
    if (QCoreApplication::arguments().contains(QStringLiteral("--data-folders"))) {
        bool complete = false;
        std::fputs(dataFoldersReport(&complete).toUtf8().constData(), stdout);
        QTimer::singleShot(0, &window, [complete] { QCoreApplication::exit(complete ? 0 : 1); });
    }
    return app.exec();
}
