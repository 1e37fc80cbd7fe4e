#include "batch/columncatalogue.h"

#include <QIODevice>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

struct ItemSpec
{
    const char16_t *title;
    quint16 width;
};

struct GroupSpec
{
    const char16_t *title;
    std::initializer_list<ItemSpec> items;
};

// Builds one layout; each group starts where the previous one ends and its items take the columns
// from there, left to right.
void buildTree(std::vector<std::unique_ptr<ColumnGroup>> &tree, quint16 table,
               std::initializer_list<GroupSpec> groups)
{
    qint32 start = 0;
    for (const GroupSpec &spec : groups) {
        auto group = std::make_unique<ColumnGroup>(QString::fromUtf16(spec.title), start);
        quint16 column = quint16(start);
        for (const ItemSpec &item : spec.items)
            group->addItem(QString::fromUtf16(item.title), table, column++, item.width);
        start += group->itemCount();
        tree.push_back(std::move(group));
    }
}

// The group number of `kind` in `tree`, or -1.
int groupIndex(int tree, int kind)
{
    switch (tree) {
    case TreeCalcSource:
    case TreePlanSource:
    case TreeApportionSource:
        return kind == GroupBasic ? 0 : kind == GroupExtension ? 1 : -1;
    case TreeCalcResult:
        return kind >= GroupBasic && kind <= GroupRemark ? kind : -1;
    case TreePlanResult:
        if (kind >= GroupBasic && kind <= GroupBonus)
            return kind;
        return kind == GroupRemark ? 4 : -1;
    case TreeApportionResult:
        if (kind >= GroupBasic && kind <= GroupMonthly)
            return kind;
        return kind == GroupRemark ? 3 : -1; // beyond the tree's three groups
    default:
        return -1;
    }
}

// The index of value `id` inside a group of `kind`, or -1.
int itemIndex(int tree, int kind, int id)
{
    if (tree == TreeApportionResult) {
        if (kind == GroupSubtotal) {
            switch (id) {
            case ColTax:
                return 0;
            case ColNet:
                return 1;
            case ColSpreadMonths:
                return 2;
            case ColNetIncrease:
                return 3;
            default:
                // The general rule would put 应发数 (id 11) on the tax column of this shorter
                // subtotal, which has no gross column.
                return -1;
            }
        } else if (kind == GroupMonthly) {
            switch (id) {
            case ColMonthlyGross:
                return 0;
            case ColInsurance:
                return 1;
            case ColOtherBonus:
                return 2;
            case ColTaxable:
                return 3;
            case ColTax:
                return 4;
            case ColNet:
                return 5;
            case ColRate:
                return 6;
            case ColQuickDeduction:
                return 7;
            default:
                break;
            }
        }
    }
    switch (kind) {
    case GroupBasic:
        return id == ColCode ? 0 : id == ColName ? 1 : -1;
    case GroupSubtotal:
        switch (id) {
        case ColGross:
            return 0;
        case ColTax:
            return 1;
        case ColNet:
            return 2;
        case ColNetIncrease:
            return 3;
        case ColCostDecrease:
            return 4;
        default:
            return -1;
        }
    case GroupMonthly:
        switch (id) {
        case ColGross:
            return 0;
        case ColInsurance:
            return 1;
        case ColTaxable:
            return 2;
        case ColTax:
            return 3;
        case ColNet:
            return 4;
        case ColRate:
            return 5;
        case ColQuickDeduction:
            return 6;
        default:
            return -1;
        }
    case GroupBonus:
    case GroupAnnuity:
        switch (id) {
        case ColTaxable:
            return 0;
        case ColTax:
            return 1;
        case ColNet:
            return 2;
        case ColRate:
            return 3;
        case ColQuickDeduction:
            return 4;
        default:
            return -1;
        }
    case GroupRemark:
        return id == ColProcess ? 0 : -1;
    default:
        return -1;
    }
}

} // namespace

ColumnItem *ColumnGroup::addItem(const QString &itemTitle, quint16 table, quint16 column, quint16 width)
{
    auto item = std::make_unique<ColumnItem>();
    item->title = itemTitle;
    item->group = this;
    item->table = table;
    item->column = column;
    item->width = width;
    items.push_back(std::move(item));
    return items.back().get();
}

QDataStream &operator<<(QDataStream &out, const ColumnGroup &group)
{
    out << group.title << group.start << qint32(group.items.size());
    for (const auto &item : group.items)
        out << item->title << item->table << item->column << item->width;
    return out;
}

