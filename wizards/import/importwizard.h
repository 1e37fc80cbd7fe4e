// The import wizard: a salary sheet from an .xls/.xlsx workbook into a batch page's source table.
//
// Five pages, by id: 0 DataSourcePage (file and saved setting), 1 DataDefinePage (worksheet and
// rows), 3 DataContrastPage (target columns and their formulas), 4 DataCheckPage (the computed
// preview), 5 DataReadyPage (append or overwrite, save the setting, import). The wizard is the
// state all pages share, and the only one that reads and writes "importset.ini" (through
// batch/importsetting.h). It computes nothing itself: formulas go through formula/, worksheet
// cells through excel/'s display rule, titles through the column catalogue.
#pragma once

#include "batch/columncatalogue.h"
#include "batch/importsetting.h"
#include "batch/sheetsource.h"

#include <QList>
#include <QStringList>
#include <QWizard>

#include <memory>

class DataCheckPage;
class DataContrastPage;
class DataDefinePage;
class DataReadyPage;
class DataSourcePage;
class PTableWidget;
class Workbook;

class ImportWizard : public QWizard
{
    Q_OBJECT
public:
    enum PageId
    {
        SourcePageId = 0,
        DefinePageId = 1,
        ContrastPageId = 3,
        CheckPageId = 4,
        ReadyPageId = 5,
    };

    // `targetTable` is the batch page's source table, `mode` the batch page (0 tax calculation,
    // 1 planning, 2 apportionment). Modes 3 (a month's payroll) and 4 (a year sheet) take no table:
    // the core reads those sheets itself, so the wizard only settles what to read (sheetImport()),
    // shows the first rows of each worksheet and previews the first rows as the reader gives them.
    ImportWizard(PTableWidget *targetTable, int mode, QWidget *parent = nullptr);
    ~ImportWizard() override;

    int mode() const { return m_mode; }
    PTableWidget *targetTable() const { return m_targetTable; }
    // The extension group of the target table, which an import extends or (overwriting) empties:
    // the batch page's own when it calls setExtension, else one of the wizard's own.
    ColumnGroup *extension() const { return m_extension; }
    void setExtension(ColumnGroup *group) { m_extension = group ? group : &m_ownExtension; }
    // Modes 3 and 4: the wizard hands back a SheetImport and fills no table.
    bool settlesSheetImport() const { return m_settlesSheetImport; }
    // What the wizard settled, for modes 3 and 4 once the mapping page was passed: the file, the
    // worksheet, the rows and one formula per target column in the reader's field order.
    SheetImport sheetImport() const;
    // Modes 3 and 4 keep the workbook the range page read, so the preview reads its first rows
    // through the core's reader; null otherwise or before a workbook was read.
    const Workbook *workbook() const { return m_book.get(); }
    void keepWorkbook(std::unique_ptr<Workbook> book);

    QString fileName() const { return m_fileName; }
    void setFileName(const QString &name)
    {
        if (name != m_fileName)
            m_fileName = name;
    }
    // The worksheet table chosen on the range page (owned by the wizard while it holds it), or null.
    PTableWidget *sourceTable() const { return m_sourceTable; }
    void setSourceTable(PTableWidget *table);
    // Counts every change of the source table, so the mapping page sees a new one even at an old
    // address.
    int sourceGeneration() const { return m_sourceGeneration; }
    void restoreSourceTable();

    QStringList formulas() const { return m_formulas; }
    QStringList targetNames() const { return m_targetNames; }
    QList<int> targetIds() const { return m_targetIds; }
    void setImportColumns(const QStringList &formulas, const QStringList &names, const QList<int> &ids);

    int lastSet() const { return m_lastSet; }
    bool rangeReady() const { return m_rangeReady; }
    void setRangeReady(bool ready) { m_rangeReady = ready; }
    bool mappingReady() const { return m_mappingReady; }
    void setMappingReady(bool ready) { m_mappingReady = ready; }
    int sheetNO() const { return m_sheetNO; }
    void setSheetNO(int n) { m_sheetNO = n; }
    int firstRowNO() const { return m_firstRowNO; }
    void setFirstRowNO(int n) { m_firstRowNO = n; }
    int lastRowNO() const { return m_lastRowNO; }
    void setLastRowNO(int n) { m_lastRowNO = n; }
    int titleRowNO() const { return m_titleRowNO; }
    void setTitleRowNO(int n) { m_titleRowNO = n; }
    int importMode() const { return m_importMode; }
    void setImportMode(int mode) { m_importMode = mode; }

    // The mapping a saved setting holds: one title, width and formula per target column.
    QStringList titles() const { return m_titles; }
    QList<int> widths() const { return m_widths; }
    QStringList savedFormulas() const { return m_savedFormulas; }
    void setSavedMapping(const QStringList &titles, const QList<int> &widths, const QStringList &formulas);

    PTableWidget *previewTable() const { return m_previewTable; }
    void setPreviewTable(PTableWidget *table) { m_previewTable = table; }

    // The settings of this mode as read at construction, with the standard setting offered.
    const ImportSettingsGroup &settings() const { return m_settings; }
    // What reading "importset.ini" corrected or left out (shown on the data source page).
    QStringList settingsWarnings() const { return m_settingsWarnings; }

    // Chooses entry `index` of the setting list (0 none); nothing happens when it is already chosen.
    void selectSetting(int index);
    void loadSetting(int k);
    // Records lastSet and importMode and, under a non-empty name, the setting. False, with
    // saveError(), when the file could not be written.
    bool saveSetting(const QString &name);
    QString saveError() const { return m_saveError; }

    // Walks the wizard forward from the first page with `file` and the setting list's entry
    // `setting` until page `id` shows or a page refuses (for pictures of the pages). Returns
    // whether page `id` was reached.
    bool stepTo(int id, const QString &file, int setting);

    DataSourcePage *sourcePage() const { return m_sourcePage; }
    DataDefinePage *definePage() const { return m_definePage; }
    DataContrastPage *contrastPage() const { return m_contrastPage; }
    DataCheckPage *checkPage() const { return m_checkPage; }
    DataReadyPage *readyPage() const { return m_readyPage; }

private:
    QString m_fileName;
    PTableWidget *m_sourceTable = nullptr;
    PTableWidget *m_targetTable;
    ColumnGroup m_ownExtension;
    ColumnGroup *m_extension = &m_ownExtension;
    QStringList m_formulas;
    QStringList m_targetNames;
    QList<int> m_targetIds;
    qint32 m_lastSet = -1;
    bool m_rangeReady = false;
    bool m_mappingReady = false;
    qint32 m_sheetNO = 0;
    qint32 m_firstRowNO = 2;
    qint32 m_lastRowNO = 0;
    qint32 m_titleRowNO = 1;
    qint32 m_importMode = 0;
    QStringList m_titles;
    QList<int> m_widths;
    QStringList m_savedFormulas;
    PTableWidget *m_previewTable = nullptr;
    qint32 m_mode;
    bool m_settlesSheetImport;
    std::unique_ptr<Workbook> m_book;

    int m_sourceGeneration = 0;
    ImportSettingsFile m_settingsFile;
    ImportSettingsGroup m_settings;
    QStringList m_settingsWarnings;
    QString m_saveError;
    DataSourcePage *m_sourcePage;
    DataDefinePage *m_definePage;
    DataContrastPage *m_contrastPage;
    DataCheckPage *m_checkPage;
    DataReadyPage *m_readyPage;
};

// The message boxes of the wizard's pages: warning icon, OK, on top, the application's name as title.
void importMessage(QWidget *parent, const QString &text, const QString &informative);
