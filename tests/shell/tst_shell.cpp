#include "pages/single/singlecalcwid.h"
#include "shell/aboutusdialog.h"
#include "shell/changeskinwidget.h"
#include "shell/config.h"
#include "shell/framegrip.h"
#include "shell/lumo.h"
#include "shell/pushbutton.h"
#include "shell/skinwidget.h"
#include "shell/startup.h"
#include "shell/titlewidget.h"
#include "shell/toolbutton.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

namespace {

void sendMouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, w->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

QStringList tileNames(const SkinWidget &skins)
{
    QStringList names;
    for (int k = 0; k < kSkinsPerPage; ++k)
        names << skins.tile(k)->skinName();
    return names;
}

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsOnFunctionZero();
    void pagesAreKept();
    void everyFunctionHasAPage();
    void maximiseRestoresGeometry();
    void maximiseButtonShowsRestore();
    void aboutBoxStatesTheRules();
    void resizeRule_data();
    void resizeRule();
    void edgesResizeTheWindow_data();
    void edgesResizeTheWindow();
    void edgeCursors_data();
    void edgeCursors();
    void drag_data();
    void drag();
    void skinChoiceIsStored();
    void skinPages_data();
    void skinPages();
    void skinLinks();
    void skinNameRule();
    void escapeClosesSkinDialog();
    void readConfig_data();
    void readConfig();
    void writeConfigRejectsEmptyNames();
    void pushButtonClicksOnReleaseAnywhere();
    void pageOption_data();
    void pageOption();
    void sizeOption_data();
    void sizeOption();
    void helpDocumentsAreFound();
    void chineseTranslationAndFont();
    void chineseDatesInDialogs_data();
    void chineseDatesInDialogs();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldCwd;
};

void TestShell::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv("HOME", m_dir->path().toLocal8Bit());
    m_oldCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestShell::cleanup()
{
    QDir::setCurrent(m_oldCwd);
}

void TestShell::startsOnFunctionZero()
{
    // The 2011 page of function 0; the current rules' pages have tests of their own.
    QVERIFY(writeConfigValue(userIniPath(), QStringLiteral("rules"), QStringLiteral("2011")));
    Lumo w;
    QSignalSpy spy(w.titleWidget(), &TitleWidget::functionClicked);
    w.showWidget();
    QCOMPARE(spy.count(), 1);
    QVERIFY(qobject_cast<SingleCalcWid *>(w.page(0)));
    QVERIFY(w.page(0)->isVisible());
    QVERIFY(w.titleWidget()->functionButton(0)->isMousePress());
    for (int i = 1; i < kFunctionCount; ++i) {
        QVERIFY(!w.page(i));
        QVERIFY(!w.titleWidget()->functionButton(i)->isMousePress());
    }
    QTest::mouseClick(w.titleWidget()->functionButton(0), Qt::LeftButton);
    w.titleWidget()->turnPage(QStringLiteral("0"));
    QCOMPARE(spy.count(), 1);
}

void TestShell::pagesAreKept()
{
    Lumo w;
    w.showWidget();
    TitleWidget *title = w.titleWidget();
    auto *single = w.page(0);
    single->findChild<QDoubleSpinBox *>()->setValue(4321);
    QTest::mousePress(title->functionButton(4), Qt::LeftButton);
    QWidget *apportion = w.page(4);
    QVERIFY(apportion && apportion->isVisible());
    QVERIFY(!single->isVisible());
    QVERIFY(title->functionButton(4)->isMousePress());
    QVERIFY(!title->functionButton(0)->isMousePress());
    QTest::mousePress(title->functionButton(0), Qt::LeftButton);
    QTest::mousePress(title->functionButton(4), Qt::LeftButton);
    QCOMPARE(w.page(4), apportion);
    QTest::mousePress(title->functionButton(0), Qt::LeftButton);
    QCOMPARE(w.page(0), single);
    QVERIFY(single->isVisible());
    QCOMPARE(single->findChild<QDoubleSpinBox *>()->value(), 4321.0);
}

