#include "excel/biff.h"
#include "excel/celldisplay.h"
#include "excel/formats.h"
#include "excel/workbook.h"
#include "testbooks.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace testbooks;

class TestWorkbook : public QObject
{
    Q_OBJECT

private slots:
    void createBySuffix_data();
    void createBySuffix();
    void roundTrip_data();
    void roundTrip();
    void writingRespectsLimits_data();
    void writingRespectsLimits();
    void overlappingMergesAreRefused();
    void sheetNames_data();
    void sheetNames();
    void failedSaveKeepsTheOldFile();
    void loadReplacesEarlierContents();
    void malformed_data();
    void malformed();
    void hostileButReadable_data();
    void hostileButReadable();
    void positionsAndValuesOfHandBuiltXlsx();
    void sstStringsAcrossContinueRecords();
    void sheetNamesExcelWouldRefuseAreKept();
    void smallXlsStreamIsNotInTheMiniStream();
    void zipBombIsCapped();
    void cellWalkIsInOrder_data();
    void cellWalkIsInOrder();
    void xlsKeepsEachTextOnce_data();
    void xlsKeepsEachTextOnce();
    void rowHeightsAroundCells_data();
    void rowHeightsAroundCells();

private:
    QTemporaryDir m_dir;
};

void TestWorkbook::createBySuffix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("xlsx");
    QTest::newRow("xlsx") << QStringLiteral("a.xlsx") << true;
    QTest::newRow("XLSX upper case") << QStringLiteral("/tmp/工资.XLSX") << true;
    QTest::newRow("xls") << QStringLiteral("a.xls") << false;
    QTest::newRow("XLS upper case") << QStringLiteral("a.XLS") << false;
    QTest::newRow("csv is not xlsx") << QStringLiteral("a.csv") << false;
    QTest::newRow("xlsx.bak is not xlsx") << QStringLiteral("a.xlsx.bak") << false;
    QTest::newRow("no suffix") << QStringLiteral("book") << false;
}

void TestWorkbook::createBySuffix()
{
    QFETCH(QString, name);
    QFETCH(bool, xlsx);
    QCOMPARE(Workbook::create(name)->kind() == Workbook::Kind::Xlsx, xlsx);
}

void TestWorkbook::roundTrip_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("xls") << QStringLiteral("xls");
    QTest::newRow("xlsx") << QStringLiteral("xlsx");
}

