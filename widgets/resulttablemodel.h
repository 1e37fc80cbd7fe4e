// A read-only table over results the core computed: one row per result and an optional totals row.
//
// The tables of the current rules' batch pages hold up to a hundred thousand rows of forty
// columns, too many for one item per cell. This model keeps nothing but the column descriptions;
// each cell's text is asked of its column when the view draws it, from the page's own result
// vector. Rows can be tinted (a problem, a blind zone) and the totals row is drawn bold.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QString>

#include <functional>
#include <vector>

class QTableView;

struct ResultColumn
{
    QString title;
    int width = 90; // initial width in pixels
    Qt::Alignment alignment = Qt::AlignRight | Qt::AlignVCenter;
    std::function<QString(int row)> text;     // the text of data row `row`
    std::function<QString()> total = nullptr; // the totals row's text; none when null
};

class ResultTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit ResultTableModel(QObject *parent = nullptr);

    // New columns and `rows` data rows, with a totals row when `withTotals`. The texts are asked
    // of the columns from now on, so the vector they read must hold `rows` results until the
    // next reset or clear.
    void reset(std::vector<ResultColumn> columns, int rows, bool withTotals);
    // The same columns over another number of rows.
    void setRowCount(int rows, bool withTotals);
    void clear();

    // A colour behind a data row, or an invalid colour for none; asked when the row is drawn.
    void setRowTint(std::function<QColor(int row)> tint);

    int dataRows() const { return m_rows; }
    bool isTotalsRow(int row) const { return m_withTotals && row == m_rows; }
    const std::vector<ResultColumn> &columns() const { return m_columns; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<ResultColumn> m_columns;
    int m_rows = 0;
    bool m_withTotals = false;
    std::function<QColor(int)> m_tint;
};

// A read-only view over the model: whole rows selected one at a time, no word wrap, the model's
// column widths.
QTableView *resultTableView(QWidget *parent, ResultTableModel *model);

// Sets the view's column widths to the model's and fixed row heights, so a long table scrolls
// without measuring its rows.
void applyResultColumns(QTableView *view, const ResultTableModel &model);
