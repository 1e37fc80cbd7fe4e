#include "wizards/export/exportmessage.h"

#include <QCoreApplication>

QMessageBox::StandardButton exportMessage(QWidget *parent, QMessageBox::Icon icon, const QString &text,
                                          const QString &informative, QMessageBox::StandardButtons buttons,
                                          QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, QCoreApplication::applicationName(), text, buttons, parent);
    box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
    box.setInformativeText(informative);
    box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
}
