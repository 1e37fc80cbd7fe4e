#include "widgets/historypanel.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

HistoryPanel::HistoryPanel(const QStringList &headers, const QList<int> &widths, QWidget *parent)
    : QGroupBox(QStringLiteral("计算历史"), parent), m_list(new QTableWidget(0, 3, this))
{
    setStyleSheet(QStringLiteral("QGroupBox::title{color:green;}"));
    m_list->setHorizontalHeaderLabels(headers);
    // The widths suit a narrow Chinese font; with a wider one, make room for the time text and
    // the captions rather than cutting them off.
    const QFontMetrics metrics(m_list->font());
    for (int c = 0; c < widths.size() && c < 3; ++c) {
        const QString sample = c == 0 ? QStringLiteral("00-00-00 00:00") : headers.value(c);
        m_list->setColumnWidth(c, std::max(widths.at(c), metrics.horizontalAdvance(sample) + 14));
    }
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->setVisible(false);
    m_list->verticalHeader()->setDefaultSectionSize(24);
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->setStyleSheet(QStringLiteral(
        "QTableWidget::item{selection-background-color:rgb(23,165,230);selection-color: rgb(255,255,255);}"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 8, 4, 4);
    layout->addWidget(m_list);
}
