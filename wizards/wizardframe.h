// The frame every wizard of the program shares: the modern style, the logo and the banner scaled to
// the wizard's width, the Chinese button texts and the least size. Each wizard passes its title.
//
// The keyboard is the same on every page: the page's first field has the focus when the page shows,
// and Enter means "下一步" (or "执行" on the last page) wherever the focus is; buttons on a page take
// Space or a click.
#pragma once

#include <QString>

class QWidget;
class QWizard;

// A page names the field the keyboard starts in; pages that do not take the toolkit's choice.
class FirstFieldPage
{
public:
    virtual ~FirstFieldPage() = default;
    virtual QWidget *firstField() const = 0;
};

void setUpWizardFrame(QWizard *wizard, const QString &title);
