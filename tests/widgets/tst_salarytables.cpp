#include "batch/columncatalogue.h"
#include "excel/cellkind.h"
#include "widgets/etablewidget.h"
#include "widgets/formulabox.h"
#include "widgets/pheaderview.h"
#include "widgets/plistview.h"
#include "widgets/ptablewidget.h"
#include "widgets/salarytablelayout.h"

#include <QApplication>
#include <QDataStream>
#include <QHeaderView>
#include <QIODevice>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

#include <memory>

namespace {

using Rows = QList<qint32>;

// A worksheet preview as the import shows it: `rows` × `columns` cells, each "r,c".
void fillSheet(QTableWidget *table, int rows, int columns)
{
    table->setRowCount(rows);
    table->setColumnCount(columns);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            table->setItem(r, c, new QTableWidgetItem(QStringLiteral("%1,%2").arg(r).arg(c)));
    }
}

// A mapping table: a caption column, six target columns with formula boxes and the trailing
// column, one row.
void makeMapping(PTableWidget *table)
{
    // The caption and the six columns of the calculation page are fixed, as in the import wizard.
    table->setHorizontalHeader(new PHeaderView(7, Qt::Horizontal, table));
    table->setRowCount(1);
    table->setColumnCount(2);
    table->setHorizontalHeaderItem(0, new QTableWidgetItem(QStringLiteral("目的数据 =>")));
    for (int k = 0; k < 6; ++k) {
        table->addEntryCol(false);
        table->horizontalHeaderItem(k + 1)->setText(ColumnCatalogue::sourceTitle(k));
    }
    table->addEntryCol(false);
}

QByteArray ptablePayload(const QString &letters, const QString &title)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << letters << title;
    return bytes;
}

std::unique_ptr<QMimeData> mime(const QString &type, const QByteArray &bytes)
{
    auto data = std::make_unique<QMimeData>();
    data->setData(type, bytes);
    return data;
}

QByteArray etablePayload(qint32 source, quint32 count, const Rows &rows)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << source << count;
    for (qint32 row : rows)
        out << row;
    return bytes;
}

QString headerText(const QTableWidget *table, int column)
{
    const QTableWidgetItem *item = table->horizontalHeaderItem(column);
    return item ? item->text() : QString();
}

QString formulaAt(const QTableWidget *table, int column)
{
    const auto *box = qobject_cast<FormulaBox *>(table->cellWidget(0, column));
    return box ? box->editText() : QStringLiteral("<no box>");
}

QStringList texts(const QTableWidget *table, int column)
{
    QStringList list;
    for (int r = 0; r < table->rowCount(); ++r) {
        const QTableWidgetItem *item = table->item(r, column);
        list << (item ? item->text() : QString());
    }
    return list;
}

Rows hiddenRows(const QTableWidget *table)
{
    Rows rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        if (table->isRowHidden(r))
            rows << r;
    }
    return rows;
}

// The export wizard's choice list: rows "列r" / "组r".
void fillChoice(QTableWidget *table, int rows)
{
    table->setColumnCount(2);
    table->setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        table->setItem(r, 0, new QTableWidgetItem(QStringLiteral("列%1").arg(r)));
        table->setItem(r, 1, new QTableWidgetItem(QStringLiteral("组%1").arg(r)));
    }
}

} // namespace

class TestSalaryTables : public QObject
{
    Q_OBJECT

private slots:
    void ptableDragCarriesLettersAndTitle_data();
    void ptableDragCarriesLettersAndTitle();
    void ptableDragOfNothingIsEmpty();
    void dropOnTargetColumn_data();
    void dropOnTargetColumn();
    void dropOnLastColumnAddsEntryColumn_data();
    void dropOnLastColumnAddsEntryColumn();
    void dropThroughTheView();
    void foreignPtableDropsAreRefused_data();
    void foreignPtableDropsAreRefused();
    void entryColumnsTakeTheNamesAndLeaveTheLastColumn();

    void etableDragListsEachRowOnce_data();
    void etableDragListsEachRowOnce();
    void etableDropMovesRows_data();
    void etableDropMovesRows();
    void etableStalePayloadMovesNothingTwice();
    void etablePayloadOfDestroyedTableIsRefused();

    void overlayFollowsColumnResize_data();
    void overlayFollowsColumnResize();
    void overlayFollowsWidgetResize_data();
    void overlayFollowsWidgetResize();
    void overlayFollowsRowNumberWidth();
    void frozenRowsStayHiddenAfterSetRowCount_data();
    void frozenRowsStayHiddenAfterSetRowCount();
    void overlayRepaintsAfterOwnerFilledWithUpdatesOff();
    void frozenColumnsHideTheRest();
    void unfreezingDestroysTheOverlay();
    void scrolledRowComesOutFromUnderFrozenRows();
    void leftArrowStopsBesideFrozenColumns_data();
    void leftArrowStopsBesideFrozenColumns();

    void layoutFromCatalogue_data();
    void layoutFromCatalogue();
    void layoutTwiceStartsAfresh();

    void codeAndNameColumnsFitTheirLongestText_data();
    void codeAndNameColumnsFitTheirLongestText();
    void relayoutReturnsToTheTop();
    void frozenRowsShowTheirOwnNumbersAfterAnotherSheet_data();
    void frozenRowsShowTheirOwnNumbersAfterAnotherSheet();
    void entryCommitsByTheAmountRule_data();
    void entryCommitsByTheAmountRule();
    void entryEditsOnlyDataCells_data();
    void entryEditsOnlyDataCells();
    void entryKeepsABlankRowForANewEmployee();
    void deleteClearsTheCurrentCell();

    void listViewAnnouncesCurrent();
    void formulaBoxKeepsTextAcrossChoices();
};

void TestSalaryTables::ptableDragCarriesLettersAndTitle_data()
{
    QTest::addColumn<int>("titleRow");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("letters");
    QTest::addColumn<QString>("title");

    QTest::newRow("no title row: empty title") << -1 << 0 << "A"
                                               << "";
    QTest::newRow("title row 0 means none") << 0 << 2 << "C"
                                            << "";
    QTest::newRow("title row 1 gives the first row's text") << 1 << 2 << "C"
                                                            << "0,2";
    QTest::newRow("title row 3, column AB") << 3 << 27 << "AB"
                                            << "2,27";
    QTest::newRow("the last row as title row") << 5 << 1 << "B"
                                               << "4,1";
    QTest::newRow("title row beyond the sheet: empty title") << 6 << 1 << "B"
                                                             << "";
    QTest::newRow("title cell missing: empty title") << 2 << 28 << "AC"
                                                     << "";
}

