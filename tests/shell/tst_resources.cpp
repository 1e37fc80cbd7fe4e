// Every image path the program names must load from the compiled-in resources, and the help
// documents must be shipped.
#include <QFileInfo>
#include <QImage>
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

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
