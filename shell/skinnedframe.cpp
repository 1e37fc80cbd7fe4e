#include "shell/skinnedframe.h"

#include "shell/pushbutton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

QWidget *makeSkinnedTitleBar(QWidget *owner, PushButton **close)
{
    auto *logo = new QLabel(owner);
    logo->setPixmap(
        QPixmap(QStringLiteral(":/img/lumo")).scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    auto *title = new QLabel(QStringLiteral("岚舟个税节税筹划"), owner);
    title->setStyleSheet(QStringLiteral("color:white;"));
    *close = new PushButton(owner);
    (*close)->setImageStrip(QStringLiteral(":/sysButton/close"));
    (*close)->setToolTip(QStringLiteral("关闭"));
    auto *row = new QHBoxLayout;
    row->setContentsMargins(8, 0, 4, 0);
    row->setSpacing(6);
    row->addWidget(logo);
    row->addWidget(title);
    row->addStretch();
    row->addWidget(*close, 0, Qt::AlignTop);
    auto *bar = new QWidget(owner);
    bar->setFixedHeight(30);
    bar->setLayout(row);
    return bar;
}

void paintSkinnedFrame(QWidget *widget, const QString &skin)
{
    QPainter painter(widget);
    painter.drawPixmap(widget->rect(), QPixmap(skin));
    painter.setPen(Qt::white);
    painter.setBrush(Qt::white);
    painter.drawRect(QRect(0, 30, widget->width(), widget->height() - 30));
    painter.setPen(Qt::gray);
    const int w = widget->width();
    const int h = widget->height();
    const QPoint outline[] = {{0, 30}, {0, h - 1}, {w - 1, h - 1}, {w - 1, 30}};
    painter.drawPolyline(outline, 4);
}

void FrameDrag::press(const QWidget *window, const QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pressed = true;
    m_offset = event->globalPosition().toPoint() - window->pos();
}

void FrameDrag::move(QWidget *window, const QMouseEvent *event) const
{
    if (m_pressed)
        window->move(event->globalPosition().toPoint() - m_offset);
}