void TestSalaryTables::ptableDragCarriesLettersAndTitle()
{
    QFETCH(int, titleRow);
    QFETCH(int, column);
    QFETCH(QString, letters);
    QFETCH(QString, title);

    PTableWidget sheet;
    fillSheet(&sheet, 5, 28);
    sheet.setColumnCount(29); // column 28 has no cells
    sheet.setTitleRow(titleRow);
    // Dragged from a data cell of the last row; the other selected cells do not matter.
    if (!sheet.item(4, column))
        sheet.setItem(4, column, new QTableWidgetItem);
    std::unique_ptr<QMimeData> data(sheet.mimeData({sheet.item(4, column), sheet.item(3, 0)}));

    QCOMPARE(sheet.mimeTypes(), QStringList{PTableWidget::mimeType()});
    QVERIFY(data->hasFormat(PTableWidget::mimeType()));
    QDataStream in(data->data(PTableWidget::mimeType()));
    QString gotLetters;
    QString gotTitle;
    in >> gotLetters >> gotTitle;
    QCOMPARE(in.status(), QDataStream::Ok);
    QVERIFY(in.atEnd());
    QCOMPARE(gotLetters, letters);
    QCOMPARE(gotTitle, title);
}

void TestSalaryTables::ptableDragOfNothingIsEmpty()
{
    PTableWidget sheet;
    fillSheet(&sheet, 2, 2);
    std::unique_ptr<QMimeData> data(sheet.mimeData({}));
    QVERIFY(data);
    QVERIFY(data->formats().isEmpty());
}

void TestSalaryTables::dropOnTargetColumn_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("header");

    // Columns 1–6 of the mapping table are the page's own, whose titles stay; a column of the
    // clerk's own (7 on) takes a worksheet title.
    QTest::newRow("column 3 with title: header kept") << 3 << "实发工资"
                                                      << "月应发工资";
    QTest::newRow("column 5 with title: header kept") << 5 << "实发工资"
                                                      << "年终奖金";
    QTest::newRow("column 6 (the page's last) with title: header kept") << 6 << "实发工资"
                                                                        << "企业年金";
    QTest::newRow("column 7 (the clerk's) with title: header renamed") << 7 << "实发工资"
                                                                       << "实发工资";
    QTest::newRow("column 7 without title: header kept") << 7 << ""
                                                         << "未命名";
    QTest::newRow("column 4 without title: header kept") << 4 << ""
                                                         << "三险一金";
}

void TestSalaryTables::dropOnTargetColumn()
{
    QFETCH(int, column);
    QFETCH(QString, title);
    QFETCH(QString, header);

    PTableWidget mapping;
    makeMapping(&mapping);
    const int columns = mapping.columnCount();
    QSignalSpy edits(&mapping, &PTableWidget::requestEdit);
    auto data = mime(PTableWidget::mimeType(), ptablePayload(QStringLiteral("AB"), title));

    QVERIFY(mapping.dropMimeData(0, column, data.get(), Qt::CopyAction));
    QCOMPARE(mapping.columnCount(), columns);
    QCOMPARE(formulaAt(&mapping, column), QStringLiteral("AB"));
    QCOMPARE(headerText(&mapping, column), header);
    QCOMPARE(edits.count(), 0);
}

void TestSalaryTables::dropOnLastColumnAddsEntryColumn_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("header");
    QTest::addColumn<int>("edits");

    QTest::newRow("with a title: named by it, no edit") << "奖金"
                                                        << "奖金" << 0;
    QTest::newRow("without a title: untitled, edit asked") << ""
                                                           << "未命名" << 1;
}

void TestSalaryTables::dropOnLastColumnAddsEntryColumn()
{
    QFETCH(QString, title);
    QFETCH(QString, header);
    QFETCH(int, edits);

    PTableWidget mapping;
    makeMapping(&mapping);
    mapping.setSourceColumnNames({QString(), QStringLiteral("A"), QStringLiteral("B")});
    const int last = mapping.columnCount() - 1;
    QSignalSpy spy(&mapping, &PTableWidget::requestEdit);
    auto data = mime(PTableWidget::mimeType(), ptablePayload(QStringLiteral("B"), title));

    QVERIFY(mapping.dropMimeData(0, last, data.get(), Qt::CopyAction));
    QCOMPARE(mapping.columnCount(), last + 2);
    QCOMPARE(headerText(&mapping, last), header);
    QCOMPARE(formulaAt(&mapping, last), QStringLiteral("B"));
    const auto *box = qobject_cast<FormulaBox *>(mapping.cellWidget(0, last));
    QCOMPARE(box->choices(), mapping.sourceColumnNames());
    QVERIFY(mapping.item(0, last)->flags().testFlag(Qt::ItemIsDropEnabled));
    // The trailing column is still last and still bare.
    QCOMPARE(headerText(&mapping, last + 1), QString());
    QVERIFY(!mapping.cellWidget(0, last + 1));
    QCOMPARE(spy.count(), edits);
    if (edits)
        QCOMPARE(spy.first().first().toInt(), last);
}

void TestSalaryTables::dropThroughTheView()
{
    // A drop as the user makes it, through the view's own drop handling onto the trailing column.
    PTableWidget mapping;
    makeMapping(&mapping);
    mapping.setAcceptDrops(true);
    mapping.setDragDropMode(QAbstractItemView::DropOnly);
    mapping.setDragDropOverwriteMode(true);
    mapping.resize(900, 120);
    mapping.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mapping));
    const int last = mapping.columnCount() - 1;
    const QPoint at = mapping.visualRect(mapping.model()->index(0, last)).center();
    auto data = mime(PTableWidget::mimeType(), ptablePayload(QStringLiteral("D"), QStringLiteral("津贴")));

    QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(mapping.viewport(), &enter);
    QDragMoveEvent move(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(mapping.viewport(), &move);
    QDropEvent drop(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(mapping.viewport(), &drop);

    QCOMPARE(mapping.columnCount(), last + 2);
    QCOMPARE(headerText(&mapping, last), QStringLiteral("津贴"));
    QCOMPARE(formulaAt(&mapping, last), QStringLiteral("D"));
}

void TestSalaryTables::foreignPtableDropsAreRefused_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("column");

    const QByteArray good = ptablePayload(QStringLiteral("C"), QStringLiteral("工资"));
    QTest::newRow("another format") << "text/plain" << QByteArray("C") << 2;
    QTest::newRow("empty payload") << PTableWidget::mimeType() << QByteArray() << 2;
    QTest::newRow("payload cut inside the title")
        << PTableWidget::mimeType() << good.left(good.size() - 3) << 2;
    QTest::newRow("lower-case letters")
        << PTableWidget::mimeType() << ptablePayload(QStringLiteral("c"), QString()) << 2;
    QTest::newRow("letters with a digit")
        << PTableWidget::mimeType() << ptablePayload(QStringLiteral("C1"), QString()) << 2;
    QTest::newRow("no letters") << PTableWidget::mimeType() << ptablePayload(QString(), QString()) << 2;
    QTest::newRow("odd string length")
        << PTableWidget::mimeType() << QByteArray::fromHex("00000003414243") << 2;
}

