// Page 3 of the import wizard, "定义导入规则": the batch page's columns beside the worksheet, each
// with its import formula, set by "自动匹配", by dragging a worksheet column onto it, by typing or
// through the expression builder. Users may add columns of their own (they become the batch
// page's extension columns) and retitle or remove them; the page's own columns stay. For a sheet the
// core reads itself (a month's payroll, a year sheet) the columns are the reader's fields, matched
// by their titles on arrival, and no column can be added.
#pragma once

#include "wizards/wizardframe.h"

#include <QStringList>
#include <QWizardPage>

class FormulaBox;
class ImportWizard;
class PEditHeaderBox;
class PHeaderView;
class PTableWidget;
class QLabel;
class QVBoxLayout;

class DataContrastPage : public QWizardPage, public FirstFieldPage
{
    Q_OBJECT
public:
    DataContrastPage(int mode, ImportWizard *wizard);

    PTableWidget *mappingTable() const { return m_map; }
    PHeaderView *header() const { return m_header; }
    PEditHeaderBox *headerEditor() const { return m_editor; }
    // The red note on what a saved setting named that the worksheet does not have.
    QLabel *warningLabel() const { return m_warning; }
    // Target columns shown (the page's own and the user's), without the caption and add columns.
    int targetCount() const;
    // The formula box of target column k (0-based), or null.
    FormulaBox *formulaBox(int k) const;

    // The formula box of 编码.
    QWidget *firstField() const override;
    void initializePage() override;
    void cleanupPage() override;
    bool validatePage() override;
    int nextId() const override;

public slots:
    void adapter();
    void xHeader(int section);
    void updateData(const QString &text, int section, Qt::Orientation orientation);

private:
    // The page's own columns only, with empty formulas.
    void resetColumns();
    // A sheet the core reads itself: the formulas of the chosen setting by its titles, else 自动匹配.
    void applySheetMapping(const PTableWidget *source);
    // The texts of the worksheet's title row, or empty when the table does not show that row.
    QStringList titleRowTexts() const;
    void releaseSourceTable();

    PTableWidget *m_map;
    PHeaderView *m_header;
    PTableWidget *m_source = nullptr;
    QWidget *m_sourceParent = nullptr;
    int m_sourceGeneration = -1;
    PEditHeaderBox *m_editor;
    QLabel *m_warning;
    int m_mode;
    ImportWizard *m_wizard;
    QVBoxLayout *m_layout;
};
