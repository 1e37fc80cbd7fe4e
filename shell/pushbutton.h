// A button drawn from a strip of four equal frames side by side: normal, hover, pressed (the
// fourth is never shown). It clicks on release after a left press, wherever the release happens.
#pragma once

#include <QPixmap>
#include <QPushButton>

class PushButton : public QPushButton
{
    Q_OBJECT
public:
    explicit PushButton(QWidget *parent = nullptr);

    // Loads the strip and fixes the button to the size of one frame.
    void setImageStrip(const QString &path);
    const QString &imageStrip() const { return m_stripPath; }
    int state() const { return m_state; }

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_stripPath;
    QPixmap m_strip;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    int m_state = 0; // 0 normal, 1 hover, 2 pressed
    bool m_pressed = false;
};
