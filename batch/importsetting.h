// Saved import settings ("importset.ini") and the automatic matching of worksheet titles.
//
// The settings file holds, per batch page (its mode: 0 tax calculation, 1 planning, 2
// apportionment, 3 a month's payroll, 4 a year sheet), the group "importSet<mode>" with the index of the
// setting last used ("lastSet"), the last import mode ("importMode", 0 overwrite, 1 append) and one sub-group
// per named setting: the worksheet index, the first, last and title rows, and per mapped target column a
// sub-group "0000", "0001", … with its title, width and formula. Settings of different modes never mix.
//
// The file comes from the user's disk, so reading is bounded: every number is clamped into the
// range the wizard accepts, texts are cut, at most kMaxImportSettings settings and
// kMaxImportSettingColumns columns are taken, and a file larger than kMaxImportSettingsFileSize
// reads as empty. What reading ignored is said in warnings(). Writing reports its failure.
//
// The wizard and lumo-cli batch share these: nothing here depends on widgets (QtCore only).
#pragma once

#include "batch/settingsfiles.h"

#include <QList>
#include <QString>
#include <QStringList>

// The highest row number the range page accepts.
inline constexpr qint32 kMaxImportRowNumber = 1410065407;
// A workbook has no more sheets than this; a stored index beyond it reads as 0.
inline constexpr qint32 kMaxImportSheetIndex = 65535;
inline constexpr qsizetype kMaxImportSettings = 1000;
inline constexpr qsizetype kMaxImportSettingColumns = 1024;
inline constexpr qsizetype kMaxImportSettingText = 4096;
inline constexpr qint32 kMaxImportColumnWidth = 4096;
inline constexpr qint64 kMaxImportSettingsFileSize = 8 * 1024 * 1024;

// One mapped target column of a setting.
struct ImportSettingColumn
{
    QString title;    // the target column's title
    qint32 width = 0; // its width in pixels
    QString formula;  // its import formula, possibly empty

    bool operator==(const ImportSettingColumn &) const = default;
};

// One named setting.
struct ImportSetting
{
    QString name;
    qint32 sheetNO = 0;    // 0-based worksheet index
    qint32 firstRowNO = 2; // 1-based first data row
    qint32 lastRowNO = 0;  // 1-based last data row; 0 up to the sheet's last row
    qint32 titleRowNO = 1; // 1-based row of the column titles
    QList<ImportSettingColumn> columns;

    bool operator==(const ImportSetting &) const = default;
};

// The name of the setting shipped for the standard sample salary sheet ("标准工资表导入设定").
QString standardImportSettingName();
// That setting for a batch page: the sheet's 编码, 姓名, 月应发工资, 三险一金, 年终奖金 (the bonus
// column of every page) and, on the tax calculation page, 企业年金 in columns A to F, plus its
// 部门 column G as an extra column; titles in row 1, data from row 2 to the end.
ImportSetting standardImportSetting(int mode);

// The settings of one batch page as read from the file.
struct ImportSettingsGroup
{
    qint32 lastSet = 0;            // 0 none, k ≥ 1 the k-th entry of names(); clamped into that range
    qint32 importMode = 2;         // as stored, clamped to 0..2; 2 when nothing is stored (append)
    QList<ImportSetting> settings; // stored settings, in the file's (sorted) order
    bool standardOffered = false;  // the standard setting was added because none has its name

    // The names after "不使用已有设定": index k − 1 is the setting lastSet k names.
    QStringList names() const;
    // The k-th setting (1-based), or null for k out of range.
    const ImportSetting *setting(int k) const;
};

class ImportSettingsFile
{
public:
    // importset.ini in the settings folder (batch/settingsfiles.h).
    static QString defaultFileName() { return settingsFilePath(QStringLiteral("importset.ini")); }

    explicit ImportSettingsFile(QString path = defaultFileName());

    QString path() const { return m_path; }

    // The settings of a batch page (mode 0–4). A missing or unreadable file reads as empty. With
    // offerStandard, the standard setting joins the list of modes 0–2, in name order, unless one
    // has its name.
    ImportSettingsGroup read(int mode, bool offerStandard = true) const;
    // What the last read() left out or corrected, in Chinese, each said once.
    QStringList warnings() const { return m_warnings; }

    // Writes "lastSet" and "importMode" of a batch page; unless the setting's name is empty, also
    // the setting under its (trimmed) name, replacing what that name held before (columns of an
    // earlier, longer save do not survive). False, with errorString() in Chinese, for a name that
    // cannot be a setting's name (holding "/" or "\", or too long) or a file that cannot be
    // written; the file then keeps what it held.
    bool save(int mode, qint32 lastSet, qint32 importMode, const ImportSetting &setting);
    QString errorString() const { return m_error; }

private:
    QString m_path;
    mutable QStringList m_warnings;
    QString m_error;
};

// "自动匹配": the formulas after matching a worksheet's title row against the catalogue. For each
// worksheet column i whose title the catalogue recognises (ColumnCatalogue::matchSourceTitle) as a
// basic column of the batch page (position below ColumnCatalogue::sourceColumnCount(mode)) and
// below the number of target columns, the formula of that target column becomes the column's
// letters ("A", "AA"). Later columns overwrite earlier matches; every other formula stays.
QStringList autoMatchFormulas(const QStringList &sourceTitles, const QStringList &formulas, int mode);

// The worksheet columns `formula` names that a sheet of `columnCount` columns does not have, by
// their letters, each once and in order ("G").
QStringList columnsBeyondSheet(const QString &formula, int columnCount);

// A setting's formulas fitted to a sheet of `columnCount` columns: a formula naming a column the
// sheet does not have maps to nothing (read as it stands it would give every row its letters). For
// each such formula *warnings (when given) gets a line naming the target column (`titles`, in
// parallel) and the missing columns.
QStringList formulasWithinSheet(const QStringList &titles, const QStringList &formulas, int columnCount,
                                QStringList *warnings);
