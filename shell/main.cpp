// Start-up of the desktop program: translation, font, the main window, "--page N" to open on
// function N (used by desktop shortcuts) and "--size WxH" for the window's size.
#include "shell/lumo.h"
#include "shell/startup.h"

#include <QApplication>
#include <QTranslator>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
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
    return app.exec();
}
