#include "wizards/export/exportwizard.h"

#include "widgets/ptablewidget.h"
#include "wizards/export/exportfilepage.h"
#include "wizards/export/exportreadypage.h"
#include "wizards/export/exportsettingpage.h"
#include "wizards/export/exporttemplatepage.h"
#include "wizards/wizardframe.h"

using namespace Qt::StringLiterals;

ExportWizard::ExportWizard(PTableWidget *baseTable, PTableWidget *beforeTable, PTableWidget *afterTable,
                           int mode, QWidget *parent, const ColumnGroup *extension)
    : QWizard(parent), m_baseTable(baseTable), m_beforeTable(beforeTable), m_afterTable(afterTable),
      m_mode(mode), m_extension(extension), m_settingsFile(exportSettingsFileName())
{
    m_settings = readExportSettings(m_settingsFile, m_mode);
    // The template last used is chosen again, with its columns; the first time, the one with the
    // results.
    m_lastSet = initialExportTemplate(m_settings);
    loadTemplate(m_lastSet);

    setUpWizardFrame(this, u"导出结果向导"_s);

    m_filePage = new ExportFilePage(this);
    m_templatePage = new ExportTemplatePage(this);
    m_settingPage = new ExportSettingPage(this);
    m_readyPage = new ExportReadyPage(this);
    setPage(FilePage, m_filePage);
    setPage(TemplatePage, m_templatePage);
    setPage(SettingPage, m_settingPage);
    setPage(ReadyPage, m_readyPage);
    setStartId(FilePage);
}

QStringList ExportWizard::templateNames() const
{
    QStringList names = builtinTemplateNames(m_mode);
    for (const SavedExportTemplate &saved : m_settings.templates)
        names << saved.name;
    return names;
}

void ExportWizard::selectTemplate(int index)
{
    if (index == m_lastSet)
        return;
    m_lastSet = index;
    m_columnsReady = false;
    loadTemplate(index);
}

void ExportWizard::loadTemplate(int index)
{
    const ExportChoice choice = loadExportTemplate(m_mode, index, m_settings, m_exportScope, m_extension);
    m_columns = choice.columns;
    m_exportScope = choice.scope;
}

bool ExportWizard::saveTemplate(const QString &name, QString *error)
{
    return writeExportSettings(m_settingsFile, m_mode, m_lastSet, name, m_exportScope, m_columns, error);
}