void TestShell::everyFunctionHasAPage()
{
    Lumo w;
    w.showWidget();
    for (int i = 0; i < kFunctionCount; ++i) {
        w.selectFunction(i);
        QVERIFY(w.page(i));
        QVERIFY(w.page(i)->isVisible());
        QCOMPARE(w.page(i)->parentWidget(), &w);
    }
    // Out of range: nothing changes.
    w.actFunction(7);
    w.actFunction(-1);
    QVERIFY(w.page(6)->isVisible());
}

void TestShell::maximiseRestoresGeometry()
{
    Lumo w;
    w.showWidget();
    const QRect before(40, 30, 950, 650);
    w.setGeometry(before);
    const QRect placed = w.geometry();
    w.showMax();
    QVERIFY(w.isMaximised());
    w.showMax();
    QVERIFY(!w.isMaximised());
    QCOMPARE(w.geometry(), placed);
    // A double click on the title bar does the same as the button.
    QSignalSpy spy(w.titleWidget(), &TitleWidget::showMax);
    QTest::mouseDClick(w.titleWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 10));
    QCOMPARE(spy.count(), 1);
    QVERIFY(w.isMaximised());
    QTest::mouseDClick(w.titleWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 10));
    QCOMPARE(w.geometry(), placed);
}

void TestShell::maximiseButtonShowsRestore()
{
    Lumo w;
    w.showWidget();
    PushButton *max = w.titleWidget()->maxButton();
    QCOMPARE(max->imageStrip(), QStringLiteral(":/sysButton/max_button"));
    QCOMPARE(max->toolTip(), QStringLiteral("最大化"));
    w.showMax();
    QCOMPARE(max->imageStrip(), QStringLiteral(":/sysButton/restore_button"));
    QCOMPARE(max->toolTip(), QStringLiteral("还原"));
    // The restore strip has the maximise strip's frames, so the title bar does not shift.
    const QPixmap maxStrip(QStringLiteral(":/sysButton/max_button"));
    QCOMPARE(max->size(), QSize(maxStrip.width() / 4, maxStrip.height()));
    w.showMax();
    QCOMPARE(max->imageStrip(), QStringLiteral(":/sysButton/max_button"));
    QCOMPARE(max->toolTip(), QStringLiteral("最大化"));
}

void TestShell::aboutBoxStatesTheRules()
{
    AboutUsDialog about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QLabel *rules = nullptr;
    for (QLabel *label : about.findChildren<QLabel *>()) {
        if (label->text() == kAppliedRulesText)
            rules = label;
    }
    QVERIFY(rules);
    for (const QString &fact :
         {QStringLiteral("2011"), QStringLiteral("3500元"), QStringLiteral("4800元"), QStringLiteral("七级")})
        QVERIFY2(rules->text().contains(fact), qPrintable(fact));
    // The whole line shows inside the box.
    QVERIFY(about.rect().contains(QRect(rules->mapTo(&about, QPoint(0, 0)), rules->size())));
    QVERIFY(rules->height() >= rules->heightForWidth(rules->width()));
}

void TestShell::resizeRule_data()
{
    QTest::addColumn<int>("edges");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QRect>("expected");
    // From (100, 100) 1000 × 700; the minimum is 900 × 600.
    QTest::newRow("right edge wider") << int(Qt::RightEdge) << QPoint(50, 7) << QRect(100, 100, 1050, 700);
    QTest::newRow("left edge wider, right stays")
        << int(Qt::LeftEdge) << QPoint(-30, 0) << QRect(70, 100, 1030, 700);
    QTest::newRow("bottom edge shorter")
        << int(Qt::BottomEdge) << QPoint(0, -50) << QRect(100, 100, 1000, 650);
    QTest::newRow("top edge taller") << int(Qt::TopEdge) << QPoint(9, -20) << QRect(100, 80, 1000, 720);
    QTest::newRow("bottom-right corner")
        << int(Qt::RightEdge | Qt::BottomEdge) << QPoint(-10, 10) << QRect(100, 100, 990, 710);
    QTest::newRow("top-left corner") << int(Qt::LeftEdge | Qt::TopEdge) << QPoint(10, 10)
                                     << QRect(110, 110, 990, 690);
    QTest::newRow("right edge stops at the minimum")
        << int(Qt::RightEdge) << QPoint(-500, 0) << QRect(100, 100, 900, 700);
    QTest::newRow("left edge stops at the minimum, right stays")
        << int(Qt::LeftEdge) << QPoint(500, 0) << QRect(200, 100, 900, 700);
    QTest::newRow("top edge stops at the minimum, bottom stays")
        << int(Qt::TopEdge) << QPoint(0, 400) << QRect(100, 200, 1000, 600);
    QTest::newRow("corner stops at the minimum both ways")
        << int(Qt::RightEdge | Qt::BottomEdge) << QPoint(-800, -800) << QRect(100, 100, 900, 600);
}

