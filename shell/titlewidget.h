// The title bar of the main window: title and five system buttons on top, the seven function
// buttons and the logo below. Dragging it with the left button moves the window; a double click
// toggles maximise.
#pragma once

#include <QList>
#include <QPoint>
#include <QWidget>

class PushButton;
class ToolButton;
class QLabel;

// Texts and icons of the seven functions, in title-bar order.
QString functionName(int index);
QString functionIcon(int index);
inline constexpr int kFunctionCount = 7;

class TitleWidget : public QWidget
{
    Q_OBJECT
public:
    explicit TitleWidget(QWidget *parent = nullptr);

    ToolButton *functionButton(int index) const { return m_functionButtons.value(index); }
    PushButton *maxButton() const { return m_max; }
    // The maximise button shows the restore glyph ("还原") while the window is maximised.
    void setMaximised(bool maximised);
    // The rules in force in the window, shown beside the title.
    void setRulesText(const QString &text);
    QLabel *rulesLabel() const { return m_rules; }
    // Renames a function's button (function 4 does something else under the current rules).
    void setFunctionText(int index, const QString &text);

signals:
    void showSkin();
    void showMin();
    void showMax();
    void showMainMenu();
    void closeWidget();
    void functionClicked(int index);

public slots:
    // Selects the function whose index the text holds (0 when it holds no number). Choosing the
    // function already selected emits nothing.
    void turnPage(const QString &text);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    PushButton *makeSystemButton(const QString &strip, const QString &tip);

    QLabel *m_title;
    QLabel *m_rules;
    PushButton *m_skin;
    PushButton *m_menu;
    PushButton *m_min;
    PushButton *m_max;
    PushButton *m_close;
    QList<ToolButton *> m_functionButtons;
    QLabel *m_logo;
    QPoint m_pressPoint;
    bool m_pressed = false;
};
