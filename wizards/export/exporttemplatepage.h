// The export wizard's second page: the result title and the template that decides the columns.
#pragma once

#include "wizards/wizardframe.h"

#include <QWizardPage>

class QComboBox;
class QLabel;
class QLineEdit;

class ExportTemplatePage : public QWizardPage, public FirstFieldPage
{
    Q_OBJECT
public:
    explicit ExportTemplatePage(QWidget *parent = nullptr);

    QLineEdit *titleEdit() const { return m_title; }
    QComboBox *templateBox() const { return m_templates; }

    QWidget *firstField() const override;
    void initializePage() override;
    bool validatePage() override;

public slots:
    void changTitle();

private:
    QLineEdit *m_title;
    QComboBox *m_templates;
    QLabel *m_explanation;
    bool m_titleEdited = false;
};
