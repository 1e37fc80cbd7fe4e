#include "batch/columncatalogue.h"

#include <QIODevice>

using namespace Qt::StringLiterals;

namespace {

// One column of a layout as written down here: the value it holds, its title, its initial width
// and the other titles a worksheet may give it.
struct ColumnSpec
{
    ColumnId id;
    const char16_t *title;
    quint16 width;
    std::initializer_list<const char16_t *> synonyms = {};
};

struct GroupSpec
{
    GroupKind kind;
    const char16_t *title;
    std::initializer_list<ColumnSpec> columns;
};

using LayoutSpec = std::initializer_list<GroupSpec>;

// The basic source columns. The calculation's six are every basic column there is, so their titles
// and synonyms are the vocabulary a worksheet's titles are matched against.
const ColumnSpec kCode{ColCode,
                       u"编码",
                       40,
                       {u"员工编码", u"员工代码", u"职工编码", u"职工代码", u"员工ID", u"职工ID", u"序号",
                        u"employee id", u"employe id", u"employee code", u"employe code"}};
const ColumnSpec kName{ColName,
                       u"姓名",
                       110,
                       {u"员工姓名", u"职工姓名", u"职工名称", u"员工名称", u"人名", u"名称", u"employe name",
                        u"employee name", u"name"}};
const ColumnSpec kWage{ColMonthlyGross, u"月应发工资", 110, {u"应发工资", u"月工资", u"月收入"}};
const ColumnSpec kInsurance{
    ColInsurance, u"三险一金", 110, {u"五险一金", u"保险公积金", u"社会保险", u"社保公积金"}};
// The year-end bonus and the other bonuses both land in the page's bonus column.
const ColumnSpec kBonus{
    ColBonus,
    u"年终奖金",
    110,
    {u"年终奖", u"年终一次性奖金", u"奖金金额", u"月奖金", u"季度奖金", u"季奖金", u"季奖", u"半年奖"}};
const ColumnSpec kAnnuity{ColAnnuity, u"企业年金", 110, {u"年金"}};
const ColumnSpec kOtherBonus{ColOtherBonus, u"非全年一次性奖金", 110};

const ColumnSpec kTaxable{ColTaxable, u"应税收入", 110};
const ColumnSpec kTax{ColTax, u"个人所得税", 110};
const ColumnSpec kNet{ColNet, u"实发数", 110};
const ColumnSpec kGross{ColGross, u"应发数", 110};
const ColumnSpec kRate{ColRate, u"税率", 40};
const ColumnSpec kQuickDeduction{ColQuickDeduction, u"速算扣除数", 100};
const ColumnSpec kNetIncrease{ColNetIncrease, u"税后收入增加", 110};

// The results every taxed part shows.
const std::initializer_list<ColumnSpec> kTaxedPart{kTaxable, kTax, kNet, kRate, kQuickDeduction};
const std::initializer_list<ColumnSpec> kResultBasic{kCode, kName};
const GroupSpec kMonthly{
    GroupMonthly,
    u"月应发工资",
    {kGross, {ColInsurance, u"三险一金", 110}, kTaxable, kTax, kNet, kRate, kQuickDeduction}};
const GroupSpec kRemark{GroupRemark, u"备注", {{ColProcess, u"计算过程", 110}}};
const GroupSpec kExtension{GroupExtension, u"扩展信息", {}};

// The six layouts, by CatalogueTree.
const LayoutSpec kLayouts[kCatalogueTrees] = {
    // TreeCalcSource
    {{GroupBasic, u"基础信息", {kCode, kName, kWage, kInsurance, kBonus, kAnnuity}}, kExtension},
    // TreeCalcResult
    {{GroupBasic, u"基础信息", kResultBasic},
     {GroupSubtotal, u"小计", {kGross, kTax, kNet}},
     kMonthly,
     {GroupBonus, u"年终奖金", kTaxedPart},
     {GroupAnnuity, u"企业年金", kTaxedPart},
     kRemark},
    // TreePlanSource
    {{GroupBasic, u"基础信息", {kCode, kName, kWage, kInsurance, kBonus}}, kExtension},
    // TreePlanResult
    {{GroupBasic, u"基础信息", kResultBasic},
     {GroupSubtotal, u"小计", {kGross, kTax, kNet, kNetIncrease, {ColCostDecrease, u"单位开支减少", 110}}},
     kMonthly,
     {GroupBonus, u"年终奖金", kTaxedPart},
     kRemark},
    // TreeApportionSource
    {{GroupBasic, u"基础信息", {kCode, kName, kWage, kInsurance, kOtherBonus}}, kExtension},
    // TreeApportionResult
    {{GroupBasic, u"基础信息", kResultBasic},
     {GroupSubtotal, u"小计", {kTax, kNet, {ColSpreadMonths, u"分摊月份数", 50}, kNetIncrease}},
     {GroupMonthly,
      u"月应发工资",
      {{ColMonthlyGross, u"月应发工资", 110},
       {ColInsurance, u"三险一金", 110},
       {ColOtherBonus, u"非全年一次性奖金", 120},
       kTaxable,
       kTax,
       kNet,
       kRate,
       kQuickDeduction}}},
};

bool isSourceTree(CatalogueTree tree)
{
    return tree == TreeCalcSource || tree == TreePlanSource || tree == TreeApportionSource;
}

const ColumnSpec *calcSourceColumns()
{
    return kLayouts[TreeCalcSource].begin()->columns.begin();
}

int calcSourceColumnCount()
{
    return int(kLayouts[TreeCalcSource].begin()->columns.size());
}

} // namespace

