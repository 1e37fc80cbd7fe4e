// The column catalogue: title recognition, source positions, result-column lookup, the layouts'
// shape, and the stream form of a group as history files store it.
#include "batch/columncatalogue.h"

#include <QBuffer>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

class TestColumnCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void matchTitle_data();
    void matchTitle();
    void columnTitle_data();
    void columnTitle();
    void sourcePosition_data();
    void sourcePosition();
    void resultColumn_data();
    void resultColumn();
    void layoutsAreContiguous();
    void resultColumnsHaveTheirTitles();
    void sourceGroup_data();
    void sourceGroup();
    void extensionGroupIsACopy_data();
    void extensionGroupIsACopy();
    void streamRoundTrip_data();
    void streamRoundTrip();
    void streamRefusesBadGroups_data();
    void streamRefusesBadGroups();
};

void TestColumnCatalogue::matchTitle_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("position");
    QTest::newRow("own title 编码") << u"编码"_s << 0;
    QTest::newRow("own title 企业年金") << u"企业年金"_s << 5;
    QTest::newRow("annuity synonym") << u"年金"_s << 5;
    QTest::newRow("leading blank") << u" 姓名"_s << -1;
    QTest::newRow("trailing blank") << u"姓名 "_s << -1;
    QTest::newRow("name lower case") << u"name"_s << 1;
    QTest::newRow("Name capital") << u"Name"_s << -1;
    QTest::newRow("employe id (misspelt synonym)") << u"employe id"_s << 0;
    QTest::newRow("序号") << u"序号"_s << 0;
    QTest::newRow("名称") << u"名称"_s << 1;
    QTest::newRow("月收入") << u"月收入"_s << 2;
    QTest::newRow("社保公积金") << u"社保公积金"_s << 3;
    QTest::newRow("季奖 other bonus") << u"季奖"_s << 4;
    QTest::newRow("年终奖 year-end") << u"年终奖"_s << 4;
    QTest::newRow("半年奖") << u"半年奖"_s << 4;
    QTest::newRow("非全年一次性奖金 is not a source title") << u"非全年一次性奖金"_s << -1;
    QTest::newRow("empty") << QString() << -1;
    QTest::newRow("unrelated") << u"部门"_s << -1;
}

void TestColumnCatalogue::matchTitle()
{
    QFETCH(QString, title);
    QFETCH(int, position);
    QCOMPARE(ColumnCatalogue::matchSourceTitle(title), position);
}

void TestColumnCatalogue::columnTitle_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("title");
    QTest::newRow("0") << 0 << u"编码"_s;
    QTest::newRow("11") << 11 << u"应发数"_s;
    QTest::newRow("12 untitled") << 12 << QString();
    QTest::newRow("13 untitled") << 13 << QString();
    QTest::newRow("14") << 14 << u"非全年一次性奖金"_s;
    QTest::newRow("15 untitled") << 15 << QString();
    QTest::newRow("17") << 17 << u"身份证"_s;
    QTest::newRow("18 beyond") << 18 << QString();
    QTest::newRow("99") << 99 << QString();
    QTest::newRow("negative") << -1 << QString();
}

void TestColumnCatalogue::columnTitle()
{
    QFETCH(int, id);
    QFETCH(QString, title);
    QCOMPARE(ColumnCatalogue::columnTitle(id), title);
}

void TestColumnCatalogue::sourcePosition_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("position");
    QTest::newRow("code") << 0 << 0;
    QTest::newRow("insurance") << 3 << 3;
    QTest::newRow("bonus") << 4 << 4;
    QTest::newRow("other bonus shares the bonus column") << 14 << 4;
    QTest::newRow("annuity") << 5 << 5;
    QTest::newRow("tax is no source value") << 9 << -1;
    QTest::newRow("identity card") << 17 << -1;
}

void TestColumnCatalogue::sourcePosition()
{
    QFETCH(int, id);
    QFETCH(int, position);
    QCOMPARE(ColumnCatalogue::sourcePosition(id), position);
    if (position >= 0)
        QVERIFY(!ColumnCatalogue::sourceTitle(position).isEmpty());
}

