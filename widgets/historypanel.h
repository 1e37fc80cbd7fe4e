// The "计算历史" box every page shows in its right-hand column: a group with a three-column list of
// the page's newest history entries (time and the two head figures).
//
// The columns follow their content: each is at least its starting width and as wide as its widest
// entry, and the last one takes what room is left, so a large figure or a long time text is shown
// whole (with a horizontal scroll bar when the box is too narrow for all of it).
#pragma once

#include <QGroupBox>
#include <QList>
#include <QStringList>

class QTableWidget;

class HistoryPanel : public QGroupBox
{
    Q_OBJECT
public:
    // headers: the three column captions, widths: their widths in pixels.
    HistoryPanel(const QStringList &headers, const QList<int> &widths, QWidget *parent = nullptr);
    ~HistoryPanel() override;

    QTableWidget *list() const { return m_list; }

    // Widths from the entries now listed (done by itself whenever the list or its size changes).
    void fitColumns();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTableWidget *m_list;
    QList<int> m_minimums;
};
