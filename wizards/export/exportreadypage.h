// The export wizard's last page: a preview of the sheet and, on "执行", the writing of it. The
// preview shows exactly the SheetLayout that is written (the core builds it from the page's
// tables); it is a view over that layout, so a large result costs no second table of items.
#pragma once

#include "batch/sheetlayout.h"
#include "wizards/wizardframe.h"

#include <QAbstractTableModel>
#include <QWizardPage>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTableWidget;

// A SheetLayout as a table: the title rows, the two heading rows and the data rows, with the
// column letters as headers.
class ExportPreviewModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setLayout(SheetLayout layout);
    const SheetLayout &sheetLayout() const { return m_layout; }
    // The preview row of the first heading row: 3 with a title, else 0.
    int headingRow() const { return m_layout.title.isEmpty() ? 0 : 3; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    const SheetCell *cellAt(int row, int column, bool *heading, bool *total) const;

    SheetLayout m_layout;
    int m_columns = 0;
};

class ExportReadyPage : public QWizardPage, public FirstFieldPage
{
    Q_OBJECT
public:
    explicit ExportReadyPage(QWidget *parent = nullptr);

    QTableView *preview() const { return m_preview; }
    ExportPreviewModel *previewModel() const { return m_model; }
    QCheckBox *saveBox() const { return m_save; }
    QLineEdit *nameEdit() const { return m_name; }
    // The reason of the last failed write, empty after a success.
    QString lastError() const { return m_lastError; }

    QWidget *firstField() const override;
    void initializePage() override;
    bool validatePage() override;

public slots:
    void saveFormat(int state);

private:
    void showSpans();

    QTableView *m_preview;
    ExportPreviewModel *m_model;
    QLabel *m_fitNote;
    QCheckBox *m_save;
    QLabel *m_nameLabel;
    QLineEdit *m_name;
    QLabel *m_nameNote;
    QString m_lastError;
};
