#include "shell/toolbutton.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

ToolButton::ToolButton(const QString &iconPath, QWidget *parent) : QToolButton(parent)
{
    QPalette pal = palette();
    pal.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    setPalette(pal);
    QFont f = font();
    f.setBold(true);
    setFont(f);
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const QPixmap pixmap(iconPath);
    setIcon(pixmap);
    setIconSize(pixmap.size());
    setFixedSize(pixmap.width() + 25, pixmap.height() + 27);
    setAutoRaise(true);
    setStyleSheet(QStringLiteral("background:transparent;"));
    setCursor(Qt::PointingHandCursor);
}

void ToolButton::setMousePress(bool pressed)
{
    m_pressedLook = pressed;
    update();
}

void ToolButton::enterEvent(QEnterEvent *)
{
    m_hover = true;
}

void ToolButton::leaveEvent(QEvent *)
{
    m_hover = false;
}

void ToolButton::mousePressEvent(QMouseEvent *event)
{
    // Function buttons switch pages on press; the toolkit's release handling is not wanted.
    if (event->button() == Qt::LeftButton)
        emit clicked();
}

void ToolButton::paintEvent(QPaintEvent *event)
{
    if (m_hover || m_pressedLook) {
        QPainter painter(this);
        QLinearGradient gradient(rect().topLeft(), rect().bottomLeft());
        gradient.setColorAt(0, QColor(230, 230, 230, 0));
        gradient.setColorAt(0.5, QColor(230, 230, 230, 100));
        gradient.setColorAt(1, QColor(230, 230, 230, 150));
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        painter.drawRect(rect());
    }
    QToolButton::paintEvent(event);
}
