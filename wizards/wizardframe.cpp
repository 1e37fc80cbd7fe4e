#include "wizards/wizardframe.h"

#include <QPixmap>
#include <QPushButton>
#include <QWizard>

using namespace Qt::StringLiterals;

void setUpWizardFrame(QWizard *wizard, const QString &title)
{
    wizard->setWindowTitle(title);
    wizard->setWizardStyle(QWizard::ModernStyle);
    wizard->setPixmap(QWizard::LogoPixmap, QPixmap(u":/img/logo"_s));
    const QPixmap banner(u":/img/banner"_s);
    if (!banner.isNull())
        wizard->setPixmap(QWizard::BannerPixmap, banner.scaled(800, banner.height(), Qt::IgnoreAspectRatio,
                                                               Qt::SmoothTransformation));
    wizard->setButtonText(QWizard::BackButton, u"上一步"_s);
    wizard->setButtonText(QWizard::NextButton, u"下一步"_s);
    wizard->setButtonText(QWizard::FinishButton, u"执行"_s);
    wizard->setButtonText(QWizard::CancelButton, u"取消"_s);
    wizard->setMinimumSize(800, 600);

    // Runs after the wizard has given the focus to the page's first focusable child.
    QObject::connect(wizard, &QWizard::currentIdChanged, wizard, [wizard] {
        QWizardPage *page = wizard->currentPage();
        if (!page)
            return;
        // A focused push button would take Enter for itself ("自动匹配" again and again).
        for (QPushButton *button : page->findChildren<QPushButton *>())
            button->setAutoDefault(false);
        if (const auto *named = dynamic_cast<const FirstFieldPage *>(page)) {
            if (QWidget *field = named->firstField())
                field->setFocus(Qt::TabFocusReason);
        }
    });
}
