// What the month's payroll page opens beside its table: one employee's year so far, and the
// ledger's settlement estimate for a year. Both show rows the core built (a SheetRow per result,
// as the exported sheet has them) through a ResultTableModel, so a year of a hundred thousand
// employees costs nothing but the results themselves.
#pragma once

#include "batch/sheetlayout.h"
#include "ledger/payrollmonth.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QTableView;
class ResultTableModel;
struct ResultColumn;

// Columns that show the cells of the core's rows: `row(i)` gives result i's cells (asked once per
// row while a view paints it; the last row built is kept), `totals` the totals row.
class SheetRowColumns
{
public:
    // `hasRows`: there is a result 0 to size the columns by.
    SheetRowColumns(QStringList titles, std::function<SheetRow(int)> row, SheetRow totals, bool hasRows);
    std::vector<ResultColumn> columns() const;
    const QString &text(int row, int column) const;

private:
    QStringList m_titles;
    std::function<SheetRow(int)> m_row;
    SheetRow m_totals;
    bool m_hasRows;
    mutable int m_cachedRow = -1;
    mutable SheetRow m_cached;
};

// One employee's months of the year, the current one last, with the year's totals.
class EmployeeYearDialog : public QDialog
{
    Q_OBJECT
public:
    EmployeeYearDialog(std::vector<PayrollEntry> year, QWidget *parent);
    ~EmployeeYearDialog() override;
    QTableView *view() const { return m_view; }
    const ResultTableModel *model() const { return m_model; }

private:
    std::vector<PayrollEntry> m_year;
    std::unique_ptr<SheetRowColumns> m_columns;
    ResultTableModel *m_model;
    QTableView *m_view;
};

// Each employee's settlement estimate for the year at this employer; "导出…" writes it.
class SettlementDialog : public QDialog
{
    Q_OBJECT
public:
    SettlementDialog(int year, std::vector<PayrollSettlement> list, QWidget *parent);
    ~SettlementDialog() override;
    QTableView *view() const { return m_view; }
    const ResultTableModel *model() const { return m_model; }
    const std::vector<PayrollSettlement> &settlements() const { return m_list; }

public slots:
    void exportSheet();

private:
    int m_year;
    std::vector<PayrollSettlement> m_list;
    std::unique_ptr<SheetRowColumns> m_columns;
    ResultTableModel *m_model;
    QTableView *m_view;
};
