// Export templates and the sheet a batch export writes.
//
// A batch page exports some of its columns, chosen by a template: a built-in one of its mode (0 tax
// calculation, 1 planning, 2 apportionment) or one the user saved in "exportset.ini". For the
// planning and apportionment pages a scope says which of their result tables the rows come from
// (before, after, or both side by side). buildExportLayout turns the page's tables, the columns,
// the scope and a title into the SheetLayout that writeSheetLayout writes.
//
// The export wizard and lumo-cli batch both use exactly these functions, so the same template
// gives the same sheet from either. The module belongs to the core: QtCore only, no widgets; the
// tables are read through the small ExportTable interface, which a widget table or a plain grid
// implements.
#pragma once

#include "batch/sheetlayout.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// One exportable column: a column of the page's original table (type 0) or of its result tables
// (type 1), with its heading texts and width, as the catalogue lists it.
struct ExportColumn
{
    QString name;       // the column title
    QString group;      // the title of its group
    int groupIndex = 0; // the group's position in its layout: adjacent columns of one group share
                        // one heading cell
    quint16 type = 0;   // 0 original table, 1 result table
    quint16 column = 0; // index in that table, and in that list (see exportOriginalList)
    quint16 width = 0;  // pixels

    bool operator==(const ExportColumn &) const = default;
};

// Where the rows of an export come from. Mode 0 always exports its one result table ("before").
enum ExportScope : int
{
    ScopeBefore = 0,
    ScopeAfter = 1,
    ScopeComparison = 2, // two rows per person: before, then after
    ScopeEffective = 3,  // as ScopeComparison, only people whose planning saves something (mode 1)
};

// Four built-in templates come first; saved ones follow from this index on.
inline constexpr int kBuiltinTemplates = 4;
// The built-in entry without columns, for a choice of one's own.
inline constexpr int kCustomTemplate = 3;
// The built-in template an export starts with when none was used before: the one with the results
// ("全部薪酬列", "有效筹划比对结果", "分摊比对结果").
inline constexpr int kDefaultTemplate = 2;
// Saved templates read from a file at most; more are ignored.
inline constexpr int kMaxSavedTemplates = 256;
// A settings file larger than this is not read (no saved templates, first template).
inline constexpr qint64 kMaxExportSettingsBytes = 1 << 20;

// The settings file: exportset.ini in the settings folder (batch/settingsfiles.h).
QString exportSettingsFileName();

// The columns of the mode's original-table groups, group by group (the basic group, then the
// columns an import added), and of its result groups. A column's index in its list equals its
// table column. An unknown mode gives empty lists. The columns an import added are those of the
// page's `extension` group (none without one).
class ColumnGroup;
QList<ExportColumn> exportOriginalList(int mode, const ColumnGroup *extension = nullptr);
QList<ExportColumn> exportResultList(int mode);

// The names of the four built-in templates of a mode.
QStringList builtinTemplateNames(int mode);
// The scope choices of a mode, by scope number: none for mode 0, 0–2 for mode 2, 0–3 for mode 1.
QStringList exportScopeNames(int mode);
// The caption of the result column list: "原始计算结果", "筹划结果" or "分摊结果".
QString exportResultCaption(int mode);
// The grey explanation of the template choice (rich text).
QString exportTemplateExplanation(int mode);
// A scope the mode offers, else ScopeAfter.
int normalizedExportScope(int mode, int scope);

// A saved template as stored: its name, scope and (type, column) pairs, not yet checked against
// the catalogue (columns may have gone since it was saved).
struct SavedExportTemplate
{
    QString name;
    int scope = ScopeAfter;
    QList<QPair<int, int>> columns;
};

struct ExportSettings
{
    int lastSet = 0;            // a valid template index: 0 … kBuiltinTemplates + templates.size() − 1
    bool lastSetStored = false; // the file named that template (lastSet 0 may be a default)
    QList<SavedExportTemplate> templates;
};