void TestShell::resizeRule()
{
    QFETCH(int, edges);
    QFETCH(QPoint, delta);
    QFETCH(QRect, expected);
    QCOMPARE(FrameGrip::resized(QRect(100, 100, 1000, 700), Qt::Edges(edges), delta, QSize(900, 600)),
             expected);
}

void TestShell::edgesResizeTheWindow_data()
{
    QTest::addColumn<QPoint>("pressFromBottomRight"); // press point, from the window's bottom-right pixel
    QTest::addColumn<QPoint>("pressFromTopLeft");     // used when the first is null
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("right edge, over the page")
        << QPoint(-2, -300) << QPoint() << QPoint(60, 0) << QSize(1060, 700);
    QTest::newRow("bottom edge, over the page")
        << QPoint(-400, -1) << QPoint() << QPoint(0, 40) << QSize(1000, 740);
    QTest::newRow("bottom-right corner") << QPoint(-1, -1) << QPoint() << QPoint(-50, -30) << QSize(950, 670);
    QTest::newRow("left edge, over the title bar")
        << QPoint() << QPoint(1, 50) << QPoint(-20, 0) << QSize(1020, 700);
    QTest::newRow("below the minimum stops there")
        << QPoint(-1, -1) << QPoint() << QPoint(-400, -400) << QSize(900, 600);
    QTest::newRow("inside the window: no resize")
        << QPoint(-20, -20) << QPoint() << QPoint(60, 60) << QSize(1000, 700);
}

void TestShell::edgesResizeTheWindow()
{
    QFETCH(QPoint, pressFromBottomRight);
    QFETCH(QPoint, pressFromTopLeft);
    QFETCH(QPoint, delta);
    QFETCH(QSize, expected);
    Lumo w;
    w.showWidget();
    w.setGeometry(QRect(50, 50, 1000, 700));
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QPoint at = pressFromTopLeft.isNull() ? QPoint(w.width() - 1, w.height() - 1) + pressFromBottomRight
                                                : pressFromTopLeft;
    // The press lands on whichever child covers the border, as a real click would.
    QWidget *target = w.childAt(at) ? w.childAt(at) : &w;
    const QPoint local = target->mapFrom(&w, at);
    sendMouse(target, QEvent::MouseButtonPress, local, Qt::LeftButton, Qt::LeftButton);
    sendMouse(target, QEvent::MouseMove, local + delta, Qt::NoButton, Qt::LeftButton);
    sendMouse(target, QEvent::MouseButtonRelease, local + delta, Qt::LeftButton, Qt::NoButton);
    QCOMPARE(w.size(), expected);
    // Maximised, the edges do not resize.
    w.showMax();
    const QSize maximised = w.size();
    sendMouse(&w, QEvent::MouseButtonPress, QPoint(w.width() - 1, w.height() - 1), Qt::LeftButton,
              Qt::LeftButton);
    sendMouse(&w, QEvent::MouseMove, QPoint(w.width() - 101, w.height() - 101), Qt::NoButton, Qt::LeftButton);
    sendMouse(&w, QEvent::MouseButtonRelease, QPoint(w.width() - 101, w.height() - 101), Qt::LeftButton,
              Qt::NoButton);
    QCOMPARE(w.size(), maximised);
}

