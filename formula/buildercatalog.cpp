#include "formula/buildercatalog.h"

#include "batch/columncatalogue.h"

using namespace Qt::StringLiterals;

namespace {

// The frame of every help text: the form in bold blue, then, when there is one, its meaning.
QString helpFrame(const QString &form, const QString &meaning = QString())
{
    QString text = u"<font size='3' color='#0033ff'><b>"_s + form + u"</b></font>"_s;
    if (!meaning.isEmpty())
        text += u"<br><font size='3'>"_s + meaning + u"</font>"_s;
    return text;
}

struct OperatorHelp
{
    QString op, form, meaning;
};

const QList<OperatorHelp> &operatorHelp()
{
    static const QList<OperatorHelp> list = {
        {u"+"_s, u"[数字1] + [数字2]"_s, u"两个数字相加求和。"_s},
        {u"-"_s, u"[数字1] - [数字2]"_s, u"两个数字相减求差。"_s},
        {u"*"_s, u"[数字1] * [数字2]"_s, u"两个数字相乘求积。"_s},
        {u"/"_s, u"[数字1] / [数字2]"_s, u"两个数字相除求商。"_s},
        {u"<"_s, u"[数字1] &lt; [数字2]"_s, u"判断数字1是否小于数字2。"_s},
        {u"<="_s, u"[数字1] &lt;= [数字2]"_s, u"判断数字1是否小于等于数字2。"_s},
        {u"<>"_s, u"[数字1] &lt;&gt; [数字2]"_s, u"判断数字1是否不等于数字2。"_s},
        {u"=="_s, u"[数字1] == [数字2]"_s, u"判断数字1是否等于数字2。"_s},
        {u">"_s, u"[数字1] &gt; [数字2]"_s, u"判断数字1是否大于数字2。"_s},
        {u">="_s, u"[数字1] &gt;= [数字2]"_s, u"判断数字1是否大于等于数字2。"_s},
        {u"&&"_s, u"[条件1] && [条件2]"_s, u"判断条件1和条件2是否都为真。"_s},
        {u"||"_s, u"[条件1] || [条件2]"_s, u"判断条件1或条件2其中之一是否为真。"_s},
    };
    return list;
}

struct FunctionHelp
{
    QString name, meaning;
};

const QList<FunctionHelp> &functionHelp()
{
    static const QList<FunctionHelp> list = {
        {u"sin"_s, u"计算数字正弦值。"_s},
        {u"cos"_s, u"计算数字余弦值。"_s},
        {u"tan"_s, u"计算数字正切值。"_s},
        {u"sinh"_s, u"计算数字双曲正弦值。"_s},
        {u"cosh"_s, u"计算数字双曲余弦值。"_s},
        {u"tanh"_s, u"计算数字双曲正切值。"_s},
        {u"asin"_s, u"计算数字反正弦值。"_s},
        {u"acos"_s, u"计算数字反余弦值。"_s},
        {u"atan"_s, u"计算数字反正切值。"_s},
        {u"exp"_s, u"计算以e为底的指定数字的次方的值。"_s},
        {u"log10"_s, u"计算以10为底的指定数字的对数值。"_s},
        {u"sqrt"_s, u"计算指定数字的平方根。"_s},
        {u"ceil"_s, u"计算大于或者等于指定数字的最小整数。"_s},
        {u"floor"_s, u"计算小于或者等于指定数字的最大整数。"_s},
        {u"abs"_s, u"计算指定数字的绝对值。"_s},
    };
    return list;
}

// A function item is its name with a placeholder argument the user replaces.
QString functionItem(const QString &name)
{
    return name + u"(数字)"_s;
}

const QHash<QString, QString> &helpTexts()
{
    static const QHash<QString, QString> texts = [] {
        QHash<QString, QString> h;
        h.insert(u"True"_s, helpFrame(u"真"_s));
        h.insert(u"False"_s, helpFrame(u"假"_s));
        h.insert(u"Null"_s, helpFrame(u"虚无"_s));
        // The help gives the familiar digits; the import itself replaces Pi by 3.1415925.
        h.insert(u"Pi"_s, helpFrame(u"圆周率 3.1415926"_s));
        for (const OperatorHelp &o : operatorHelp())
            h.insert(o.op, helpFrame(o.form, o.meaning));
        for (const FunctionHelp &f : functionHelp()) {
            const QString item = functionItem(f.name);
            h.insert(item, helpFrame(item, f.meaning));
        }
        return h;
    }();
    return texts;
}

int classKey(int category, int classRow)
{
    return category * BuilderCatalog::kClassKeyFactor + classRow;
}

} // namespace

BuilderCatalog::BuilderCatalog(const QStringList &sourceColumns, const QStringList &targetColumns)
{
    m_classes.insert(SourceCategory, {u"来源数据列"_s, u"内置系统列"_s});
    m_classes.insert(ConstantCategory, {u"<全部>"_s});
    m_classes.insert(OperatorCategory, {u"算术"_s, u"比较"_s, u"逻辑"_s});
    m_classes.insert(FunctionCategory, {u"<全部>"_s});

    m_items.insert(classKey(SourceCategory, SourceColumnClass), sourceColumns);
    m_items.insert(classKey(SourceCategory, TargetColumnClass), targetColumns);
    m_items.insert(classKey(ConstantCategory, 0), {u"False"_s, u"Null"_s, u"Pi"_s, u"True"_s});
    m_items.insert(classKey(OperatorCategory, 0), {u"+"_s, u"-"_s, u"*"_s, u"/"_s});
    m_items.insert(classKey(OperatorCategory, 1), {u"<"_s, u"<="_s, u"<>"_s, u"=="_s, u">"_s, u">="_s});
    m_items.insert(classKey(OperatorCategory, 2), {u"&&"_s, u"||"_s});
    QStringList functions;
    for (const FunctionHelp &f : functionHelp())
        functions << functionItem(f.name);
    m_items.insert(classKey(FunctionCategory, 0), functions);
}

