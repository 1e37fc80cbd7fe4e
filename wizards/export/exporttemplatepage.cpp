#include "wizards/export/exporttemplatepage.h"

#include "wizards/export/exportwizard.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

using namespace Qt::StringLiterals;

ExportTemplatePage::ExportTemplatePage(QWidget *parent) : QWizardPage(parent)
{
    setTitle(u"选择导出模板"_s);
    setSubTitle(u"导出模板决定了导出的结果列，您可以选择一个已有模板，也可以选择自行定义导出列。"_s);
    auto *wizard = qobject_cast<ExportWizard *>(parent);

    m_title = new QLineEdit(this);
    QFont font = m_title->font();
    font.setPointSize(9);
    m_title->setFont(font);
    connect(m_title, &QLineEdit::textEdited, this, &ExportTemplatePage::changTitle);
    auto *titleRow = new QHBoxLayout;
    titleRow->addWidget(new QLabel(u"结果标题："_s, this));
    titleRow->addWidget(m_title, 10);

    m_templates = new QComboBox(this);
    if (wizard) {
        m_templates->addItems(wizard->templateNames());
        m_templates->setCurrentIndex(wizard->lastSet());
    }
    auto *templateRow = new QHBoxLayout;
    templateRow->addWidget(new QLabel(u"加载导出模板："_s, this));
    templateRow->addWidget(m_templates);
    templateRow->addStretch(9);

    m_explanation = new QLabel(exportTemplateExplanation(wizard ? wizard->mode() : 0), this);
    m_explanation->setTextFormat(Qt::RichText);
    m_explanation->setWordWrap(true);
    auto *explanationRow = new QHBoxLayout;
    explanationRow->addStretch(10);
    explanationRow->addWidget(m_explanation);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(titleRow);
    layout->addLayout(templateRow);
    layout->addLayout(explanationRow);
    layout->addStretch(1);
}

void ExportTemplatePage::changTitle()
{
    m_titleEdited = true;
}

QWidget *ExportTemplatePage::firstField() const
{
    return m_title;
}

void ExportTemplatePage::initializePage()
{
    auto *wizard = qobject_cast<ExportWizard *>(this->wizard());
    if (wizard && !m_titleEdited)
        m_title->setText(QFileInfo(wizard->fileName()).completeBaseName());
}

bool ExportTemplatePage::validatePage()
{
    auto *wizard = qobject_cast<ExportWizard *>(this->wizard());
    if (!wizard)
        return true;
    wizard->setTitle(m_title->text().trimmed());
    wizard->selectTemplate(m_templates->currentIndex());
    return true;
}
