// Page 4 of the import wizard, "预览导入数据": every chosen worksheet row computed through the target
// columns' formulas, with formula errors marked in the cells' tooltips. Without a code or a name
// column there is nothing to identify a row by, and the page does not let the user go on.
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

    QWidget *firstField() const override;
    void initializePage() override;
    bool validatePage() override;
    int nextId() const override;

private:
    QLabel *m_warning;
    PTableWidget *m_preview;
    QLabel *m_cutNote;
    bool m_noCodeName = true;
    qint64 m_cellLimit = 5'000'000;
    ImportWizard *m_wizard;
};