void TestSalaryTables::foreignPtableDropsAreRefused()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, bytes);
    QFETCH(int, column);

    PTableWidget mapping;
    makeMapping(&mapping);
    const int columns = mapping.columnCount();
    auto data = mime(type, bytes);
    QVERIFY(!mapping.dropMimeData(0, column, data.get(), Qt::CopyAction));
    // Nothing changed, also not on the last column.
    QVERIFY(!mapping.dropMimeData(0, columns - 1, data.get(), Qt::CopyAction));
    QCOMPARE(mapping.columnCount(), columns);
    QCOMPARE(formulaAt(&mapping, 2), QString());
    // A good payload outside the table is refused as well.
    auto good = mime(PTableWidget::mimeType(), ptablePayload(QStringLiteral("C"), QString()));
    QVERIFY(!mapping.dropMimeData(0, columns, good.get(), Qt::CopyAction));
    QVERIFY(!mapping.dropMimeData(1, 2, good.get(), Qt::CopyAction));
    QCOMPARE(mapping.columnCount(), columns);
}

void TestSalaryTables::entryColumnsTakeTheNamesAndLeaveTheLastColumn()
{
    PTableWidget mapping;
    QSignalSpy edits(&mapping, &PTableWidget::requestEdit);
    mapping.addEntryCol(); // on an empty table: the trailing column comes first
    QCOMPARE(mapping.columnCount(), 2);
    QCOMPARE(edits.count(), 1);
    QCOMPARE(edits.first().first().toInt(), 0);
    mapping.addEntryCol(false);
    QCOMPARE(edits.count(), 1);

    const QStringList names{QString(), QStringLiteral("A"), QStringLiteral("C")};
    mapping.setSourceColumnNames(names);
    QCOMPARE(qobject_cast<FormulaBox *>(mapping.cellWidget(0, 0))->choices(), names);
    QCOMPARE(qobject_cast<FormulaBox *>(mapping.cellWidget(0, 1))->choices(), names);

    qobject_cast<FormulaBox *>(mapping.cellWidget(0, 1))->setEditText(QStringLiteral("C*2"));
    mapping.removeEntryCol(0);
    QCOMPARE(mapping.columnCount(), 2);
    QCOMPARE(formulaAt(&mapping, 0), QStringLiteral("C*2"));
    mapping.removeEntryCol(1); // the trailing column stays
    mapping.removeEntryCol(-1);
    mapping.removeEntryCol(7);
    QCOMPARE(mapping.columnCount(), 2);
}

void TestSalaryTables::etableDragListsEachRowOnce_data()
{
    QTest::addColumn<QList<QPoint>>("cells"); // (row, column)
    QTest::addColumn<Rows>("rows");

    QTest::newRow("three cells of one row: one row") << QList<QPoint>{{1, 0}, {1, 1}, {1, 0}} << Rows{1};
    QTest::newRow("two rows, interleaved") << QList<QPoint>{{3, 1}, {0, 0}, {3, 0}} << Rows{3, 0};
    QTest::newRow("one cell") << QList<QPoint>{{2, 1}} << Rows{2};
}

void TestSalaryTables::etableDragListsEachRowOnce()
{
    QFETCH(QList<QPoint>, cells);
    QFETCH(Rows, rows);

    ETableWidget from;
    fillChoice(&from, 4);
    QList<QTableWidgetItem *> items;
    for (const QPoint &cell : cells)
        items << from.item(cell.x(), cell.y());
    std::unique_ptr<QMimeData> data(from.mimeData(items));
    QCOMPARE(from.mimeTypes(), QStringList{ETableWidget::mimeType()});
    QCOMPARE(data->data(ETableWidget::mimeType()),
             etablePayload(from.identity(), quint32(rows.size()), rows));

    std::unique_ptr<QMimeData> none(from.mimeData({}));
    QVERIFY(none->formats().isEmpty());
}

void TestSalaryTables::etableDropMovesRows_data()
{
    QTest::addColumn<quint32>("count");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QStringList>("moved"); // column 0 of the target afterwards
    QTest::addColumn<Rows>("hidden");       // in the source afterwards

    QTest::newRow("one row") << 1u << Rows{2} << QStringList{"列2"} << Rows{2};
    QTest::newRow("rows in payload order") << 2u << Rows{3, 0} << QStringList{"列3", "列0"} << Rows{0, 3};
    QTest::newRow("rows out of range are ignored")
        << 4u << Rows{-1, 4, 1, 1000000} << QStringList{"列1"} << Rows{1};
    QTest::newRow("a row named twice moves once") << 2u << Rows{1, 1} << QStringList{"列1"} << Rows{1};
    QTest::newRow("count beyond the data: reading stops")
        << 1000000000u << Rows{0} << QStringList{"列0"} << Rows{0};
    QTest::newRow("no rows") << 0u << Rows{} << QStringList{} << Rows{};
}

void TestSalaryTables::etableDropMovesRows()
{
    QFETCH(quint32, count);
    QFETCH(Rows, rows);
    QFETCH(QStringList, moved);
    QFETCH(Rows, hidden);

    ETableWidget from;
    fillChoice(&from, 4);
    from.item(2, 1)->setData(Qt::UserRole, 42);
    ETableWidget to(0, 2);
    auto data = mime(ETableWidget::mimeType(), etablePayload(from.identity(), count, rows));

    QVERIFY(to.dropMimeData(-1, -1, data.get(), Qt::MoveAction));
    QCOMPARE(texts(&to, 0), moved);
    QStringList groups = moved;
    groups.replaceInStrings(QStringLiteral("列"), QStringLiteral("组"));
    QCOMPARE(texts(&to, 1), groups);
    QCOMPARE(hiddenRows(&from), hidden);
    QCOMPARE(from.rowCount(), 4); // the source keeps moved rows, hidden
    if (moved == QStringList{QStringLiteral("列2")})
        QCOMPARE(to.item(0, 1)->data(Qt::UserRole).toInt(), 42); // a copy of the whole item
}

