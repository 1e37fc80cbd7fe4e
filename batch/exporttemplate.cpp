#include "batch/exporttemplate.h"

#include "batch/batchcalc.h"
#include "batch/columncatalogue.h"
#include "batch/settingsfiles.h"

#include <QFileInfo>
#include <QSettings>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kNumberCellKind = 1001;
constexpr int kMaxTemplateNameLength = 64;

bool validMode(int mode)
{
    return mode >= BatchCalcPage && mode <= BatchApportionPage;
}

QString modeGroup(int mode)
{
    return u"exportSet"_s + QString::number(mode);
}

// The columns of a layout; a page's own extension group stands in for the layout's empty one.
QList<ExportColumn> columnsOfTree(CatalogueTree tree, quint16 type, const ColumnGroup *extension = nullptr)
{
    QList<ExportColumn> list;
    const auto &groups = ColumnCatalogue::instance().groups(tree);
    for (size_t g = 0; g < groups.size(); ++g) {
        const ColumnGroup &group = extension && groups[g]->kind == GroupExtension ? *extension : *groups[g];
        for (int i = 0; i < group.itemCount(); ++i) {
            const ColumnItem *item = group.item(i);
            list.append({item->title, group.title, int(g), type, item->column, item->width});
        }
    }
    return list;
}

// The value of `key` as an integer: `fallback` when the key is absent, nothing when it is present
// but not a whole number.
std::optional<int> intValue(const QSettings &settings, const QString &key, int fallback)
{
    if (!settings.contains(key))
        return fallback;
    bool ok = false;
    const int value = settings.value(key).toString().trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

// The result-table columns of the mode's two tax-saving figures (planning only), or -1.
std::pair<int, int> savingColumns(int mode)
{
    if (mode != BatchPlanPage)
        return {-1, -1};
    const ColumnCatalogue &catalogue = ColumnCatalogue::instance();
    return {catalogue.resultColumn(TreePlanResult, GroupSubtotal, ColNetIncrease),
            catalogue.resultColumn(TreePlanResult, GroupSubtotal, ColCostDecrease)};
}

int processColumn(int mode)
{
    return ColumnCatalogue::instance().resultColumn(ColumnCatalogue::resultTree(BatchPage(mode)), GroupRemark,
                                                    ColProcess);
}

// A figure as the pages show it, read leniently: commas dropped, anything unreadable is 0.
double figure(const std::optional<ExportTableCell> &cell)
{
    if (!cell)
        return 0;
    QString text = cell->text;
    text.remove(u',');
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok ? value : 0;
}

class LayoutBuilder
{
public:
    LayoutBuilder(const ExportRequest &request, const QList<ExportColumn> &columns)
        : m_request(request), m_columns(columns)
    {
        m_amount.reserve(columns.size());
        for (const ExportColumn &column : columns)
            m_amount.push_back(exportColumnIsAmount(request.mode, column));
    }

    // One row of the sheet from table row `row`: original columns from the base table (when
    // withBase), result columns from `results`; the first two result columns only when withNames.
    SheetRow row(int row, const ExportTable *results, bool withBase, bool withNames, bool total) const
    {
        SheetRow out;
        out.total = total;
        out.cells.resize(size_t(m_columns.size()));
        for (qsizetype i = 0; i < m_columns.size(); ++i) {
            const ExportColumn &column = m_columns[i];
            const ExportTable *table = nullptr;
            if (column.type == 0)
                table = withBase ? m_request.base : nullptr;
            else if (withNames || column.column > 1)
                table = results;
            if (!table)
                continue;
            const std::optional<ExportTableCell> source = table->cell(row, column.column);
            if (!source)
                continue;
            SheetCell &cell = out.cells[size_t(i)];
            cell.present = true;
            cell.text = source->text;
            cell.style = source->align;
            cell.numeric = m_amount[size_t(i)] ||
                           (column.type == 0 && column.groupIndex > 0 && source->kind == kNumberCellKind);
            cell.whole = column.type == 1 && column.name == u"分摊月份数"_s;
        }
        return out;
    }

private:
    const ExportRequest &m_request;
    const QList<ExportColumn> &m_columns;
    std::vector<bool> m_amount;
};

} // namespace

QString exportSettingsFileName()
{
    return settingsFilePath(u"exportset.ini"_s);
}

QList<ExportColumn> exportOriginalList(int mode, const ColumnGroup *extension)
{
    return validMode(mode) ? columnsOfTree(ColumnCatalogue::sourceTree(BatchPage(mode)), 0, extension)
                           : QList<ExportColumn>();
}

