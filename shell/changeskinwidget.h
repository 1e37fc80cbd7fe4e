// One tile of the skin chooser: thumbnail, skin name and "使用此皮肤". Clicking the tile or its
// button chooses the skin.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

class ChangeSkinWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ChangeSkinWidget(QWidget *parent = nullptr);

    QString bigPath() const { return m_bigPath; }
    QString skinName() const;
    QPushButton *useButton() const { return m_use; }

signals:
    void changeSkin(const QString &skin);

public slots:
    // Shows skin pixmap_name (its "_big" image, scaled) under the given name; the third argument
    // is not used.
    void changeSkin(const QString &pixmap_name, const QString &skin_name, const QString &download_count);
    void changeskin();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_bigPath;
    QLabel *m_thumbnail;
    QLabel *m_name;
    QPushButton *m_use;
    bool m_pressed = false;
    bool m_hover = false;
};
