#include "widgets/formulabox.h"
#include "widgets/formuladlg.h"
#include "widgets/plistview.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <functional>

using namespace Qt::StringLiterals;

class TestFormulaDlg : public QObject
{
    Q_OBJECT

private slots:
    void dialogTexts();
    void startsOnSourceColumns();
    void selectingShowsHelp_data();
    void selectingShowsHelp();
    void otherCategoryStartsAtItsFirstClass();
    void doubleClickInserts_data();
    void doubleClickInserts();
    void insertionReplacesSelection();
    void toolButtonInserts_data();
    void toolButtonInserts();
    void boxTakesBuilderText_data();
    void boxTakesBuilderText();
    void boxHandsOverItsColumns();
    void boxMark_data();
    void boxMark();
    void boxGoneWhileBuilderOpen();
};

namespace {

const QStringList kSources{QString(), u"A"_s, u"B"_s, u"C"_s};

QStringList shownItems(const PListView *view)
{
    const auto *model = qobject_cast<const QStringListModel *>(view->model());
    return model ? model->stringList() : QStringList();
}

void choose(FormulaDlg &dlg, int category, int classRow, int itemRow)
{
    dlg.catalogView()->setCurrentIndex(dlg.catalogView()->model()->index(category, 0));
    dlg.classView()->setCurrentIndex(dlg.classView()->model()->index(classRow, 0));
    dlg.detailView()->setCurrentIndex(dlg.detailView()->model()->index(itemRow, 0));
}

void doubleClick(PListView *view, int row)
{
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    const QPoint at = view->visualRect(index).center();
    // A double click as the window system delivers it: press, release, then the double click
    // event and its release (QTest's double click alone carries no press).
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
}

// Runs `act` on the builder once its event loop runs; a builder still open after five seconds is
// rejected, so a broken test fails instead of hanging.
void whenBuilderOpens(const std::function<void(FormulaDlg *)> &act, bool *seen)
{
    *seen = false;
    QTimer::singleShot(0, qApp, [act, seen] {
        auto *dlg = qobject_cast<FormulaDlg *>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        *seen = true;
        act(dlg);
    });
    QTimer::singleShot(5000, qApp, [] {
        if (auto *dlg = qobject_cast<FormulaDlg *>(QApplication::activeModalWidget()))
            dlg->reject();
    });
}

} // namespace

void TestFormulaDlg::dialogTexts()
{
    FormulaDlg dlg(kSources);
    QCOMPARE(dlg.windowTitle(), u"表达式构造器"_s);
    QVERIFY(dlg.isModal());
    QCOMPARE(dlg.okButton()->text(), u"确定(&O)"_s);
    QCOMPARE(dlg.cancelButton()->text(), u"取消(&C)"_s);
    QCOMPARE(dlg.toolBars().size(), 3);
    QCOMPARE(dlg.toolBars().at(0)->windowTitle(), u"算术运算符"_s);
    QCOMPARE(dlg.toolBars().at(1)->windowTitle(), u"逻辑运算符"_s);
    QCOMPARE(dlg.toolBars().at(2)->windowTitle(), u"括号"_s);
    QCOMPARE(dlg.toolBars().at(0)->actions().size(), 4);
    QCOMPARE(dlg.toolBars().at(1)->actions().size(), 4);
    QCOMPARE(dlg.toolBars().at(2)->actions().size(), 2);
    // Every category shows its icon from the compiled-in images.
    for (int row = 0; row < 4; ++row) {
        const auto icon = dlg.catalogView()->model()->index(row, 0).data(Qt::DecorationRole).value<QIcon>();
        QVERIFY2(!icon.pixmap(16, 16).isNull(), qPrintable(QString::number(row)));
    }

    // A picture to look at when asked for: LUMO_GRAB_DIR=/tmp ./tst_formuladlg dialogTexts
    const QString grabDir = qEnvironmentVariable("LUMO_GRAB_DIR");
    if (!grabDir.isEmpty()) {
        dlg.setFormula(u" [月应发工资] * 0.1 + C"_s);
        choose(dlg, OperatorCategory, 1, 3);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QVERIFY(dlg.grab().save(grabDir + u"/formuladlg.png"_s));
    }
}