QList<ExportColumn> exportResultList(int mode)
{
    return validMode(mode) ? columnsOfTree(ColumnCatalogue::resultTree(BatchPage(mode)), 1)
                           : QList<ExportColumn>();
}

QStringList builtinTemplateNames(int mode)
{
    switch (mode) {
    case BatchCalcPage:
        return {u"仅原始表"_s, u"仅原始表计算结果"_s, u"全部薪酬列"_s, u"我要自定义导出列"_s};
    case BatchPlanPage:
        return {u"仅原始表"_s, u"筹划后计算结果"_s, u"有效筹划比对结果"_s, u"我要自定义导出列"_s};
    case BatchApportionPage:
        return {u"仅原始表"_s, u"分摊后计算结果"_s, u"分摊比对结果"_s, u"我要自定义导出列"_s};
    default:
        return {};
    }
}

QStringList exportScopeNames(int mode)
{
    switch (mode) {
    case BatchPlanPage:
        return {u"仅导出筹划前计算结果"_s, u"仅导出筹划后计算结果"_s, u"导出全员筹划比对结果"_s,
                u"导出有效筹划比对结果"_s};
    case BatchApportionPage:
        return {u"仅导出非全年一次性奖金分摊前结果"_s, u"仅导出非全年一次性奖金分摊后结果"_s,
                u"导出非全年一次性奖金分摊比对结果"_s};
    default:
        return {};
    }
}

QString exportResultCaption(int mode)
{
    switch (mode) {
    case BatchPlanPage:
        return u"筹划结果"_s;
    case BatchApportionPage:
        return u"分摊结果"_s;
    default:
        return u"原始计算结果"_s;
    }
}

QString exportTemplateExplanation(int mode)
{
    const QString tail = u"<br>\t\t\t3、如果需要自行定义导出内容，请选择【我要自定义导出列】；<br>"
                         u"\t\t\t4、保存的自定义格式也会出现"
                         u"在导出模板列表中。</font>"_s;
    switch (mode) {
    case BatchPlanPage:
        return u"<font "
               u"color=gray>说明：<br>1、如果只是导出节税筹划结果，请选择【筹划后计算结果】；<br>"
               u"\t\t\t2、如果需要导"
               u"出节税筹划比对情况，请选择【有效筹划比对结果】”；"_s +
               tail;
    case BatchApportionPage:
        return u"<font "
               u"color=gray>说明：<br>1、如果只是导出非全年一次性奖金分摊结果，请选择【分摊后计算结果】；<br>"
               u"\t\t\t2、"
               u"如果需要导出非全年一次性奖金分摊比对情况，请选择【分摊比对结果】”；"_s +
               tail;
    default:
        return u"<font "
               u"color=gray>说明：<br>1、如果只是导出计算结果，请选择【仅原始表计算结果】；<br>"
               u"\t\t\t2、如果需要完整"
               u"的个税资料，请选择【全部薪酬列】”；"_s +
               tail;
    }
}

int normalizedExportScope(int mode, int scope)
{
    const int count = int(exportScopeNames(mode).size());
    return scope >= 0 && scope < count ? scope : int(ScopeAfter);
}

