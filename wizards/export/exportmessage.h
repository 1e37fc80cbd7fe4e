// The message boxes of the export wizard: the given icon, on top of other windows, titled with the
// application's name, a text and an explanation below it.
#pragma once

#include <QMessageBox>

QMessageBox::StandardButton exportMessage(QWidget *parent, QMessageBox::Icon icon, const QString &text,
                                          const QString &informative,
                                          QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                          QMessageBox::StandardButton defaultButton = QMessageBox::Ok);