// What the export writes (texts with fonts, alignments, borders, fills, merges, widths) and what
// imports meet (numbers, booleans, blanks, formats), written and read back.
void TestWorkbook::roundTrip()
{
    QFETCH(QString, suffix);
    const QString path = m_dir.filePath(QStringLiteral("round.") + suffix);
    QString longMixed;
    for (int i = 0; i < 900; ++i)
        longMixed += QStringLiteral("第%1行 line %1; ").arg(i);
    {
        auto book = Workbook::create(path);
        book->setDate1904(true);
        Font *title = book->addFont();
        title->setName(QStringLiteral("微软雅黑"));
        title->setSize(20);
        title->setBold(true);
        Font *body = book->addFont();
        body->setName(QStringLiteral("微软雅黑"));
        body->setSize(10);
        body->setItalic(true);
        body->setUnderline(1);
        body->setStrikeOut(true);
        Format *heading = book->addFormat();
        heading->setFont(title);
        heading->setAlignH(CellAlignH::Center);
        heading->setAlignV(CellAlignV::Center);
        heading->setBorder(CellBorder::Thin);
        heading->setFillPattern(CellFill::Solid);
        heading->setPatternForegroundColor(23);
        Format *total = book->addFormat();
        total->setFont(body);
        total->setAlignH(CellAlignH::Right);
        total->setBorderLeft(CellBorder::Thin);
        total->setBorderBottom(CellBorder::Thin);
        total->setFillPattern(CellFill::Solid);
        total->setPatternForegroundColor(54);
        Format *date = book->addFormat();
        date->setNumFormat(14);
        Sheet *s = book->addSheet(QStringLiteral("lumo"));
        QVERIFY(s);
        QVERIFY(s->writeStr(1, 0, QStringLiteral("二〇一三年工资表"), heading));
        QVERIFY(s->setMerge(1, 1, 0, 3));
        QVERIFY(s->writeStr(3, 0, QStringLiteral("姓名"), heading));
        QVERIFY(s->writeStr(3, 1, longMixed, total));
        QVERIFY(s->writeNum(4, 0, 1234.5));
        QVERIFY(s->writeNum(4, 1, -0.125, total));
        QVERIFY(s->writeNum(4, 2, 39813, date));
        QVERIFY(s->writeBool(5, 0, true));
        QVERIFY(s->writeBool(5, 1, false));
        QVERIFY(s->writeBlank(5, 2, total));
        QVERIFY(s->writeStr(6, 0, QStringLiteral("ASCII"), total));
        // Text that looks like an escaped character must come back as written.
        QVERIFY(s->writeStr(6, 2, QStringLiteral("编号_x0041_与_x005F_")));
        QVERIFY(s->setCol(0, 0, 20));
        QVERIFY(s->setCol(1, 2, 12.57));
        QVERIFY(s->setRow(1, 30));
        QVERIFY(s->setMerge(6, 8, 0, 1));
        Sheet *second = book->addSheet(QStringLiteral("第二页"));
        QVERIFY(second->writeStr(0, 255, QStringLiteral("IV1")));
        QVERIFY(second->writeStr(65535, 0, QStringLiteral("A65536")));
        QVERIFY2(book->save(path), qPrintable(book->errorMessage()));
    }
    auto book = Workbook::create(path);
    QVERIFY2(book->load(path), qPrintable(book->errorMessage()));
    // .xlsx files are written in the 1900 date system only: the dates move, and show the same.
    QCOMPARE(book->isDate1904(), suffix == QLatin1String("xls"));
    QCOMPARE(book->sheetCount(), 2);
    const Sheet *s = book->getSheet(0);
    QCOMPARE(s->name(), QStringLiteral("lumo"));
    QCOMPARE(s->lastRow(), 6);
    QCOMPARE(s->lastCol(), 2);
    QCOMPARE(s->cellType(1, 0), CellType::String);
    QCOMPARE(s->readStr(1, 0), QStringLiteral("二〇一三年工资表"));
    QCOMPARE(s->readStr(3, 1), longMixed);
    QCOMPARE(s->readStr(6, 2), QStringLiteral("编号_x0041_与_x005F_"));
    QCOMPARE(s->cellType(4, 0), CellType::Number);
    QCOMPARE(s->readNum(4, 0), 1234.5);
    QCOMPARE(s->readNum(4, 1), -0.125);
    QCOMPARE(s->cellFormat(4, 2)->numFormat(), 14);
    QCOMPARE(displayCell(*book, *s, 4, 2).text, QStringLiteral("2013-01-01"));
    QCOMPARE(s->cellType(5, 0), CellType::Boolean);
    QVERIFY(s->readBool(5, 0));
    QVERIFY(!s->readBool(5, 1));
    QCOMPARE(s->cellType(5, 2), CellType::Empty);
    QVERIFY(s->cellFormat(5, 2));
    QCOMPARE(s->cellType(2, 0), CellType::Empty);

    const Format *h = s->cellFormat(1, 0);
    QVERIFY(h);
    QCOMPARE(h->font()->name(), QStringLiteral("微软雅黑"));
    QCOMPARE(h->font()->size(), 20.0);
    QVERIFY(h->font()->bold());
    QCOMPARE(h->alignH(), int(CellAlignH::Center));
    QCOMPARE(h->alignV(), int(CellAlignV::Center));
    QCOMPARE(h->borderLeft(), int(CellBorder::Thin));
    QCOMPARE(h->borderRight(), int(CellBorder::Thin));
    QCOMPARE(h->borderTop(), int(CellBorder::Thin));
    QCOMPARE(h->borderBottom(), int(CellBorder::Thin));
    QCOMPARE(h->fillPattern(), int(CellFill::Solid));
    QCOMPARE(h->patternForegroundColor(), 23);
    const Format *t = s->cellFormat(3, 1);
    QCOMPARE(t->font()->size(), 10.0);
    QVERIFY(t->font()->italic());
    QVERIFY(t->font()->underline() != 0);
    QVERIFY(t->font()->strikeOut());
    QVERIFY(!t->font()->bold());
    QCOMPARE(t->alignH(), int(CellAlignH::Right));
    QCOMPARE(t->borderLeft(), int(CellBorder::Thin));
    QCOMPARE(t->borderRight(), int(CellBorder::NoBorder));
    QCOMPARE(t->borderBottom(), int(CellBorder::Thin));
    QCOMPARE(t->patternForegroundColor(), 54);

    QCOMPARE(s->merges().size(), size_t(2));
    int fr, lr, fc, lc;
    QVERIFY(s->getMerge(1, 2, &fr, &lr, &fc, &lc));
    QCOMPARE((QList<int>{fr, lr, fc, lc}), (QList<int>{1, 1, 0, 3}));
    QVERIFY(s->getMerge(8, 1, &fr, &lr, &fc, &lc));
    QCOMPARE((QList<int>{fr, lr, fc, lc}), (QList<int>{6, 8, 0, 1}));
    QVERIFY(!s->getMerge(4, 0, &fr, &lr, &fc, &lc));
    QCOMPARE(s->colWidth(0), 20.0);
    QCOMPARE(s->colWidth(1), 12.57);
    QCOMPARE(s->colWidth(2), 12.57);
    QCOMPARE(s->rowHeight(1), 30.0);

    const Sheet *second = book->getSheet(1);
    QCOMPARE(second->name(), QStringLiteral("第二页"));
    QCOMPARE(second->lastRow(), 65535);
    QCOMPARE(second->lastCol(), 255);
    QCOMPARE(second->readStr(0, 255), QStringLiteral("IV1"));
    QCOMPARE(second->readStr(65535, 0), QStringLiteral("A65536"));
    QCOMPARE(second->cellCount(), qsizetype(2));
}

void TestWorkbook::writingRespectsLimits_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<bool>("ok");
    QTest::newRow("xls last cell") << QStringLiteral("xls") << 65535 << 255 << true;
    QTest::newRow("xls row 65536") << QStringLiteral("xls") << 65536 << 0 << false;
    QTest::newRow("xls column 256") << QStringLiteral("xls") << 0 << 256 << false;
    QTest::newRow("xlsx last cell") << QStringLiteral("xlsx") << 1048575 << 16383 << true;
    QTest::newRow("xlsx row 1048576") << QStringLiteral("xlsx") << 1048576 << 0 << false;
    QTest::newRow("xlsx column 16384") << QStringLiteral("xlsx") << 0 << 16384 << false;
    QTest::newRow("negative row") << QStringLiteral("xlsx") << -1 << 0 << false;
}

