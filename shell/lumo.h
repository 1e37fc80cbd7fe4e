// The main window: frameless, painted with the chosen skin, the title bar on top and one function
// page at a time below it. Pages are created on first choice and then kept, so each keeps its
// inputs while another is shown.
//
// Without a system frame the window grips its own edges and corners for resizing (FrameGrip).
//
// The shell owns the pages through the parent tree and knows each page class only in createPage.
//
// The "计税规定" menu chooses the rules of the whole window (remembered in user.ini). The single
// functions have a page for each rules; on a change the pages built so far are rebuilt under the
// new rules, carrying over the inputs that mean the same under both (月应发工资, 三险一金, 年终奖金:
// the fields named kCarry… in widgets/taxrules.h). Batch function 1 is the month's payroll on the
// ledger under the current rules; the other batch functions have only their 2011 pages for now, and
// under the current rules a line above such a page says so.
#pragma once

#include <QList>
#include <QPixmap>
#include <QRect>
#include <QWidget>

enum class TaxRules;

class FrameGrip;
class MainMenu;
class QVBoxLayout;
class SkinWidget;
class TitleWidget;

class Lumo : public QWidget
{
    Q_OBJECT
public:
    explicit Lumo(QWidget *parent = nullptr);
    ~Lumo() override;

    TitleWidget *titleWidget() const { return m_title; }
    SkinWidget *skinWidget() const { return m_skinWidget; }
    QWidget *page(int index) const { return m_pages.value(index); }
    const QString &skin() const { return m_skin; }
    bool isMaximised() const { return m_maximised; }
    FrameGrip *frameGrip() const { return m_grip; }

    // The page of function index under the 2011 rules, made with the window as parent.
    static QWidget *createPage(int index, QWidget *parent);
    // The page of function index under the rules, made with the window as parent.
    static QWidget *createPage(int index, TaxRules rules, QWidget *parent);
    TaxRules rules() const { return m_rules; }
    int currentFunction() const { return m_current; }
    MainMenu *mainMenu() const { return m_mainMenu; }
    // The line above a batch page under the current rules.

public slots:
    void actFunction(int index);
    void showWidget();
    void showMax();
    void showSkinWidget();
    void showMainMenu();
    void showAboutUs();
    void changeSkin(const QString &skin);
    void showHelp();
    void showLaws();
    // Selects function index as a click on its button would.
    void selectFunction(int index);
    // Switches the window to the rules: stores the choice, renames, rebuilds the single pages.
    void setRules(TaxRules rules);
    // Opens a history entry made under other rules: says so, switches, opens it on its page.
    void openUnderRules(const QString &path, int function, TaxRules rules);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void openHelpDocument(const QString &name);
    void showRules();

    QList<QWidget *> m_pages;
    QRect m_normalGeometry;
    QString m_skin;
    QPixmap m_skinPixmap;
    TitleWidget *m_title;
    QVBoxLayout *m_pageArea;
    MainMenu *m_mainMenu;
    SkinWidget *m_skinWidget;
    FrameGrip *m_grip;
    TaxRules m_rules;
    int m_current = -1;
    bool m_maximised = false;
};