void TestShell::edgeCursors_data()
{
    QTest::addColumn<QPoint>("fromTopLeft"); // negative coordinates count from the right or bottom
    QTest::addColumn<int>("shape");          // -1: no resize cursor
    QTest::newRow("left edge") << QPoint(1, 300) << int(Qt::SizeHorCursor);
    QTest::newRow("right edge") << QPoint(-2, 300) << int(Qt::SizeHorCursor);
    QTest::newRow("bottom edge") << QPoint(400, -1) << int(Qt::SizeVerCursor);
    QTest::newRow("top edge") << QPoint(400, 2) << int(Qt::SizeVerCursor);
    QTest::newRow("top-left corner") << QPoint(0, 0) << int(Qt::SizeFDiagCursor);
    QTest::newRow("bottom-right corner") << QPoint(-1, -1) << int(Qt::SizeFDiagCursor);
    QTest::newRow("top-right corner") << QPoint(-1, 0) << int(Qt::SizeBDiagCursor);
    QTest::newRow("bottom-left corner") << QPoint(0, -1) << int(Qt::SizeBDiagCursor);
    QTest::newRow("inside") << QPoint(400, 300) << -1;
}

void TestShell::edgeCursors()
{
    QFETCH(QPoint, fromTopLeft);
    QFETCH(int, shape);
    Lumo w;
    w.showWidget();
    w.setGeometry(QRect(50, 50, 1000, 700));
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QPoint at((fromTopLeft.x() + w.width()) % w.width(), (fromTopLeft.y() + w.height()) % w.height());
    QWidget *target = w.childAt(at) ? w.childAt(at) : &w;
    sendMouse(target, QEvent::MouseMove, target->mapFrom(&w, at), Qt::NoButton, Qt::NoButton);
    const QCursor *cursor = QApplication::overrideCursor();
    QCOMPARE(cursor ? int(cursor->shape()) : -1, shape);
    // Leaving the window gives the cursor back.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&w, &leave);
    QVERIFY(!QApplication::overrideCursor());
}

void TestShell::drag_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("held");
    QTest::addColumn<bool>("moves");
    QTest::newRow("left button moves") << int(Qt::LeftButton) << int(Qt::LeftButton) << true;
    QTest::newRow("right button does not") << int(Qt::RightButton) << int(Qt::RightButton) << false;
    QTest::newRow("left and right together do not")
        << int(Qt::LeftButton) << int(Qt::LeftButton | Qt::RightButton) << false;
}

void TestShell::drag()
{
    QFETCH(int, button);
    QFETCH(int, held);
    QFETCH(bool, moves);
    Lumo w;
    w.showWidget();
    w.move(100, 100);
    const QPoint start = w.pos();
    TitleWidget *title = w.titleWidget();
    sendMouse(title, QEvent::MouseButtonPress, QPoint(300, 10), Qt::MouseButton(button),
              Qt::MouseButtons(held));
    sendMouse(title, QEvent::MouseMove, QPoint(340, 30), Qt::NoButton, Qt::MouseButtons(held));
    sendMouse(title, QEvent::MouseButtonRelease, QPoint(340, 30), Qt::MouseButton(button), Qt::NoButton);
    QCOMPARE(w.pos(), moves ? start + QPoint(40, 20) : start);
    // After the release a move with the button held no longer drags.
    const QPoint after = w.pos();
    sendMouse(title, QEvent::MouseMove, QPoint(400, 60), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(w.pos(), after);
}

void TestShell::skinChoiceIsStored()
{
    QVERIFY(!QFile::exists(userIniPath()));
    {
        Lumo w;
        QCOMPARE(w.skin(), QStringLiteral(":/skin/19_big"));
        QVERIFY(!QFile::exists(userIniPath()));
        QSignalSpy spy(w.skinWidget(), &SkinWidget::changeSkin);
        QTest::mouseClick(w.skinWidget()->tile(5)->useButton(), Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral(":/skin/5_big"));
        QCOMPARE(w.skin(), QStringLiteral(":/skin/5_big"));
        // Clicking the tile itself chooses too.
        QTest::mousePress(w.skinWidget()->tile(2), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QCOMPARE(w.skin(), QStringLiteral(":/skin/2_big"));
    }
    QSettings ini(userIniPath(), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("config/skin")).toString(), QStringLiteral(":/skin/2_big"));
    Lumo again;
    QCOMPARE(again.skin(), QStringLiteral(":/skin/2_big"));
}

void TestShell::skinPages_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::newRow("page 1") << QStringLiteral("1") << 1 << QStringLiteral("绽放生命")
                            << QStringLiteral("神秘夜空");
    QTest::newRow("page 2 starts with the repeated name")
        << QStringLiteral("2") << 2 << QStringLiteral("神秘夜空") << QStringLiteral("愤怒的小鸟");
    QTest::newRow("page 3") << QStringLiteral("3") << 3 << QStringLiteral("优雅爵士")
                            << QStringLiteral("欢度国庆");
    QTest::newRow("last") << QStringLiteral("last") << 3 << QStringLiteral("优雅爵士")
                          << QStringLiteral("欢度国庆");
    QTest::newRow("page 9 is ignored")
        << QStringLiteral("9") << 1 << QStringLiteral("绽放生命") << QStringLiteral("神秘夜空");
}

