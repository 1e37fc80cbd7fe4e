#include "pages/single/apportioncalcwid.h"
#include "pages/single/inversecalcwid.h"
#include "pages/single/singlesavecalcwid.h"
#include "pagetest.h"
#include "shell/config.h"
#include "shell/lumo.h"
#include "widgets/pagekit.h"

#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QTest>
#include <QWheelEvent>

// The main window opens the single-person pages behind their function buttons and keeps them.
class TestFunctionPages : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void pageBehindButton_data();
    void pageBehindButton();
    void wheelChangesOnlyFocusedAmount_data();
    void wheelChangesOnlyFocusedAmount();

private:
    pagetest::TemporaryHome m_home;
};

void TestFunctionPages::init()
{
    QVERIFY(m_home.renew());
    // The skin setting is read from the working directory.
    QVERIFY(QDir::setCurrent(m_home.path()));
    // The pages of the 2011 rules; the current rules' pages have tests of their own.
    QVERIFY(writeConfigValue(userIniPath(), QStringLiteral("rules"), QStringLiteral("2011")));
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

void TestFunctionPages::wheelChangesOnlyFocusedAmount_data()
{
    QTest::addColumn<bool>("focused");
    QTest::addColumn<double>("expected");
    QTest::newRow("not focused: unchanged") << false << 0.0;
    QTest::newRow("focused: one step up") << true << 1.0;
}

void TestFunctionPages::wheelChangesOnlyFocusedAmount()
{
    QFETCH(bool, focused);
    QFETCH(double, expected);
    QWidget window;
    QDoubleSpinBox *box = pagekit::amountInput(&window);
    auto *other = pagekit::amountInput(&window);
    other->move(0, 40);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    (focused ? box : other)->setFocus();
    QTRY_VERIFY(box->hasFocus() == focused);
    const QPointF at(box->width() / 2.0, box->height() / 2.0);
    QWheelEvent wheel(at, box->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(box, &wheel);
    QCOMPARE(box->value(), expected);
}

QTEST_MAIN(TestFunctionPages)
#include "tst_functionpages.moc"
