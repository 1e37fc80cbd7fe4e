// Every image path the program names must load from the compiled-in resources, and the help
// documents must be shipped.
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTest>

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void images_data();
    void images();
    void stripsHaveFourFrames_data();
    void stripsHaveFourFrames();
    void skinPairsMatch();
    void helpDocuments_data();
    void helpDocuments();
    void helpTexts_data();
    void helpTexts();
    void helpHasNoStraySpaces_data();
    void helpHasNoStraySpaces();
};

void TestResources::images_data()
{
    QTest::addColumn<QString>("path");
    const char *named[] = {":/img/lumo.ico",
                           ":/img/lumo",
                           ":/img/logo",
                           ":/img/banner",
                           ":/toolWidget/singlecalc_free",
                           ":/toolWidget/batchcalc_free",
                           ":/toolWidget/singlesave",
                           ":/toolWidget/batchsave",
                           ":/toolWidget/bonusapportion",
                           ":/toolWidget/batchapportion",
                           ":/toolWidget/salarysave",
                           ":/toolWidget/fullscreen",
                           ":/toolWidget/exitfullscreen",
                           ":/contentWidget/calc",
                           ":/contentWidget/import",
                           ":/contentWidget/export",
                           ":/contentWidget/wizard",
                           ":/contentWidget/database",
                           ":/contentWidget/constant",
                           ":/contentWidget/math",
                           ":/contentWidget/function",
                           ":/mainMenu/help",
                           ":/mainMenu/about",
                           ":/sysButton/skin_button",
                           ":/sysButton/main_menu",
                           ":/sysButton/min_button",
                           ":/sysButton/restore_button",
                           ":/sysButton/max_button",
                           ":/sysButton/restore_button",
                           ":/sysButton/close_button",
                           ":/sysButton/close",
                           ":/sysButton/close24",
                           ":/sysButton/add24",
                           ":/sysButton/plus",
                           ":/sysButton/subtract",
                           ":/sysButton/star",
                           ":/sysButton/divide",
                           ":/sysButton/equal",
                           ":/sysButton/great",
                           ":/sysButton/little",
                           ":/sysButton/unequal",
                           ":/sysButton/lblacket",
                           ":/sysButton/rblacket"};
    for (const char *p : named)
        QTest::newRow(p) << QString::fromLatin1(p);
    for (int n = 0; n < 24; ++n) {
        const QString thumb = QStringLiteral(":/skin/%1").arg(n);
        QTest::newRow(qPrintable(thumb)) << thumb;
        QTest::newRow(qPrintable(thumb + QStringLiteral("_big"))) << thumb + QStringLiteral("_big");
    }
}

void TestResources::images()
{
    QFETCH(QString, path);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QVERIFY(image.width() >= 16 && image.height() >= 16);
}

void TestResources::stripsHaveFourFrames_data()
{
    QTest::addColumn<QString>("path");
    for (const char *p : {":/sysButton/skin_button", ":/sysButton/main_menu", ":/sysButton/min_button",
                          ":/sysButton/max_button", ":/sysButton/close_button", ":/sysButton/close"})
        QTest::newRow(p) << QString::fromLatin1(p);
}

void TestResources::stripsHaveFourFrames()
{
    QFETCH(QString, path);
    const QImage strip(path);
    QCOMPARE(strip.width() % 4, 0);
    const int fw = strip.width() / 4;
    // Normal, hover and pressed must look different, or the button gives no feedback.
    const QImage normal = strip.copy(0, 0, fw, strip.height());
    const QImage hover = strip.copy(fw, 0, fw, strip.height());
    const QImage pressed = strip.copy(2 * fw, 0, fw, strip.height());
    QVERIFY(normal != hover);
    QVERIFY(hover != pressed);
    QVERIFY(normal != pressed);
}

void TestResources::skinPairsMatch()
{
    // The thumbnail shows the big image: compare their average colours.
    for (int n = 0; n < 24; ++n) {
        const QImage big = QImage(QStringLiteral(":/skin/%1_big").arg(n))
                               .scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QImage thumb = QImage(QStringLiteral(":/skin/%1").arg(n))
                                 .scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QColor a = big.pixelColor(0, 0);
        const QColor b = thumb.pixelColor(0, 0);
        QVERIFY2(qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40 &&
                     qAbs(a.blue() - b.blue()) < 40,
                 qPrintable(QString::number(n)));
    }
}

