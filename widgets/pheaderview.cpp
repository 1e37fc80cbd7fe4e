#include "widgets/pheaderview.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QToolTip>

using namespace Qt::StringLiterals;

PHeaderView::PHeaderView(int fixedSections, Qt::Orientation orientation, QWidget *parent)
    : QHeaderView(orientation, parent), m_fixed(fixedSections)
{
    setMouseTracking(true);
    setSectionsClickable(true);
}

QRect PHeaderView::clickArea(int logicalIndex) const
{
    if (logicalIndex < m_fixed || logicalIndex >= count())
        return QRect();
    const int right = sectionViewportPosition(logicalIndex) + sectionSize(logicalIndex);
    return QRect(right - 19, 3, 13, 16);
}

void PHeaderView::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (logicalIndex < m_fixed)
        return;
    const QPixmap icon(isLast(logicalIndex) ? u":/sysButton/add24"_s : u":/sysButton/close24"_s);
    if (!icon.isNull())
        painter->drawPixmap(QRect(rect.right() + 1 - 19, rect.top() + 3, 16, 16), icon);
}

void PHeaderView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        const int section = logicalIndexAt(at);
        if (section >= m_fixed && clickArea(section).contains(at)) {
            if (isLast(section))
                emit toAdd();
            else
                emit toRemove(section);
            event->accept();
            return;
        }
    }
    QHeaderView::mousePressEvent(event);
}

void PHeaderView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    const int section = logicalIndexAt(at);
    if (section >= m_fixed && section < count()) {
        QString tip;
        if (clickArea(section).contains(at))
            tip = isLast(section) ? u"添加新列"_s : u"删除这一列"_s;
        else
            tip = u"双击修改列标题"_s;
        setToolTip(tip);
    } else {
        setToolTip(QString());
    }
    QHeaderView::mouseMoveEvent(event);
}

PEditHeaderBox::PEditHeaderBox(QWidget *parent) : QLineEdit(parent)
{
    hide();
}

void PEditHeaderBox::editSection(int section, Qt::Orientation orientation, const QString &text,
                                 const QRect &geometry)
{
    m_section = section;
    m_orientation = orientation;
    setText(text);
    setGeometry(geometry);
    show();
    raise();
    selectAll();
    setFocus();
}

void PEditHeaderBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit updateHeader(text(), m_section, m_orientation);
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        hide();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void PEditHeaderBox::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    hide();
}
