#include "shell/mainmenu.h"

MainMenu::MainMenu(QWidget *parent) : QMenu(parent)
{
    addAction(QIcon(QStringLiteral(":/mainMenu/help")), QStringLiteral("使用帮助"), this,
              &MainMenu::showHelp);
    addAction(QStringLiteral("政策法规"), this, &MainMenu::showLaws);
    addSeparator();
    addAction(QIcon(QStringLiteral(":/mainMenu/about")), QStringLiteral("关于..."), this,
              &MainMenu::showAboutUs);
}
