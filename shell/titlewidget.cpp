#include "shell/titlewidget.h"

#include "shell/pushbutton.h"
#include "shell/toolbutton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace {

struct FunctionDef
{
    const char16_t *name;
    const char16_t *icon;
};

constexpr FunctionDef kFunctions[kFunctionCount] = {
    {u"单人个税计算", u":/toolWidget/singlecalc_free"}, {u"批量个税计算", u":/toolWidget/batchcalc_free"},
    {u"单人节税筹划", u":/toolWidget/singlesave"},      {u"批量节税筹划", u":/toolWidget/batchsave"},
    {u"奖金分摊计算", u":/toolWidget/bonusapportion"},  {u"奖金批量分摊", u":/toolWidget/batchapportion"},
    {u"年薪节税筹划", u":/toolWidget/salarysave"},
};

} // namespace

QString functionName(int index)
{
    return index >= 0 && index < kFunctionCount ? QString::fromUtf16(kFunctions[index].name) : QString();
}

QString functionIcon(int index)
{
    return index >= 0 && index < kFunctionCount ? QString::fromUtf16(kFunctions[index].icon) : QString();
}

TitleWidget::TitleWidget(QWidget *parent)
    : QWidget(parent),
      m_title(new QLabel(QStringLiteral("岚舟个税节税筹划") + QStringLiteral(" " LUMO_VERSION), this)),
      m_rules(new QLabel(this)),
      m_skin(makeSystemButton(QStringLiteral(":/sysButton/skin_button"), QStringLiteral("换肤"))),
      m_menu(makeSystemButton(QStringLiteral(":/sysButton/main_menu"), QStringLiteral("主菜单"))),
      m_min(makeSystemButton(QStringLiteral(":/sysButton/min_button"), QStringLiteral("最小化"))),
      m_max(makeSystemButton(QStringLiteral(":/sysButton/max_button"), QStringLiteral("最大化"))),
      m_close(makeSystemButton(QStringLiteral(":/sysButton/close_button"), QStringLiteral("关闭"))),
      m_logo(new QLabel(this))
{
    setFixedHeight(100);
    m_title->setStyleSheet(QStringLiteral("color:white;"));
    m_title->setContentsMargins(15, 0, 0, 0);
    m_title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_rules->setStyleSheet(QStringLiteral("color:white; font-weight:bold;"));
    m_rules->setContentsMargins(12, 0, 0, 0);
    m_skin->setContentsMargins(0, 0, 10, 0);

    auto *top = new QHBoxLayout;
    top->setSpacing(0);
    top->setContentsMargins(0, 0, 5, 0);
    top->addWidget(m_title, 0, Qt::AlignVCenter);
    top->addWidget(m_rules, 0, Qt::AlignVCenter);
    top->addStretch();
    for (PushButton *b : {m_skin, m_menu, m_min, m_max, m_close})
        top->addWidget(b, 0, Qt::AlignTop);

    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(8);
    bottom->setContentsMargins(15, 0, 0, 0);
    for (int i = 0; i < kFunctionCount; ++i) {
        auto *button = new ToolButton(functionIcon(i), this);
        button->setText(functionName(i));
        m_functionButtons.append(button);
        bottom->addWidget(button, 0, Qt::AlignBottom);
        connect(button, &ToolButton::clicked, this, [this, i] { turnPage(QString::number(i)); });
    }
    bottom->addStretch();
    const QPixmap logo(QStringLiteral(":/img/logo"));
    m_logo->setPixmap(logo);
    m_logo->setFixedSize(logo.size());
    m_logo->setCursor(Qt::PointingHandCursor);
    bottom->addWidget(m_logo);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addLayout(bottom);

    connect(m_skin, &PushButton::clicked, this, &TitleWidget::showSkin);
    connect(m_menu, &PushButton::clicked, this, &TitleWidget::showMainMenu);
    connect(m_min, &PushButton::clicked, this, &TitleWidget::showMin);
    connect(m_max, &PushButton::clicked, this, &TitleWidget::showMax);
    connect(m_close, &PushButton::clicked, this, &TitleWidget::closeWidget);
}

PushButton *TitleWidget::makeSystemButton(const QString &strip, const QString &tip)
{
    auto *button = new PushButton(this);
    button->setImageStrip(strip);
    button->setToolTip(tip);
    return button;
}

void TitleWidget::setMaximised(bool maximised)
{
    m_max->setImageStrip(maximised ? QStringLiteral(":/sysButton/restore_button")
                                   : QStringLiteral(":/sysButton/max_button"));
    m_max->setToolTip(maximised ? QStringLiteral("还原") : QStringLiteral("最大化"));
    m_max->update();
}

void TitleWidget::setRulesText(const QString &text)
{
    m_rules->setText(text);
}

void TitleWidget::setFunctionText(int index, const QString &text)
{
    if (ToolButton *button = m_functionButtons.value(index))
        button->setText(text);
}

void TitleWidget::turnPage(const QString &text)
{
    bool isNumber = false;
    int index = text.toInt(&isNumber);
    if (!isNumber)
        index = 0;
    for (int i = 0; i < m_functionButtons.size(); ++i) {
        ToolButton *button = m_functionButtons.at(i);
        if (i != index) {
            button->setMousePress(false);
        } else if (!button->isMousePress()) {
            emit functionClicked(i);
            button->setMousePress(true);
        }
    }
}

void TitleWidget::mousePressEvent(QMouseEvent *event)
{
    m_pressPoint = event->position().toPoint();
    m_pressed = true;
}

void TitleWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() != Qt::LeftButton || !m_pressed)
        return;
    QWidget *top = window();
    top->move(top->pos() + (event->position().toPoint() - m_pressPoint));
}

void TitleWidget::mouseReleaseEvent(QMouseEvent *)
{
    m_pressed = false;
}

void TitleWidget::mouseDoubleClickEvent(QMouseEvent *)
{
    emit showMax();
}
