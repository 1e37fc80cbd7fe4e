#include "excel/columnletters.h"

#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

class TestColumnLetters : public QObject
{
    Q_OBJECT

private slots:
    void bothWays_data();
    void bothWays();
    void notLetters_data();
    void notLetters();
    void everyIndexRoundTrips();
};

void TestColumnLetters::bothWays_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("letters");
    QTest::newRow("first") << 0 << u"A"_s;
    QTest::newRow("last single letter") << 25 << u"Z"_s;
    QTest::newRow("first of two") << 26 << u"AA"_s;
    QTest::newRow("AZ then BA") << 52 << u"BA"_s;
    QTest::newRow("last of two") << 701 << u"ZZ"_s;
    QTest::newRow("first of three") << 702 << u"AAA"_s;
    QTest::newRow("last .xls column") << 255 << u"IV"_s;
    QTest::newRow("last .xlsx column") << 16383 << u"XFD"_s;
    QTest::newRow("largest int") << std::numeric_limits<int>::max() << u"FXSHRXX"_s;
}

void TestColumnLetters::bothWays()
{
    QFETCH(int, index);
    QFETCH(QString, letters);
    QCOMPARE(columnLetters(index), letters);
    QCOMPARE(columnIndex(letters), index);
}

void TestColumnLetters::notLetters_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("lower case") << u"a"_s;
    QTest::newRow("digit") << u"A1"_s;
    QTest::newRow("blank") << u" A"_s;
    QTest::newRow("full-width letter") << u"Ａ"_s;
    QTest::newRow("one past int") << u"FXSHRXY"_s;
    QTest::newRow("far past int") << u"ZZZZZZZZZZZZZZZZZZZZ"_s;
}

void TestColumnLetters::notLetters()
{
    QFETCH(QString, text);
    QCOMPARE(columnIndex(text), -1);
}

void TestColumnLetters::everyIndexRoundTrips()
{
    QCOMPARE(columnLetters(-1), QString());
    for (int i = 0; i < 20000; ++i) {
        const QString letters = columnLetters(i);
        if (columnIndex(letters) != i)
            QFAIL(qPrintable(QStringLiteral("%1 -> %2").arg(i).arg(letters)));
        if (i > 0 && !(columnLetters(i - 1).size() < letters.size() || columnLetters(i - 1) < letters))
            QFAIL(qPrintable(QStringLiteral("%1 does not follow the previous column").arg(letters)));
    }
}

QTEST_GUILESS_MAIN(TestColumnLetters)
#include "tst_columnletters.moc"