BuilderCatalog::BuilderCatalog(const QStringList &sourceColumns)
    : BuilderCatalog(sourceColumns, builtInColumns())
{}

QStringList BuilderCatalog::builtInColumns()
{
    QStringList names;
    for (int position = 0; !ColumnCatalogue::sourceTitle(position).isEmpty(); ++position)
        names << ColumnCatalogue::sourceTitle(position);
    return names;
}

QStringList BuilderCatalog::items(int category, int classRow) const
{
    // A class row past the key factor would alias the next category's classes.
    if (classRow < 0 || classRow >= kClassKeyFactor)
        return {};
    return m_items.value(classKey(category, classRow));
}

QString BuilderCatalog::helpText(const QString &item)
{
    return helpTexts().value(item);
}

QString BuilderCatalog::itemInsertion(int category, int classRow, const QString &item)
{
    if (category == SourceCategory && classRow == TargetColumnClass)
        return spaced(u'[' + item + u']');
    return spaced(item);
}

QString BuilderCatalog::spaced(const QString &text)
{
    return u' ' + text + u' ';
}

QString BuilderCatalog::singleLine(const QString &editorText)
{
    QString text = editorText;
    // CR LF is one break, so it becomes one space.
    text.replace(u"\r\n"_s, u" "_s);
    for (QChar &c : text) {
        if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return text;
}

const QList<BuilderAction> &builderActions()
{
    static const QList<BuilderAction> actions = {
        {u"算术运算符"_s, u":/sysButton/plus"_s, u"加号"_s, u"插入加号"_s, u"+"_s},
        {u"算术运算符"_s, u":/sysButton/subtract"_s, u"减号"_s, u"插入减号"_s, u"-"_s},
        {u"算术运算符"_s, u":/sysButton/star"_s, u"乘号"_s, u"插入乘号"_s, u"*"_s},
        {u"算术运算符"_s, u":/sysButton/divide"_s, u"除号"_s, u"插入除号"_s, u"/"_s},
        {u"逻辑运算符"_s, u":/sysButton/equal"_s, u"等于号"_s, u"插入等于号"_s, u"=="_s},
        {u"逻辑运算符"_s, u":/sysButton/great"_s, u"大于号"_s, u"插入大于号"_s, u">"_s},
        {u"逻辑运算符"_s, u":/sysButton/little"_s, u"小于号"_s, u"插入小于号"_s, u"<"_s},
        {u"逻辑运算符"_s, u":/sysButton/unequal"_s, u"不等号"_s, u"插入不等号"_s, u"<>"_s},
        {u"括号"_s, u":/sysButton/lblacket"_s, u"左括号"_s, u"插入左括号"_s, u"("_s},
        {u"括号"_s, u":/sysButton/rblacket"_s, u"右括号"_s, u"插入右括号"_s, u")"_s},
    };
    return actions;
}

QStringList builderActionGroups()
{
    QStringList groups;
    for (const BuilderAction &a : builderActions()) {
        if (!groups.contains(a.group))
            groups << a.group;
    }
    return groups;
}

namespace {

struct CategoryEntry
{
    QString name, icon;
};

const std::array<CategoryEntry, kBuilderCategories> &categories()
{
    static const std::array<CategoryEntry, kBuilderCategories> list = {{
        {u"数据来源"_s, u":/contentWidget/database"_s},
        {u"常数"_s, u":/contentWidget/constant"_s},
        {u"运算符"_s, u":/contentWidget/math"_s},
        {u"函数"_s, u":/contentWidget/function"_s},
    }};
    return list;
}

} // namespace

CatalogModel::CatalogModel(QObject *parent) : QAbstractListModel(parent)
{
    for (int row = 0; row < kBuilderCategories; ++row)
        m_icons[size_t(row)] = QIcon(categoryIcon(row));
}

CatalogModel::~CatalogModel() = default;

int CatalogModel::rowCount(const QModelIndex &parent) const
{
    // A list: only the invisible root has rows.
    return parent.isValid() ? 0 : kBuilderCategories;
}

QVariant CatalogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.model() != this || index.column() != 0 || index.row() < 0 ||
        index.row() >= kBuilderCategories)
        return {};
    if (role == Qt::DisplayRole)
        return categoryName(index.row());
    if (role == Qt::DecorationRole)
        return m_icons[size_t(index.row())];
    return {};
}

QString CatalogModel::categoryName(int row)
{
    return row >= 0 && row < kBuilderCategories ? categories()[size_t(row)].name : QString();
}

QString CatalogModel::categoryIcon(int row)
{
    return row >= 0 && row < kBuilderCategories ? categories()[size_t(row)].icon : QString();
}
