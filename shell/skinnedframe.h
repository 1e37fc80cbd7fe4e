// What the shell's frameless pop-ups (the skin chooser, the about box) share: a 30-pixel title strip
// showing the current skin with the logo, the product name and a close button, a white body with a
// gray outline, and moving the window by dragging it with the left button.
#pragma once

#include <QPoint>
#include <QString>

class PushButton;
class QMouseEvent;
class QWidget;

// The title strip of `owner`; *close receives its close button for the caller to connect.
QWidget *makeSkinnedTitleBar(QWidget *owner, PushButton **close);

// Paints `skin` behind the title strip and the white, outlined body below it.
void paintSkinnedFrame(QWidget *widget, const QString &skin);

// Moves a top-level window while the left button is held after a press inside it.
class FrameDrag
{
public:
    void press(const QWidget *window, const QMouseEvent *event);
    void move(QWidget *window, const QMouseEvent *event) const;
    void release() { m_pressed = false; }

private:
    QPoint m_offset;
    bool m_pressed = false;
};
