// The frame every wizard of the program shares: the modern style, the logo and the banner scaled to
// the wizard's width, the Chinese button texts and the least size. Each wizard passes its title.
#pragma once

#include <QString>

class QWizard;

void setUpWizardFrame(QWizard *wizard, const QString &title);
