// Page 4 of the import wizard, "预览导入数据": every chosen worksheet row computed through the target
// columns' formulas, with formula errors marked in the cells' tooltips. Without a code or a name
// column there is nothing to identify a row by, and the page does not let the user go on. A sheet
// the core reads itself (a month's payroll, a year sheet) is previewed by that reader over the first
// rows of the range, with what it could not read listed above.
#pragma once

#include "wizards/wizardframe.h"

#include <QWizardPage>

class ImportWizard;
class PTableWidget;
class QLabel;

class DataCheckPage : public QWizardPage, public FirstFieldPage
{
    Q_OBJECT
public:
    explicit DataCheckPage(ImportWizard *wizard);

    PTableWidget *previewTable() const { return m_preview; }
    bool noCodeName() const { return m_noCodeName; }
    QLabel *warningLabel() const { return m_warning; }
    // At most this many cells are computed (rows are cut); five million by default, a hundred
    // thousand rows of fifty columns.
    qint64 cellLimit() const { return m_cellLimit; }
    void setCellLimit(qint64 cells) { m_cellLimit = cells; }

    // A sheet the core reads itself: the rows its preview read, and whether they were the whole range.
    int previewRows() const { return m_previewRows; }
    bool previewCoversRange() const { return m_previewCoversRange; }
    // The note above the preview (rows cut, rows or cells the reader could not read).
    QLabel *noteLabel() const { return m_cutNote; }

    QWidget *firstField() const override;
    void initializePage() override;
    bool validatePage() override;
    int nextId() const override;

private:
    // The first rows of the range as the core's reader reads them.
    void previewSheetImport();

    static constexpr int kPreviewRows = 100;
    static constexpr qsizetype kShownProblems = 20;

    QLabel *m_warning;
    PTableWidget *m_preview;
    QLabel *m_cutNote;
    bool m_noCodeName = true;
    qint64 m_cellLimit = 5'000'000;
    int m_previewRows = 0;
    bool m_previewCoversRange = true;
    ImportWizard *m_wizard;
};
