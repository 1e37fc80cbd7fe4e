// The export wizard's third page: the columns to export. Two tables on the left offer the original
// and the result columns, the table on the right holds the chosen ones in order; buttons and drag
// and drop move columns between them. A moved column is hidden where it came from, so it is never
// offered twice, and shows there again when it is removed from the right.
#pragma once

#include "widgets/etablewidget.h"
#include "wizards/wizardframe.h"

#include <QList>
#include <QWizardPage>

#include <functional>
#include <optional>

class QButtonGroup;
class QGroupBox;
struct ExportColumn;

// An export column table of this page. A drop from the chosen columns onto one of the offering
// tables removes those columns from the choice (they return to where they came from); columns
// are not moved between the two offering tables.
class ExportColumnTable : public ETableWidget
{
    Q_OBJECT
public:
    // Nothing: the ordinary drop (copy to the end, hide in the source); else the drop's outcome.
    using DropHandler = std::function<std::optional<bool>(ETableWidget *source, const QList<int> &rows)>;

    explicit ExportColumnTable(QWidget *parent = nullptr);

    // Decides drops from another table before the ordinary copying.
    void setDropHandler(DropHandler handler) { m_handler = std::move(handler); }

    bool dropMimeData(int row, int column, const QMimeData *data, Qt::DropAction action) override;

private:
    DropHandler m_handler;
};

class ExportSettingPage : public QWizardPage, public FirstFieldPage
{
    Q_OBJECT
public:
    // Item data of a row's cells: the column's type (0 original, 1 result) and its list index.
    static constexpr int TypeRole = Qt::UserRole;
    static constexpr int IndexRole = Qt::UserRole + 1;

    explicit ExportSettingPage(QWidget *parent = nullptr);

    ETableWidget *originalTable() const { return m_original; }
    ETableWidget *resultTable() const { return m_result; }
    ETableWidget *selectedTable() const { return m_selected; }
    QGroupBox *scopeBox() const { return m_scopeBox; }
    QButtonGroup *scopeButtons() const { return m_scopes; }

    // The columns of the right table, in row order.
    QList<ExportColumn> selectedColumns() const;

    QWidget *firstField() const override;
    void initializePage() override;
    bool validatePage() override;

public slots:
    void addOriginalBase();
    void addOriginalResult();
    void addOriginalBaseAll();
    void addOriginalResultAll();
    void removeSelected();
    void removeSelectedAll();
    void rightTable();

private:
    void fillOffer(ETableWidget *table, const QList<ExportColumn> &columns);
    void add(ETableWidget *from, const QList<int> &rows);
    void remove(QList<int> rows);
    ETableWidget *offerOf(int type) const;
    static QList<int> selectedRows(const QTableWidget *table);

    ExportColumnTable *m_original;
    ExportColumnTable *m_result;
    ExportColumnTable *m_selected;
    QGroupBox *m_scopeBox = nullptr;
    QButtonGroup *m_scopes = nullptr;
    QList<ExportColumn> m_originalList;
    QList<ExportColumn> m_resultList;
};
