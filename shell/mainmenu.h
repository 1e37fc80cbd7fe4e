// The drop-down main menu of the title bar: help, laws, the tax rules choice and the about box.
#pragma once

#include <QMenu>

class QAction;
enum class TaxRules;

class MainMenu : public QMenu
{
    Q_OBJECT
public:
    explicit MainMenu(QWidget *parent = nullptr);

    // Checks the "计税规定" choice of `rules` (without emitting rulesChosen).
    void setRules(TaxRules rules);
    QAction *rulesAction(TaxRules rules) const;

signals:
    void showHelp();
    void showLaws();
    void showAboutUs();
    void rulesChosen(TaxRules rules);

private:
    QAction *m_current;
    QAction *m_rules2011;
};