void TestShell::skinPages()
{
    QFETCH(QString, request);
    QFETCH(int, page);
    QFETCH(QString, first);
    QFETCH(QString, last);
    SkinWidget skins;
    skins.showSkin(request);
    QCOMPARE(skins.currentPage(), page);
    const QStringList names = tileNames(skins);
    QCOMPARE(names.first(), first);
    QCOMPARE(names.last(), last);
    QCOMPARE(skins.tile(0)->bigPath(), QStringLiteral(":/skin/%1_big").arg((page - 1) * 8));
}

void TestShell::skinLinks()
{
    SkinWidget skins;
    skins.show();
    auto visible = [&] {
        return QList<bool>{skins.firstLink()->isVisible(), skins.previousLink()->isVisible(),
                           skins.nextLink()->isVisible(), skins.lastLink()->isVisible()};
    };
    QCOMPARE(visible(), (QList<bool>{false, false, true, true}));
    QTest::mouseClick(skins.nextLink(), Qt::LeftButton);
    QCOMPARE(skins.currentPage(), 2);
    QCOMPARE(visible(), (QList<bool>{false, true, true, false}));
    QTest::mouseClick(skins.pageButton(3), Qt::LeftButton);
    QCOMPARE(skins.currentPage(), 3);
    QCOMPARE(visible(), (QList<bool>{true, true, false, false}));
    skins.showSkin(QStringLiteral("next"));
    QCOMPARE(skins.currentPage(), 3);
    QTest::mouseClick(skins.firstLink(), Qt::LeftButton);
    QCOMPARE(skins.currentPage(), 1);
    skins.showSkin(QStringLiteral("previous"));
    QCOMPARE(skins.currentPage(), 1);
}

void TestShell::escapeClosesSkinDialog()
{
    SkinWidget skins;
    skins.show();
    QVERIFY(QTest::qWaitForWindowExposed(&skins));
    QTest::keyClick(&skins, Qt::Key_Escape);
    QVERIFY(!skins.isVisible());
}

void TestShell::skinNameRule()
{
    QCOMPARE(skinNames().size(), 23);
    QCOMPARE(skinName(7), QStringLiteral("神秘夜空"));
    QCOMPARE(skinName(8), QStringLiteral("神秘夜空"));
    QCOMPARE(skinName(9), QStringLiteral("蓝衣卫士"));
    for (const QString &name : skinNames())
        QVERIFY2(!name.contains(QStringLiteral("360")), qPrintable(name));
    QCOMPARE(skinName(19), QStringLiteral("蓝色经典"));
    QCOMPARE(skinName(23), QStringLiteral("欢度国庆"));
    QCOMPARE(skinName(24), QString());
}

void TestShell::readConfig_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("value");
    QTest::newRow("stored key") << QStringLiteral("./user.ini") << QStringLiteral("skin") << true
                                << QStringLiteral(":/skin/3_big");
    QTest::newRow("key the file lacks")
        << QStringLiteral("./user.ini") << QStringLiteral("colour") << true << QString();
    QTest::newRow("missing file") << QStringLiteral("./none.ini") << QStringLiteral("skin") << true
                                  << QString();
    QTest::newRow("empty key") << QStringLiteral("./user.ini") << QString() << false << QString();
    QTest::newRow("empty file name") << QString() << QStringLiteral("skin") << false << QString();
}

