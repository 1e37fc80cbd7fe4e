#include "widgets/historypanel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Room a cell needs beside its text: the item's margins and the grid line.
constexpr int kCellPadding = 14;

} // namespace

HistoryPanel::HistoryPanel(const QStringList &headers, const QList<int> &widths, QWidget *parent)
    : QGroupBox(QStringLiteral("计算历史"), parent), m_list(new QTableWidget(0, 3, this))
{
    setStyleSheet(QStringLiteral("QGroupBox::title{color:green;}"));
    m_list->setHorizontalHeaderLabels(headers);
    // The widths suit a narrow Chinese font; with a wider one, make room for the time text and
    // the captions rather than cutting them off.
    const QFontMetrics metrics(m_list->font());
    for (int c = 0; c < 3; ++c) {
        const QString sample = c == 0 ? QStringLiteral("0000-00-00 00:00") : headers.value(c);
        m_minimums << std::max(widths.value(c), metrics.horizontalAdvance(sample) + kCellPadding);
        m_list->setColumnWidth(c, m_minimums.last());
    }
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->setVisible(false);
    m_list->verticalHeader()->setDefaultSectionSize(24);
    // fitColumns stretches the last column itself: the header's own stretching would cut a figure
    // wider than the room left instead of scrolling to it.
    m_list->horizontalHeader()->setStretchLastSection(false);
    m_list->setStyleSheet(QStringLiteral(
        "QTableWidget::item{selection-background-color:rgb(23,165,230);selection-color: rgb(255,255,255);}"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 8, 4, 4);
    layout->addWidget(m_list);

    QAbstractItemModel *model = m_list->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, &HistoryPanel::fitColumns);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &HistoryPanel::fitColumns);
    connect(model, &QAbstractItemModel::dataChanged, this, &HistoryPanel::fitColumns);
    connect(model, &QAbstractItemModel::modelReset, this, &HistoryPanel::fitColumns);
    m_list->viewport()->installEventFilter(this);
    fitColumns();
}

HistoryPanel::~HistoryPanel()
{
    // The list's model clears itself as the list goes: nothing is left to fit then.
    disconnect(m_list->model(), nullptr, this, nullptr);
    m_list->viewport()->removeEventFilter(this);
}

void HistoryPanel::fitColumns()
{
    const int columns = m_list->columnCount();
    QList<int> widths = m_minimums;
    widths.resize(columns, 0);
    // At most a dozen entries: measuring every one costs nothing.
    for (int r = 0; r < m_list->rowCount(); ++r) {
        for (int c = 0; c < columns; ++c) {
            if (const QTableWidgetItem *item = m_list->item(r, c)) {
                const QFontMetrics metrics(item->font());
                widths[c] = std::max(widths[c], metrics.horizontalAdvance(item->text()) + kCellPadding);
            }
        }
    }
    int used = 0;
    for (int c = 0; c < columns; ++c) {
        if (c == columns - 1)
            widths[c] = std::max(widths[c], m_list->viewport()->width() - used);
        if (m_list->columnWidth(c) != widths[c])
            m_list->setColumnWidth(c, widths[c]);
        used += widths[c];
    }
}

bool HistoryPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return QGroupBox::eventFilter(watched, event);
}