void TestSalaryTables::etableStalePayloadMovesNothingTwice()
{
    ETableWidget from;
    fillChoice(&from, 3);
    delete from.takeItem(1, 1); // a missing cell moves as an empty one
    ETableWidget to(0, 2);
    std::unique_ptr<QMimeData> data(from.mimeData({from.item(1, 0)}));

    QVERIFY(to.dropMimeData(0, 0, data.get(), Qt::MoveAction));
    QCOMPARE(texts(&to, 0), QStringList{QStringLiteral("列1")});
    QCOMPARE(texts(&to, 1), QStringList{QString()});
    // The same payload once more (a second drop of an old drag) finds the row already moved.
    QVERIFY(to.dropMimeData(0, 0, data.get(), Qt::MoveAction));
    QCOMPARE(to.rowCount(), 1);
    // Back again, then dropping on itself changes nothing.
    std::unique_ptr<QMimeData> back(to.mimeData({to.item(0, 0)}));
    QVERIFY(from.dropMimeData(0, 0, back.get(), Qt::MoveAction));
    QCOMPARE(from.rowCount(), 4);
    QCOMPARE(from.item(3, 0)->text(), QStringLiteral("列1"));
    QVERIFY(to.isRowHidden(0));
    std::unique_ptr<QMimeData> self(from.mimeData({from.item(0, 0)}));
    QVERIFY(!from.dropMimeData(0, 0, self.get(), Qt::MoveAction));
    QCOMPARE(from.rowCount(), 4);
    QVERIFY(!from.isRowHidden(0));
}

void TestSalaryTables::etablePayloadOfDestroyedTableIsRefused()
{
    ETableWidget to(0, 2);
    QByteArray stale;
    {
        ETableWidget gone;
        fillChoice(&gone, 2);
        std::unique_ptr<QMimeData> data(gone.mimeData({gone.item(0, 0)}));
        stale = data->data(ETableWidget::mimeType());
        QCOMPARE(ETableWidget::fromIdentity(gone.identity()), &gone);
    }
    // A new table does not take over the old identity.
    ETableWidget successor;
    fillChoice(&successor, 2);
    for (const QByteArray &bytes : {stale, etablePayload(0, 1, {0}), etablePayload(-7, 1, {0}),
                                    QByteArray("\x00\x00", 2), QByteArray()}) {
        auto data = mime(ETableWidget::mimeType(), bytes);
        QVERIFY(!to.dropMimeData(0, 0, data.get(), Qt::MoveAction));
    }
    auto other = mime(QStringLiteral("text/plain"), etablePayload(successor.identity(), 1, {0}));
    QVERIFY(!to.dropMimeData(0, 0, other.get(), Qt::MoveAction));
    QCOMPARE(to.rowCount(), 0);
    QVERIFY(hiddenRows(&successor).isEmpty());
}

void TestSalaryTables::overlayFollowsColumnResize_data()
{
    QTest::addColumn<int>("tree");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("width");

    QTest::newRow("source table, first column wider") << 0 << 0 << 90;
    QTest::newRow("result table, a middle column narrower") << 1 << 10 << 20;
    QTest::newRow("result table, last shown column") << 1 << 22 << 300;
}

void TestSalaryTables::overlayFollowsColumnResize()
{
    QFETCH(int, tree);
    QFETCH(int, column);
    QFETCH(int, width);

    PTableWidget table;
    layoutSalaryTable(&table, CatalogueTree(tree), tree % 2 == 0);
    table.setRowCount(50);
    table.resize(800, 400);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    table.setColumnWidth(column, width);
    table.horizontalScrollBar()->setValue(table.horizontalScrollBar()->maximum());
    QApplication::processEvents();

    QTableView *overlay = table.overlay();
    QVERIFY(overlay);
    for (int c = 0; c < table.columnCount(); ++c) {
        QCOMPARE(overlay->columnWidth(c), table.columnWidth(c));
        QCOMPARE(overlay->columnViewportPosition(c), table.columnViewportPosition(c));
    }
    // The title rows lie exactly over the table's own first two rows.
    QCOMPARE(overlay->geometry().top(), table.viewport()->geometry().top());
    QCOMPARE(overlay->height(), 70);
    QCOMPARE(overlay->viewport()->width(), table.viewport()->width());
}

void TestSalaryTables::overlayFollowsWidgetResize_data()
{
    QTest::addColumn<bool>("frozenRows");
    QTest::addColumn<bool>("rowNumbers");
    QTest::addColumn<QSize>("size");

    QTest::newRow("frozen rows, wider") << true << true << QSize(1200, 500);
    QTest::newRow("frozen rows, narrower") << true << true << QSize(300, 200);
    QTest::newRow("frozen rows, no row numbers") << true << false << QSize(700, 300);
    QTest::newRow("frozen columns, taller") << false << true << QSize(600, 700);
    QTest::newRow("frozen columns, no row numbers") << false << false << QSize(500, 250);
}

void TestSalaryTables::overlayFollowsWidgetResize()
{
    QFETCH(bool, frozenRows);
    QFETCH(bool, rowNumbers);
    QFETCH(QSize, size);

    PTableWidget table;
    fillSheet(&table, 40, 12);
    table.verticalHeader()->setVisible(rowNumbers);
    if (frozenRows)
        table.setFrozenRows(2);
    else
        table.setFrozenColumns(2);
    table.resize(500, 300);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    table.resize(size);
    QApplication::processEvents();

    const QRect viewport = table.viewport()->geometry();
    const QRect overlay = table.overlay()->geometry();
    if (frozenRows) {
        // Over the row numbers and the viewport, as high as the two frozen rows.
        const int left = rowNumbers ? table.verticalHeader()->geometry().left() : viewport.left();
        QCOMPARE(overlay.left(), left);
        QCOMPARE(overlay.right(), viewport.right());
        QCOMPARE(overlay.top(), viewport.top());
        QCOMPARE(overlay.height(), table.rowHeight(0) + table.rowHeight(1));
    } else {
        // Over the header and the viewport, as wide as the two frozen columns.
        QCOMPARE(overlay.left(), viewport.left());
        QCOMPARE(overlay.width(), table.columnWidth(0) + table.columnWidth(1));
        QCOMPARE(overlay.top(), table.horizontalHeader()->geometry().top());
        QCOMPARE(overlay.bottom(), viewport.bottom());
    }
}

void TestSalaryTables::overlayFollowsRowNumberWidth()
{
    // Ten thousand rows need wider row numbers than two: the frozen rows' numbers widen with them,
    // so the columns above and below still line up.
    PTableWidget table;
    layoutSalaryTable(&table, TreeCalcResult, false);
    table.resize(900, 400);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    const int narrow = table.verticalHeader()->width();
    table.setRowCount(10002);
    QApplication::processEvents();
    QVERIFY(table.verticalHeader()->width() > narrow);
    QCOMPARE(table.overlay()->verticalHeader()->width(), table.verticalHeader()->width());
    QCOMPARE(table.overlay()->columnViewportPosition(5), table.columnViewportPosition(5));
}