void TestShell::readConfig()
{
    QFETCH(QString, file);
    QFETCH(QString, key);
    QFETCH(bool, result);
    QFETCH(QString, value);
    QVERIFY(writeConfigValue(QStringLiteral("./user.ini"), QStringLiteral("skin"),
                             QStringLiteral(":/skin/3_big")));
    QString read = QStringLiteral("left over");
    QCOMPARE(readConfigValue(file, key, read), result);
    QCOMPARE(read, value);
}

void TestShell::writeConfigRejectsEmptyNames()
{
    QVERIFY(!writeConfigValue(QString(), QStringLiteral("skin"), QStringLiteral("x")));
    QVERIFY(!writeConfigValue(QStringLiteral("./user.ini"), QString(), QStringLiteral("x")));
    QVERIFY(!QFile::exists(QStringLiteral("user.ini")));
}

void TestShell::pushButtonClicksOnReleaseAnywhere()
{
    QWidget parent;
    parent.resize(200, 100);
    auto *button = new PushButton(&parent);
    button->setImageStrip(QStringLiteral(":/sysButton/close_button"));
    QCOMPARE(button->width(), QPixmap(QStringLiteral(":/sysButton/close_button")).width() / 4);
    parent.show();
    QSignalSpy clicked(button, &PushButton::clicked);
    QTest::mousePress(button, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
    QCOMPARE(button->state(), 2);
    QTest::mouseRelease(button, Qt::LeftButton, Qt::NoModifier, QPoint(150, 80));
    QCOMPARE(clicked.count(), 1);
    // A right press is not a press.
    QTest::mousePress(button, Qt::RightButton, Qt::NoModifier, QPoint(3, 3));
    QTest::mouseRelease(button, Qt::RightButton, Qt::NoModifier, QPoint(3, 3));
    QCOMPARE(clicked.count(), 1);
}

void TestShell::pageOption_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("error");
    QTest::newRow("no option") << QStringList{"lumo"} << 0 << false;
    QTest::newRow("--page 2") << QStringList{"lumo", "--page", "2"} << 2 << false;
    QTest::newRow("--page=6") << QStringList{"lumo", "--page=6"} << 6 << false;
    QTest::newRow("--page 0") << QStringList{"lumo", "--page", "0"} << 0 << false;
    QTest::newRow("--page 7 is out of range") << QStringList{"lumo", "--page", "7"} << 0 << true;
    QTest::newRow("--page -1") << QStringList{"lumo", "--page", "-1"} << 0 << true;
    QTest::newRow("--page abc") << QStringList{"lumo", "--page", "abc"} << 0 << true;
    QTest::newRow("--page without a value") << QStringList{"lumo", "--page"} << 0 << true;
}

void TestShell::pageOption()
{
    QFETCH(QStringList, args);
    QFETCH(int, page);
    QFETCH(bool, error);
    QString message;
    QCOMPARE(pageFromArguments(args, &message), page);
    QCOMPARE(!message.isEmpty(), error);
}

void TestShell::sizeOption_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QSize>("size");
    QTest::newRow("no option") << QStringList{"lumo"} << QSize();
    QTest::newRow("900x600") << QStringList{"lumo", "--page", "2", "--size", "900x600"} << QSize(900, 600);
    QTest::newRow("1280x800") << QStringList{"lumo", "--size", "1280x800"} << QSize(1280, 800);
    QTest::newRow("no value") << QStringList{"lumo", "--size"} << QSize();
    QTest::newRow("one number") << QStringList{"lumo", "--size", "900"} << QSize();
    QTest::newRow("not numbers") << QStringList{"lumo", "--size", "axb"} << QSize();
    QTest::newRow("zero width") << QStringList{"lumo", "--size", "0x600"} << QSize();
    QTest::newRow("negative") << QStringList{"lumo", "--size", "-900x600"} << QSize();
    QTest::newRow("absurdly large") << QStringList{"lumo", "--size", "99999999x600"} << QSize();
}