QDataStream &operator>>(QDataStream &in, ColumnGroup &group)
{
    QString title;
    qint32 start = 0;
    qint32 count = 0;
    in >> title >> start >> count;
    group.clearItems();
    if (in.status() != QDataStream::Ok)
        return in;
    // Each item takes at least its empty title (4 bytes) and three 16-bit fields.
    constexpr qint64 kMinItemBytes = 4 + 3 * 2;
    const QIODevice *device = in.device();
    const qint64 left = device && !device->isSequential() ? device->bytesAvailable() : -1;
    if (count < 0 || count > kMaxExtensionItems || (left >= 0 && count * kMinItemBytes > left)) {
        in.setStatus(QDataStream::ReadCorruptData);
        return in;
    }
    group.title = title;
    group.start = start;
    for (qint32 i = 0; i < count; ++i) {
        QString itemTitle;
        quint16 table = 0, column = 0, width = 0;
        in >> itemTitle >> table >> column >> width;
        if (in.status() != QDataStream::Ok) {
            group.clearItems();
            return in;
        }
        group.addItem(itemTitle, table, column, width);
    }
    return in;
}

ColumnCatalogue &ColumnCatalogue::instance()
{
    // A function-local static is built once, also when several threads ask at the same time.
    static ColumnCatalogue catalogue;
    return catalogue;
}

ColumnCatalogue::ColumnCatalogue()
{
    buildTree(m_trees[TreeCalcSource], 0,
              {{u"基础信息",
                {{u"编码", 40},
                 {u"姓名", 110},
                 {u"月应发工资", 110},
                 {u"三险一金", 110},
                 {u"年终奖金", 110},
                 {u"企业年金", 110}}},
               {u"扩展信息", {}}});
    buildTree(
        m_trees[TreeCalcResult], 1,
        {{u"基础信息", {{u"编码", 40}, {u"姓名", 110}}},
         {u"小计", {{u"应发数", 110}, {u"个人所得税", 110}, {u"实发数", 110}}},
         {u"月应发工资",
          {{u"应发数", 110},
           {u"三险一金", 110},
           {u"应税收入", 110},
           {u"个人所得税", 110},
           {u"实发数", 110},
           {u"税率", 40},
           {u"速算扣除数", 100}}},
         {u"年终奖金",
          {{u"应税收入", 110}, {u"个人所得税", 110}, {u"实发数", 110}, {u"税率", 40}, {u"速算扣除数", 100}}},
         {u"企业年金",
          {{u"应税收入", 110}, {u"个人所得税", 110}, {u"实发数", 110}, {u"税率", 40}, {u"速算扣除数", 100}}},
         {u"备注", {{u"计算过程", 110}}}});
    buildTree(
        m_trees[TreePlanSource], 0,
        {{u"基础信息",
          {{u"编码", 40}, {u"姓名", 110}, {u"月应发工资", 110}, {u"三险一金", 110}, {u"年终奖金", 110}}},
         {u"扩展信息", {}}});
    buildTree(
        m_trees[TreePlanResult], 1,
        {{u"基础信息", {{u"编码", 40}, {u"姓名", 110}}},
         {u"小计",
          {{u"应发数", 110},
           {u"个人所得税", 110},
           {u"实发数", 110},
           {u"税后收入增加", 110},
           {u"单位开支减少", 110}}},
         {u"月应发工资",
          {{u"应发数", 110},
           {u"三险一金", 110},
           {u"应税收入", 110},
           {u"个人所得税", 110},
           {u"实发数", 110},
           {u"税率", 40},
           {u"速算扣除数", 100}}},
         {u"年终奖金",
          {{u"应税收入", 110}, {u"个人所得税", 110}, {u"实发数", 110}, {u"税率", 40}, {u"速算扣除数", 100}}},
         {u"备注", {{u"计算过程", 110}}}});
    buildTree(m_trees[TreeApportionSource], 0,
              {{u"基础信息",
                {{u"编码", 40},
                 {u"姓名", 110},
                 {u"月应发工资", 110},
                 {u"三险一金", 110},
                 {u"非全年一次性奖金", 110}}},
               {u"扩展信息", {}}});
    buildTree(
        m_trees[TreeApportionResult], 1,
        {{u"基础信息", {{u"编码", 40}, {u"姓名", 110}}},
         {u"小计", {{u"个人所得税", 110}, {u"实发数", 110}, {u"分摊月份数", 50}, {u"税后收入增加", 110}}},
         {u"月应发工资",
          {{u"月应发工资", 110},
           {u"三险一金", 110},
           {u"非全年一次性奖金", 120},
           {u"应税收入", 110},
           {u"个人所得税", 110},
           {u"实发数", 110},
           {u"税率", 40},
           {u"速算扣除数", 100}}}});
}