void TestColumnCatalogue::resultColumn_data()
{
    QTest::addColumn<int>("tree");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("column");
    QTest::newRow("calc bonus tax") << 1 << 3 << 9 << 13;
    QTest::newRow("calc subtotal gross") << 1 << 1 << 11 << 2;
    QTest::newRow("calc monthly quick deduction") << 1 << 2 << 8 << 11;
    QTest::newRow("calc annuity rate") << 1 << 4 << 6 << 20;
    QTest::newRow("calc process") << 1 << 5 << 16 << 22;
    QTest::newRow("calc subtotal has no net increase") << 1 << 1 << 12 << -1;
    QTest::newRow("plan subtotal cost decrease") << 3 << 1 << 13 << 6;
    QTest::newRow("plan remark") << 3 << 5 << 16 << 19;
    QTest::newRow("plan has no annuity group") << 3 << 4 << 9 << -1;
    QTest::newRow("apportion subtotal tax") << 5 << 1 << 9 << 2;
    QTest::newRow("apportion spread months") << 5 << 1 << 15 << 4;
    QTest::newRow("apportion subtotal has four columns") << 5 << 1 << 13 << -1;
    QTest::newRow("apportion subtotal has no gross") << 5 << 1 << 11 << -1;
    QTest::newRow("apportion monthly gross is the wage") << 5 << 2 << 11 << 6;
    QTest::newRow("apportion monthly other bonus") << 5 << 2 << 14 << 8;
    QTest::newRow("apportion monthly quick deduction") << 5 << 2 << 8 << 13;
    QTest::newRow("apportion has no remark") << 5 << 5 << 16 << -1;
    QTest::newRow("source resolves code") << 0 << 0 << 1 << 1;
    QTest::newRow("source does not resolve wage") << 0 << 0 << 2 << -1;
    QTest::newRow("source extension") << 0 << 6 << 0 << -1;
    QTest::newRow("tree beyond") << 6 << 0 << 0 << -1;
    QTest::newRow("negative kind") << 1 << -1 << 0 << -1;
}

void TestColumnCatalogue::resultColumn()
{
    QFETCH(int, tree);
    QFETCH(int, kind);
    QFETCH(int, id);
    QFETCH(int, column);
    QCOMPARE(ColumnCatalogue::instance().resultColumn(CatalogueTree(tree), GroupKind(kind), id), column);
}

void TestColumnCatalogue::layoutsAreContiguous()
{
    const ColumnCatalogue &catalogue = ColumnCatalogue::instance();
    const int expectedColumns[kCatalogueTrees] = {6, 23, 5, 20, 5, 14};
    for (int tree = 0; tree < kCatalogueTrees; ++tree) {
        int next = 0;
        for (const auto &group : catalogue.groups(CatalogueTree(tree))) {
            QCOMPARE(group->start, next);
            for (const auto &item : group->items) {
                QCOMPARE(int(item->column), next++);
                QCOMPARE(item->group, group.get());
                QCOMPARE(int(item->table), tree % 2);
                QVERIFY(item->width > 0);
            }
        }
        if (tree % 2 == 0)
            QCOMPARE(catalogue.groups(CatalogueTree(tree)).back()->title, u"扩展信息"_s);
        QCOMPARE(catalogue.shownColumnCount(CatalogueTree(tree), false), expectedColumns[tree]);
    }
    QCOMPARE(catalogue.shownColumnCount(TreeCalcSource, true), 6);
    QCOMPARE(catalogue.groups(CatalogueTree(7)).size(), size_t(0));
}

// Every column resultColumn names carries the title of the value it was asked for (where the
// value has one), so a page can never write a figure under the wrong heading.
void TestColumnCatalogue::resultColumnsHaveTheirTitles()
{
    const ColumnCatalogue &catalogue = ColumnCatalogue::instance();
    for (int tree = 1; tree < kCatalogueTrees; tree += 2) {
        QSet<int> reached;
        for (int kind = 0; kind <= 6; ++kind) {
            for (int id = 0; id <= 17; ++id) {
                const int column = catalogue.resultColumn(CatalogueTree(tree), GroupKind(kind), id);
                if (column < 0)
                    continue;
                reached.insert(column);
                const ColumnItem *item = nullptr;
                for (const auto &group : catalogue.groups(CatalogueTree(tree))) {
                    for (const auto &candidate : group->items) {
                        if (candidate->column == column)
                            item = candidate.get();
                    }
                }
                QVERIFY(item);
                QString want = ColumnCatalogue::columnTitle(id);
                if (id == ColNetIncrease)
                    want = u"税后收入增加"_s;
                else if (id == ColCostDecrease)
                    want = u"单位开支减少"_s;
                else if (id == ColSpreadMonths)
                    want = u"分摊月份数"_s;
                else if (tree == TreeApportionResult && (id == ColMonthlyGross || id == ColGross))
                    want = u"月应发工资"_s;
                QVERIFY2(
                    item->title == want,
                    qPrintable(u"tree %1 kind %2 id %3: %4"_s.arg(tree).arg(kind).arg(id).arg(item->title)));
            }
        }
        // Every column of a result layout is reachable: no figure lacks its lookup.
        QCOMPARE(reached.size(), catalogue.shownColumnCount(CatalogueTree(tree), false));
    }
}

