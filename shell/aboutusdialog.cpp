#include "shell/aboutusdialog.h"

#include "shell/config.h"
#include "shell/pushbutton.h"
#include "shell/skinnedframe.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

AboutUsDialog::AboutUsDialog(QWidget *parent) : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog)
{
    setModal(true);
    setFixedSize(560, 330);
    setWindowTitle(QStringLiteral("岚舟个税节税筹划"));

    PushButton *close = nullptr;
    QWidget *titleBar = makeSkinnedTitleBar(this, &close);
    connect(close, &PushButton::clicked, this, &AboutUsDialog::reject);

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
    auto *version = new QLabel(QStringLiteral("版本 " LUMO_VERSION), this);
    version->setStyleSheet(QStringLiteral("color:gray;"));
    auto *rules = new QLabel(kAppliedRulesText, this);
    rules->setStyleSheet(QStringLiteral("color:gray;"));
    rules->setWordWrap(true);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(10);
    texts->addWidget(product);
    texts->addWidget(functions);
    texts->addWidget(version);
    texts->addWidget(rules);
    auto *body = new QHBoxLayout;
    body->setContentsMargins(40, 20, 40, 0);
    body->setSpacing(24);
    body->addWidget(bigLogo, 0, Qt::AlignTop);
    body->addLayout(texts, 1);

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
    paintSkinnedFrame(this, configuredSkin(kDefaultAboutSkin));
}

void AboutUsDialog::mousePressEvent(QMouseEvent *event)
{
    m_drag.press(this, event);
}

void AboutUsDialog::mouseMoveEvent(QMouseEvent *event)
{
    m_drag.move(this, event);
}

void AboutUsDialog::mouseReleaseEvent(QMouseEvent *)
{
    m_drag.release();
}
