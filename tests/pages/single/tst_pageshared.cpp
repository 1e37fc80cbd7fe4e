#include "pages/single/singlesavecalcwid.h"
#include "pagetest.h"
#include "shell/config.h"
#include "shell/lumo.h"
#include "widgets/historylist.h"
#include "widgets/historypanel.h"
#include "widgets/pagekit.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGraphicsEffect>
#include <QRadioButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <memory>

// What the four single-person pages share and must all do alike: history that is not flooded by
// repeats, unreadable entries reported, Enter to calculate, results greyed once the inputs change,
// the note on deductions above the wage, and a layout that fits the smallest window.
class TestPageShared : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void repeatWritesNothing_data();
    void repeatWritesNothing();
    void unreadableEntryIsReported_data();
    void unreadableEntryIsReported();
    void enterRunsCalculation_data();
    void enterRunsCalculation();
    void changedInputGreysResults_data();
    void changedInputGreysResults();
    void insuranceAboveWage_data();
    void insuranceAboveWage();
    void fitsTheSmallestWindow_data();
    void fitsTheSmallestWindow();
    void rightColumnOneWidth_data();
    void rightColumnOneWidth();

private:
    pagetest::TemporaryHome m_home;
};

namespace {

// The extension of each page's history files.
QString extensionOf(int function)
{
    switch (function) {
    case 0:
        return QStringLiteral("sc");
    case 2:
        return QStringLiteral("ssc");
    case 4:
        return QStringLiteral("ac");
    default:
        return QStringLiteral("ic");
    }
}

// The first amount a user fills in on each page.
QString amountCaption(int function)
{
    return function == 6 ? QStringLiteral("全年税后收入：") : QStringLiteral("月应发工资");
}

std::unique_ptr<QWidget> makePage(int function)
{
    return std::unique_ptr<QWidget>(Lumo::createPage(function, nullptr));
}

QDoubleSpinBox *amount(const QWidget *page, const QString &caption)
{
    return pagetest::inputFor<QDoubleSpinBox>(page, caption);
}

// Runs the calculation as the user would finish it: the planning page plans from its options
// panel, the others calculate from their button.
void run(QWidget *page, int function)
{
    QMetaObject::invokeMethod(page, function == 2 ? "start" : "calc");
}

// The page's result table, not its history list.
QTableWidget *resultTable(const QWidget *page)
{
    for (QTableWidget *table : page->findChildren<QTableWidget *>()) {
        if (table->horizontalHeaderItem(0) == nullptr ||
            table->horizontalHeaderItem(0)->text() != QStringLiteral("时间"))
            return table;
    }
    return nullptr;
}

QLabel *labelWithText(const QWidget *page, const QString &text)
{
    for (QLabel *label : page->findChildren<QLabel *>()) {
        if (label->text() == text)
            return label;
    }
    return nullptr;
}

bool isGreyed(const QWidget *widget)
{
    return !widget->isEnabled() || (widget->graphicsEffect() && widget->graphicsEffect()->isEnabled());
}

void addPageRows()
{
    QTest::addColumn<int>("function");
    QTest::newRow("0 单人个税计算") << 0;
    QTest::newRow("2 单人节税筹划") << 2;
    QTest::newRow("4 奖金分摊计算") << 4;
    QTest::newRow("6 年薪节税筹划") << 6;
}

} // namespace

void TestPageShared::init()
{
    QVERIFY(m_home.renew());
    QVERIFY(QDir::setCurrent(m_home.path()));
    // The pages of the 2011 rules; the current rules' pages have tests of their own.
    QVERIFY(writeConfigValue(userIniPath(), QStringLiteral("rules"), QStringLiteral("2011")));
}

void TestPageShared::repeatWritesNothing_data()
{
    addPageRows();
}

void TestPageShared::repeatWritesNothing()
{
    QFETCH(int, function);
    const auto page = makePage(function);
    QDoubleSpinBox *field = amount(page.get(), amountCaption(function));
    QVERIFY(field);
    field->setValue(8000);
    run(page.get(), function);
    run(page.get(), function); // a double-click
    QCOMPARE(pagetest::historyFiles(extensionOf(function)).size(), 1);
    field->setValue(9000);
    run(page.get(), function);
    QCOMPARE(pagetest::historyFiles(extensionOf(function)).size(), 2);
    // Only the newest entry counts: going back to earlier inputs is a new entry.
    field->setValue(8000);
    run(page.get(), function);
    QCOMPARE(pagetest::historyFiles(extensionOf(function)).size(), 3);
    // Thirty quick clicks keep the earlier entries.
    for (int i = 0; i < 30; ++i)
        run(page.get(), function);
    QCOMPARE(pagetest::historyFiles(extensionOf(function)).size(), 3);
}