void TestWorkbook::writingRespectsLimits()
{
    QFETCH(QString, suffix);
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(bool, ok);
    auto book = Workbook::create(QStringLiteral("a.") + suffix);
    Sheet *s = book->addSheet(QStringLiteral("S"));
    QCOMPARE(s->writeStr(row, col, QStringLiteral("x")), ok);
    QCOMPARE(s->setMerge(row, row, col, col), ok);
    QCOMPARE(s->lastRow(), ok ? row : -1);
    QVERIFY(!s->writeStr(0, 0, QString(kMaxCellTextLength + 1, QLatin1Char('x'))));
    QVERIFY(!s->writeNum(0, 0, qInf()));
}

void TestWorkbook::overlappingMergesAreRefused()
{
    Workbook book(Workbook::Kind::Xls);
    Sheet *s = book.addSheet(QStringLiteral("S"));
    QVERIFY(s->setMerge(1, 2, 1, 2));
    QVERIFY(!s->setMerge(2, 3, 2, 3)); // shares B… C3
    QVERIFY(!s->setMerge(0, 5, 0, 5)); // contains it
    QVERIFY(!s->setMerge(1, 1, 1, 1)); // inside it
    QVERIFY(!s->setMerge(3, 2, 0, 0)); // reversed
    QVERIFY(s->setMerge(3, 3, 1, 2));  // just below
    QVERIFY(s->setMerge(1, 2, 3, 3));  // just right
    QCOMPARE(s->merges().size(), size_t(3));
}

void TestWorkbook::sheetNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("ok");
    QTest::newRow("Chinese") << QStringLiteral("工资表") << true;
    QTest::newRow("31 characters") << QString(31, QLatin1Char('a')) << true;
    QTest::newRow("32 characters") << QString(32, QLatin1Char('a')) << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("slash") << QStringLiteral("a/b") << false;
    QTest::newRow("bracket") << QStringLiteral("[a]") << false;
    QTest::newRow("same name other case") << QStringLiteral("LUMO") << false;
}

void TestWorkbook::sheetNames()
{
    QFETCH(QString, name);
    QFETCH(bool, ok);
    Workbook book(Workbook::Kind::Xlsx);
    QVERIFY(book.addSheet(QStringLiteral("lumo")));
    QCOMPARE(book.addSheet(name) != nullptr, ok);
    if (!ok)
        QVERIFY(!book.errorMessage().isEmpty());
}

