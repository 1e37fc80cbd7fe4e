#include "shell/mainmenu.h"

#include "widgets/taxrules.h"

#include <QActionGroup>

MainMenu::MainMenu(QWidget *parent) : QMenu(parent)
{
    addAction(QIcon(QStringLiteral(":/mainMenu/help")), QStringLiteral("使用帮助"), this,
              &MainMenu::showHelp);
    addAction(QStringLiteral("政策法规"), this, &MainMenu::showLaws);
    QMenu *rules = addMenu(QStringLiteral("计税规定"));
    auto *group = new QActionGroup(this);
    m_current = rules->addAction(taxRulesName(TaxRules::Current));
    m_rules2011 = rules->addAction(taxRulesName(TaxRules::Rules2011));
    for (QAction *action : {m_current, m_rules2011}) {
        action->setCheckable(true);
        group->addAction(action);
    }
    m_current->setChecked(true);
    connect(m_current, &QAction::triggered, this, [this] { emit rulesChosen(TaxRules::Current); });
    connect(m_rules2011, &QAction::triggered, this, [this] { emit rulesChosen(TaxRules::Rules2011); });
    addSeparator();
    addAction(QIcon(QStringLiteral(":/mainMenu/about")), QStringLiteral("关于..."), this,
              &MainMenu::showAboutUs);
}

void MainMenu::setRules(TaxRules rules)
{
    rulesAction(rules)->setChecked(true);
}

QAction *MainMenu::rulesAction(TaxRules rules) const
{
    return rules == TaxRules::Current ? m_current : m_rules2011;
}
