#include "pages/single/apportioncalcwid.h"
#include "pages/single/inversecalcwid.h"
#include "pages/single/singlesavecalcwid.h"
#include "pagetest.h"
#include "shell/lumo.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QTest>

// The main window opens the single-person pages behind their function buttons and keeps them.
class TestFunctionPages : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void pageBehindButton_data();
    void pageBehindButton();

private:
    pagetest::TemporaryHome m_home;
};

void TestFunctionPages::init()
{
    QVERIFY(m_home.renew());
    // The skin setting is read from the working directory.
    QVERIFY(QDir::setCurrent(m_home.path()));
}

void TestFunctionPages::pageBehindButton_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QByteArray>("pageClass");
    QTest::newRow("2 单人节税筹划") << 2 << QByteArray(SingleSaveCalcWid::staticMetaObject.className());
    QTest::newRow("4 奖金分摊计算") << 4 << QByteArray(ApportionCalcWid::staticMetaObject.className());
    QTest::newRow("6 年薪节税筹划") << 6 << QByteArray(InverseCalcWid::staticMetaObject.className());
}

void TestFunctionPages::pageBehindButton()
{
    QFETCH(int, function);
    QFETCH(QByteArray, pageClass);
    Lumo window;
    window.actFunction(function);
    QWidget *page = window.page(function);
    QVERIFY(page);
    QCOMPARE(QByteArray(page->metaObject()->className()), pageClass);
    QCOMPARE(page->parentWidget(), &window);
    // Another function and back: the same page, with what was typed in.
    page->findChild<QDoubleSpinBox *>()->setValue(1234.5);
    window.actFunction(0);
    QVERIFY(page->isHidden());
    window.actFunction(function);
    QCOMPARE(window.page(function), page);
    QVERIFY(!page->isHidden());
    QCOMPARE(page->findChild<QDoubleSpinBox *>()->value(), 1234.5);
}

QTEST_MAIN(TestFunctionPages)
#include "tst_functionpages.moc"