void TestSalaryTables::frozenRowsStayHiddenAfterSetRowCount_data()
{
    QTest::addColumn<QList<int>>("counts"); // successive row counts
    QTest::addColumn<bool>("insertAtTop");

    QTest::newRow("grow once") << QList<int>{12} << false;
    QTest::newRow("grow, shrink, grow") << QList<int>{30, 3, 17} << false;
    QTest::newRow("down to the title rows and up") << QList<int>{2, 9} << false;
    QTest::newRow("fewer rows than frozen") << QList<int>{1, 6} << false;
    QTest::newRow("a row inserted at the top") << QList<int>{8} << true;
    QTest::newRow("a hundred thousand rows") << QList<int>{100002} << false;
}

void TestSalaryTables::frozenRowsStayHiddenAfterSetRowCount()
{
    QFETCH(QList<int>, counts);
    QFETCH(bool, insertAtTop);

    PTableWidget table;
    layoutSalaryTable(&table, TreeCalcSource, true);
    for (int count : counts)
        table.setRowCount(count);
    if (insertAtTop)
        table.insertRow(0);
    table.insertRow(table.rowCount()); // rows added without setRowCount too

    QTableView *overlay = table.overlay();
    QCOMPARE(overlay->model()->rowCount(), table.rowCount());
    for (int r = 0; r < table.rowCount(); ++r)
        QCOMPARE(overlay->isRowHidden(r), r >= 2);
    for (int r = 0; r < qMin(2, table.rowCount()); ++r)
        QCOMPARE(overlay->rowHeight(r), table.rowHeight(r));
}

void TestSalaryTables::overlayRepaintsAfterOwnerFilledWithUpdatesOff()
{
    // A page fills a large table with its own updates off, then turns them on again.
    QWidget page;
    auto *table = new PTableWidget(&page);
    layoutSalaryTable(table, TreeCalcResult, false);
    page.setUpdatesEnabled(false);
    table->setRowCount(500);
    table->setColumnWidth(4, 150);
    page.setUpdatesEnabled(true);
    const QList<QWidget *> parts{table->overlay(), table->overlay()->horizontalHeader(),
                                 table->overlay()->verticalHeader()};
    for (QWidget *part : parts)
        QVERIFY(part->updatesEnabled());
}

void TestSalaryTables::frozenColumnsHideTheRest()
{
    PTableWidget table;
    fillSheet(&table, 5, 8);
    table.setColumnWidth(0, 70);
    table.setFrozenColumns(3);
    QTableView *overlay = table.overlay();
    QVERIFY(overlay);
    for (int c = 0; c < 8; ++c)
        QCOMPARE(overlay->isColumnHidden(c), c >= 3);
    QCOMPARE(overlay->columnWidth(0), 70);
    table.insertColumn(1); // pushes column 2 out of the frozen area
    table.insertColumn(9);
    for (int c = 0; c < table.columnCount(); ++c)
        QCOMPARE(overlay->isColumnHidden(c), c >= 3);
    table.setColumnWidth(5, 33); // not frozen: not copied
    QVERIFY(overlay->isColumnHidden(5));
    table.setFrozenColumns(1);
    QCOMPARE(table.overlay(), overlay);
    QVERIFY(overlay->isColumnHidden(1));
    QCOMPARE(overlay->geometry().width(), table.columnWidth(0));
    // Switching to frozen rows replaces the mode: one at a time.
    table.setFrozenRows(2);
    QCOMPARE(table.frozenColumns(), 0);
    QVERIFY(!table.overlay()->isColumnHidden(5));
    QVERIFY(table.overlay()->isRowHidden(2));
}

void TestSalaryTables::unfreezingDestroysTheOverlay()
{
    PTableWidget table;
    layoutSalaryTable(&table, TreeCalcResult, false);
    QPointer<QTableView> overlay = table.overlay();
    QVERIFY(overlay);
    table.setFrozenRows(0);
    QVERIFY(!overlay);
    QVERIFY(!table.overlay());
    table.setColumnWidth(3, 77); // no overlay to follow any more
    table.setRowCount(5);
    table.setFrozenRows(2);
    QVERIFY(table.overlay());
    QCOMPARE(table.overlay()->columnWidth(3), 77);
}

void TestSalaryTables::scrolledRowComesOutFromUnderFrozenRows()
{
    PTableWidget table;
    layoutSalaryTable(&table, TreeCalcSource, true);
    table.setRowCount(200);
    table.resize(600, 300);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    table.scrollTo(table.model()->index(150, 1));
    table.scrollTo(table.model()->index(40, 1)); // above: scrolled to the top of the view
    QApplication::processEvents();
    const QRect rect = table.visualRect(table.model()->index(40, 1));
    QCOMPARE(rect.top(), table.rowHeight(0) + table.rowHeight(1));
    const int value = table.verticalScrollBar()->value();
    table.scrollTo(table.model()->index(1, 1)); // a title row never scrolls the table
    QCOMPARE(table.verticalScrollBar()->value(), value);
}

void TestSalaryTables::leftArrowStopsBesideFrozenColumns_data()
{
    QTest::addColumn<int>("scroll");   // horizontal scroll value before the key
    QTest::addColumn<int>("expected"); // x of the new current cell afterwards

    // Columns 100 pixels wide, two frozen: column 9 lies at 900 − scroll.
    QTest::newRow("target under the frozen columns: brought beside them") << 850 << 200;
    QTest::newRow("target partly under them") << 780 << 200;
    QTest::newRow("target already clear of them: no scroll") << 600 << 300;
}

void TestSalaryTables::leftArrowStopsBesideFrozenColumns()
{
    QFETCH(int, scroll);
    QFETCH(int, expected);

    PTableWidget table;
    fillSheet(&table, 6, 30);
    table.horizontalHeader()->setDefaultSectionSize(100);
    table.setFrozenColumns(2);
    table.resize(700, 300);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    table.setCurrentCell(3, 10);
    table.horizontalScrollBar()->setValue(scroll);
    QTest::keyClick(&table, Qt::Key_Left);
    QCOMPARE(table.currentColumn(), 9);
    QCOMPARE(table.visualRect(table.model()->index(3, 9)).x(), expected);
}