void TestFormulaDlg::startsOnSourceColumns()
{
    FormulaDlg dlg(kSources);
    QCOMPARE(dlg.catalogView()->currentIndex().row(), 0);
    QCOMPARE(dlg.classView()->currentIndex().row(), 0);
    QCOMPARE(dlg.detailView()->currentIndex().row(), 0);
    QCOMPARE(shownItems(dlg.classView()), (QStringList{u"来源数据列"_s, u"内置系统列"_s}));
    QCOMPARE(shownItems(dlg.detailView()), kSources);
    QCOMPARE(dlg.helpLabel()->text(), QString());
    QCOMPARE(dlg.formula(), QString());
}

void TestFormulaDlg::selectingShowsHelp_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<int>("classRow");
    QTest::addColumn<int>("itemRow");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("helpPart"); // a part of the help text; empty: no help
    QTest::newRow("Pi") << 1 << 0 << 2 << u"Pi"_s << u"圆周率 3.1415926"_s;
    QTest::newRow("Null") << 1 << 0 << 1 << u"Null"_s << u"虚无"_s;
    QTest::newRow("False") << 1 << 0 << 0 << u"False"_s << u"假"_s;
    QTest::newRow("/") << 2 << 0 << 3 << u"/"_s << u"两个数字相除求商。"_s;
    QTest::newRow("<=") << 2 << 1 << 1 << u"<="_s << u"判断数字1是否小于等于数字2。"_s;
    QTest::newRow("||") << 2 << 2 << 1 << u"||"_s << u"判断条件1或条件2其中之一是否为真。"_s;
    QTest::newRow("floor(数字)") << 3 << 0 << 13 << u"floor(数字)"_s
                                 << u"计算小于或者等于指定数字的最大整数。"_s;
    QTest::newRow("abs(数字), the last") << 3 << 0 << 14 << u"abs(数字)"_s << u"计算指定数字的绝对值。"_s;
    QTest::newRow("target column 月应发工资") << 0 << 1 << 2 << u"月应发工资"_s << QString();
    QTest::newRow("source column C") << 0 << 0 << 3 << u"C"_s << QString();
}

void TestFormulaDlg::selectingShowsHelp()
{
    QFETCH(int, category);
    QFETCH(int, classRow);
    QFETCH(int, itemRow);
    QFETCH(QString, item);
    QFETCH(QString, helpPart);
    FormulaDlg dlg(kSources);
    // Leave a help text behind first, so an item without help must clear it.
    choose(dlg, ConstantCategory, 0, 3);
    QVERIFY(!dlg.helpLabel()->text().isEmpty());
    choose(dlg, category, classRow, itemRow);
    QCOMPARE(dlg.detailView()->currentIndex().data().toString(), item);
    QCOMPARE(dlg.helpLabel()->text(), BuilderCatalog::helpText(item));
    if (helpPart.isEmpty())
        QCOMPARE(dlg.helpLabel()->text(), QString());
    else
        QVERIFY2(dlg.helpLabel()->text().contains(helpPart), qPrintable(dlg.helpLabel()->text()));
    QCOMPARE(dlg.helpLabel()->textFormat(), Qt::RichText);
}

