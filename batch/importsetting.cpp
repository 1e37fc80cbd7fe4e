#include "batch/importsetting.h"

#include "batch/columncatalogue.h"
#include "excel/columnletters.h"
#include "formula/formularewrite.h"

#include <QFileInfo>
#include <QSettings>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// A setting's name longer than this is refused when saving (it would not fit the setting list).
constexpr qsizetype kMaxSettingName = 128;

QString groupName(int mode)
{
    return u"importSet"_s + QString::number(mode);
}

void warnOnce(QStringList &warnings, const QString &warning)
{
    if (!warnings.contains(warning))
        warnings.append(warning);
}

// An integer key. A value that is no integer reads as `fallback`; one outside low..high is
// clamped, or reads as `fallback` when outOfRangeIsFallback.
qint32 storedInt(const QSettings &s, const QString &key, qint32 fallback, qint32 low, qint32 high,
                 QStringList &warnings, bool outOfRangeIsFallback = false)
{
    const QVariant value = s.value(key);
    if (!value.isValid())
        return fallback;
    bool ok = false;
    const qlonglong v = value.toString().trimmed().toLongLong(&ok);
    if (!ok) {
        warnOnce(warnings, u"导入设定中有无法识别的数值，已按默认值处理。"_s);
        return fallback;
    }
    if (v < low || v > high) {
        warnOnce(warnings, u"导入设定中有超出范围的行号、列宽或工作表序号，已自动调整。"_s);
        if (outOfRangeIsFallback)
            return fallback;
        return qint32(std::clamp<qlonglong>(v, low, high));
    }
    return qint32(v);
}

QString storedText(const QSettings &s, const QString &key, QStringList &warnings)
{
    QString text = s.value(key).toString();
    if (text.size() > kMaxImportSettingText) {
        warnOnce(warnings, u"导入设定中有过长的文字，已截断。"_s);
        text.truncate(kMaxImportSettingText);
    }
    return text;
}

QStringList boundedGroups(const QSettings &s, qsizetype limit, QStringList &warnings)
{
    QStringList groups = s.childGroups();
    if (groups.size() > limit) {
        warnOnce(warnings, u"导入设定中的设定或列过多，只读取了前 %1 个。"_s.arg(limit));
        groups.resize(limit);
    }
    return groups;
}

bool fileTooLarge(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.size() > kMaxImportSettingsFileSize;
}

} // namespace

QString standardImportSettingName()
{
    return u"标准工资表导入设定"_s;
}

ImportSetting standardImportSetting(int mode)
{
    ImportSetting setting;
    setting.name = standardImportSettingName();
    const int basic = ColumnCatalogue::sourceColumnCount(BatchPage(mode));
    const auto &groups = ColumnCatalogue::instance().groups(ColumnCatalogue::sourceTree(BatchPage(mode)));
    const ColumnGroup &group = *groups.front();
    for (int k = 0; k < basic && k < group.itemCount(); ++k)
        setting.columns.append({group.item(k)->title, group.item(k)->width, columnLetters(k)});
    // The sample sheet's department, an extra column of the batch page.
    setting.columns.append({u"部门"_s, 80, u"G"_s});
    return setting;
}

QStringList ImportSettingsGroup::names() const
{
    QStringList list;
    list.reserve(settings.size());
    for (const ImportSetting &s : settings)
        list.append(s.name);
    return list;
}

const ImportSetting *ImportSettingsGroup::setting(int k) const
{
    return k >= 1 && k <= settings.size() ? &settings[k - 1] : nullptr;
}

ImportSettingsFile::ImportSettingsFile(QString path) : m_path(std::move(path)) {}

ImportSettingsGroup ImportSettingsFile::read(int mode, bool offerStandard) const
{
    m_warnings.clear();
    ImportSettingsGroup result;
    if (fileTooLarge(m_path)) {
        warnOnce(m_warnings, u"导入设定文件“%1”过大，不像是本软件保存的设定，已忽略。"_s.arg(m_path));
    } else {
        QSettings s(m_path, QSettings::IniFormat);
        if (s.status() == QSettings::FormatError)
            warnOnce(m_warnings, u"导入设定文件“%1”格式有误，只读取了能识别的部分。"_s.arg(m_path));
        s.beginGroup(groupName(mode));
        const QStringList names = boundedGroups(s, kMaxImportSettings, m_warnings);
        for (const QString &name : names) {
            ImportSetting setting;
            setting.name = name.left(kMaxImportSettingText);
            s.beginGroup(name);
            setting.sheetNO = storedInt(s, u"sheetNO"_s, 0, 0, kMaxImportSheetIndex, m_warnings, true);
            setting.firstRowNO = storedInt(s, u"firstRowNO"_s, 2, 1, kMaxImportRowNumber, m_warnings);
            setting.lastRowNO = storedInt(s, u"lastRowNO"_s, 0, 0, kMaxImportRowNumber, m_warnings);
            setting.titleRowNO = storedInt(s, u"titleRowNO"_s, 1, 1, kMaxImportRowNumber, m_warnings);
            const QStringList columns = boundedGroups(s, kMaxImportSettingColumns, m_warnings);
            setting.columns.reserve(columns.size());
            for (const QString &column : columns) {
                s.beginGroup(column);
                ImportSettingColumn entry;
                entry.title = storedText(s, u"title"_s, m_warnings);
                entry.width = storedInt(s, u"width"_s, 0, 0, kMaxImportColumnWidth, m_warnings);
                entry.formula = storedText(s, u"formula"_s, m_warnings);
                setting.columns.append(entry);
                s.endGroup();
            }
            s.endGroup();
            result.settings.append(setting);
        }
        result.importMode = storedInt(s, u"importMode"_s, 2, 0, 2, m_warnings);
        // Read before the standard setting joins the list: the stored index counts that entry
        // only when it was offered at the time, which the range check below cannot know.
        result.lastSet = storedInt(s, u"lastSet"_s, 0, 0, kMaxImportRowNumber, m_warnings);
        s.endGroup();
    }
    // The standard sample suits the salary pages; the current rules' sheets are matched by title.
    if (offerStandard && mode <= BatchApportionPage &&
        !result.names().contains(standardImportSettingName())) {
        const ImportSetting standard = standardImportSetting(mode);
        // In name order, where it will stand once saved, so that saving it moves no index.
        auto at = std::lower_bound(result.settings.begin(), result.settings.end(), standard.name,
                                   [](const ImportSetting &s, const QString &name) { return s.name < name; });
        result.settings.insert(at, standard);
        result.standardOffered = true;
    }
    if (result.lastSet > result.settings.size()) {
        warnOnce(m_warnings, u"导入设定中上次使用的设定已不存在，改为不使用已有设定。"_s);
        result.lastSet = 0;
    }
    return result;
}

