#include "widgets/salarytablelayout.h"

#include "batch/columncatalogue.h"
#include "excel/columnletters.h"
#include "widgets/ptablewidget.h"

#include <QHeaderView>

namespace {

constexpr int kTitleRowHeight = 35;

QTableWidgetItem *titleItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

} // namespace

void layoutSalaryTable(PTableWidget *table, int tree, bool basicOnly)
{
    const ColumnCatalogue &catalogue = ColumnCatalogue::instance();
    table->setFrozenRows(kSalaryTitleRows);

    const int columns = catalogue.shownColumnCount(tree, basicOnly) + 1;
    const int last = columns - 1;
    table->clearSpans();
    table->setColumnCount(columns);
    QStringList labels;
    labels.reserve(columns);
    for (int c = 0; c < last; ++c)
        labels << columnLetters(c);
    labels << QString();
    table->setHorizontalHeaderLabels(labels);

    table->setAlternatingRowColors(true);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectItems);
    table->setShowGrid(true);
    table->setStyleSheet(QStringLiteral(
        "QTableWidget::item{selection-background-color:rgb(23,165,230);selection-color: rgb(255,255,255);}"));

    // A second layout of the same table starts from empty title rows.
    table->setRowCount(0);
    table->setRowCount(kSalaryTitleRows);
    for (int r = 0; r < kSalaryTitleRows; ++r)
        table->setRowHeight(r, kTitleRowHeight);

    QHeaderView *header = table->horizontalHeader();
    for (const auto &group : catalogue.groups(tree)) {
        const int items = group->itemCount();
        if (items > 0 && group->start >= 0 && group->start < last) {
            table->setItem(0, group->start, titleItem(group->title));
            const int span = qMin(items, last - group->start);
            if (span > 1)
                table->setSpan(0, group->start, 1, span);
        }
        for (int i = 0; i < items; ++i) {
            const ColumnItem *item = group->item(i);
            // Columns beyond what the table shows (a stored extension group that claims odd
            // positions) are left out rather than written over the trailing column.
            if (item->column >= last)
                continue;
            table->setItem(1, item->column, titleItem(item->title));
            table->setColumnWidth(item->column, item->width);
            header->setSectionResizeMode(item->column, QHeaderView::Interactive);
        }
        if (basicOnly)
            break;
    }

    table->setColumnWidth(last, 1);
    header->setSectionResizeMode(last, QHeaderView::Stretch);
    header->setMinimumHeight(kTitleRowHeight);
    table->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}