void TestFormulaDlg::otherCategoryStartsAtItsFirstClass()
{
    FormulaDlg dlg(kSources);
    choose(dlg, OperatorCategory, 2, 1);
    QCOMPARE(shownItems(dlg.detailView()), (QStringList{u"&&"_s, u"||"_s}));

    dlg.catalogView()->setCurrentIndex(dlg.catalogView()->model()->index(FunctionCategory, 0));
    QCOMPARE(shownItems(dlg.classView()), QStringList{u"<全部>"_s});
    QCOMPARE(dlg.classView()->currentIndex().row(), 0);
    QCOMPARE(dlg.detailView()->currentIndex().data().toString(), u"sin(数字)"_s);
    QVERIFY(dlg.helpLabel()->text().contains(u"计算数字正弦值。"_s));

    dlg.catalogView()->setCurrentIndex(dlg.catalogView()->model()->index(OperatorCategory, 0));
    QCOMPARE(dlg.classView()->currentIndex().data().toString(), u"算术"_s);
    QCOMPARE(shownItems(dlg.detailView()), (QStringList{u"+"_s, u"-"_s, u"*"_s, u"/"_s}));
    QVERIFY(dlg.helpLabel()->text().contains(u"两个数字相加求和。"_s));

    dlg.catalogView()->setCurrentIndex(dlg.catalogView()->model()->index(SourceCategory, 0));
    dlg.classView()->setCurrentIndex(dlg.classView()->model()->index(TargetColumnClass, 0));
    QCOMPARE(shownItems(dlg.detailView()), BuilderCatalog::builtInColumns());
}

void TestFormulaDlg::doubleClickInserts_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<int>("classRow");
    QTest::addColumn<int>("itemRow");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cursor"); // -1: where setFormula leaves it
    QTest::addColumn<QString>("expected");
    QTest::newRow("target column in brackets into an empty formula")
        << 0 << 1 << 2 << QString() << -1 << u" [月应发工资] "_s;
    QTest::newRow("source column C after A+") << 0 << 0 << 3 << u"A+"_s << -1 << u"A+ C "_s;
    QTest::newRow("source column at the start") << 0 << 0 << 1 << u"*2"_s << 0 << u" A *2"_s;
    QTest::newRow("constant in the middle") << 1 << 0 << 3 << u"A*B"_s << 2 << u"A* True B"_s;
    QTest::newRow("function text as it stands") << 3 << 0 << 11 << u"1+"_s << -1 << u"1+ sqrt(数字) "_s;
    QTest::newRow("logical operator") << 2 << 2 << 0 << u"A>1"_s << -1 << u"A>1 && "_s;
    QTest::newRow("comparison operator is not bracketed") << 2 << 1 << 2 << u"A"_s << -1 << u"A <> "_s;
}

void TestFormulaDlg::doubleClickInserts()
{
    QFETCH(int, category);
    QFETCH(int, classRow);
    QFETCH(int, itemRow);
    QFETCH(QString, text);
    QFETCH(int, cursor);
    QFETCH(QString, expected);
    FormulaDlg dlg(kSources);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    dlg.setFormula(text);
    if (cursor >= 0) {
        QTextCursor c = dlg.editor()->textCursor();
        c.setPosition(cursor);
        dlg.editor()->setTextCursor(c);
    }
    choose(dlg, category, classRow, 0);
    doubleClick(dlg.detailView(), itemRow);
    QCOMPARE(dlg.formula(), expected);
    // The cursor follows the insertion, so the next item goes after it.
    doubleClick(dlg.detailView(), itemRow);
    const QString piece = BuilderCatalog::itemInsertion(
        category, classRow, dlg.detailView()->model()->index(itemRow, 0).data().toString());
    const int at = (cursor >= 0 ? cursor : int(text.size())) + int(piece.size());
    QCOMPARE(dlg.formula(), expected.left(at) + piece + expected.mid(at));
}

void TestFormulaDlg::insertionReplacesSelection()
{
    // The user picks a function, then replaces its placeholder by a column.
    FormulaDlg dlg(kSources);
    dlg.setFormula(u"sin(数字)"_s);
    QTextCursor c = dlg.editor()->textCursor();
    c.setPosition(4);
    c.setPosition(6, QTextCursor::KeepAnchor);
    dlg.editor()->setTextCursor(c);
    choose(dlg, SourceCategory, SourceColumnClass, 3);
    dlg.insertDetail(dlg.detailView()->currentIndex());
    QCOMPARE(dlg.formula(), u"sin( C )"_s);
    // An invalid index inserts nothing.
    dlg.insertDetail(QModelIndex());
    QCOMPARE(dlg.formula(), u"sin( C )"_s);
}

