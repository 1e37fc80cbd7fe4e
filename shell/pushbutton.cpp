#include "shell/pushbutton.h"

#include <QMouseEvent>
#include <QPainter>

PushButton::PushButton(QWidget *parent) : QPushButton(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void PushButton::setImageStrip(const QString &path)
{
    m_stripPath = path;
    m_strip.load(path);
    m_frameWidth = m_strip.width() / 4;
    m_frameHeight = m_strip.height();
    setFixedSize(m_frameWidth, m_frameHeight);
}

void PushButton::enterEvent(QEnterEvent *)
{
    m_state = 1;
    update();
}

void PushButton::leaveEvent(QEvent *)
{
    m_state = 0;
    update();
}

void PushButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_state = 2;
    update();
}

void PushButton::mouseReleaseEvent(QMouseEvent *)
{
    if (!m_pressed)
        return;
    m_pressed = false;
    m_state = 1;
    update();
    emit clicked();
}

void PushButton::paintEvent(QPaintEvent *)
{
    if (m_strip.isNull() || m_frameWidth <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), m_strip, QRect(m_state * m_frameWidth, 0, m_frameWidth, m_frameHeight));
}
