// The main window: frameless, painted with the chosen skin, the title bar on top and one function
// page at a time below it. Pages are created on first choice and then kept, so each keeps its
// inputs while another is shown.
//
// Without a system frame the window grips its own edges and corners for resizing (FrameGrip).
//
// The shell owns the pages through the parent tree and knows each page class only in createPage.
#pragma once

#include <QList>
#include <QPixmap>
#include <QRect>
#include <QWidget>

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

    // The page of function index, made with the window as parent.
    static QWidget *createPage(int index, QWidget *parent);

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

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void openHelpDocument(const QString &name);

    QList<QWidget *> m_pages;
    QRect m_normalGeometry;
    QString m_skin;
    QPixmap m_skinPixmap;
    TitleWidget *m_title;
    QVBoxLayout *m_pageArea;
    MainMenu *m_mainMenu;
    SkinWidget *m_skinWidget;
    FrameGrip *m_grip;
    bool m_maximised = false;
};
