// The salary column catalogue: which columns the batch pages' tables have.
//
// For each of the three batch pages (tax calculation, planning, apportionment) the catalogue holds
// a source layout (the salary sheet as imported) and a result layout, each a list of column
// groups with their columns, positions and initial widths. The pages build their table headers
// from it and find the column of a value through resultColumn; the import matches worksheet titles
// against its vocabulary (matchSourceTitle); the export offers its groups; lumo-cli batch uses the
// same layouts. It is plain data: no widgets, QtCore only.
//
// The one instance is built on first use (thread-safe) and never changes afterwards, so any thread
// may read it. The extra columns an import adds to a source table ("扩展信息") are not the
// catalogue's: each batch page keeps its own extension group, starting from extensionGroup().
#pragma once

#include <QDataStream>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <vector>

// A kind of value a column holds. Plain integers: stored files and callers pass any number, and
// numbers without a meaning simply have no title and no column.
enum ColumnId : int
{
    ColCode = 0,           // 编码
    ColName = 1,           // 姓名
    ColMonthlyGross = 2,   // 月应发工资
    ColInsurance = 3,      // 三险一金
    ColBonus = 4,          // 年终奖金
    ColAnnuity = 5,        // 企业年金
    ColRate = 6,           // 税率
    ColTaxable = 7,        // 应税收入
    ColQuickDeduction = 8, // 速算扣除数
    ColTax = 9,            // 个人所得税
    ColNet = 10,           // 实发数
    ColGross = 11,         // 应发数
    ColNetIncrease = 12,   // 税后收入增加 (no title of its own)
    ColCostDecrease = 13,  // 单位开支减少 (no title of its own)
    ColOtherBonus = 14,    // 非全年一次性奖金
    ColSpreadMonths = 15,  // 分摊月份数 (no title of its own)
    ColProcess = 16,       // 计算过程
    ColIdentityCard = 17,  // 身份证
};

// The kind of a column group, by which groups are addressed.
enum GroupKind : int
{
    GroupBasic = 0,     // 基础信息
    GroupSubtotal = 1,  // 小计
    GroupMonthly = 2,   // 月应发工资
    GroupBonus = 3,     // 年终奖金
    GroupAnnuity = 4,   // 企业年金
    GroupRemark = 5,    // 备注
    GroupExtension = 6, // 扩展信息: the extra columns an import adds after the basic ones
};

// The six layouts.
enum CatalogueTree : int
{
    TreeCalcSource = 0,
    TreeCalcResult = 1,
    TreePlanSource = 2,
    TreePlanResult = 3,
    TreeApportionSource = 4,
    TreeApportionResult = 5,
};
inline constexpr int kCatalogueTrees = 6;

// The batch pages, as the import and export wizards number them (their "mode" / "page kind").
enum BatchPage : int
{
    BatchCalcPage = 0,
    BatchPlanPage = 1,
    BatchApportionPage = 2,
    // The pages of the current rules whose sheets are read by the core's readers rather than into a
    // salary table: a month's payroll for the ledger, and a year sheet (bonus planning and the
    // bonus methods compared).
    PayrollMonthPage = 3,
    YearSheetPage = 4,
};

class ColumnGroup;

// One column of a layout.
struct ColumnItem
{
    QString title;                      // header text
    const ColumnGroup *group = nullptr; // the group it belongs to (not owned)
    quint16 table = 0;                  // 0 source table, 1 result table
    quint16 column = 0;                 // index in that table
    quint16 width = 0;                  // initial width in pixels
    int id = -1;                        // the ColumnId of a catalogue column; -1 for a user's extra column
};

// A titled run of adjacent columns. A copy has items of its own that point back at it.
class ColumnGroup
{
public:
    ColumnGroup() = default;
    ColumnGroup(QString title, qint32 start, GroupKind kind = GroupExtension)
        : title(std::move(title)), start(start), kind(kind)
    {}
    ColumnGroup(const ColumnGroup &other);
    ColumnGroup &operator=(const ColumnGroup &other);

    // Appends an item that points back at this group.
    const ColumnItem *addItem(const QString &title, quint16 table, quint16 column, quint16 width,
                              int id = -1);
    // Destroys every item.
    void clearItems() { items.clear(); }
    int itemCount() const { return int(items.size()); }
    const ColumnItem *item(int index) const { return items[size_t(index)].get(); }

    QString title;
    qint32 start = 0;
    GroupKind kind = GroupExtension; // not part of the stream form
    std::vector<std::unique_ptr<const ColumnItem>> items;
};

// The stream form of a group, as history files store the extension group: title, start, the item
// count, then per item its title, table, column and width. Reading replaces title and start and
// all items. A count that is negative or larger than what the rest of the stream could hold, or an
// item that ends early, leaves the group empty with the stream's status set to ReadCorruptData or
// ReadPastEnd; the caller must check the status.
QDataStream &operator<<(QDataStream &out, const ColumnGroup &group);
QDataStream &operator>>(QDataStream &in, ColumnGroup &group);

// Extension groups hold at most this many items; a stored group claiming more is refused.
inline constexpr qint32 kMaxExtensionItems = 4096;

class ColumnCatalogue
{
public:
    // The single catalogue, built on the first call (from any thread).
    static const ColumnCatalogue &instance();

    ColumnCatalogue(const ColumnCatalogue &) = delete;
    ColumnCatalogue &operator=(const ColumnCatalogue &) = delete;

    // The layouts of a batch page (the calculation's for any page without one of its own).
    static CatalogueTree sourceTree(BatchPage page);
    static CatalogueTree resultTree(BatchPage page);

    // The title of a kind of value; empty for ids 12, 13, 15 and ids without a meaning.
    static QString columnTitle(int id);
    // The position of a value among the basic source columns: 0–3 for ids 0–3, 4 for ids 4 and 14
    // (the bonus column of whichever page imports), 5 for id 5, otherwise -1.
    static int sourcePosition(int id);
    // The number of basic source columns of a batch page: 6 for tax calculation, 5 for the others.
    static int sourceColumnCount(BatchPage page);
    // The title of basic source position 0–5 ("编码" … "企业年金"); empty otherwise.
    static QString sourceTitle(int position);
    // Recognises a worksheet column title: its source position 0–5, or -1. Exact, case-sensitive
    // comparison of whole texts against the titles and their synonyms; nothing is trimmed.
    static int matchSourceTitle(const QString &title);

    // The groups of a tree; an empty list for a number beyond the six.
    const std::vector<std::unique_ptr<const ColumnGroup>> &groups(CatalogueTree tree) const;
    // Source trees only: kind GroupBasic gives "基础信息", GroupExtension the empty "扩展信息" an
    // import starts from; otherwise null.
    const ColumnGroup *sourceGroup(CatalogueTree tree, GroupKind kind) const;
    // A page's own extension group before any import: titled, starting after the basic columns,
    // without items.
    ColumnGroup extensionGroup(CatalogueTree tree) const;
    // The table column holding value `id` in group `kind` of `tree`, or -1. Of a source tree only
    // the code and name are looked up this way (its amounts go by sourcePosition).
    int resultColumn(CatalogueTree tree, GroupKind kind, int id) const;
    // The number of columns a layout shows: the items of every group (of the basic group only
    // when basicOnly). The salary tables add one trailing column of their own.
    int shownColumnCount(CatalogueTree tree, bool basicOnly) const;

private:
    ColumnCatalogue();

    std::vector<std::unique_ptr<const ColumnGroup>> m_trees[kCatalogueTrees];
};
