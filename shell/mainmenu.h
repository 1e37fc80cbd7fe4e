// The drop-down main menu of the title bar.
#pragma once

#include <QMenu>

class MainMenu : public QMenu
{
    Q_OBJECT
public:
    explicit MainMenu(QWidget *parent = nullptr);

signals:
    void showHelp();
    void showLaws();
    void showAboutUs();
};
