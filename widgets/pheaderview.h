// The header of the import wizard's mapping table. Sections after the fixed ones (the caption
// column and the batch page's own columns) carry a small icon near their right edge: "remove this
// column" on a user's column, "add a column" on the last section. Clicking the icon asks for that;
// elsewhere a tooltip says that a double click edits the title.
#pragma once

#include <QHeaderView>
#include <QLineEdit>

class PHeaderView : public QHeaderView
{
    Q_OBJECT
public:
    // `fixedSections` leading sections carry no icon and cannot be removed.
    PHeaderView(int fixedSections, Qt::Orientation orientation, QWidget *parent = nullptr);

    int fixedSections() const { return m_fixed; }
    // The icon's click area of a section, in header coordinates (13 × 16 pixels, 19 pixels left of
    // the section's right edge, 3 below the top); empty for a fixed section.
    QRect clickArea(int logicalIndex) const;

signals:
    void toAdd();
    void toRemove(int logicalIndex);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    bool isLast(int logicalIndex) const { return logicalIndex == count() - 1; }

    int m_fixed;
};

// The title editor laid over a header section; return hands the text back.
class PEditHeaderBox : public QLineEdit
{
    Q_OBJECT
public:
    explicit PEditHeaderBox(QWidget *parent = nullptr);

    // Shows the editor over `geometry` with `text`, for section `section`.
    void editSection(int section, Qt::Orientation orientation, const QString &text, const QRect &geometry);
    int section() const { return m_section; }

signals:
    void updateHeader(const QString &text, int section, Qt::Orientation orientation);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    int m_section = -1;
    Qt::Orientation m_orientation = Qt::Horizontal;
};
