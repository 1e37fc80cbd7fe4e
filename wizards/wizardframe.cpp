#include "wizards/wizardframe.h"

#include <QPixmap>
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
}
