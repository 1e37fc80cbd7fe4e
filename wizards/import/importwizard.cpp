#include "wizards/import/importwizard.h"

#include "excel/workbook.h"
#include "widgets/ptablewidget.h"
#include "wizards/import/datacheckpage.h"
#include "wizards/import/datacontrastpage.h"
#include "wizards/import/datadefinepage.h"
#include "wizards/import/datareadypage.h"
#include "wizards/import/datasourcepage.h"
#include "wizards/import/sheettargets.h"
#include "wizards/wizardframe.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>

using namespace Qt::StringLiterals;

void importMessage(QWidget *parent, const QString &text, const QString &informative)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.setInformativeText(informative);
    box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
    box.exec();
}

ImportWizard::ImportWizard(PTableWidget *targetTable, int mode, QWidget *parent)
    : QWizard(parent), m_targetTable(targetTable), m_ownExtension(ColumnCatalogue::instance().extensionGroup(
                                                       ColumnCatalogue::sourceTree(BatchPage(mode)))),
      m_mode(mode), m_settlesSheetImport(isSheetImportMode(mode))
{
    m_settings = m_settingsFile.read(mode);
    m_settingsWarnings = m_settingsFile.warnings();

    m_sourcePage = new DataSourcePage(mode, this);
    m_definePage = new DataDefinePage(this);
    m_contrastPage = new DataContrastPage(mode, this);
    m_checkPage = new DataCheckPage(this);
    m_readyPage = new DataReadyPage(mode, this);
    setPage(SourcePageId, m_sourcePage);
    setPage(DefinePageId, m_definePage);
    setPage(ContrastPageId, m_contrastPage);
    setPage(CheckPageId, m_checkPage);
    setPage(ReadyPageId, m_readyPage);
    setStartId(SourcePageId);

    setUpWizardFrame(this, u"导入工资表向导"_s);
}

ImportWizard::~ImportWizard() = default;

void ImportWizard::keepWorkbook(std::unique_ptr<Workbook> book)
{
    m_book = std::move(book);
}

SheetImport ImportWizard::sheetImport() const
{
    SheetImport out;
    out.file = m_fileName;
    out.sheetIndex = m_sheetNO;
    out.titleRow = m_titleRowNO;
    out.range = {m_firstRowNO, m_lastRowNO};
    const qsizetype targets = sheetTargets(m_mode).size();
    for (qsizetype k = 0; k < targets; ++k)
        out.formulas << m_savedFormulas.value(k).trimmed();
    return out;
}

void ImportWizard::setSourceTable(PTableWidget *table)
{
    m_sourceTable = table;
    ++m_sourceGeneration;
}

void ImportWizard::restoreSourceTable()
{
    if (m_sourceTable)
        m_definePage->restoreTable(m_sourceTable);
}

void ImportWizard::setImportColumns(const QStringList &formulas, const QStringList &names,
                                    const QList<int> &ids)
{
    m_formulas = formulas;
    m_targetNames = names;
    m_targetIds = ids;
}

void ImportWizard::setSavedMapping(const QStringList &titles, const QList<int> &widths,
                                   const QStringList &formulas)
{
    m_titles = titles;
    m_widths = widths;
    m_savedFormulas = formulas;
}

void ImportWizard::selectSetting(int index)
{
    if (index == m_lastSet)
        return;
    m_lastSet = index;
    m_rangeReady = false;
    m_sheetNO = 0;
    m_firstRowNO = 2;
    m_lastRowNO = 0;
    m_titleRowNO = 1;
    m_mappingReady = false;
    m_titles.clear();
    m_widths.clear();
    m_savedFormulas.clear();
    loadSetting(index);
}

void ImportWizard::loadSetting(int k)
{
    const ImportSetting *setting = m_settings.setting(k);
    if (!setting)
        return;
    m_sheetNO = setting->sheetNO;
    m_firstRowNO = setting->firstRowNO;
    m_lastRowNO = setting->lastRowNO;
    m_titleRowNO = setting->titleRowNO;
    m_titles.clear();
    m_widths.clear();
    m_savedFormulas.clear();
    for (const ImportSettingColumn &column : setting->columns) {
        m_titles << column.title;
        m_widths << column.width;
        m_savedFormulas << column.formula;
    }
}

bool ImportWizard::saveSetting(const QString &name)
{
    ImportSetting setting;
    setting.name = name;
    setting.sheetNO = m_sheetNO;
    setting.firstRowNO = m_firstRowNO;
    setting.lastRowNO = m_lastRowNO;
    setting.titleRowNO = m_titleRowNO;
    for (qsizetype i = 0; i < m_titles.size(); ++i)
        setting.columns.append({m_titles[i], qint32(m_widths.value(i)), m_savedFormulas.value(i)});
    const bool ok = m_settingsFile.save(m_mode, m_lastSet < 0 ? 0 : m_lastSet, m_importMode, setting);
    m_saveError = ok ? QString() : m_settingsFile.errorString();
    return ok;
}

bool ImportWizard::stepTo(int id, const QString &file, int setting)
{
    restart();
    m_sourcePage->pathEdit()->setText(file);
    m_sourcePage->settingBox()->setCurrentIndex(setting);
    while (currentId() != id) {
        const int before = currentId();
        next();
        if (currentId() == before)
            return false;
    }
    return true;
}