QString ColumnCatalogue::columnTitle(int id)
{
    static const char16_t *const titles[] = {
        u"编码", u"姓名",     u"月应发工资",       u"三险一金",   u"年终奖金", u"企业年金",
        u"税率", u"应税收入", u"速算扣除数",       u"个人所得税", u"实发数",   u"应发数",
        nullptr, nullptr,     u"非全年一次性奖金", nullptr,       u"计算过程", u"身份证",
    };
    if (id < 0 || id >= int(std::size(titles)) || !titles[id])
        return QString();
    return QString::fromUtf16(titles[id]);
}

int ColumnCatalogue::sourcePosition(int id)
{
    switch (id) {
    case ColCode:
    case ColName:
    case ColMonthlyGross:
    case ColInsurance:
        return id;
    case ColBonus:
    case ColOtherBonus:
        return 4;
    case ColAnnuity:
        return 5;
    default:
        return -1;
    }
}

int ColumnCatalogue::sourceColumnCount(int page)
{
    return page == BatchCalcPage ? 6 : 5;
}

QString ColumnCatalogue::sourceTitle(int position)
{
    return position >= 0 && position <= 5 ? columnTitle(position) : QString();
}

int ColumnCatalogue::matchSourceTitle(const QString &title)
{
    for (int position = 0; position <= 5; ++position) {
        if (title == sourceTitle(position))
            return position;
    }
    struct Synonyms
    {
        int position;
        std::initializer_list<const char16_t *> titles;
    };
    static const Synonyms synonyms[] = {
        {0,
         {u"员工编码", u"员工代码", u"职工编码", u"职工代码", u"员工ID", u"职工ID", u"序号", u"employee id",
          u"employe id", u"employee code", u"employe code"}},
        {1,
         {u"员工姓名", u"职工姓名", u"职工名称", u"员工名称", u"人名", u"名称", u"employe name",
          u"employee name", u"name"}},
        {2, {u"应发工资", u"月工资", u"月收入"}},
        {3, {u"五险一金", u"保险公积金", u"社会保险", u"社保公积金"}},
        // The year-end bonus and the other bonuses both land in the page's bonus column.
        {4, {u"年终奖", u"年终一次性奖金"}},
        {4, {u"奖金金额", u"月奖金", u"季度奖金", u"季奖金", u"季奖", u"半年奖"}},
        {5, {u"年金"}},
    };
    for (const Synonyms &list : synonyms) {
        for (const char16_t *synonym : list.titles) {
            if (title == QStringView(synonym))
                return list.position;
        }
    }
    return -1;
}

const std::vector<std::unique_ptr<ColumnGroup>> &ColumnCatalogue::groups(int tree) const
{
    static const std::vector<std::unique_ptr<ColumnGroup>> none;
    return tree >= 0 && tree < kCatalogueTrees ? m_trees[tree] : none;
}

ColumnGroup *ColumnCatalogue::sourceGroup(int tree, int kind) const
{
    if (tree != TreeCalcSource && tree != TreePlanSource && tree != TreeApportionSource)
        return nullptr;
    const int index = groupIndex(tree, kind);
    const auto &list = groups(tree);
    return index >= 0 && index < int(list.size()) ? list[size_t(index)].get() : nullptr;
}

int ColumnCatalogue::resultColumn(int tree, int kind, int id) const
{
    const int index = groupIndex(tree, kind);
    const auto &list = groups(tree);
    if (index < 0 || index >= int(list.size()))
        return -1;
    const ColumnGroup &group = *list[size_t(index)];
    const int k = itemIndex(tree, kind, id);
    if (k < 0 || k >= group.itemCount())
        return -1;
    return group.item(k)->column;
}

int ColumnCatalogue::shownColumnCount(int tree, bool basicOnly) const
{
    int count = 0;
    for (const auto &group : groups(tree)) {
        count += group->itemCount();
        if (basicOnly)
            break;
    }
    return count;
}
