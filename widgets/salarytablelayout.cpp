#include "widgets/salarytablelayout.h"

#include "batch/columncatalogue.h"
#include "excel/columnletters.h"
#include "widgets/ptablewidget.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>

#include <algorithm>
#include <vector>

namespace {

constexpr int kTitleRowHeight = 35;

QTableWidgetItem *titleItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

// Room a cell needs beside its text: the item's margins and the grid line.
constexpr int kCellPadding = 16;
// At most this many texts of a column are measured exactly.
constexpr size_t kMeasured = 256;

// A text's width in half-em units: a Chinese character (or any other wide one) counts two, a
// digit or Latin letter one. Close enough to rank texts; the longest few are then measured.
int roughWidth(const QString &text)
{
    int units = 0;
    for (const QChar ch : text)
        units += ch.unicode() >= 0x1100 ? 2 : 1;
    return units;
}

int fittedWidth(const QTableWidget *table, int column)
{
    const int rows = table->rowCount();
    // A group title spanning this column and the next fits across both.
    auto cell = [&](int r) { return table->columnSpan(r, column) > 1 ? nullptr : table->item(r, column); };
    int widest = 0;
    for (int r = 0; r < rows; ++r) {
        if (const QTableWidgetItem *item = cell(r))
            widest = std::max(widest, roughWidth(item->text()));
    }
    if (widest == 0)
        return 0;
    // Proportional digits and letters differ by a fraction of a unit: everything within two units
    // of the widest may still be the widest once measured.
    std::vector<const QTableWidgetItem *> candidates;
    for (int r = 0; r < rows && candidates.size() < kMeasured; ++r) {
        const QTableWidgetItem *item = cell(r);
        if (item && roughWidth(item->text()) >= widest - 2)
            candidates.push_back(item);
    }
    int width = 0;
    for (const QTableWidgetItem *item : candidates) {
        const QVariant font = item->data(Qt::FontRole);
        const QFontMetrics metrics(font.isValid() ? font.value<QFont>() : table->font());
        width = std::max(width, metrics.horizontalAdvance(item->text()));
    }
    return width + kCellPadding;
}

} // namespace

void fitCodeAndNameColumns(PTableWidget *table)
{
    for (int column : {0, 1}) {
        if (column >= table->columnCount() - 1) // the trailing column takes the rest
            break;
        const int width = fittedWidth(table, column);
        if (width > table->columnWidth(column))
            table->setColumnWidth(column, width);
    }
}

void layoutSalaryTable(PTableWidget *table, CatalogueTree tree, bool basicOnly)
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
    // A table the clerk enters rows into keeps its editing; the others are read only.
    if (!table->entryEnabled())
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectItems);
    table->setShowGrid(true);
    table->setStyleSheet(QStringLiteral(
        "QTableWidget::item{selection-background-color:rgb(23,165,230);selection-color: rgb(255,255,255);}"));

    // A second layout of the same table starts from empty title rows.
    table->setRowCount(0);
    table->setRowCount(kSalaryTitleRows);
    // A new sheet is read from its top, wherever the last one was scrolled to.
    table->scrollToTop();
    table->horizontalScrollBar()->setValue(0);
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