bool ImportSettingsFile::save(int mode, qint32 lastSet, qint32 importMode, const ImportSetting &setting)
{
    m_error.clear();
    const QString name = setting.name.trimmed();
    // A slash makes the name a path of groups: such a setting could never be listed again.
    if (name.contains(u'/') || name.contains(u'\\') || name.size() > kMaxSettingName) {
        m_error = u"设定名称不能含有“/”或“\\”，也不能超过 %1 个字，请换一个名称。"_s.arg(kMaxSettingName);
        return false;
    }
    if (fileTooLarge(m_path)) {
        m_error = u"导入设定文件“%1”过大，不像是本软件保存的设定，这次的设定没有保存。"_s.arg(
            QFileInfo(m_path).absoluteFilePath());
        return false;
    }
    QSettings s(m_path, QSettings::IniFormat);
    s.beginGroup(groupName(mode));
    s.setValue(u"lastSet"_s, lastSet);
    s.setValue(u"importMode"_s, importMode);
    if (!name.isEmpty()) {
        s.remove(name);
        s.beginGroup(name);
        s.setValue(u"sheetNO"_s, setting.sheetNO);
        s.setValue(u"firstRowNO"_s, setting.firstRowNO);
        s.setValue(u"lastRowNO"_s, setting.lastRowNO);
        s.setValue(u"titleRowNO"_s, setting.titleRowNO);
        const qsizetype count = std::min(setting.columns.size(), kMaxImportSettingColumns);
        for (qsizetype i = 0; i < count; ++i) {
            const ImportSettingColumn &column = setting.columns[i];
            s.beginGroup(u"%1"_s.arg(i, 4, 10, QLatin1Char('0')));
            s.setValue(u"title"_s, column.title);
            s.setValue(u"width"_s, column.width);
            s.setValue(u"formula"_s, column.formula);
            s.endGroup();
        }
        s.endGroup();
    }
    s.endGroup();
    s.sync();
    if (s.status() != QSettings::NoError) {
        m_error =
            u"无法写入导入设定文件“%1”，这次的设定没有保存。"_s.arg(QFileInfo(m_path).absoluteFilePath());
        return false;
    }
    return true;
}

QStringList autoMatchFormulas(const QStringList &sourceTitles, const QStringList &formulas, int mode)
{
    QStringList result = formulas;
    const int basic = ColumnCatalogue::sourceColumnCount(BatchPage(mode));
    for (qsizetype i = 0; i < sourceTitles.size(); ++i) {
        const int position = ColumnCatalogue::matchSourceTitle(sourceTitles[i]);
        if (position >= 0 && position < basic && position < result.size())
            result[position] = columnLetters(int(i));
    }
    return result;
}

QStringList columnsBeyondSheet(const QString &formula, int columnCount)
{
    QStringList beyond;
    for (const FormulaToken &token : tokenizeFormula(formula)) {
        if (token.kind != FormulaToken::ColumnRef || beyond.contains(token.text))
            continue;
        const int column = formulaColumnIndex(token.text);
        // Letters too many for a column index name no column of any sheet.
        if (column < 0 || column >= columnCount)
            beyond << token.text;
    }
    return beyond;
}

QStringList formulasWithinSheet(const QStringList &titles, const QStringList &formulas, int columnCount,
                                QStringList *warnings)
{
    QStringList result = formulas;
    for (qsizetype k = 0; k < result.size(); ++k) {
        const QStringList beyond = columnsBeyondSheet(result[k], columnCount);
        if (beyond.isEmpty())
            continue;
        if (warnings) {
            *warnings << u"“%1”的取数公式“%2”用到了工作表中没有的列 %3。"_s.arg(titles.value(k), result[k],
                                                                                beyond.join(u'、'));
        }
        result[k].clear();
    }
    return result;
}
