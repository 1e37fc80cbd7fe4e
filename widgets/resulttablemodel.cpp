#include "widgets/resulttablemodel.h"

#include <QFont>
#include <QHeaderView>
#include <QTableView>

#include <algorithm>

ResultTableModel::ResultTableModel(QObject *parent) : QAbstractTableModel(parent) {}

void ResultTableModel::reset(std::vector<ResultColumn> columns, int rows, bool withTotals)
{
    beginResetModel();
    m_columns = std::move(columns);
    m_rows = qMax(0, rows);
    m_withTotals = withTotals;
    endResetModel();
}

void ResultTableModel::setRowCount(int rows, bool withTotals)
{
    beginResetModel();
    m_rows = qMax(0, rows);
    m_withTotals = withTotals;
    endResetModel();
}

void ResultTableModel::clear()
{
    setRowCount(0, false);
}

void ResultTableModel::setRowTint(std::function<QColor(int)> tint)
{
    m_tint = std::move(tint);
    if (m_rows > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::BackgroundRole});
}

int ResultTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows + (m_withTotals ? 1 : 0);
}

int ResultTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant ResultTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() >= int(m_columns.size()) || index.row() >= rowCount())
        return {};
    const ResultColumn &column = m_columns[size_t(index.column())];
    const bool totals = isTotalsRow(index.row());
    switch (role) {
    case Qt::DisplayRole:
        if (totals)
            return column.total ? column.total() : QString();
        return column.text ? column.text(index.row()) : QString();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(column.alignment);
    case Qt::FontRole:
        if (totals) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::BackgroundRole:
        if (totals)
            return QColor(255, 255, 204);
        if (m_tint) {
            const QColor tint = m_tint(index.row());
            if (tint.isValid())
                return tint;
        }
        return {};
    default:
        return {};
    }
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < int(m_columns.size()) ? m_columns[size_t(section)].title : QString();
    if (isTotalsRow(section))
        return QStringLiteral("合计");
    return section + 1;
}

QTableView *resultTableView(QWidget *parent, ResultTableModel *model)
{
    auto *view = new QTableView(parent);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
    applyResultColumns(view, *model);
    return view;
}

void applyResultColumns(QTableView *view, const ResultTableModel &model)
{
    QHeaderView *rows = view->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(view->fontMetrics().height() + 8);
    const std::vector<ResultColumn> &columns = model.columns();
    // A column is at least as wide as its heading, so no heading is ever cut.
    const QHeaderView *headings = view->horizontalHeader();
    for (size_t c = 0; c < columns.size(); ++c)
        view->setColumnWidth(int(c), std::max(columns[c].width, headings->sectionSizeHint(int(c))));
}
