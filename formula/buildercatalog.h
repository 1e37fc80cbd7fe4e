// What the expression builder offers, as plain data: the four categories of its first list, the
// classes of each category, the items of each class, the help text of an item, the text that an
// item or a toolbar button puts into the formula, and the toolbar's buttons.
//
// The builder dialog (formuladlg.h) only shows these lists and inserts these texts at its cursor;
// keeping them here lets tests read every list and rule without a widget. The formula language
// itself (evaluator.h, formularewrite.h) knows nothing of the builder. QtCore/QtGui only: the
// category model hands out icons.
#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>

// The categories, the rows of the builder's first list.
enum BuilderCategory : int
{
    SourceCategory = 0,   // 数据来源: source columns and built-in target columns
    ConstantCategory = 1, // 常数
    OperatorCategory = 2, // 运算符
    FunctionCategory = 3, // 函数
};
inline constexpr int kBuilderCategories = 4;

// The classes of the source category.
enum SourceClass : int
{
    SourceColumnClass = 0, // 来源数据列: worksheet column letters
    TargetColumnClass = 1, // 内置系统列: target column names, inserted in square brackets
};

class BuilderCatalog
{
public:
    // Items are stored under category × kClassKeyFactor + class row.
    static constexpr int kClassKeyFactor = 256;

    // `sourceColumns`: the source column list of the formula box (an empty entry, then the letters
    // of the visible worksheet columns), taken as it is; `targetColumns`: the names the "内置系统列"
    // class offers.
    BuilderCatalog(const QStringList &sourceColumns, const QStringList &targetColumns);
    // The target columns default to the built-in ones (builtInColumns()).
    explicit BuilderCatalog(const QStringList &sourceColumns);

    // The target column names of the salary column catalogue: the basic source titles
    // "编码" … "企业年金".
    static QStringList builtInColumns();

    // The classes of a category; empty for a row that is no category.
    QStringList classes(int category) const { return m_classes.value(category); }
    // The items of a class; empty for a pair that names none.
    QStringList items(int category, int classRow) const;

    // The rich-text help shown when an item becomes current; empty for items without one (source
    // and target columns among them).
    static QString helpText(const QString &item);

    // What a double click on `item` of (category, class row) inserts: the item's text, in square
    // brackets for a built-in target column, with one space on each side.
    static QString itemInsertion(int category, int classRow, const QString &item);
    // Any inserted text: one space on each side, so it never runs into its neighbours.
    static QString spaced(const QString &text);

    // The formula text the box takes from the builder's editor. A formula is one line: the combo
    // box cannot show line breaks and the evaluator would stop at them with a syntax error, so every
    // line break becomes a space.
    static QString singleLine(const QString &editorText);

private:
    QHash<int, QStringList> m_classes; // by category row
    QHash<int, QStringList> m_items;   // by category row × kClassKeyFactor + class row
};

// One button of the builder's toolbar.
struct BuilderAction
{
    QString group;   // the toolbar group: "算术运算符", "逻辑运算符" or "括号"
    QString icon;    // resource path
    QString text;    // "加号" …
    QString toolTip; // "插入加号" …
    QString inserts; // the operator or bracket, without the spaces the insertion adds
};

// The ten toolbar buttons in their order, grouped as shown.
const QList<BuilderAction> &builderActions();
// The three group names in their order.
QStringList builderActionGroups();

// The builder's first list: the four categories, each a name (display role) and an icon
// (decoration role); nothing else.
class CatalogModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit CatalogModel(QObject *parent = nullptr);
    ~CatalogModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The name and icon resource path of a category row; empty for other rows.
    static QString categoryName(int row);
    static QString categoryIcon(int row);

private:
    std::array<QIcon, kBuilderCategories> m_icons;
};