void TestResources::helpDocuments_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("user guide") << QStringLiteral("使用帮助.pdf");
    QTest::newRow("tax rules") << QStringLiteral("相关法规.pdf");
}

void TestResources::helpDocuments()
{
    QFETCH(QString, name);
    QFile f(QStringLiteral(LUMO_SOURCE_DIR "/resources/help/") + name);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.read(5) == "%PDF-");
    QVERIFY(f.size() > 10000);
}

namespace {

// The hand-written source of a help document, as tools/gen-resources prints it.
QString helpSource(const QString &name)
{
    QFile f(QStringLiteral(LUMO_SOURCE_DIR "/tools/genresources/") + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

void TestResources::helpTexts_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("phrase");
    const QString guide = QStringLiteral("guide.html");
    // The buttons and messages the guide names are the ones the pages show.
    QTest::newRow("planning button") << guide << QStringLiteral("点“筹划 ↓”");
    QTest::newRow("planning goal") << guide << QStringLiteral("“减少单位开支（员工税后收入不变）”");
    QTest::newRow("where the verdict is") << guide << QStringLiteral("点“查看计算过程”，过程的最后一段");
    QTest::newRow("the verdict") << guide
                                 << QStringLiteral(
                                        "恭喜您，在选定节税筹划策略下，原有薪资已经是合理发放了。");
    QTest::newRow("unreadable entry") << guide << QStringLiteral("该计算记录无法读取，文件可能已损坏。");
    QTest::newRow("stale results") << guide << QStringLiteral("输入已修改，请重新计算。");
    QTest::newRow("deductions above the wage")
        << guide << QStringLiteral("三险一金大于月应发工资，应税收入按 0 计算。");
    // Which rules the figures follow.
    QTest::newRow("rules: year") << guide << QStringLiteral("2011年9月1日起施行的个人所得税规定");
    QTest::newRow("rules: threshold") << guide << QStringLiteral("每月减除费用3500元");
    QTest::newRow("rules: foreign staff") << guide << QStringLiteral("即4800元");
    QTest::newRow("rules: seven rows") << guide << QStringLiteral("七级超额累进税率表");
    QTest::newRow("laws: threshold") << QStringLiteral("laws.html") << QStringLiteral("减除费用3500元");
}

void TestResources::helpTexts()
{
    QFETCH(QString, source);
    QFETCH(QString, phrase);
    const QString text = helpSource(source);
    QVERIFY(!text.isEmpty());
    QVERIFY2(text.contains(phrase), qPrintable(phrase));
}

void TestResources::helpHasNoStraySpaces_data()
{
    QTest::addColumn<QString>("source");
    QTest::newRow("guide") << QStringLiteral("guide.html");
    QTest::newRow("laws") << QStringLiteral("laws.html");
}

void TestResources::helpHasNoStraySpaces()
{
    QFETCH(QString, source);
    const QString text = helpSource(source);
    QVERIFY(!text.isEmpty());
    // Between a Chinese character and a number or a Latin word, outside the headings and the quoted
    // page message (which has its own spaces).
    static const QRegularExpression stray(
        QStringLiteral("[\\x{4e00}-\\x{9fff}\\x{3000}-\\x{303f}\\x{ff00}-\\x{ffef}] +[A-Za-z0-9]|"
                       "[A-Za-z0-9%] +[\\x{4e00}-\\x{9fff}\\x{3000}-\\x{303f}\\x{ff00}-\\x{ffef}]"));
    const QStringList lines = text.split(u'\n');
    for (const QString &line : lines) {
        if (line.startsWith(QStringLiteral("<h1>")))
            continue;
        QString body = line;
        body.remove(QStringLiteral("按 0 计算"));
        body.remove(QStringLiteral("岚舟个税节税筹划 2.1.2 "));
        const QRegularExpressionMatch m = stray.match(body);
        QVERIFY2(!m.hasMatch(), qPrintable(m.captured()));
    }
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
