#include "shell/framegrip.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <algorithm>

FrameGrip::FrameGrip(QWidget *window) : QObject(window), m_window(window)
{
    qApp->installEventFilter(this);
}

FrameGrip::~FrameGrip()
{
    showCursorFor({});
}

void FrameGrip::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (!enabled) {
        m_dragging = {};
        showCursorFor({});
    }
}

Qt::Edges FrameGrip::edgesAt(const QSize &size, const QPoint &pos)
{
    Qt::Edges edges;
    if (pos.x() < 0 || pos.y() < 0 || pos.x() >= size.width() || pos.y() >= size.height())
        return edges;
    if (pos.x() < kBand)
        edges |= Qt::LeftEdge;
    else if (pos.x() >= size.width() - kBand)
        edges |= Qt::RightEdge;
    if (pos.y() < kBand)
        edges |= Qt::TopEdge;
    else if (pos.y() >= size.height() - kBand)
        edges |= Qt::BottomEdge;
    return edges;
}

QRect FrameGrip::resized(const QRect &start, Qt::Edges edges, const QPoint &delta, const QSize &minimum)
{
    QRect r = start;
    if (edges & Qt::LeftEdge)
        r.setLeft(std::min(start.left() + delta.x(), start.right() + 1 - minimum.width()));
    if (edges & Qt::RightEdge)
        r.setRight(std::max(start.right() + delta.x(), start.left() + minimum.width() - 1));
    if (edges & Qt::TopEdge)
        r.setTop(std::min(start.top() + delta.y(), start.bottom() + 1 - minimum.height()));
    if (edges & Qt::BottomEdge)
        r.setBottom(std::max(start.bottom() + delta.y(), start.top() + minimum.height() - 1));
    return r;
}

bool FrameGrip::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    // Leaving the window ends the hover; no move inside it would.
    if (type == QEvent::Leave && watched == m_window && !m_dragging) {
        showCursorFor({});
        return false;
    }
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!m_enabled || !widget || widget->window() != m_window)
        return false;
    return mouse(type, static_cast<QMouseEvent *>(event));
}

bool FrameGrip::mouse(QEvent::Type type, const QMouseEvent *event)
{
    const QPoint global = event->globalPosition().toPoint();
    if (m_dragging) {
        if (type == QEvent::MouseMove && (event->buttons() & Qt::LeftButton)) {
            m_window->setGeometry(
                resized(m_pressGeometry, m_dragging, global - m_pressGlobal, m_window->minimumSize()));
        } else if (type == QEvent::MouseButtonRelease && event->button() == Qt::LeftButton) {
            m_dragging = {};
        }
        return true;
    }
    const Qt::Edges edges = edgesAt(m_window->size(), m_window->mapFromGlobal(global));
    if (type == QEvent::MouseMove && event->buttons() == Qt::NoButton)
        showCursorFor(edges);
    if (type == QEvent::MouseButtonPress && event->button() == Qt::LeftButton && edges) {
        m_dragging = edges;
        m_pressGlobal = global;
        m_pressGeometry = m_window->geometry();
        return true;
    }
    return false;
}

void FrameGrip::showCursorFor(Qt::Edges edges)
{
    if (edges == m_hover)
        return;
    if (m_hover)
        QApplication::restoreOverrideCursor();
    m_hover = edges;
    if (!edges)
        return;
    Qt::CursorShape shape = Qt::SizeVerCursor;
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical)
        shape = (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
                    ? Qt::SizeFDiagCursor
                    : Qt::SizeBDiagCursor;
    else if (horizontal)
        shape = Qt::SizeHorCursor;
    QApplication::setOverrideCursor(shape);
}
