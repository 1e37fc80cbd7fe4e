// Start-up of the desktop program. The full main window arrives with the shell; until then a plain
// window shows the name and version so the run command has something to open.
#include "engine/ratetable.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ensureRateTable();
    QLabel window(QStringLiteral("岚舟个税节税筹划 2.1.2"));
    window.setAlignment(Qt::AlignCenter);
    window.setWindowTitle(QStringLiteral("岚舟个税节税筹划"));
    window.resize(900, 600);
    window.show();
    return app.exec();
}