void TestPageShared::unreadableEntryIsReported_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray garbage("not a record of ours");
    for (int function : {0, 2, 4, 6}) {
        QTest::addRow("%d garbage", function) << function << garbage;
        QTest::addRow("%d empty file", function) << function << QByteArray();
        // A sound head, then nothing: the list shows the row, the page cannot restore it.
        QByteArray head;
        QDataStream out(&head, QIODevice::WriteOnly);
        out.setVersion(kHistoryStreamVersion);
        out << QStringLiteral("26-01-01 12:00") << 1.0 << 2.0;
        QTest::addRow("%d head only", function) << function << head;
    }
}

void TestPageShared::unreadableEntryIsReported()
{
    QFETCH(int, function);
    QFETCH(QByteArray, bytes);
    QVERIFY(
        pagetest::writeBytes(historyDir() + QStringLiteral("260101120000.") + extensionOf(function), bytes));
    const auto page = makePage(function);
    auto *list = page->findChild<HistoryPanel *>()->list();
    QTRY_COMPARE(list->rowCount(), 1);
    QString title;
    const auto open = [&] {
        QMetaObject::invokeMethod(page.get(), "openHistory", Q_ARG(int, 0), Q_ARG(int, 0));
    };
    QCOMPARE(pagetest::modalText(
                 open, [](QWidget *) { return QString(); }, &title),
             kUnreadableHistoryText);
    QCOMPARE(title, QStringLiteral("信息提示"));
    // A sound entry opens without a word.
    amount(page.get(), amountCaption(function))->setValue(5000);
    run(page.get(), function);
    QCOMPARE(list->rowCount(), 2);
    amount(page.get(), amountCaption(function))->setValue(0);
    QCOMPARE(pagetest::modalText(open, [](QWidget *) { return QStringLiteral("a window opened"); }),
             QString());
    QCOMPARE(amount(page.get(), amountCaption(function))->value(), 5000.0);
}

void TestPageShared::enterRunsCalculation_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("key");
    for (int function : {0, 2, 4, 6}) {
        QTest::addRow("%d Return", function) << function << int(Qt::Key_Return);
        QTest::addRow("%d keypad Enter", function) << function << int(Qt::Key_Enter);
    }
}

void TestPageShared::enterRunsCalculation()
{
    QFETCH(int, function);
    QFETCH(int, key);
    const auto page = makePage(function);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page.get()));
    QDoubleSpinBox *field = amount(page.get(), amountCaption(function));
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("6000"));
    QTest::keyClick(field, Qt::Key(key));
    if (auto *planning = qobject_cast<SingleSaveCalcWid *>(page.get())) {
        // The planning page's button opens the options panel.
        QVERIFY(!planning->optionsPanel()->isHidden());
        planning->close();
        return;
    }
    QCOMPARE(pagetest::historyFiles(extensionOf(function)).size(), 1);
    QCOMPARE(field->value(), 6000.0);
}

void TestPageShared::changedInputGreysResults_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<bool>("amountChanges"); // else the threshold changes
    for (int function : {0, 2, 4, 6}) {
        QTest::addRow("%d amount", function) << function << true;
        QTest::addRow("%d threshold", function) << function << false;
    }
}

void TestPageShared::changedInputGreysResults()
{
    QFETCH(int, function);
    QFETCH(bool, amountChanges);
    const auto page = makePage(function);
    QDoubleSpinBox *field = amount(page.get(), amountCaption(function));
    QRadioButton *foreign = pagetest::buttonFor<QRadioButton>(page.get(), QStringLiteral("4800元(外籍人员)"));
    QRadioButton *local = pagetest::buttonFor<QRadioButton>(page.get(), QStringLiteral("3500元"));
    QLabel *notice = labelWithText(page.get(), pagekit::kStaleNoticeText);
    QTableWidget *table = resultTable(page.get());
    QVERIFY(field && foreign && local && notice && table);
    const auto change = [&](int step) {
        if (amountChanges)
            field->setValue(field->value() + step);
        else
            (foreign->isChecked() ? local : foreign)->setChecked(true);
    };
    // Nothing calculated yet: nothing to be stale.
    change(1);
    QVERIFY(notice->isHidden());
    QVERIFY(!isGreyed(table));
    field->setValue(12000);
    run(page.get(), function);
    QVERIFY(notice->isHidden());
    QVERIFY(!isGreyed(table));
    change(1);
    QVERIFY(!notice->isHidden());
    QVERIFY(isGreyed(table));
    change(1); // still stale, once
    QVERIFY(!notice->isHidden());
    run(page.get(), function);
    QVERIFY(notice->isHidden());
    QVERIFY(!isGreyed(table));
    // A restored entry is fresh too.
    change(1);
    QVERIFY(isGreyed(table));
    QMetaObject::invokeMethod(page.get(), "openHistory", Q_ARG(int, 0), Q_ARG(int, 0));
    QVERIFY(notice->isHidden());
    QVERIFY(!isGreyed(table));
}

