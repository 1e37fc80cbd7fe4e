// The about box: product, line of functions and version under the skin's title bar.
#pragma once

#include "shell/skinnedframe.h"

#include <QDialog>

class AboutUsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutUsDialog(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    FrameDrag m_drag;
};