void TestSalaryTables::layoutFromCatalogue_data()
{
    QTest::addColumn<int>("tree");
    QTest::addColumn<bool>("basicOnly");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QList<QList<int>>>("spans"); // (start, span) of every group title
    QTest::addColumn<QStringList>("groupTitles"); // row 0, in order of the spans
    QTest::addColumn<QStringList>("itemTitles");  // row 1, columns 0 .. columns − 2
    QTest::addColumn<QList<int>>("widths");       // columns 0 .. columns − 2

    QTest::newRow("tree 0, basic only")
        << 0 << true << 7 << QList<QList<int>>{{0, 6}} << QStringList{"基础信息"}
        << QStringList{"编码", "姓名", "月应发工资", "三险一金", "年终奖金", "企业年金"}
        << QList<int>{40, 110, 110, 110, 110, 110};
    QTest::newRow("tree 0, all groups (empty extension)")
        << 0 << false << 7 << QList<QList<int>>{{0, 6}} << QStringList{"基础信息"}
        << QStringList{"编码", "姓名", "月应发工资", "三险一金", "年终奖金", "企业年金"}
        << QList<int>{40, 110, 110, 110, 110, 110};
    const QStringList tax{"应税收入", "个人所得税", "实发数", "税率", "速算扣除数"};
    QTest::newRow("tree 1, all groups")
        << 1 << false << 24 << QList<QList<int>>{{0, 2}, {2, 3}, {5, 7}, {12, 5}, {17, 5}, {22, 1}}
        << QStringList{"基础信息", "小计", "月应发工资", "年终奖金", "企业年金", "备注"}
        << (QStringList{"编码", "姓名", "应发数", "个人所得税", "实发数", "应发数", "三险一金"} + tax + tax +
            tax + QStringList{"计算过程"})
        << QList<int>{40,  110, 110, 110, 110, 110, 110, 110, 110, 110, 40, 100,
                      110, 110, 110, 40,  100, 110, 110, 110, 40,  100, 110};
    QTest::newRow("tree 4, basic only")
        << 4 << true << 6 << QList<QList<int>>{{0, 5}} << QStringList{"基础信息"}
        << QStringList{"编码", "姓名", "月应发工资", "三险一金", "非全年一次性奖金"}
        << QList<int>{40, 110, 110, 110, 110};
}

