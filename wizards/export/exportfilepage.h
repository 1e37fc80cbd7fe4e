// The export wizard's first page: the workbook to write. A name without ".xls" or ".xlsx" gets
// ".xlsx"; an existing file is only confirmed here and replaced when the new one is complete.
#pragma once

#include "wizards/wizardframe.h"

#include <QWizardPage>

class QLineEdit;
class QToolButton;

class ExportFilePage : public QWizardPage, public FirstFieldPage
{
    Q_OBJECT
public:
    explicit ExportFilePage(QWidget *parent = nullptr);

    static QString placeholder() { return QStringLiteral("请选择结果存储文件。"); }

    QLineEdit *fileEdit() const { return m_edit; }
    QWidget *firstField() const override;
    bool validatePage() override;

public slots:
    void selectDestFile();

private:
    QLineEdit *m_edit;
    QToolButton *m_button;
};