ExportSettings readExportSettings(const QString &fileName, int mode)
{
    ExportSettings result;
    const QFileInfo info(fileName);
    if (!validMode(mode) || !info.isFile() || info.size() > kMaxExportSettingsBytes)
        return result;
    QSettings settings(fileName, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return result;
    settings.beginGroup(modeGroup(mode));
    const QStringList names = settings.childGroups();
    for (const QString &name : names) {
        if (result.templates.size() >= kMaxSavedTemplates)
            break;
        SavedExportTemplate stored;
        stored.name = name;
        settings.beginGroup(name);
        stored.scope =
            normalizedExportScope(mode, intValue(settings, u"exportScope"_s, ScopeAfter).value_or(-1));
        const QStringList columns = settings.childGroups();
        for (const QString &position : columns) {
            settings.beginGroup(position);
            const std::optional<int> type = intValue(settings, u"type"_s, 0);
            const std::optional<int> column = intValue(settings, u"column"_s, 0);
            // A value that is not a number names no column; loadExportTemplate drops the pair.
            stored.columns.append({type.value_or(-1), column.value_or(-1)});
            settings.endGroup();
        }
        settings.endGroup();
        result.templates.append(stored);
    }
    const std::optional<int> stored =
        settings.contains(u"lastSet"_s) ? intValue(settings, u"lastSet"_s, 0) : std::nullopt;
    const int lastSet = stored.value_or(0);
    result.lastSetStored = stored && lastSet >= 0 && lastSet < kBuiltinTemplates + result.templates.size();
    result.lastSet = result.lastSetStored ? lastSet : 0;
    return result;
}

int initialExportTemplate(const ExportSettings &settings)
{
    return settings.lastSetStored ? settings.lastSet : kDefaultTemplate;
}

QString exportSheetName(int mode)
{
    switch (mode) {
    case BatchPlanPage:
        return u"节税筹划结果"_s;
    case BatchApportionPage:
        return u"奖金分摊结果"_s;
    default:
        return u"个税计算结果"_s;
    }
}

bool exportTemplateNameValid(const QString &name, QString *error)
{
    QString why;
    if (name.trimmed().isEmpty())
        why = u"请给导出设定起一个名字。"_s;
    else if (name.contains(u'/') || name.contains(u'\\'))
        why = u"导出设定的名字不能含有“/”或“\\”。"_s;
    else if (name.size() > kMaxTemplateNameLength)
        why = u"导出设定的名字太长，最多 %1 个字。"_s.arg(kMaxTemplateNameLength);
    if (why.isEmpty())
        return true;
    if (error)
        *error = why;
    return false;
}

bool writeExportSettings(const QString &fileName, int mode, int lastSet, const QString &name, int scope,
                         const QList<ExportColumn> &columns, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (!validMode(mode))
        return fail(u"未知的导出页面。"_s);
    if (!name.isEmpty() && !exportTemplateNameValid(name, error))
        return false;
    const QFileInfo info(fileName);
    if (info.exists() && (!info.isFile() || info.size() > kMaxExportSettingsBytes))
        return fail(u"导出设定文件“%1”无法使用，导出设定未保存。"_s.arg(fileName));
    // Root may write anywhere, so the file's own permission bits are what a user set on it.
    if (info.exists() && !(info.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther)))
        return fail(u"导出设定文件“%1”是只读的，导出设定未保存。"_s.arg(fileName));
    QSettings settings(fileName, QSettings::IniFormat);
    settings.beginGroup(modeGroup(mode));
    settings.setValue(u"lastSet"_s, lastSet);
    if (!name.isEmpty()) {
        // A template saved again under its name is replaced whole: columns it had beyond the new
        // count must not survive.
        settings.remove(name);
        settings.beginGroup(name);
        settings.setValue(u"exportScope"_s, scope);
        for (qsizetype i = 0; i < columns.size(); ++i) {
            settings.beginGroup(QString::number(i).rightJustified(4, u'0'));
            settings.setValue(u"type"_s, int(columns[i].type));
            settings.setValue(u"column"_s, int(columns[i].column));
            settings.endGroup();
        }
        settings.endGroup();
    }
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return fail(u"无法写入导出设定文件“%1”，导出设定未保存。"_s.arg(fileName));
    return true;
}

ExportChoice loadExportTemplate(int mode, int index, const ExportSettings &settings, int scope,
                                const ColumnGroup *extension)
{
    ExportChoice choice;
    choice.scope = scope;
    if (!validMode(mode))
        return choice;
    const QList<ExportColumn> original = exportOriginalList(mode, extension);
    const QList<ExportColumn> result = exportResultList(mode);
    switch (index) {
    case 0:
        for (const ExportColumn &column : original) {
            if (column.groupIndex == 0)
                choice.columns.append(column);
        }
        return choice;
    case 1:
        choice.columns = result;
        if (mode != BatchCalcPage)
            choice.scope = ScopeAfter;
        return choice;
    case 2:
        choice.columns = result;
        if (mode == BatchCalcPage) {
            for (const ExportColumn &column : original) {
                if (column.groupIndex == 1)
                    choice.columns.append(column);
            }
        } else {
            choice.scope = mode == BatchPlanPage ? ScopeEffective : ScopeComparison;
        }
        return choice;
    case kCustomTemplate:
        return choice;
    default:
        break;
    }
    const qsizetype saved = qsizetype(index) - kBuiltinTemplates;
    if (saved < 0 || saved >= settings.templates.size())
        return choice;
    const SavedExportTemplate &stored = settings.templates[saved];
    choice.scope = normalizedExportScope(mode, stored.scope);
    for (const auto &[type, column] : stored.columns) {
        if (type == 0 && column >= 0 && column < original.size())
            choice.columns.append(original[column]);
        else if (type == 1 && column >= 0 && column < result.size())
            choice.columns.append(result[column]);
    }
    return choice;
}