void TestFormulaDlg::toolButtonInserts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<int>("bar");
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<QString>("icon");
    QTest::newRow("加号") << u"加号"_s << u"插入加号"_s << 0 << u"+"_s << u":/sysButton/plus"_s;
    QTest::newRow("减号") << u"减号"_s << u"插入减号"_s << 0 << u"-"_s << u":/sysButton/subtract"_s;
    QTest::newRow("乘号") << u"乘号"_s << u"插入乘号"_s << 0 << u"*"_s << u":/sysButton/star"_s;
    QTest::newRow("除号") << u"除号"_s << u"插入除号"_s << 0 << u"/"_s << u":/sysButton/divide"_s;
    QTest::newRow("等于号 inserts ==")
        << u"等于号"_s << u"插入等于号"_s << 1 << u"=="_s << u":/sysButton/equal"_s;
    QTest::newRow("大于号") << u"大于号"_s << u"插入大于号"_s << 1 << u">"_s << u":/sysButton/great"_s;
    QTest::newRow("小于号") << u"小于号"_s << u"插入小于号"_s << 1 << u"<"_s << u":/sysButton/little"_s;
    QTest::newRow("不等号") << u"不等号"_s << u"插入不等号"_s << 1 << u"<>"_s << u":/sysButton/unequal"_s;
    QTest::newRow("左括号") << u"左括号"_s << u"插入左括号"_s << 2 << u"("_s << u":/sysButton/lblacket"_s;
    QTest::newRow("右括号") << u"右括号"_s << u"插入右括号"_s << 2 << u")"_s << u":/sysButton/rblacket"_s;
}

void TestFormulaDlg::toolButtonInserts()
{
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(int, bar);
    QFETCH(QString, inserted);
    QFETCH(QString, icon);
    FormulaDlg dlg(kSources);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QAction *action = nullptr;
    for (QAction *a : dlg.toolBars().at(bar)->actions()) {
        if (a->text() == text)
            action = a;
    }
    QVERIFY(action);
    QCOMPARE(action->toolTip(), toolTip);
    const QImage shown = action->icon().pixmap(16, 16).toImage();
    QVERIFY(!shown.isNull());
    QCOMPARE(shown, QIcon(icon).pixmap(16, 16).toImage());

    dlg.setFormula(u"AB"_s);
    QTextCursor c = dlg.editor()->textCursor();
    c.setPosition(1);
    dlg.editor()->setTextCursor(c);
    auto *button = qobject_cast<QToolButton *>(dlg.toolBars().at(bar)->widgetForAction(action));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(dlg.formula(), u"A "_s + inserted + u" B"_s);
    QVERIFY(dlg.editor()->hasFocus());
}

void TestFormulaDlg::boxTakesBuilderText_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("typed");  // appended at the editor's cursor
    QTest::addColumn<QString>("button"); // "ok" (pressed only), "cancel", "escape"
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("changes"); // editTextChanged signals
    QTest::newRow("OK takes the edited text") << u"C"_s << u"*1.1"_s << u"ok"_s << u"C*1.1"_s << 1;
    QTest::newRow("OK on an empty box") << QString() << u"A+B"_s << u"ok"_s << u"A+B"_s << 1;
    QTest::newRow("OK unchanged keeps the text") << u"A+B"_s << QString() << u"ok"_s << u"A+B"_s << 0;
    QTest::newRow("cancel leaves the box unchanged") << u"C"_s << u"*1.1"_s << u"cancel"_s << u"C"_s << 0;
    QTest::newRow("escape leaves the box unchanged") << u"C"_s << u"*1.1"_s << u"escape"_s << u"C"_s << 0;
    QTest::newRow("a line break becomes a space") << u"A"_s << u"\n+B"_s << u"ok"_s << u"A +B"_s << 1;
}