void TestWorkbook::failedSaveKeepsTheOldFile()
{
    const QString path = m_dir.filePath(QStringLiteral("keep.xls"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("the user's earlier export");
    old.close();
    Workbook book(Workbook::Kind::Xls);
    Sheet *s = book.addSheet(QStringLiteral("S"));
    for (int i = 0; i < 5000; ++i) // more formats than a .xls file can hold
        s->writeStr(i, 0, QStringLiteral("x"), book.addFormat());
    QVERIFY(!book.save(path));
    QVERIFY(!book.errorMessage().isEmpty());
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("the user's earlier export"));
    QVERIFY(!book.save(m_dir.filePath(QStringLiteral("no/such/folder/out.xls"))));
    Workbook empty(Workbook::Kind::Xlsx);
    QVERIFY(!empty.save(path));
    QVERIFY(empty.errorMessage().contains(QStringLiteral("没有工作表")));
    QVERIFY(old.seek(0));
    QCOMPARE(old.readAll(), QByteArray("the user's earlier export"));
}

void TestWorkbook::loadReplacesEarlierContents()
{
    const QString path = m_dir.filePath(QStringLiteral("replace.xlsx"));
    Workbook book(Workbook::Kind::Xlsx);
    book.addSheet(QStringLiteral("S"))->writeStr(0, 0, QStringLiteral("saved"));
    QVERIFY(book.save(path));
    book.addSheet(QStringLiteral("unsaved"));
    QVERIFY(book.load(path));
    QCOMPARE(book.sheetCount(), 1);
    QVERIFY(!book.load(m_dir.filePath(QStringLiteral("missing.xlsx"))));
    QCOMPARE(book.sheetCount(), 0);
    QVERIFY(book.errorMessage().contains(QStringLiteral("不存在")));
}

void TestWorkbook::malformed_data()
{
    QTest::addColumn<bool>("xlsx");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message"); // a part of the Chinese message

    QTest::newRow("xls: empty file") << false << QByteArray() << QStringLiteral("不是");
    QTest::newRow("xlsx: empty file") << true << QByteArray() << QStringLiteral("不是");
    QTest::newRow("xls: text file") << false << QByteArray("姓名,工资\n张三,100\n") << QStringLiteral("不是");
    QTest::newRow("xlsx: xls bytes") << true << xlsFile(biffStream({}, {})) << QStringLiteral(".xls");
    QTest::newRow("xls: xlsx bytes") << false << zip(xlsxParts({})) << QStringLiteral(".xlsx");

    const QByteArray good = xlsFile(biffStream({}, {}));
    QTest::newRow("xls: compound file cut short") << false << good.left(700) << QStringLiteral("损坏");
    QByteArray badSector = good;
    for (int i = 0x4C; i < 0x4C + 4; ++i) // the first FAT sector points past the end
        badSector[i] = char(0x7F);
    QTest::newRow("xls: FAT sector past the end") << false << badSector << QStringLiteral("损坏");
    QTest::newRow("xls: encrypted") << false << xlsFile(bof(5) + record(biff::FilePass, QByteArray(54, '\1')))
                                    << QStringLiteral("加密");
    QTest::newRow("xls: no BOF") << false << xlsFile(record(biff::Eof, {})) << QStringLiteral("开始记录");
    QTest::newRow("xls: BIFF5 version")
        << false << xlsFile(record(biff::Bof, le16(0x0500) + le16(5) + QByteArray(12, '\0')))
        << QStringLiteral("版本");
    QTest::newRow("xls: record longer than its data")
        << false << xlsFile(bof(5) + le16(biff::Font) + le16(8000) + QByteArray(10, '\0'))
        << QStringLiteral("损坏");
    QByteArray pastEnd = biffStream({}, {});
    pastEnd[bof(5).size() + 4] = char(0xFF); // BOUNDSHEET offset far beyond the stream
    pastEnd[bof(5).size() + 7] = char(0x7F);
    QTest::newRow("xls: sheet offset past the end") << false << xlsFile(pastEnd) << QStringLiteral("损坏");

    const QByteArray pkg = zip(xlsxParts("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"));
    QTest::newRow("xlsx: cut in half") << true << pkg.left(pkg.size() / 2) << QStringLiteral("zip");
    QList<ZipPart> noWorkbook = xlsxParts({});
    noWorkbook.removeAt(2);
    QTest::newRow("xlsx: workbook part missing")
        << true << zip(noWorkbook) << QStringLiteral("xl/workbook.xml");
    QList<ZipPart> noRels = xlsxParts({});
    noRels.removeAt(1);
    QTest::newRow("xlsx: no package relationships") << true << zip(noRels) << QStringLiteral("_rels/.rels");
    QByteArray badCrc = pkg;
    const qsizetype at = badCrc.indexOf("<v>1</v>");
    badCrc[at + 3] = '2';
    QTest::newRow("xlsx: entry fails its checksum") << true << badCrc << QStringLiteral("校验和");
    QTest::newRow("xlsx: DTD with entities")
        << true
        << zip(xlsxParts({}, "<?xml version=\"1.0\"?><!DOCTYPE sst [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
                             "\"&a;&a;&a;&a;&a;&a;&a;&a;\">]><sst><si><t>&b;</t></si></sst>"))
        << QStringLiteral("DTD");
    QTest::newRow("xlsx: broken XML")
        << true << zip(xlsxParts("<row><c><v>1</c></row>")) << QStringLiteral("XML");
    QList<ZipPart> lying = xlsxParts({});
    lying[4].compressed = QByteArray("\x03\x00", 2); // an empty deflate stream for a non-empty part
    QTest::newRow("xlsx: deflate data too short") << true << zip(lying) << QStringLiteral("工作簿部件");
    QList<ZipPart> encrypted = xlsxParts({});
    encrypted[1].flags = 1;
    QTest::newRow("xlsx: encrypted entry") << true << zip(encrypted) << QStringLiteral("加密");
    // A zip64 locator in a file too short to hold the zip64 end record it points at.
    const QByteArray tinyZip64 = QByteArray::fromHex("504b0607"
                                                     "00000000"
                                                     "0000ff7f00000000"
                                                     "01000000"
                                                     "504b0506"
                                                     "0000"
                                                     "0000"
                                                     "ffff"
                                                     "ffff"
                                                     "00000000"
                                                     "00000000"
                                                     "0000");
    // Every sheet naming the same large part would make the reader parse it once per sheet.
    QList<ZipPart> sharedPart = xlsxParts("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
    sharedPart[2].data.replace("</sheets>", "<sheet name=\"T\" sheetId=\"2\" r:id=\"rId1\"/></sheets>");
    QTest::newRow("xlsx: two sheets on one part") << true << zip(sharedPart) << QStringLiteral("同一部件");
    QTest::newRow("xlsx: zip64 locator in a 42-byte file") << true << tinyZip64 << QStringLiteral("zip");
}

void TestWorkbook::malformed()
{
    QFETCH(bool, xlsx);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    Workbook book(xlsx ? Workbook::Kind::Xlsx : Workbook::Kind::Xls);
    QVERIFY(!book.loadFromData(bytes));
    QVERIFY2(book.errorMessage().contains(message), qPrintable(book.errorMessage()));
    QCOMPARE(book.sheetCount(), 0);
}

void TestWorkbook::hostileButReadable_data()
{
    QTest::addColumn<bool>("xlsx");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("lastRow");
    QTest::addColumn<int>("lastCol");
    QTest::addColumn<QString>("a1"); // the text of A1, "" when it is not a string

    const QByteArray sst =
        record(biff::Sst, le32(5) + le32(0xFFFFFFFF) + le16(2) + QByteArray(1, '\0') + "ok");
    QTest::newRow("xls: string count lies, index beyond the table")
        << false
        << xlsFile(biffStream(sst, record(biff::LabelSst, le16(0) + le16(0) + le16(0) + le32(0)) +
                                       record(biff::LabelSst, le16(0) + le16(1) + le16(0) + le32(7))))
        << 0 << 1 << QStringLiteral("ok");
    QTest::newRow("xls: XF and font indexes out of range")
        << false
        << xlsFile(biffStream(xf(99, 14), record(biff::Number, le16(0) + le16(0) + le16(0) + f64(1)) +
                                              record(biff::Number, le16(1) + le16(1) + le16(4000) + f64(2))))
        << 1 << 1 << QString();
    QTest::newRow("xls: merge count lies")
        << false
        << xlsFile(biffStream(
               {}, record(biff::Label, le16(0) + le16(0) + le16(0) + le16(1) + QByteArray(1, '\0') + "m") +
                       record(biff::MergedCells, le16(1000) + le16(0) + le16(65535) + le16(0) + le16(255))))
        << 0 << 0 << QStringLiteral("m");
    QTest::newRow("xls: label longer than its record")
        << false
        << xlsFile(biffStream(
               {},
               record(biff::Label, le16(0) + le16(0) + le16(0) + le16(500) + QByteArray(1, '\0') + "x") +
                   record(biff::Label, le16(2) + le16(3) + le16(0) + le16(1) + QByteArray(1, '\0') + "y")))
        << 2 << 3 << QString();
    QTest::newRow("xls: MULRK and MULBLANK to the last column")
        << false
        << xlsFile(
               biffStream({}, record(biff::MulBlank, le16(7) + le16(250) + QByteArray(12, '\0') + le16(255)) +
                                  record(biff::MulRk, le16(8) + le16(254) + le16(0) + le32(0x3FF00000) +
                                                          le16(0) + le32(0x3FF00000) + le16(255))))
        << 8 << 255 << QString();
    const QByteArray textFormula = le16(0) + le16(0) + le16(0) + QByteArray(1, '\0') + QByteArray(5, '\0') +
                                   le16(0xFFFF) + le16(0) + le32(0) + le16(0);
    QTest::newRow("xls: formula text after a shared formula record")
        << false
        << xlsFile(biffStream({}, record(biff::Formula, textFormula) + record(0x04BC, QByteArray(10, '\0')) +
                                      record(biff::String, le16(2) + QByteArray(1, '\0') + "ok")))
        << 0 << 0 << QStringLiteral("ok");
    QTest::newRow("xls: sheet record is not a worksheet BOF")
        << false << xlsFile(biffStream({}, {}, false)) << -1 << -1 << QString();

    QTest::newRow("xlsx: positions beyond the limits are dropped")
        << true
        << zip(xlsxParts("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c><c r=\"A1048577\"><v>1</v></c>"
                         "<c r=\"B2\" t=\"s\"><v>99</v></c><c r=\"C3\" s=\"77\"><v>5</v></c></row>"))
        << 2 << 2 << QString();
    QTest::newRow("xlsx: dimension lies, huge merge")
        << true
        << zip(xlsxParts("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>x</t></is></c></row>", {}, {},
                         "<mergeCells><mergeCell ref=\"A1:XFD1048576\"/><mergeCell ref=\"B2:C3\"/>"
                         "<mergeCell ref=\"A1\"/></mergeCells>"))
        << 0 << 0 << QStringLiteral("x");
    QTest::newRow("xlsx: row number far beyond, non-numeric row")
        << true
        << zip(xlsxParts("<row r=\"99999999999\"><c><v>1</v></c></row><row r=\"x\"><c><v>2</v></c></row>"))
        << 1 << 0 << QString();
}

void TestWorkbook::hostileButReadable()
{
    QFETCH(bool, xlsx);
    QFETCH(QByteArray, bytes);
    QFETCH(int, lastRow);
    QFETCH(int, lastCol);
    QFETCH(QString, a1);
    Workbook book(xlsx ? Workbook::Kind::Xlsx : Workbook::Kind::Xls);
    QVERIFY2(book.loadFromData(bytes), qPrintable(book.errorMessage()));
    QCOMPARE(book.sheetCount(), 1);
    const Sheet *s = book.getSheet(0);
    QCOMPARE(s->lastRow(), lastRow);
    QCOMPARE(s->lastCol(), lastCol);
    QCOMPARE(s->readStr(0, 0), a1);
    for (int r = 0; r <= std::min(lastRow, 10); ++r) {
        for (int c = 0; c <= lastCol; ++c)
            (void)s->getMerge(r, c, nullptr, nullptr, nullptr, nullptr);
    }
}

void TestWorkbook::positionsAndValuesOfHandBuiltXlsx()
{
    const QByteArray strings =
        "<sst><si><t>东京</t><rPh sb=\"0\" eb=\"2\"><t>トウキョウ</t></rPh></si>"
        "<si><r><t>一</t></r><r><rPr><b/></rPr><t xml:space=\"preserve\">二 </t></r></si>"
        "<si><t>a_x000D_b</t></si></sst>";
    const QByteArray styles =
        "<styleSheet><numFmts count=\"1\"><numFmt numFmtId=\"170\" formatCode=\"yyyy/m/d\"/>"
        "</numFmts><fonts><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
        "<font><b val=\"0\"/><i/><u/><sz val=\"14\"/><name val=\"宋体\"/></font></fonts>"
        "<cellXfs><xf numFmtId=\"0\" fontId=\"0\"/><xf numFmtId=\"170\" fontId=\"1\">"
        "<alignment horizontal=\"center\" vertical=\"top\"/></xf></cellXfs></styleSheet>";
    const QByteArray data =
        "<row><c t=\"s\"><v>0</v></c><c t=\"s\"><v>1</v></c><c t=\"s\"><v>2</v></c></row>"
        "<row r=\"5\"><c r=\"C5\" s=\"1\"><v>41275</v></c><c><f>A1</f></c>"
        "<c t=\"e\"><v>#N/A</v></c><c t=\"b\"><v>0</v></c><c t=\"d\"><v>2013-01-01T12:00:00</v></c></row>"
        "<row><c t=\"str\"><f>A1</f><v>公式</v></c></row>"
        "<row r=\"7\"><c t=\"d\"><v>08:30:00</v></c><c t=\"d\"><v>1899-12-30T12:00:00</v></c></row>";
    Workbook book(Workbook::Kind::Xlsx);
    QVERIFY2(book.loadFromData(zip(xlsxParts(data, strings, styles))), qPrintable(book.errorMessage()));
    const Sheet *s = book.getSheet(0);
    QCOMPARE(s->readStr(0, 0), QStringLiteral("东京"));
    QCOMPARE(s->readStr(0, 1), QStringLiteral("一二 "));
    QCOMPARE(s->readStr(0, 2), QStringLiteral("a\rb"));
    QCOMPARE(s->readNum(4, 2), 41275.0);
    const Format *f = s->cellFormat(4, 2);
    QVERIFY(f);
    QCOMPARE(f->numFormat(), 170);
    QCOMPARE(book.numFormatCode(170), QStringLiteral("yyyy/m/d"));
    QCOMPARE(f->alignH(), int(CellAlignH::Center));
    QCOMPARE(f->alignV(), int(CellAlignV::Top));
    QCOMPARE(f->font()->name(), QStringLiteral("宋体"));
    QVERIFY(!f->font()->bold());
    QVERIFY(f->font()->italic());
    QCOMPARE(f->font()->underline(), 1);
    // A formula without a cached value and an error hold their texts, never an empty (zero) cell.
    QCOMPARE(s->cellType(4, 3), CellType::String);
    QCOMPARE(s->readStr(4, 3), QStringLiteral("=A1"));
    QCOMPARE(s->cellOrigin(4, 3), CellOrigin::Formula);
    QCOMPARE(s->cellType(4, 4), CellType::String);
    QCOMPARE(s->readStr(4, 4), QStringLiteral("#N/A"));
    QCOMPARE(s->cellOrigin(4, 4), CellOrigin::Error);
    QCOMPARE(s->cellOrigin(5, 0), CellOrigin::Value); // a formula with its text result
    QCOMPARE(s->cellType(4, 5), CellType::Boolean);
    QCOMPARE(s->readNum(4, 6), 41275.5);
    QCOMPARE(s->readStr(5, 0), QStringLiteral("公式"));
    // Times of day alone, as other writers put them in date cells.
    QCOMPARE(s->readNum(6, 0), 8.5 / 24);
    QCOMPARE(s->readNum(6, 1), 0.5);
    QCOMPARE(s->lastRow(), 6);
    QCOMPARE(s->lastCol(), 6);
}

// Strings of the shared table split across CONTINUE records, switching between 8-bit and UTF-16
// characters at the split, as Excel writes them.
void TestWorkbook::sstStringsAcrossContinueRecords()
{
    QByteArray sstData = le32(2) + le32(2);
    sstData += le16(6) + QByteArray(1, '\0') + "abc"; // 3 of 6 Latin-1 characters here …
    QByteArray cont1 = QByteArray(1, '\1') + le16(0x4E2D) + le16(0x6587) + le16(0x5B57); // … 3 as UTF-16
    QByteArray cont2 = le16(2) + QByteArray(1, '\x08') + le16(1) + "xy" + le32(0); // rich: one run of 4 bytes
    const QByteArray globals =
        record(biff::Sst, sstData) + record(biff::Continue, cont1) + record(biff::Continue, cont2);
    const QByteArray cells = record(biff::LabelSst, le16(0) + le16(0) + le16(0) + le32(0)) +
                             record(biff::LabelSst, le16(0) + le16(1) + le16(0) + le32(1));
    Workbook book(Workbook::Kind::Xls);
    QVERIFY2(book.loadFromData(xlsFile(biffStream(globals, cells))), qPrintable(book.errorMessage()));
    QCOMPARE(book.getSheet(0)->readStr(0, 0), QStringLiteral("abc中文字"));
    QCOMPARE(book.getSheet(0)->readStr(0, 1), QStringLiteral("xy"));
}

// Other writers use names Excel refuses; the sheet is kept under the nearest name Excel allows, so
// the workbook can still be written again.
void TestWorkbook::sheetNamesExcelWouldRefuseAreKept()
{
    QList<ZipPart> parts = xlsxParts("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
    parts[2].data.replace("<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>",
                          "<sheet name=\"工资/2013\" sheetId=\"1\" r:id=\"rId1\"/>"
                          "<sheet name=\"工资_2013\" sheetId=\"2\" r:id=\"rId8\"/>"
                          "<sheet name=\"\" sheetId=\"3\" r:id=\"rId9\"/>");
    // Each sheet has its own part, holding the same cells.
    const QByteArray sheetRel =
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/"
        "officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>";
    QByteArray moreRels = sheetRel;
    moreRels.replace("rId1", "rId8").replace("sheet1.xml", "sheet2.xml");
    QByteArray third = sheetRel;
    third.replace("rId1", "rId9").replace("sheet1.xml", "sheet3.xml");
    parts[3].data.replace(sheetRel, sheetRel + moreRels + third);
    parts.append({QStringLiteral("xl/worksheets/sheet2.xml"), parts[4].data, {}});
    parts.append({QStringLiteral("xl/worksheets/sheet3.xml"), parts[4].data, {}});
    Workbook book(Workbook::Kind::Xlsx);
    QVERIFY2(book.loadFromData(zip(parts)), qPrintable(book.errorMessage()));
    QCOMPARE(book.sheetCount(), 3);
    QCOMPARE(book.getSheet(0)->name(), QStringLiteral("工资_2013"));
    QCOMPARE(book.getSheet(1)->name(), QStringLiteral("工资_2013(2)"));
    QCOMPARE(book.getSheet(2)->name(), QStringLiteral("Sheet"));
    QCOMPARE(book.getSheet(1)->readNum(0, 0), 1.0);
    QVERIFY(book.errorMessage().isEmpty());
}

void TestWorkbook::smallXlsStreamIsNotInTheMiniStream()
{
    const QString path = m_dir.filePath(QStringLiteral("tiny.xls"));
    Workbook book(Workbook::Kind::Xls);
    book.addSheet(QStringLiteral("S"))->writeStr(0, 0, QStringLiteral("x"));
    QVERIFY(book.save(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray stream;
    QString error;
    QVERIFY(biff::readWorkbookStream(file.readAll(), &stream, &error));
    QVERIFY(stream.size() >= 4096);
    Workbook back(Workbook::Kind::Xls);
    QVERIFY(back.load(path));
    QCOMPARE(back.getSheet(0)->readStr(0, 0), QStringLiteral("x"));
}

// A sheet part of 300 MB of spaces deflates to a few hundred kilobytes; reading stops at the cap.
void TestWorkbook::zipBombIsCapped()
{
    z_stream z = {};
    QVERIFY(deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) == Z_OK);
    const QByteArray head = "<?xml version=\"1.0\"?><worksheet><sheetData>";
    QByteArray block(1 << 20, ' ');
    QByteArray compressed;
    std::vector<char> out(1 << 20);
    auto feed = [&](const QByteArray &in, int flush) {
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in.constData()));
        z.avail_in = uInt(in.size());
        do {
            z.next_out = reinterpret_cast<Bytef *>(out.data());
            z.avail_out = uInt(out.size());
            deflate(&z, flush);
            compressed.append(out.data(), qsizetype(out.size() - z.avail_out));
        } while (z.avail_out == 0);
    };
    feed(head, Z_NO_FLUSH);
    for (int i = 0; i < 300; ++i) {
        feed(block, i == 299 ? Z_FINISH : Z_NO_FLUSH);
    }
    deflateEnd(&z);
    QList<ZipPart> parts = xlsxParts({});
    parts[4].compressed = compressed;
    parts[4].claimedSize = 100; // a lying size field
    QByteArray file = zip(parts);
    Workbook book(Workbook::Kind::Xlsx);
    QVERIFY(!book.loadFromData(file));
    QVERIFY2(book.errorMessage().contains(QStringLiteral("过大")), qPrintable(book.errorMessage()));
}

void TestWorkbook::cellWalkIsInOrder_data()
{
    QTest::addColumn<QList<int>>("rows");
    QTest::newRow("rows ascending") << QList<int>{0, 1, 2, 7, 1000000};
    QTest::newRow("rows descending") << QList<int>{1000000, 7, 2, 1, 0};
    QTest::newRow("rows shuffled") << QList<int>{7, 0, 1000000, 2, 1};
    QTest::newRow("one row") << QList<int>{1048575};
    QTest::newRow("no rows") << QList<int>{};
}

// The writers' walk over the stored cells gives every cell once, rows and columns ascending,
// with the value each was written with, however the rows came in.
void TestWorkbook::cellWalkIsInOrder()
{
    QFETCH(QList<int>, rows);
    Workbook book(Workbook::Kind::Xlsx);
    Sheet *sheet = book.addSheet(QStringLiteral("表"));
    const Format *bold = book.addFormat();
    for (const int r : rows) {
        // Columns out of order too, and a cell written twice.
        QVERIFY(sheet->writeStr(r, 5, QStringLiteral("行%1").arg(r)));
        QVERIFY(sheet->writeNum(r, 0, r + 0.5, bold));
        QVERIFY(sheet->writeBool(r, 3, r % 2 == 0));
        QVERIFY(sheet->writeBlank(r, 2, bold));
        QVERIFY(sheet->writeStr(r, 5, QStringLiteral("第%1行").arg(r)));
    }
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    QStringList expected;
    for (const int r : sorted) {
        expected << QStringLiteral("%1,0 number %2 bold").arg(r).arg(r + 0.5)
                 << QStringLiteral("%1,2 empty 0 bold").arg(r)
                 << QStringLiteral("%1,3 boolean %2 -").arg(r).arg(r % 2 == 0 ? 1 : 0)
                 << QStringLiteral("%1,5 string 第%1行 -").arg(r);
    }
    QStringList walked;
    sheet->forEachCell([&](const Sheet::CellView &c) {
        const char *type = c.type == CellType::Number    ? "number"
                           : c.type == CellType::String  ? "string"
                           : c.type == CellType::Boolean ? "boolean"
                                                         : "empty";
        walked << QStringLiteral("%1,%2 %3 %4 %5")
                      .arg(c.row)
                      .arg(c.col)
                      .arg(QLatin1String(type))
                      .arg(c.str ? *c.str : QString::number(c.num))
                      .arg(c.format == bold ? QStringLiteral("bold") : QStringLiteral("-"));
    });
    QCOMPARE(walked, expected);
    QCOMPARE(qsizetype(walked.size()), sheet->cellCount());
}

void TestWorkbook::xlsKeepsEachTextOnce_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("unique");
    QStringList distinct;
    for (int i = 0; i < 5000; ++i)
        distinct << QStringLiteral("员工%1").arg(i);
    QTest::newRow("every text different (the table grows)") << distinct << 5000;
    QTest::newRow("every text twice") << (distinct + distinct) << 5000;
    QTest::newRow("one text everywhere") << QStringList(3000, QStringLiteral("应发工资")) << 1;
    QStringList near;
    for (int i = 0; i < 2000; ++i)
        near << QStringLiteral("1234.5%1").arg(i % 10) << QStringLiteral("1234.5%1 ").arg(i % 10);
    QTest::newRow("texts alike but for a trailing space") << near << 20;
    QTest::newRow("case differs") << QStringList{QStringLiteral("abc"), QStringLiteral("ABC"),
                                                 QStringLiteral("abc")}
                                  << 2;
}

// The .xls shared string table holds each distinct text once and counts every use, and each cell
// reads back its own text.
void TestWorkbook::xlsKeepsEachTextOnce()
{
    QFETCH(QStringList, texts);
    QFETCH(int, unique);
    Workbook book(Workbook::Kind::Xls);
    Sheet *first = book.addSheet(QStringLiteral("一"));
    Sheet *second = book.addSheet(QStringLiteral("二"));
    // Half the texts on each sheet: the table is the workbook's, shared by both.
    for (qsizetype i = 0; i < texts.size(); ++i)
        QVERIFY((i % 2 ? second : first)->writeStr(int(i / 2 % 60000), int(i / 2 / 60000), texts[i]));
    QByteArray file;
    QString error;
    QVERIFY2(writeXls(book, &file, &error), qPrintable(error));

    QByteArray stream;
    QVERIFY2(biff::readWorkbookStream(file, &stream, &error), qPrintable(error));
    qint64 total = -1, count = -1;
    for (qsizetype at = 0; at + 4 <= stream.size();) {
        const int id = quint8(stream[at]) | quint8(stream[at + 1]) << 8;
        const int length = quint8(stream[at + 2]) | quint8(stream[at + 3]) << 8;
        if (id == biff::Sst) {
            auto u32 = [&](qsizetype p) {
                return qint64(quint8(stream[p]) | quint8(stream[p + 1]) << 8 | quint8(stream[p + 2]) << 16 |
                              quint32(quint8(stream[p + 3])) << 24);
            };
            total = u32(at + 4);
            count = u32(at + 8);
            break;
        }
        at += 4 + length;
    }
    QCOMPARE(total, qint64(texts.size()));
    QCOMPARE(count, qint64(unique));

    Workbook again(Workbook::Kind::Xls);
    QVERIFY2(again.loadFromData(file), qPrintable(again.errorMessage()));
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const Sheet *s = again.getSheet(int(i % 2));
        QCOMPARE(s->readStr(int(i / 2 % 60000), int(i / 2 / 60000)), texts[i]);
    }
}

