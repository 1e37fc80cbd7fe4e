#include "shell/changeskinwidget.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

ChangeSkinWidget::ChangeSkinWidget(QWidget *parent)
    : QWidget(parent), m_thumbnail(new QLabel(this)), m_name(new QLabel(this)),
      m_use(new QPushButton(QStringLiteral("使用此皮肤"), this))
{
    setFixedSize(140, 160);
    m_thumbnail->setFixedSize(100, 65);
    m_thumbnail->setScaledContents(true);
    m_name->setAlignment(Qt::AlignCenter);
    m_use->setFixedSize(85, 25);
    m_use->setCursor(Qt::PointingHandCursor);
    m_use->setStyleSheet(QStringLiteral("QPushButton{border-radius:3px; border:1px solid rgb(180, 190, 200); "
                                        "color:rgb(70, 70, 70); background:transparent;}"
                                        "QPushButton:hover{background:rgb(140, 220, 35);}"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_thumbnail, 0, Qt::AlignCenter);
    layout->addWidget(m_name, 0, Qt::AlignCenter);
    layout->addWidget(m_use, 0, Qt::AlignCenter);
    connect(m_use, &QPushButton::pressed, this, &ChangeSkinWidget::changeskin);
}

QString ChangeSkinWidget::skinName() const
{
    return m_name->text();
}

void ChangeSkinWidget::changeSkin(const QString &pixmap_name, const QString &skin_name, const QString &)
{
    m_bigPath = pixmap_name + QStringLiteral("_big");
    m_thumbnail->setPixmap(
        QPixmap(m_bigPath).scaled(m_thumbnail->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    m_name->setText(skin_name);
}

void ChangeSkinWidget::changeskin()
{
    emit changeSkin(m_bigPath);
}

void ChangeSkinWidget::enterEvent(QEnterEvent *)
{
    m_hover = true;
    update();
}

void ChangeSkinWidget::leaveEvent(QEvent *)
{
    m_hover = false;
    update();
}

void ChangeSkinWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    emit changeSkin(m_bigPath);
}

void ChangeSkinWidget::mouseReleaseEvent(QMouseEvent *)
{
    m_pressed = false;
}

void ChangeSkinWidget::paintEvent(QPaintEvent *)
{
    if (!m_hover)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(210, 225, 230));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRect(0, 0, width() - 1, height() - 1), 5, 5);
}