void TestSalaryTables::layoutFromCatalogue()
{
    QFETCH(int, tree);
    QFETCH(bool, basicOnly);
    QFETCH(int, columns);
    QFETCH(QList<QList<int>>, spans);
    QFETCH(QStringList, groupTitles);
    QFETCH(QStringList, itemTitles);
    QFETCH(QList<int>, widths);

    PTableWidget table;
    layoutSalaryTable(&table, CatalogueTree(tree), basicOnly);
    QCOMPARE(table.frozenRows(), 2);
    QCOMPARE(table.columnCount(), columns);
    QCOMPARE(table.rowCount(), 2);
    QCOMPARE(table.rowHeight(0), 35);
    QCOMPARE(table.rowHeight(1), 35);

    // Letters over the shown columns, nothing over the last.
    QStringList header;
    for (int c = 0; c < columns; ++c)
        header << headerText(&table, c);
    QStringList letters;
    for (int c = 0; c < columns - 1; ++c)
        letters << QString(QChar(u'A' + c % 26)).prepend(c >= 26 ? QStringLiteral("A") : QString());
    letters << QString();
    QCOMPARE(header, letters);

    QStringList gotGroups;
    for (const QList<int> &span : spans) {
        const QTableWidgetItem *item = table.item(0, span.at(0));
        QVERIFY(item);
        gotGroups << item->text();
        QCOMPARE(item->textAlignment(), int(Qt::AlignCenter));
        QCOMPARE(table.columnSpan(0, span.at(0)), span.at(1));
        QCOMPARE(table.overlay()->columnSpan(0, span.at(0)), span.at(1));
        QCOMPARE(table.rowSpan(0, span.at(0)), 1);
    }
    QCOMPARE(gotGroups, groupTitles);

    QStringList gotItems;
    QList<int> gotWidths;
    for (int c = 0; c < columns - 1; ++c) {
        const QTableWidgetItem *item = table.item(1, c);
        QVERIFY(item);
        QCOMPARE(item->textAlignment(), int(Qt::AlignCenter));
        gotItems << item->text();
        gotWidths << table.columnWidth(c);
        QCOMPARE(table.horizontalHeader()->sectionResizeMode(c), QHeaderView::Interactive);
        QCOMPARE(table.overlay()->columnWidth(c), table.columnWidth(c));
    }
    QCOMPARE(gotItems, itemTitles);
    QCOMPARE(gotWidths, widths);
    QVERIFY(!table.item(0, columns - 1));
    QVERIFY(!table.item(1, columns - 1));
    QCOMPARE(table.horizontalHeader()->sectionResizeMode(columns - 1), QHeaderView::Stretch);
    QCOMPARE(table.horizontalHeader()->minimumHeight(), 35);

    QCOMPARE(table.selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(table.selectionBehavior(), QAbstractItemView::SelectItems);
    QCOMPARE(table.editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(table.alternatingRowColors());
    QVERIFY(table.showGrid());
    QCOMPARE(table.sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(table.sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
}

void TestSalaryTables::layoutTwiceStartsAfresh()
{
    // A page that lays its table out again (another layout, a loaded history entry) keeps nothing
    // of the old one.
    PTableWidget table;
    layoutSalaryTable(&table, TreeCalcSource, true);
    table.setRowCount(30);
    table.setItem(20, 3, new QTableWidgetItem(QStringLiteral("1,000")));
    layoutSalaryTable(&table, TreeCalcResult, false);
    QCOMPARE(table.columnCount(), 24);
    QCOMPARE(table.rowCount(), 2);
    for (QTableView *view : {static_cast<QTableView *>(&table), table.overlay()}) {
        QCOMPARE(view->columnSpan(0, 0), 2);
        QCOMPARE(view->columnSpan(0, 2), 3);
        QCOMPARE(view->columnSpan(0, 5), 7);
    }
    table.setRowCount(25);
    QVERIFY(!table.item(20, 3));
}

void TestSalaryTables::codeAndNameColumnsFitTheirLongestText_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("longCode"); // in one row near the end
    QTest::addColumn<QString>("longName");

    QTest::newRow("long code, short names") << 50 << "E000123456789"
                                            << "张三";
    QTest::newRow("long name, short codes") << 50 << "1"
                                            << "欧阳司马诸葛上官某某";
    QTest::newRow("both long, among 100,000 rows") << 100000 << "E00012345678901"
                                                   << "阿卜杜热合曼·买买提";
    QTest::newRow("short texts keep the catalogue widths") << 50 << ""
                                                           << "";
}

void TestSalaryTables::codeAndNameColumnsFitTheirLongestText()
{
    QFETCH(int, rows);
    QFETCH(QString, longCode);
    QFETCH(QString, longName);

    PTableWidget table;
    layoutSalaryTable(&table, TreeCalcSource, true);
    table.setRowCount(2 + rows);
    for (int r = 2; r < table.rowCount(); ++r) {
        table.setItem(r, 0, new QTableWidgetItem(QString::number(r % 10)));
        table.setItem(r, 1, new QTableWidgetItem(QStringLiteral("王五")));
    }
    if (!longCode.isEmpty())
        table.item(rows - 2, 0)->setText(longCode);
    if (!longName.isEmpty())
        table.item(rows - 2, 1)->setText(longName);
    fitCodeAndNameColumns(&table);
    const QFontMetrics metrics(table.font());
    for (int column : {0, 1}) {
        int widest = 0;
        for (int r = 1; r < table.rowCount(); ++r)
            widest = qMax(widest, metrics.horizontalAdvance(table.item(r, column)->text()));
        QVERIFY(table.columnWidth(column) >= widest + 8);
        QVERIFY(table.columnWidth(column) >= (column == 0 ? 40 : 110)); // never below the catalogue
        QCOMPARE(table.overlay()->columnWidth(column), table.columnWidth(column));
    }
    if (longCode.isEmpty() && longName.isEmpty()) {
        // The group title spanning both columns does not widen the first.
        QCOMPARE(table.columnWidth(0), qMax(40, metrics.horizontalAdvance(QStringLiteral("编码")) + 16));
        QCOMPARE(table.columnWidth(1), 110);
    }
}

void TestSalaryTables::relayoutReturnsToTheTop()
{
    // An import that overwrites the table lays it out again: the new sheet shows from its top and
    // the frozen title rows show the title rows' numbers.
    PTableWidget table;
    layoutSalaryTable(&table, TreeCalcSource, true);
    table.setRowCount(500);
    table.resize(600, 300);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    table.setCurrentCell(300, 1);
    table.horizontalScrollBar()->setValue(table.horizontalScrollBar()->maximum());
    QApplication::processEvents();
    QVERIFY(table.verticalScrollBar()->value() > 0);
    table.setUpdatesEnabled(false); // as the import does
    layoutSalaryTable(&table, TreeCalcSource, true);
    table.setRowCount(400);
    table.setUpdatesEnabled(true);
    QApplication::processEvents();
    QCOMPARE(table.verticalScrollBar()->value(), 0);
    QCOMPARE(table.horizontalScrollBar()->value(), 0);
    QCOMPARE(table.rowAt(table.rowHeight(0) + table.rowHeight(1) + 1), 2);
}

void TestSalaryTables::frozenRowsShowTheirOwnNumbersAfterAnotherSheet_data()
{
    QTest::addColumn<bool>("pageUpdatesOff"); // the page (not the table) holds its updates back
    QTest::addColumn<QList<int>>("sheets");   // row counts of the sheets imported one after another
    QTest::addColumn<int>("scrolledTo");      // the row made current after the last one

    QTest::newRow("second sheet, scrolled down") << false << QList<int>{100, 38} << 30;
    QTest::newRow("wider row numbers") << false << QList<int>{38, 100000} << 50000;
    QTest::newRow("narrower row numbers") << false << QList<int>{1000, 12} << 10;
    QTest::newRow("page holds its updates back") << true << QList<int>{100, 38} << 30;
}

void TestSalaryTables::frozenRowsShowTheirOwnNumbersAfterAnotherSheet()
{
    QFETCH(bool, pageUpdatesOff);
    QFETCH(QList<int>, sheets);
    QFETCH(int, scrolledTo);

    QWidget page;
    auto *table = new PTableWidget(&page);
    layoutSalaryTable(table, TreeCalcSource, true);
    table->resize(600, 400);
    page.resize(600, 400);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    for (int rows : sheets) {
        // As the import fills the table: its updates off while the sheet goes in.
        QWidget *owner = pageUpdatesOff ? &page : static_cast<QWidget *>(table);
        owner->setUpdatesEnabled(false);
        layoutSalaryTable(table, TreeCalcSource, true);
        table->setRowCount(2 + rows);
        for (int r = 2; r < table->rowCount(); r += qMax(1, rows / 50))
            table->setItem(r, 0, new QTableWidgetItem(QString::number(r)));
        owner->setUpdatesEnabled(true);
        QApplication::processEvents();
        table->setCurrentCell(qMin(scrolledTo, rows), 1);
        table->horizontalScrollBar()->setValue(30);
        QApplication::processEvents();
    }
    // What the window shows of the frozen rows' numbers is what the header paints afresh, not
    // the numbers of the rows scrolled beneath it.
    QHeaderView *numbers = table->overlay()->verticalHeader();
    QVERIFY(numbers->updatesEnabled());
    QVERIFY(table->overlay()->viewport()->updatesEnabled());
    const QRect area(numbers->mapTo(&page, QPoint(0, 0)), numbers->size());
    const QImage shown =
        page.screen()->grabWindow(page.winId()).toImage().copy(area).convertToFormat(QImage::Format_RGB32);
    const QImage fresh = numbers->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), fresh.size());
    QVERIFY(shown == fresh);
}

void TestSalaryTables::entryCommitsByTheAmountRule_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("kind");     // item type; 0 for no cell
    QTest::addColumn<QString>("text"); // as shown
    QTest::addColumn<QVariant>("number");
    QTest::addColumn<bool>("tinted");

    QTest::newRow("amount with separators")
        << 2 << "12,000.5" << int(NumberCell) << "12,000.5" << QVariant(12000.5) << false;
    QTest::newRow("full-width amount")
        << 3 << "１２０００" << int(NumberCell) << "12,000" << QVariant(12000.0) << false;
    QTest::newRow("blanks around an amount")
        << 5 << " 800 " << int(NumberCell) << "800" << QVariant(800.0) << false;
    QTest::newRow("text in an amount column") << 2 << "abc" << int(TextCell) << "abc" << QVariant() << true;
    QTest::newRow("negative amount") << 4 << "-5" << int(TextCell) << "-5" << QVariant() << true;
    QTest::newRow("amount too large")
        << 4 << "1000000000" << int(TextCell) << "1000000000" << QVariant() << true;
    QTest::newRow("emptied amount: no cell") << 2 << "  " << 0 << "" << QVariant() << false;
    QTest::newRow("code stays text") << 0 << "0012" << int(TextCell) << "0012" << QVariant() << false;
    QTest::newRow("name") << 1 << "张三" << int(TextCell) << "张三" << QVariant() << false;
}