void TestFormulaDlg::boxTakesBuilderText()
{
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(QString, button);
    QFETCH(QString, after);
    QFETCH(int, changes);
    FormulaBox box;
    box.setChoices(kSources);
    box.setEditText(before);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QSignalSpy spy(&box, &FormulaBox::editTextChanged);
    QString seenText;
    bool seen = false;
    whenBuilderOpens(
        [&](FormulaDlg *dlg) {
            seenText = dlg->formula();
            dlg->editor()->insertPlainText(typed);
            if (button == u"ok"_s)
                QTest::mousePress(dlg->okButton(), Qt::LeftButton); // acts on press, not on release
            else if (button == u"cancel"_s)
                QTest::mousePress(dlg->cancelButton(), Qt::LeftButton);
            else
                QTest::keyClick(dlg, Qt::Key_Escape);
        },
        &seen);
    QTest::mouseClick(box.editButton(), Qt::LeftButton);
    QVERIFY(seen);
    QCOMPARE(seenText, before);
    QCOMPARE(box.editText(), after);
    QCOMPARE(spy.count(), changes);
    // The builder is gone once it has answered.
    QVERIFY(box.findChildren<FormulaDlg *>().isEmpty());
}

void TestFormulaDlg::boxHandsOverItsColumns()
{
    FormulaBox box;
    const QStringList columns{QString(), u"A"_s, u"D"_s, u"AA"_s};
    box.setChoices(columns);
    QCOMPARE(box.editButton()->text(), u"…"_s);
    QStringList sources, shown, targets;
    QString title;
    bool seen = false;
    whenBuilderOpens(
        [&](FormulaDlg *dlg) {
            title = dlg->windowTitle();
            sources = dlg->sourceColumns();
            shown = shownItems(dlg->detailView());
            choose(*dlg, SourceCategory, TargetColumnClass, 0);
            targets = shownItems(dlg->detailView());
            dlg->reject();
        },
        &seen);
    box.edit();
    QVERIFY(seen);
    QCOMPARE(title, u"表达式构造器"_s);
    QCOMPARE(sources, columns);
    QCOMPARE(shown, columns);
    QCOMPARE(targets, BuilderCatalog::builtInColumns());
}

void TestFormulaDlg::boxMark_data()
{
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QString>("label"); // empty: no label
    QTest::newRow("required mark") << u"*"_s << u"<font color=red>*</font>"_s;
    QTest::newRow("a longer mark") << u"必填"_s << u"<font color=red>必填</font>"_s;
    QTest::newRow("no mark, no label") << QString() << QString();
}

void TestFormulaDlg::boxMark()
{
    QFETCH(QString, mark);
    QFETCH(QString, label);
    FormulaBox box(mark);
    QCOMPARE(box.mark(), mark);
    if (label.isEmpty()) {
        QVERIFY(!box.markLabel());
        QVERIFY(box.findChildren<QLabel *>().isEmpty());
    } else {
        QVERIFY(box.markLabel());
        QCOMPARE(box.markLabel()->text(), label);
        QCOMPARE(box.markLabel()->textFormat(), Qt::RichText);
    }
    // The box without a mark, as the salary tables make it.
    FormulaBox plain;
    QVERIFY(!plain.markLabel());
    QVERIFY(plain.mark().isEmpty());
}

void TestFormulaDlg::boxGoneWhileBuilderOpen()
{
    auto *holder = new QWidget;
    QPointer<FormulaBox> box = new FormulaBox(holder);
    box->setEditText(u"A"_s);
    bool seen = false;
    whenBuilderOpens(
        [&](FormulaDlg *dlg) {
            dlg->editor()->insertPlainText(u"+B"_s);
            // The table holding the box is rebuilt while the builder is open.
            delete holder;
        },
        &seen);
    box->edit();
    QVERIFY(seen);
    QVERIFY(!box);
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TestFormulaDlg)
#include "tst_formuladlg.moc"