ColumnGroup::ColumnGroup(const ColumnGroup &other) : title(other.title), start(other.start), kind(other.kind)
{
    for (const auto &item : other.items)
        addItem(item->title, item->table, item->column, item->width, item->id);
}

ColumnGroup &ColumnGroup::operator=(const ColumnGroup &other)
{
    if (this != &other) {
        title = other.title;
        start = other.start;
        kind = other.kind;
        clearItems();
        for (const auto &item : other.items)
            addItem(item->title, item->table, item->column, item->width, item->id);
    }
    return *this;
}

const ColumnItem *ColumnGroup::addItem(const QString &itemTitle, quint16 table, quint16 column, quint16 width,
                                       int id)
{
    auto item = std::make_unique<ColumnItem>();
    item->title = itemTitle;
    item->group = this;
    item->table = table;
    item->column = column;
    item->width = width;
    item->id = id;
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

const ColumnCatalogue &ColumnCatalogue::instance()
{
    // A function-local static is built once, also when several threads ask at the same time.
    static const ColumnCatalogue catalogue;
    return catalogue;
}

// Each group starts where the previous one ends and its columns take the positions from there,
// left to right; source layouts describe table 0, result layouts table 1.
ColumnCatalogue::ColumnCatalogue()
{
    for (int tree = 0; tree < kCatalogueTrees; ++tree) {
        const quint16 table = isSourceTree(CatalogueTree(tree)) ? 0 : 1;
        qint32 start = 0;
        for (const GroupSpec &spec : kLayouts[tree]) {
            auto group = std::make_unique<ColumnGroup>(QString::fromUtf16(spec.title), start, spec.kind);
            quint16 column = quint16(start);
            for (const ColumnSpec &item : spec.columns)
                group->addItem(QString::fromUtf16(item.title), table, column++, item.width, item.id);
            start += group->itemCount();
            m_trees[tree].push_back(std::move(group));
        }
    }
}

CatalogueTree ColumnCatalogue::sourceTree(BatchPage page)
{
    return page == BatchPlanPage        ? TreePlanSource
           : page == BatchApportionPage ? TreeApportionSource
                                        : TreeCalcSource;
}

CatalogueTree ColumnCatalogue::resultTree(BatchPage page)
{
    return page == BatchPlanPage        ? TreePlanResult
           : page == BatchApportionPage ? TreeApportionResult
                                        : TreeCalcResult;
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
    for (CatalogueTree tree : {TreeCalcSource, TreeApportionSource}) {
        int position = 0;
        for (const ColumnSpec &column : kLayouts[tree].begin()->columns) {
            if (column.id == id)
                return position;
            ++position;
        }
    }
    return -1;
}

int ColumnCatalogue::sourceColumnCount(BatchPage page)
{
    // The pages without a salary table of their own count as the planning's five.
    const CatalogueTree tree = page == BatchCalcPage        ? TreeCalcSource
                               : page == BatchApportionPage ? TreeApportionSource
                                                            : TreePlanSource;
    return int(kLayouts[tree].begin()->columns.size());
}

QString ColumnCatalogue::sourceTitle(int position)
{
    return position >= 0 && position < calcSourceColumnCount()
               ? QString::fromUtf16(calcSourceColumns()[position].title)
               : QString();
}

int ColumnCatalogue::matchSourceTitle(const QString &title)
{
    const int count = calcSourceColumnCount();
    for (int position = 0; position < count; ++position) {
        if (title == QStringView(calcSourceColumns()[position].title))
            return position;
    }
    for (int position = 0; position < count; ++position) {
        for (const char16_t *synonym : calcSourceColumns()[position].synonyms) {
            if (title == QStringView(synonym))
                return position;
        }
    }
    return -1;
}

const std::vector<std::unique_ptr<const ColumnGroup>> &ColumnCatalogue::groups(CatalogueTree tree) const
{
    static const std::vector<std::unique_ptr<const ColumnGroup>> none;
    return tree >= 0 && tree < kCatalogueTrees ? m_trees[tree] : none;
}

const ColumnGroup *ColumnCatalogue::sourceGroup(CatalogueTree tree, GroupKind kind) const
{
    if (!isSourceTree(tree) || (kind != GroupBasic && kind != GroupExtension))
        return nullptr;
    for (const auto &group : groups(tree)) {
        if (group->kind == kind)
            return group.get();
    }
    return nullptr;
}

ColumnGroup ColumnCatalogue::extensionGroup(CatalogueTree tree) const
{
    const ColumnGroup *blank = sourceGroup(tree, GroupExtension);
    return blank ? *blank : ColumnGroup();
}

int ColumnCatalogue::resultColumn(CatalogueTree tree, GroupKind kind, int id) const
{
    if (isSourceTree(tree) && id != ColCode && id != ColName)
        return -1;
    for (const auto &group : groups(tree)) {
        if (group->kind != kind)
            continue;
        for (const auto &item : group->items) {
            if (item->id == id)
                return item->column;
        }
        // A monthly group that shows the wage rather than the gross pay answers for the gross.
        if (id == ColGross)
            return resultColumn(tree, kind, ColMonthlyGross);
        return -1;
    }
    return -1;
}

int ColumnCatalogue::shownColumnCount(CatalogueTree tree, bool basicOnly) const
{
    int count = 0;
    for (const auto &group : groups(tree)) {
        count += group->itemCount();
        if (basicOnly)
            break;
    }
    return count;
}
