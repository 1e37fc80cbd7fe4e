// Page 0 of the import wizard, "选择数据源": the workbook file and the saved setting to use.
#pragma once

#include "wizards/wizardframe.h"

#include <QWizardPage>

class ImportWizard;
class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;

class DataSourcePage : public QWizardPage, public FirstFieldPage
{
    Q_OBJECT
public:
    DataSourcePage(int mode, ImportWizard *wizard);

    QLineEdit *pathEdit() const { return m_path; }
    QComboBox *settingBox() const { return m_settings; }

    // Where the file dialog starts: the sample sheets' folder (see batch/datafolders.h), else the
    // working directory.
    static QString startDirectory();
    // The file dialog's filter.
    static QString fileFilter();

    QWidget *firstField() const override;
    int nextId() const override;
    bool validatePage() override;

public slots:
    void selectSourceFile();

private:
    int m_mode;
    ImportWizard *m_wizard;
    QLabel *m_fileLabel;
    QLineEdit *m_path;
    QToolButton *m_browse;
    QComboBox *m_settings;
};
