// The "计算历史" box every page shows in its right-hand column: a group with a three-column list of
// the page's newest history entries (time and the two head figures).
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

    QTableWidget *list() const { return m_list; }

private:
    QTableWidget *m_list;
};