void TestShell::sizeOption()
{
    QFETCH(QStringList, args);
    QFETCH(QSize, size);
    QCOMPARE(sizeFromArguments(args), size);
}

void TestShell::helpDocumentsAreFound()
{
    const QString name = QStringLiteral("使用帮助.pdf");
    // The test executable has no help folder beside it, and the working directory has none yet.
    QCOMPARE(helpDocumentPath(name), QString());
    QVERIFY(QDir().mkpath(QStringLiteral("help")));
    QFile f(QStringLiteral("help/") + name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QCOMPARE(helpDocumentPath(name), QDir::currentPath() + QStringLiteral("/help/") + name);
}

void TestShell::chineseTranslationAndFont()
{
    const QLocale before;
    QTranslator translator;
    QVERIFY(installChineseTranslation(qApp, &translator));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    // The toolkit's dialogs write dates the Chinese way ("12月", not "Dec").
    QCOMPARE(QLocale().toString(QDate(2026, 12, 10), QStringLiteral("MMM")), QStringLiteral("12月"));
    QCoreApplication::removeTranslator(&translator);
    QLocale::setDefault(before);
    const QFont font = applicationFont();
    QCOMPARE(font.family(), QStringLiteral("微软雅黑"));
    QCOMPARE(font.pointSize(), 9);
    // Whatever the family resolves to must draw Chinese.
    QVERIFY(QFontMetrics(font).inFont(QChar(u'税')));
}

void TestShell::chineseDatesInDialogs_data()
{
    QTest::addColumn<QByteArray>("all");
    QTest::addColumn<QByteArray>("time");
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<QByteArray>("timeAfter");
    QTest::addColumn<QByteArray>("numericAfter"); // what LC_ALL gave the other categories
    QTest::newRow("LC_ALL=C: spread over the others, dates Chinese")
        << QByteArray("C") << QByteArray() << QByteArray() << QByteArray("zh_CN.UTF-8") << QByteArray("C");
    QTest::newRow("an English desktop") << QByteArray() << QByteArray() << QByteArray("en_US.UTF-8")
                                        << QByteArray("zh_CN.UTF-8") << QByteArray();
    QTest::newRow("nothing set") << QByteArray() << QByteArray() << QByteArray() << QByteArray("zh_CN.UTF-8")
                                 << QByteArray();
    QTest::newRow("a Chinese desktop is left alone")
        << QByteArray() << QByteArray() << QByteArray("zh_CN.UTF-8") << QByteArray() << QByteArray();
    QTest::newRow("a Chinese LC_TIME is left alone")
        << QByteArray() << QByteArray("zh_TW.UTF-8") << QByteArray("C") << QByteArray("zh_TW.UTF-8")
        << QByteArray();
    QTest::newRow("a Chinese LC_ALL is left alone")
        << QByteArray("zh_CN.UTF-8") << QByteArray() << QByteArray() << QByteArray() << QByteArray();
}

void TestShell::chineseDatesInDialogs()
{
    QFETCH(QByteArray, all);
    QFETCH(QByteArray, time);
    QFETCH(QByteArray, lang);
    const char *const names[] = {"LC_ALL", "LC_TIME", "LANG", "LC_NUMERIC"};
    QList<QByteArray> saved;
    for (const char *name : names)
        saved << qgetenv(name);
    const auto set = [](const char *name, const QByteArray &value) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    };
    set("LC_ALL", all);
    set("LC_TIME", time);
    set("LANG", lang);
    qunsetenv("LC_NUMERIC");
    preferChineseDates();
    const QByteArray allAfter = qgetenv("LC_ALL");
    const QByteArray timeAfter = qgetenv("LC_TIME");
    const QByteArray numericAfter = qgetenv("LC_NUMERIC");
    const QByteArray langAfter = qgetenv("LANG");
    for (qsizetype i = 0; i < saved.size(); ++i)
        set(names[i], saved[i]);
    QCOMPARE(allAfter, all.startsWith("zh") ? all : QByteArray());
    QTEST(timeAfter, "timeAfter");
    QTEST(numericAfter, "numericAfter");
    QCOMPARE(langAfter, lang);
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