// The template a new export starts with: the one last used when the file names a valid one,
// else kDefaultTemplate.
int initialExportTemplate(const ExportSettings &settings);

// The name of the exported worksheet, after the result it holds ("个税计算结果").
QString exportSheetName(int mode);

// The saved templates of a mode and the template last used. A missing, unreadable, oversized or
// malformed file, or a mode group with absurd values, reads as far as it makes sense: values that
// are not numbers or out of range fall back to defaults or are dropped, never crash.
ExportSettings readExportSettings(const QString &fileName, int mode);

// A template name that can be stored as a settings group: not blank, no "/" or "\" (they would
// nest groups), at most 64 characters. False with a Chinese reason otherwise.
bool exportTemplateNameValid(const QString &name, QString *error);

// Stores lastSet for the mode and, unless name is empty, the template `name` (replacing one of the
// same name completely) with the scope and the columns. False with a Chinese reason when the file
// cannot be written or the name is not valid.
bool writeExportSettings(const QString &fileName, int mode, int lastSet, const QString &name, int scope,
                         const QList<ExportColumn> &columns, QString *error);

// The columns and scope of template `index` of the mode: 0 the basic original columns; 1 the result
// list (scope after); 2 in mode 0 the result list and then the imported extra columns ("全部薪酬列"),
// else the result list with the comparison scope (3 in mode 1, 2 in mode 2); 3 nothing; from 4 the
// saved template index − 4, whose vanished columns are dropped. An index without a template gives
// no columns. `scope` is the scope kept where the template sets none.
struct ExportChoice
{
    QList<ExportColumn> columns;
    int scope = ScopeAfter;
};
ExportChoice loadExportTemplate(int mode, int index, const ExportSettings &settings, int scope,
                                const ColumnGroup *extension = nullptr);

// One cell of a page's table as the export reads it.
struct ExportTableCell
{
    QString text;
    int kind = 0; // the cell kind of an imported cell (1001 a number), 0 for a computed one
    SheetCellStyle align = SheetCellStyle::BodyLeft; // left also when the cell has no alignment
};

// A salary table as the pages hold it: rows 0 and 1 are title rows, then one row per person, and in
// result tables a last totals row. Columns as the catalogue numbers them.
class ExportTable
{
public:
    virtual ~ExportTable() = default;
    virtual int rowCount() const = 0;
    // The cell at (row, column), or nothing where the table has no cell.
    virtual std::optional<ExportTableCell> cell(int row, int column) const = 0;
};

// An ExportTable held as plain cells, row by row.
class PlainExportTable : public ExportTable
{
public:
    std::vector<std::vector<std::optional<ExportTableCell>>> rows;

    int rowCount() const override { return int(rows.size()); }
    std::optional<ExportTableCell> cell(int row, int column) const override;
};

struct ExportRequest
{
    int mode = 0;
    const ExportTable *base = nullptr;   // the original table (type 0 columns)
    const ExportTable *before = nullptr; // the result table; before planning/apportionment
    const ExportTable *after = nullptr;  // after planning/apportionment; null in mode 0
    QList<ExportColumn> columns;
    int scope = ScopeAfter;
    QString title;              // trimmed by the caller; empty: no title rows
    bool includeProcess = true; // false leaves out the "计算过程" column
};

// The sheet of an export: the title over all columns, a row of group headings (one cell per run of
// adjacent columns of a group), the column titles, then the rows of the scope and the totals rows
// (the last row; the last two in the comparison scopes; the effective people's totals rows, titled
// "筹划(有效)前总计" and "筹划(有效)后总计", in the effective scope). Amount and count cells are marked
// numeric; names, codes, rates and process texts are not. A missing table or cell gives a missing cell.
SheetLayout buildExportLayout(const ExportRequest &request);

// True when an export column holds amounts or counts (written as numbers), for the mode.
bool exportColumnIsAmount(int mode, const ExportColumn &column);
