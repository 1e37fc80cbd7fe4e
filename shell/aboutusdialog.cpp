#include "shell/aboutusdialog.h"

#include "shell/config.h"
#include "shell/pushbutton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

AboutUsDialog::AboutUsDialog(QWidget *parent) : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog)
{
    setModal(true);
    setFixedSize(520, 290);
    setWindowTitle(QStringLiteral("岚舟个税节税筹划"));

    auto *smallLogo = new QLabel(this);
    smallLogo->setPixmap(
        QPixmap(QStringLiteral(":/img/lumo")).scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    auto *title = new QLabel(QStringLiteral("岚舟个税节税筹划"), this);
    title->setStyleSheet(QStringLiteral("color:white;"));
    auto *close = new PushButton(this);
    close->setImageStrip(QStringLiteral(":/sysButton/close"));
    close->setToolTip(QStringLiteral("关闭"));
    connect(close, &PushButton::clicked, this, &AboutUsDialog::reject);
    auto *titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(8, 0, 4, 0);
    titleRow->setSpacing(6);
    titleRow->addWidget(smallLogo);
    titleRow->addWidget(title);
    titleRow->addStretch();
    titleRow->addWidget(close, 0, Qt::AlignTop);
    auto *titleBar = new QWidget(this);
    titleBar->setFixedHeight(30);
    titleBar->setLayout(titleRow);

    auto *bigLogo = new QLabel(this);
    bigLogo->setPixmap(QPixmap(QStringLiteral(":/img/lumo")));
    auto *product = new QLabel(QStringLiteral("岚舟个税节税筹划"), this);
    QFont productFont = product->font();
    productFont.setPointSize(16);
    productFont.setBold(true);
    product->setFont(productFont);
    product->setStyleSheet(QStringLiteral("color:rgb(30,170,60);"));
    auto *functions = new QLabel(QStringLiteral("个税计算 年终奖金节税筹划 奖金分摊 年薪反算"), this);
    functions->setStyleSheet(QStringLiteral("color:gray;"));
    auto *version = new QLabel(QStringLiteral("版本 2.1.2"), this);
    version->setStyleSheet(QStringLiteral("color:gray;"));
    auto *texts = new QVBoxLayout;
    texts->setSpacing(10);
    texts->addWidget(product);
    texts->addWidget(functions);
    texts->addWidget(version);
    auto *body = new QHBoxLayout;
    body->setContentsMargins(40, 20, 40, 0);
    body->setSpacing(24);
    body->addWidget(bigLogo, 0, Qt::AlignTop);
    body->addLayout(texts);
    body->addStretch();

    auto *ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setFixedSize(75, 25);
    ok->setStyleSheet(QStringLiteral("QPushButton{border:1px solid lightgray; background:rgb(230,230,230);}"
                                     "QPushButton:hover{border-color:green; background:transparent;}"));
    connect(ok, &QPushButton::clicked, this, &AboutUsDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->setContentsMargins(0, 0, 15, 12);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 0, 1, 0);
    layout->addWidget(titleBar);
    layout->addLayout(body);
    layout->addStretch();
    layout->addLayout(buttons);
}

void AboutUsDialog::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(rect(), QPixmap(configuredSkin(kDefaultAboutSkin)));
    painter.setPen(Qt::white);
    painter.setBrush(Qt::white);
    painter.drawRect(QRect(0, 30, width(), height() - 30));
    painter.setPen(Qt::gray);
    const QPoint outline[] = {{0, 30}, {0, height() - 1}, {width() - 1, height() - 1}, {width() - 1, 30}};
    painter.drawPolyline(outline, 4);
}

void AboutUsDialog::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pressed = true;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void AboutUsDialog::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressed)
        move(event->globalPosition().toPoint() - m_dragOffset);
}

void AboutUsDialog::mouseReleaseEvent(QMouseEvent *)
{
    m_pressed = false;
}
