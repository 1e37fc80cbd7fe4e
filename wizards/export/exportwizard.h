// The export wizard: writes a batch page's tables to an Excel workbook in four steps — the file,
// the template, the columns, and a preview from which the file is written.
//
// The wizard holds the choice (file, title, columns, scope, template index); which columns a
// template means, how "exportset.ini" is read and written and what the sheet looks like are the
// core's (batch/exporttemplate.h), and the sheet is written by writeSheetLayout, which never
// touches an existing file until the new one is complete. The wizard reads the page's tables but
// never changes them.
#pragma once

#include "batch/exporttemplate.h"

#include <QList>
#include <QString>
#include <QWizard>

class ExportFilePage;
class ExportReadyPage;
class ExportSettingPage;
class ExportTemplatePage;
class PTableWidget;
class QTableWidget;

class ExportWizard : public QWizard
{
    Q_OBJECT
public:
    enum PageId
    {
        FilePage = 0,
        TemplatePage = 1,
        SettingPage = 2,
        ReadyPage = 3,
    };

    // The batch tax calculation page passes its original and result tables and no after-table
    // with mode 0; the planning (1) and apportionment (2) pages their original table and the
    // results before and after.
    // `extension` is the page's group of imported extra columns, offered with the original ones.
    ExportWizard(PTableWidget *baseTable, PTableWidget *beforeTable, PTableWidget *afterTable, int mode,
                 QWidget *parent = nullptr, const ColumnGroup *extension = nullptr);

    PTableWidget *baseTable() const { return m_baseTable; }
    PTableWidget *beforeTable() const { return m_beforeTable; }
    PTableWidget *afterTable() const { return m_afterTable; }
    int mode() const { return m_mode; }
    const ColumnGroup *extension() const { return m_extension; }

    QString fileName() const { return m_fileName; }
    void setFileName(const QString &fileName) { m_fileName = fileName; }
    QString title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }
    QList<ExportColumn> columns() const { return m_columns; }
    void setColumns(const QList<ExportColumn> &columns) { m_columns = columns; }
    int lastSet() const { return m_lastSet; }
    bool columnsReady() const { return m_columnsReady; }
    void setColumnsReady(bool ready) { m_columnsReady = ready; }
    int exportScope() const { return m_exportScope; }
    void setExportScope(int scope) { m_exportScope = scope; }

    // The settings file ("exportset.ini" in the working directory) and what it held when the
    // wizard opened.
    QString settingsFile() const { return m_settingsFile; }
    const ExportSettings &settings() const { return m_settings; }
    // The template names of the mode: the four built-in ones, then the saved ones.
    QStringList templateNames() const;

    // Another template than the one in use replaces the columns (and the column page's edits).
    void selectTemplate(int index);
    void loadTemplate(int index);
    // Stores lastSet and, unless name is empty, the current choice under that name. False with a
    // Chinese reason when the settings file cannot be written.
    bool saveTemplate(const QString &name, QString *error = nullptr);

    ExportFilePage *filePage() const { return m_filePage; }
    ExportTemplatePage *templatePage() const { return m_templatePage; }
    ExportSettingPage *settingPage() const { return m_settingPage; }
    ExportReadyPage *readyPage() const { return m_readyPage; }

private:
    PTableWidget *m_baseTable;
    PTableWidget *m_beforeTable;
    PTableWidget *m_afterTable;
    QString m_fileName;
    QString m_title;
    QList<ExportColumn> m_columns;
    qint32 m_lastSet = 0;
    bool m_columnsReady = false;
    qint32 m_mode;
    const ColumnGroup *m_extension;
    qint32 m_exportScope = ScopeAfter;

    QString m_settingsFile;
    ExportSettings m_settings;
    ExportFilePage *m_filePage;
    ExportTemplatePage *m_templatePage;
    ExportSettingPage *m_settingPage;
    ExportReadyPage *m_readyPage;
};