std::optional<ExportTableCell> PlainExportTable::cell(int row, int column) const
{
    if (row < 0 || size_t(row) >= rows.size() || column < 0 || size_t(column) >= rows[size_t(row)].size())
        return std::nullopt;
    return rows[size_t(row)][size_t(column)];
}

bool exportColumnIsAmount(int mode, const ExportColumn &column)
{
    if (!validMode(mode))
        return false;
    if (column.type == 0)
        return column.groupIndex == 0 && column.column >= 2; // the wage, insurance and bonus figures
    if (column.groupIndex == 0)
        return false; // code and name
    return column.name != ColumnCatalogue::columnTitle(ColRate) &&
           column.name != ColumnCatalogue::columnTitle(ColProcess);
}

SheetLayout buildExportLayout(const ExportRequest &request)
{
    QList<ExportColumn> columns;
    const int process = processColumn(request.mode);
    for (const ExportColumn &column : request.columns) {
        if (!request.includeProcess && column.type == 1 && process >= 0 && column.column == process)
            continue;
        columns.append(column);
    }
    const int n = int(columns.size());

    SheetLayout layout;
    layout.sheetName = exportSheetName(request.mode);
    layout.title = request.title;
    layout.titleSpan = std::max(1, n);
    SheetRow groups, titles;
    groups.cells.resize(size_t(n));
    titles.cells.resize(size_t(n));
    for (int i = 0; i < n; ++i) {
        const ExportColumn &column = columns[i];
        const bool runStart =
            i == 0 || columns[i - 1].type != column.type || columns[i - 1].groupIndex != column.groupIndex;
        if (runStart) {
            int end = i + 1;
            while (end < n && columns[end].type == column.type &&
                   columns[end].groupIndex == column.groupIndex)
                ++end;
            groups.cells[size_t(i)] = {true, column.group, false, SheetCellStyle::Heading, end - i};
        }
        titles.cells[size_t(i)] = {true, column.name, false, SheetCellStyle::Heading, 1};
        layout.columnWidths.push_back(column.width);
    }
    layout.headings.push_back(std::move(groups));
    layout.headings.push_back(std::move(titles));

    const int scope =
        request.mode == BatchCalcPage ? int(ScopeBefore) : normalizedExportScope(request.mode, request.scope);
    const LayoutBuilder builder(request, columns);
    // Planning tables end in two totals rows: the effective people's, then everyone's; a scope
    // exports the one that sums the people it lists.
    const bool skipBeforeTotals = request.mode == BatchPlanPage;

    if (scope == ScopeBefore || scope == ScopeAfter) {
        const ExportTable *table = scope == ScopeBefore ? request.before : request.after;
        if (!table)
            return layout;
        const int last = table->rowCount() - 1;
        if (last < kTitleRows)
            return layout;
        layout.rows.reserve(size_t(last - 1));
        for (int r = kTitleRows; r <= last; ++r) {
            if (skipBeforeTotals && r == last - 1)
                continue;
            layout.rows.push_back(builder.row(r, table, true, true, r == last));
        }
        return layout;
    }

    // The comparison scopes: a person's row before, then the same person after.
    const ExportTable *before = request.before;
    const ExportTable *after = request.after;
    const int beforeLast = before ? before->rowCount() - 1 : -1;
    const int afterLast = after ? after->rowCount() - 1 : -1;
    const int last = std::max(beforeLast, afterLast);
    if (last < kTitleRows)
        return layout;
    const auto [netIncrease, costDecrease] = savingColumns(request.mode);
    layout.rows.reserve(size_t(2 * (last - 1)));
    for (int r = kTitleRows; r < last; ++r) {
        if (skipBeforeTotals && r == last - 1)
            continue;
        if (scope == ScopeEffective) {
            const bool saves = after && ((netIncrease >= 0 && figure(after->cell(r, netIncrease)) != 0) ||
                                         (costDecrease >= 0 && figure(after->cell(r, costDecrease)) != 0));
            if (!saves)
                continue;
        }
        layout.rows.push_back(builder.row(r, before, true, true, false));
        layout.rows.push_back(builder.row(r, after, false, false, false));
    }
    // The totals rows add up the rows above them: only the effective people's when only they are
    // listed ("筹划(有效)前/后总计", the row before everyone's), as the page shows them.
    const int totalsRow = scope == ScopeEffective && skipBeforeTotals ? 1 : 0;
    layout.rows.push_back(builder.row(beforeLast - totalsRow, before, true, true, true));
    layout.rows.push_back(builder.row(afterLast - totalsRow, after, false, true, true));
    return layout;
}