void TestSalaryTables::entryCommitsByTheAmountRule()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QVariant, number);
    QFETCH(bool, tinted);

    PTableWidget table;
    table.setEntry(2, 2, 6);
    layoutSalaryTable(&table, TreeCalcSource, true);
    table.setRowCount(4);
    // The cell held an imported date: what is typed replaces its kind and its number.
    auto *old = new QTableWidgetItem(QStringLiteral("2023-12-06"), DateCell);
    old->setData(kCellNumberRole, 45266);
    table.setItem(2, column, old);
    QSignalSpy edited(&table, &PTableWidget::entryEdited);
    table.commitEntry(2, column, typed);
    QCOMPARE(edited.count(), 1);
    const QTableWidgetItem *cell = table.item(2, column);
    QCOMPARE(cell ? cell->type() : 0, kind);
    if (!cell)
        return;
    QCOMPARE(cell->text(), text);
    QCOMPARE(cell->data(kCellNumberRole), number);
    QCOMPARE(cell->background().color() == PTableWidget::unreadableColor(), tinted);
    QCOMPARE(cell->toolTip().isEmpty(), !tinted);
    // The same text again is no change.
    table.commitEntry(2, column, typed);
    QCOMPARE(edited.count(), 1);
}

void TestSalaryTables::entryEditsOnlyDataCells_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("edits");

    QTest::newRow("F2 on a data cell") << 3 << 1 << int(Qt::Key_F2) << true;
    QTest::newRow("typing on a data cell") << 3 << 2 << int(Qt::Key_5) << true;
    QTest::newRow("F2 on a column title") << 1 << 1 << int(Qt::Key_F2) << false;
    QTest::newRow("F2 on a group title") << 0 << 0 << int(Qt::Key_F2) << false;
    QTest::newRow("F2 on the trailing column") << 3 << 6 << int(Qt::Key_F2) << false;
}

void TestSalaryTables::entryEditsOnlyDataCells()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, key);
    QFETCH(bool, edits);

    PTableWidget table;
    table.setEntry(2, 2, 6);
    layoutSalaryTable(&table, TreeCalcSource, true);
    table.setRowCount(6);
    table.resize(900, 300);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    table.setCurrentCell(row, column);
    QTest::keyClick(&table, Qt::Key(key));
    QCOMPARE(table.indexWidget(table.currentIndex()) != nullptr, edits); // an editor is open
    QCOMPARE(table.overlay()->editTriggers(), QAbstractItemView::NoEditTriggers);
    if (!edits)
        return;
    // What is typed goes in through the amount rule when the editor closes.
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->setText(QStringLiteral("E01"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    QCOMPARE(table.item(row, column)->text(), QStringLiteral("E01"));
    QCOMPARE(table.item(row, column)->type(), int(TextCell));
}

void TestSalaryTables::entryKeepsABlankRowForANewEmployee()
{
    PTableWidget table;
    table.setEntry(2, 2, 6);
    layoutSalaryTable(&table, TreeCalcSource, true);
    table.resize(900, 300);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    // The window coming up with the focus changes nothing; the clerk clicking into the table of
    // an empty page is offered a row.
    QCOMPARE(table.rowCount(), 2);
    table.clearFocus();
    table.setFocus(Qt::MouseFocusReason);
    QTRY_COMPARE(table.rowCount(), 3);
    table.ensureEntryRow();
    QCOMPARE(table.rowCount(), 3);
    table.commitEntry(2, 1, QStringLiteral("张三"));
    QCOMPARE(table.rowCount(), 4);
    QVERIFY(table.overlay()->isRowHidden(3));
    table.commitEntry(3, 2, QStringLiteral("9000"));
    QCOMPARE(table.rowCount(), 5);
    // The employees are what is left without blank rows: an emptied row goes as well.
    table.commitEntry(2, 1, QString());
    table.removeBlankRows();
    QCOMPARE(table.rowCount(), 3);
    QCOMPARE(table.item(2, 2)->text(), QStringLiteral("9,000"));
    // Title rows are never removed, even with nothing below them.
    table.commitEntry(2, 2, QString());
    table.removeBlankRows();
    QCOMPARE(table.rowCount(), 2);
    QCOMPARE(table.item(1, 0)->text(), QStringLiteral("编码"));
}

void TestSalaryTables::deleteClearsTheCurrentCell()
{
    PTableWidget table;
    table.setEntry(2, 2, 6);
    layoutSalaryTable(&table, TreeCalcSource, true);
    table.setRowCount(4);
    table.setItem(2, 2, new QTableWidgetItem(QStringLiteral("5,000"), NumberCell));
    table.setItem(3, 2, new QTableWidgetItem(QStringLiteral("6,000"), NumberCell));
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    QSignalSpy edited(&table, &PTableWidget::entryEdited);
    table.setCurrentCell(2, 2);
    QTest::keyClick(&table, Qt::Key_Delete);
    QVERIFY(!table.item(2, 2));
    QCOMPARE(table.item(3, 2)->text(), QStringLiteral("6,000"));
    QCOMPARE(edited.count(), 1);
    // A title is not the clerk's to clear.
    table.setCurrentCell(1, 2);
    QTest::keyClick(&table, Qt::Key_Delete);
    QCOMPARE(table.item(1, 2)->text(), QStringLiteral("月应发工资"));
    QCOMPARE(edited.count(), 1);
}

void TestSalaryTables::listViewAnnouncesCurrent()
{
    QStandardItemModel model;
    for (const char *text : {"A", "B", "C"})
        model.appendRow(new QStandardItem(QString::fromLatin1(text)));
    PListView view;
    view.setModel(&model);
    QSignalSpy spy(&view, &PListView::changedToCurrent);
    view.setCurrentIndex(model.index(2, 0));
    view.setCurrentIndex(model.index(0, 0));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).first().toModelIndex().row(), 2);
    QCOMPARE(spy.at(1).first().toModelIndex().row(), 0);
}

void TestSalaryTables::formulaBoxKeepsTextAcrossChoices()
{
    FormulaBox box;
    QSignalSpy changes(&box, &FormulaBox::editTextChanged);
    box.setEditText(QStringLiteral("A+B"));
    QCOMPARE(changes.count(), 1);
    box.setChoices({QString(), QStringLiteral("A"), QStringLiteral("B")});
    QCOMPARE(box.editText(), QStringLiteral("A+B"));
    QCOMPARE(box.choices(), (QStringList{QString(), QStringLiteral("A"), QStringLiteral("B")}));
    QCOMPARE(changes.count(), 1);
}

QTEST_MAIN(TestSalaryTables)
#include "tst_salarytables.moc"
