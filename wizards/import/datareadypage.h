// Page 5 of the import wizard, "开始导入": append or overwrite, save the setting under a name, and
// the import itself (the preview's rows into the batch page's source table).
#pragma once

#include "wizards/wizardframe.h"

#include <QWizardPage>

class ImportWizard;
class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class DataReadyPage : public QWizardPage, public FirstFieldPage
{
    Q_OBJECT
public:
    DataReadyPage(int mode, ImportWizard *wizard);

    QRadioButton *appendButton() const { return m_append; }
    QRadioButton *overwriteButton() const { return m_overwrite; }
    QCheckBox *saveBox() const { return m_save; }
    QLineEdit *nameEdit() const { return m_name; }

    // The chosen import mode.
    QWidget *firstField() const override;
    void initializePage() override;
    bool validatePage() override;

public slots:
    void saveFormat(int state);

private:
    // False, with a message and the table unchanged, when the range holds no row to import.
    bool importRows();
    // A sheet the core reads itself: false, with a message, when its preview read the whole range
    // and found no row.
    bool sheetHasRows();

    QRadioButton *m_append;
    QRadioButton *m_overwrite;
    QCheckBox *m_save;
    QLabel *m_nameLabel;
    QLineEdit *m_name;
    QLabel *m_nameNote;
    int m_mode;
    ImportWizard *m_wizard;
};