void TestColumnCatalogue::sourceGroup_data()
{
    QTest::addColumn<int>("tree");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");
    QTest::newRow("calc basic") << 0 << 0 << u"基础信息"_s;
    QTest::newRow("plan extension") << 2 << 6 << u"扩展信息"_s;
    QTest::newRow("apportion extension") << 4 << 6 << u"扩展信息"_s;
    QTest::newRow("subtotal kind") << 0 << 1 << QString();
    QTest::newRow("result tree") << 1 << 0 << QString();
    QTest::newRow("no tree") << 9 << 0 << QString();
}

void TestColumnCatalogue::sourceGroup()
{
    QFETCH(int, tree);
    QFETCH(int, kind);
    QFETCH(QString, title);
    const ColumnGroup *group = ColumnCatalogue::instance().sourceGroup(CatalogueTree(tree), GroupKind(kind));
    QCOMPARE(group ? group->title : QString(), title);
}

void TestColumnCatalogue::extensionGroupIsACopy_data()
{
    QTest::addColumn<int>("tree");
    QTest::addColumn<int>("start");
    QTest::newRow("calc after six") << 0 << 6;
    QTest::newRow("plan after five") << 2 << 5;
    QTest::newRow("apportion after five") << 4 << 5;
    QTest::newRow("result tree has none") << 1 << 0;
}

// A page's extension group starts from the catalogue's and grows apart from it; a copy of a group
// has items of its own.
void TestColumnCatalogue::extensionGroupIsACopy()
{
    QFETCH(int, tree);
    QFETCH(int, start);
    ColumnGroup own = ColumnCatalogue::instance().extensionGroup(CatalogueTree(tree));
    QCOMPARE(own.start, start);
    QCOMPARE(own.itemCount(), 0);
    own.addItem(u"部门"_s, 0, quint16(start), 80);
    const ColumnGroup copy = own;
    own.clearItems();
    QCOMPARE(copy.itemCount(), 1);
    QCOMPARE(copy.item(0)->group, &copy);
    QCOMPARE(ColumnCatalogue::instance().extensionGroup(CatalogueTree(tree)).itemCount(), 0);
}

void TestColumnCatalogue::streamRoundTrip_data()
{
    QTest::addColumn<int>("items");
    QTest::newRow("none") << 0;
    QTest::newRow("one") << 1;
    QTest::newRow("forty") << 40;
}

void TestColumnCatalogue::streamRoundTrip()
{
    QFETCH(int, items);
    ColumnGroup written(u"扩展信息"_s, 6);
    for (int i = 0; i < items; ++i)
        written.addItem(u"部门%1"_s.arg(i), 0, quint16(6 + i), quint16(80 + i));
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << written;
    }
    ColumnGroup read(u"old"_s, 99);
    read.addItem(u"stale"_s, 1, 2, 3);
    QDataStream in(bytes);
    in >> read;
    QCOMPARE(in.status(), QDataStream::Ok);
    QCOMPARE(read.title, written.title);
    QCOMPARE(read.start, 6);
    QCOMPARE(read.itemCount(), items);
    for (int i = 0; i < items; ++i) {
        QCOMPARE(read.item(i)->title, written.item(i)->title);
        QCOMPARE(read.item(i)->column, written.item(i)->column);
        QCOMPARE(read.item(i)->width, written.item(i)->width);
        QCOMPARE(read.item(i)->group, &read);
    }
}

void TestColumnCatalogue::streamRefusesBadGroups_data()
{
    QTest::addColumn<QByteArray>("bytes");
    auto make = [](qint32 count, int itemsWritten, bool cut) {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << u"扩展信息"_s << qint32(6) << count;
        for (int i = 0; i < itemsWritten; ++i)
            out << u"x"_s << quint16(0) << quint16(6 + i) << quint16(80);
        if (cut)
            bytes.chop(3);
        return bytes;
    };
    QTest::newRow("negative count") << make(-1, 0, false);
    QTest::newRow("huge count") << make(0x7fffffff, 0, false);
    QTest::newRow("count beyond the bytes") << make(1000, 2, false);
    QTest::newRow("last item cut") << make(3, 3, true);
    QTest::newRow("head cut") << QByteArray("\x00\x00\x00", 3);
}

void TestColumnCatalogue::streamRefusesBadGroups()
{
    QFETCH(QByteArray, bytes);
    ColumnGroup group(u"扩展信息"_s, 6);
    group.addItem(u"stale"_s, 0, 6, 80);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QDataStream in(&buffer);
    in >> group;
    QVERIFY(in.status() != QDataStream::Ok);
    QCOMPARE(group.itemCount(), 0);
}

QTEST_APPLESS_MAIN(TestColumnCatalogue)
#include "tst_columncatalogue.moc"
