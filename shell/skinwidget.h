// The skin chooser: a frameless dialog with three pages of eight skin tiles, page buttons and the
// links "首页", "上一页", "下一页", "末页". Choosing a tile applies the skin at once.
#pragma once

#include "shell/skinnedframe.h"

#include <QList>
#include <QStringList>
#include <QWidget>

class ChangeSkinWidget;
class QPushButton;
class PushButton;

inline constexpr int kSkinCount = 24;
inline constexpr int kSkinsPerPage = 8;

// The 23 skin names, in order.
const QStringList &skinNames();
// The name shown for skin n: there are 23 names for 24 images, so "神秘夜空" names both 7 and 8.
QString skinName(int n);

class SkinWidget : public QWidget
{
    Q_OBJECT
public:
    explicit SkinWidget(QWidget *parent = nullptr);

    int currentPage() const { return m_page; }
    int pageCount() const { return m_pageCount; }
    ChangeSkinWidget *tile(int k) const { return m_tiles.value(k); }
    QPushButton *firstLink() const { return m_first; }
    QPushButton *previousLink() const { return m_previous; }
    QPushButton *nextLink() const { return m_next; }
    QPushButton *lastLink() const { return m_last; }
    QPushButton *pageButton(int page) const { return m_pageButtons.value(page - 1); }

signals:
    void changeSkin(const QString &skin);

public slots:
    // page: a page number as text, or "first", "previous", "next", "last".
    void showSkin(const QString &page);
    void varyfySkin(const QString &skin);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPushButton *makeLink(const QString &text, const QString &key);

    QString m_skin;
    bool m_skinLoaded = false;
    QList<ChangeSkinWidget *> m_tiles;
    int m_pageCount = 0;
    int m_page = 1;
    QList<QPushButton *> m_pageButtons;
    QPushButton *m_first = nullptr;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
    QPushButton *m_last = nullptr;
    FrameDrag m_drag;
};
