// Resizing a frameless top-level window by its edges and corners, as a system frame would: over a
// thin band along the window's border the cursor shows the resize arrows, and a left-button drag
// there moves that edge (or the two edges of a corner) while the window keeps its minimum size.
// The band lies over whatever child widget reaches the border, so the grip watches the
// application's mouse events for the window and takes only those that begin in the band.
#pragma once

#include <QEvent>
#include <QObject>
#include <QPoint>
#include <QRect>

class QMouseEvent;
class QWidget;

class FrameGrip : public QObject
{
public:
    // Pixels along each border that act as the grip.
    static constexpr int kBand = 5;

    explicit FrameGrip(QWidget *window);
    ~FrameGrip() override;

    // Turned off while the window fills the screen.
    void setEnabled(bool enabled);

    // The edges whose band holds `pos`, in the window's own coordinates; none outside the window.
    static Qt::Edges edgesAt(const QSize &size, const QPoint &pos);
    // The geometry after dragging `edges` of `start` by `delta`, never smaller than `minimum`: a
    // dragged left or top edge stops where the opposite edge would have to move.
    static QRect resized(const QRect &start, Qt::Edges edges, const QPoint &delta, const QSize &minimum);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool mouse(QEvent::Type type, const QMouseEvent *event);
    void showCursorFor(Qt::Edges edges);

    QWidget *m_window;
    bool m_enabled = true;
    Qt::Edges m_dragging;
    Qt::Edges m_hover;
    QPoint m_pressGlobal;
    QRect m_pressGeometry;
};