void TestPageShared::insuranceAboveWage_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<double>("wage");
    QTest::addColumn<double>("insurance");
    QTest::addColumn<bool>("noted");
    for (int function : {0, 2, 4}) {
        QTest::addRow("%d insurance above the wage", function) << function << 3000.0 << 3000.01 << true;
        QTest::addRow("%d insurance equal to the wage", function) << function << 3000.0 << 3000.0 << false;
        QTest::addRow("%d insurance below the wage", function) << function << 3000.0 << 500.0 << false;
        QTest::addRow("%d insurance without a wage", function) << function << 0.0 << 100.0 << true;
    }
}

void TestPageShared::insuranceAboveWage()
{
    QFETCH(int, function);
    QFETCH(double, wage);
    QFETCH(double, insurance);
    QFETCH(bool, noted);
    const auto page = makePage(function);
    amount(page.get(), QStringLiteral("月应发工资"))->setValue(wage);
    amount(page.get(), QStringLiteral("三险一金"))->setValue(insurance);
    QVERIFY(!labelWithText(page.get(), pagekit::kInsuranceNoteText));
    run(page.get(), function);
    QLabel *note = labelWithText(page.get(), pagekit::kInsuranceNoteText);
    QVERIFY(note);
    QCOMPARE(!note->isHidden(), noted);
    // The note follows a restored entry's inputs, not the last calculation's.
    amount(page.get(), QStringLiteral("三险一金"))->setValue(noted ? 0 : wage + 1);
    run(page.get(), function);
    QCOMPARE(note->isHidden(), noted);
    QMetaObject::invokeMethod(page.get(), "openHistory", Q_ARG(int, 1), Q_ARG(int, 0));
    QCOMPARE(!note->isHidden(), noted);
}

void TestPageShared::fitsTheSmallestWindow_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<bool>("tableScrolls"); // only a table wider than the room may scroll
    QTest::addColumn<QString>("rules");
    QTest::newRow("0 单人个税计算") << 0 << false << QStringLiteral("2011");
    QTest::newRow("2 单人节税筹划") << 2 << false << QStringLiteral("2011");
    QTest::newRow("4 奖金分摊计算, ten columns, captions on two lines")
        << 4 << false << QStringLiteral("2011");
    QTest::newRow("6 年薪节税筹划") << 6 << false << QStringLiteral("2011");
    QTest::newRow("0 current rules: method choice, month table") << 0 << false << QStringLiteral("2019");
    QTest::newRow("4 current rules: summary, two month tables") << 4 << false << QStringLiteral("2019");
}

