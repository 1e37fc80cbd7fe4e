// A function button of the title bar: icon above bold light text, a soft highlight while hovered
// or selected, and a click as soon as the left button goes down.
#pragma once

#include <QToolButton>

class ToolButton : public QToolButton
{
    Q_OBJECT
public:
    explicit ToolButton(const QString &iconPath, QWidget *parent = nullptr);

    void setMousePress(bool pressed);
    bool isMousePress() const { return m_pressedLook; }

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_hover = false;
    bool m_pressedLook = false;
};
