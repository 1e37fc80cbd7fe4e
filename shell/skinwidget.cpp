#include "shell/skinwidget.h"

#include "shell/changeskinwidget.h"
#include "shell/config.h"
#include "shell/pushbutton.h"
#include "shell/skinnedframe.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

const QStringList &skinNames()
{
    static const QStringList names = {
        QStringLiteral("绽放生命"), QStringLiteral("蓝色海洋"), QStringLiteral("红色心情"),
        QStringLiteral("可爱女孩"), QStringLiteral("清澈水珠"), QStringLiteral("盛开花朵"),
        QStringLiteral("一缕阳光"), QStringLiteral("神秘夜空"), QStringLiteral("蓝衣卫士"),
        QStringLiteral("美丽石头"), QStringLiteral("黄色力量"), QStringLiteral("魔幻世界"),
        QStringLiteral("热情活力"), QStringLiteral("梦幻天空"), QStringLiteral("愤怒的小鸟"),
        QStringLiteral("优雅爵士"), QStringLiteral("卡通"),     QStringLiteral("清凉夏日"),
        QStringLiteral("蓝色经典"), QStringLiteral("木纹"),     QStringLiteral("粉色心情"),
        QStringLiteral("穿越时空"), QStringLiteral("欢度国庆")};
    return names;
}

QString skinName(int n)
{
    if (n < 0 || n >= kSkinCount)
        return QString();
    return skinNames().value(n <= 7 ? n : n - 1);
}

SkinWidget::SkinWidget(QWidget *parent) : QWidget(parent, Qt::FramelessWindowHint | Qt::Dialog)
{
    resize(620, 445);
    setWindowTitle(QStringLiteral("岚舟个税节税筹划"));

    PushButton *close = nullptr;
    QWidget *titleBar = makeSkinnedTitleBar(this, &close);
    connect(close, &PushButton::clicked, this, &SkinWidget::hide);

    auto *grid = new QGridLayout;
    grid->setSpacing(6);
    for (int k = 0; k < kSkinsPerPage; ++k) {
        auto *tile = new ChangeSkinWidget(this);
        m_tiles.append(tile);
        grid->addWidget(tile, k / 4, k % 4, Qt::AlignCenter);
        connect(tile, qOverload<const QString &>(&ChangeSkinWidget::changeSkin), this,
                &SkinWidget::varyfySkin);
    }

    m_pageCount = kSkinCount / kSkinsPerPage + (kSkinCount % kSkinsPerPage ? 1 : 0);
    auto *paging = new QHBoxLayout;
    paging->setSpacing(6);
    paging->addStretch();
    for (int page = 1; page <= m_pageCount; ++page) {
        auto *button = new QPushButton(QString::number(page), this);
        button->setFixedWidth(20);
        button->setCursor(Qt::PointingHandCursor);
        connect(button, &QPushButton::clicked, this, [this, page] { showSkin(QString::number(page)); });
        m_pageButtons.append(button);
        paging->addWidget(button);
    }
    m_first = makeLink(QStringLiteral("首页"), QStringLiteral("first"));
    m_previous = makeLink(QStringLiteral("上一页"), QStringLiteral("previous"));
    m_next = makeLink(QStringLiteral("下一页"), QStringLiteral("next"));
    m_last = makeLink(QStringLiteral("末页"), QStringLiteral("last"));
    for (QPushButton *link : {m_first, m_previous, m_next, m_last})
        paging->addWidget(link);
    paging->addSpacing(12);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 0, 1, 8);
    layout->setSpacing(6);
    layout->addWidget(titleBar);
    layout->addLayout(grid);
    layout->addStretch();
    layout->addLayout(paging);

    showSkin(QString::number(m_page));
}

QPushButton *SkinWidget::makeLink(const QString &text, const QString &key)
{
    auto *link = new QPushButton(text, this);
    link->setFlat(true);
    link->setCursor(Qt::PointingHandCursor);
    link->setStyleSheet(QStringLiteral("color:rgb(0, 120, 230); background:transparent;"));
    connect(link, &QPushButton::clicked, this, [this, key] { showSkin(key); });
    return link;
}

void SkinWidget::showSkin(const QString &page)
{
    if (page == u"first") {
        m_page = 1;
    } else if (page == u"previous") {
        if (m_page > 1)
            --m_page;
    } else if (page == u"next") {
        if (m_page < m_pageCount)
            ++m_page;
    } else if (page == u"last") {
        m_page = m_pageCount;
    } else {
        bool ok = false;
        const int number = page.toInt(&ok);
        // A number outside the pages would show tiles without skins; such a request is ignored.
        if (ok && number >= 1 && number <= m_pageCount)
            m_page = number;
    }
    const bool firstPage = m_page == 1;
    const bool lastPage = m_page == m_pageCount;
    m_first->setVisible(lastPage && !firstPage);
    m_previous->setVisible(!firstPage);
    m_next->setVisible(!lastPage);
    m_last->setVisible(firstPage && !lastPage);
    for (int k = 0; k < kSkinsPerPage; ++k) {
        const int n = (m_page - 1) * kSkinsPerPage + k;
        ChangeSkinWidget *tile = m_tiles.at(k);
        tile->setVisible(n < kSkinCount);
        if (n < kSkinCount)
            tile->changeSkin(QStringLiteral(":/skin/") + QString::number(n), skinName(n),
                             QStringLiteral("11"));
    }
}

void SkinWidget::varyfySkin(const QString &skin)
{
    m_skin = skin;
    m_skinLoaded = true;
    update();
    emit changeSkin(m_skin);
}

// Escape closes the chooser, as it closes every other dialog of the program.
void SkinWidget::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SkinWidget::paintEvent(QPaintEvent *)
{
    if (!m_skinLoaded)
        m_skin = configuredSkin(kDefaultSkin);
    paintSkinnedFrame(this, m_skin);
}

void SkinWidget::mousePressEvent(QMouseEvent *event)
{
    m_drag.press(this, event);
}

void SkinWidget::mouseMoveEvent(QMouseEvent *event)
{
    m_drag.move(this, event);
}

void SkinWidget::mouseReleaseEvent(QMouseEvent *)
{
    m_drag.release();
}