void TestPageShared::fitsTheSmallestWindow()
{
    QFETCH(int, function);
    QFETCH(bool, tableScrolls);
    QFETCH(QString, rules);
    QVERIFY(writeConfigValue(userIniPath(), QStringLiteral("rules"), rules));
    Lumo window;
    window.resize(window.minimumSize());
    QCOMPARE(window.size(), QSize(900, 600));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.actFunction(function);
    QWidget *page = window.page(function);
    QTRY_VERIFY(page->isVisible());
    QApplication::processEvents();

    // The right-hand column has one width on every page.
    int rightWidth = -1;
    for (QSplitter *splitter : page->findChildren<QSplitter *>()) {
        if (splitter->orientation() == Qt::Vertical)
            rightWidth = splitter->width();
    }
    QCOMPARE(rightWidth, pagekit::rightColumnWidth(page->font()));

    QTableWidget *table = resultTable(page);
    QCOMPARE(table->horizontalScrollBar()->maximum() > 0, tableScrolls);
    // Every line of the captions shows whole, and in its row's height.
    const QFontMetrics tableMetrics(table->font());
    for (int r = 0; r < table->rowCount(); ++r) {
        for (int c = 0; c < table->columnCount(); ++c) {
            const QTableWidgetItem *item = table->item(r, c);
            if (!item || item->text().isEmpty())
                continue;
            const QStringList lines = item->text().split(u'\n');
            for (const QString &line : lines)
                QVERIFY2(tableMetrics.horizontalAdvance(line) + 6 <= table->columnWidth(c), qPrintable(line));
            QVERIFY2(tableMetrics.lineSpacing() * lines.size() <= table->rowHeight(r),
                     qPrintable(item->text()));
        }
    }

    // Nothing reaches past the page, and no label is cut: before a calculation, with the widest
    // results, and with the notice that they are stale.
    const auto checkFits = [&](const QString &when) {
        const QRect pageRect = page->rect();
        for (QWidget *widget : page->findChildren<QWidget *>()) {
            if (!widget->isVisible() || widget->window() != &window || qobject_cast<QScrollBar *>(widget))
                continue;
            if (widget->parentWidget() && widget->parentWidget()->inherits("QAbstractScrollArea"))
                continue; // the inside of a table
            const QRect at(widget->mapTo(page, QPoint(0, 0)), widget->size());
            QVERIFY2(pageRect.contains(at),
                     qPrintable(when + u' ' + QString::fromLatin1(widget->metaObject()->className())));
            if (auto *label = qobject_cast<QLabel *>(widget);
                label && !label->wordWrap() && !label->text().isEmpty())
                QVERIFY2(label->width() >= label->sizeHint().width(),
                         qPrintable(when + u' ' + label->text()));
            if (auto *box = qobject_cast<QComboBox *>(widget))
                QVERIFY2(box->width() >= box->sizeHint().width(),
                         qPrintable(when + u' ' + box->currentText()));
        }
    };
    checkFits(QStringLiteral("before"));
    if (rules == QStringLiteral("2019")) {
        // A high but real year: every month table, on every tab, shows its figures whole without
        // scrolling sideways.
        amount(page, amountCaption(function))->setValue(99999.99);
        amount(page, QStringLiteral("全年一次性奖金"))->setValue(30000);
        run(page, function);
        const QList<QTabWidget *> tabs = page->findChildren<QTabWidget *>();
        for (int tab = 0; tab < (tabs.isEmpty() ? 1 : tabs.first()->count()); ++tab) {
            if (!tabs.isEmpty())
                tabs.first()->setCurrentIndex(tab);
            QApplication::processEvents();
            for (QTableWidget *shown : page->findChildren<QTableWidget *>()) {
                if (!shown->isVisible() || shown->horizontalHeaderItem(0)->text() == QStringLiteral("时间"))
                    continue;
                QCOMPARE(shown->horizontalScrollBar()->maximum(), 0);
                const QFontMetrics metrics(shown->font());
                for (int r = 0; r < shown->rowCount(); ++r) {
                    for (int c = 0; c < shown->columnCount(); ++c) {
                        if (const QTableWidgetItem *item = shown->item(r, c))
                            QVERIFY2(metrics.horizontalAdvance(item->text()) + 6 <= shown->columnWidth(c),
                                     qPrintable(item->text()));
                    }
                }
            }
        }
    }
    // The result line takes its place from the start: the table does not move when it appears.
    const int tableTop = table->mapTo(page, QPoint(0, 0)).y();
    amount(page, amountCaption(function))->setValue(999999999.99);
    if (function == 6)
        amount(page, QStringLiteral("单位年承担三险一金总额："))->setValue(999999999.99);
    run(page, function);
    QApplication::processEvents();
    QCOMPARE(table->mapTo(page, QPoint(0, 0)).y(), tableTop);
    checkFits(QStringLiteral("with results"));
    amount(page, amountCaption(function))->setValue(1);
    QApplication::processEvents();
    QCOMPARE(table->mapTo(page, QPoint(0, 0)).y(), tableTop);
    checkFits(QStringLiteral("stale"));
}

void TestPageShared::rightColumnOneWidth_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QSize>("size");
    for (int function : {0, 2, 4, 6}) {
        QTest::addRow("%d at 1220 × 700", function) << function << QSize(1220, 700);
        QTest::addRow("%d at 1600 × 900", function) << function << QSize(1600, 900);
    }
}

void TestPageShared::rightColumnOneWidth()
{
    QFETCH(int, function);
    QFETCH(QSize, size);
    Lumo window;
    window.resize(size);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.actFunction(function);
    QWidget *page = window.page(function);
    QTRY_VERIFY(page->isVisible());
    QApplication::processEvents();
    // A larger window widens the work area, not the history column.
    for (QSplitter *splitter : page->findChildren<QSplitter *>()) {
        if (splitter->orientation() == Qt::Vertical)
            QCOMPARE(splitter->width(), pagekit::rightColumnWidth(page->font()));
    }
}

QTEST_MAIN(TestPageShared)
#include "tst_pageshared.moc"