void TestWorkbook::rowHeightsAroundCells_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QList<int>>("cellRows");
    QTest::addColumn<QList<int>>("heightRows");
    for (const QString &suffix : {QStringLiteral("xls"), QStringLiteral("xlsx")}) {
        QTest::addRow("%s: heights before, between and after the cells", qPrintable(suffix))
            << suffix << QList<int>{3, 10} << QList<int>{0, 3, 5, 10, 200};
        QTest::addRow("%s: heights only, no cells", qPrintable(suffix))
            << suffix << QList<int>{} << QList<int>{2, 9};
        QTest::addRow("%s: rows written out of order", qPrintable(suffix))
            << suffix << QList<int>{40, 4, 20} << QList<int>{20, 4, 41};
    }
}

// Rows go out in one ascending walk; a height on a row with no cells, or on a row before, between
// or after the rows with cells, must come through all the same.
void TestWorkbook::rowHeightsAroundCells()
{
    QFETCH(QString, suffix);
    QFETCH(QList<int>, cellRows);
    QFETCH(QList<int>, heightRows);
    const QString path = m_dir.filePath(QStringLiteral("heights.") + suffix);
    auto book = Workbook::create(path);
    Sheet *s = book->addSheet(QStringLiteral("表"));
    for (const int r : cellRows)
        QVERIFY(s->writeNum(r, 1, r));
    for (const int r : heightRows)
        QVERIFY(s->setRow(r, 20 + r % 7));
    QVERIFY2(book->save(path), qPrintable(book->errorMessage()));
    auto again = Workbook::create(path);
    QVERIFY2(again->load(path), qPrintable(again->errorMessage()));
    const Sheet &t = *again->getSheet(0);
    for (const int r : heightRows)
        QCOMPARE(t.rowHeight(r), double(20 + r % 7));
    for (const int r : cellRows)
        QCOMPARE(t.readNum(r, 1), double(r));
    QCOMPARE(t.cellCount(), qsizetype(cellRows.size()));
}

QTEST_GUILESS_MAIN(TestWorkbook)
#include "tst_workbook.moc"
