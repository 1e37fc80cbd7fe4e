#include "pages/single/displaymemodlg.h"
#include "pages/single/singlesavecalcwid.h"
#include "pagetest.h"
#include "widgets/historylist.h"

#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

using namespace pagetest;

namespace {

const QString kCongratulation = QStringLiteral("恭喜您，在选定节税筹划策略下，原有薪资已经是合理发放了。\n");

// The page's widgets, found by what a user reads on the screen.
struct PlanView
{
    explicit PlanView(SingleSaveCalcWid *page)
        : page(page), gross(inputFor<QDoubleSpinBox>(page, QStringLiteral("月应发工资"))),
          insurance(inputFor<QDoubleSpinBox>(page, QStringLiteral("三险一金"))),
          bonus(inputFor<QDoubleSpinBox>(page, QStringLiteral("年终奖金"))),
          plan(buttonFor<QPushButton>(page, QStringLiteral("筹划 ↓"))),
          memo(buttonFor<QPushButton>(page, QStringLiteral("查看计算过程"))),
          start(buttonFor<QPushButton>(page, QStringLiteral("开始筹划"))),
          close(buttonFor<QPushButton>(page, QStringLiteral("关闭"))),
          local(buttonFor<QRadioButton>(page, QStringLiteral("3500元"))),
          foreign(buttonFor<QRadioButton>(page, QStringLiteral("4800元(外籍人员)"))),
          raiseNet(buttonFor<QRadioButton>(page, QStringLiteral("增加员工税后收入（单位不多开支）"))),
          lowerCost(buttonFor<QRadioButton>(page, QStringLiteral("减少单位开支（员工税后收入不变）"))),
          bonusOnly(buttonFor<QRadioButton>(page, QStringLiteral("调整年终奖金，月收入不动（仅避开盲区）"))),
          balanced(buttonFor<QRadioButton>(page, QStringLiteral("年终奖金与"))),
          months(page->findChild<QSpinBox *>()),
          taxDecrease(valueBeside(page, QStringLiteral("个人所得税减少："))),
          costDecrease(valueBeside(page, QStringLiteral("单位开支减少："))),
          netIncrease(valueBeside(page, QStringLiteral("税后收入增加：")))
    {
        for (QTableWidget *t : page->findChildren<QTableWidget *>())
            (t->columnCount() == 8 ? result : history) = t;
        for (QLabel *l : page->findChildren<QLabel *>()) {
            if (l->parentWidget() == taxDecrease->parentWidget()->parentWidget() && l->text().isEmpty())
                method = l;
        }
    }
    // Columns 2–6 of a row: amount, tax, after-tax, rate, quick deduction.
    QStringList row(int r) const { return rowTexts(result, r, 2, 5); }
    QStringList figures() const { return {taxDecrease->text(), costDecrease->text(), netIncrease->text()}; }
    void enter(double g, double i, double b) const
    {
        gross->setValue(g);
        insurance->setValue(i);
        bonus->setValue(b);
    }
    void choose(int goal, bool isBalanced, int n) const
    {
        (goal == 0 ? raiseNet : lowerCost)->setChecked(true);
        (isBalanced ? balanced : bonusOnly)->setChecked(true);
        months->setValue(n);
    }

    SingleSaveCalcWid *page;
    QDoubleSpinBox *gross;
    QDoubleSpinBox *insurance;
    QDoubleSpinBox *bonus;
    QPushButton *plan;
    QPushButton *memo;
    QPushButton *start;
    QPushButton *close;
    QRadioButton *local;
    QRadioButton *foreign;
    QRadioButton *raiseNet;
    QRadioButton *lowerCost;
    QRadioButton *bonusOnly;
    QRadioButton *balanced;
    QSpinBox *months;
    QLabel *taxDecrease;
    QLabel *costDecrease;
    QLabel *netIncrease;
    QLabel *method = nullptr;
    QTableWidget *result = nullptr;
    QTableWidget *history = nullptr;
};

QString dialogText(QWidget *w)
{
    auto *dlg = qobject_cast<DisplayMemoDlg *>(w);
    return dlg ? dlg->text() : QString();
}

// One hand-written "*.ssc" record; each bad-file row spoils one field of an otherwise sound one.
struct Record
{
    QString method = QStringLiteral("调整年终奖金，增加员工税后收入（单位不多开支）。");
    QString figures[3] = {QStringLiteral("9"), QStringLiteral("8"), QStringLiteral("7")};
    double gross = 100;
    double insurance = 10;
    double bonus = 1000;
    bool local = false;
    bool raiseNet = false;
    bool bonusOnly = false;
    qint32 months = 5;
    QString process = QStringLiteral("stored process");
    qint32 rows = 6;
    qint32 columns = 8;
    bool truncateTable = false;

    QString write() const
    {
        HistoryWriter w(historyDir(), SingleSaveCalcWid::extension(), 1.5, 2.5);
        w.stream() << method << figures[0] << figures[1] << figures[2] << gross << insurance << bonus << local
                   << raiseNet << bonusOnly << months << process;
        writeTableClaiming(w.stream(), rows, columns, 6, 8, truncateTable);
        return w.commit() ? w.path() : QString();
    }
};

} // namespace

class TestSingleSaveCalcWid : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void initialLook();
    void plans_data();
    void plans();
    void alreadyOptimalRepeatsInput();
    void balancedPlansAYear();
    void optionsPanelPlacement();
    void closeRunsNothing();
    void startButtonRunsOnce();
    void processDialog();
    void historyReloadsWhatWasShown();
    void goodRecordLoadsAsStored();
    void badFilesChangeNothing_data();
    void badFilesChangeNothing();

private:
    pagetest::TemporaryHome m_home;
};

void TestSingleSaveCalcWid::init()
{
    QVERIFY(m_home.renew());
}

void TestSingleSaveCalcWid::initialLook()
{
    SingleSaveCalcWid page;
    PlanView v(&page);
    QVERIFY(v.gross && v.insurance && v.bonus && v.plan && v.start && v.close && v.months);
    QVERIFY(v.raiseNet->isChecked());
    QVERIFY(v.bonusOnly->isChecked());
    QVERIFY(v.local->isChecked());
    QCOMPARE(v.months->value(), 6);
    QCOMPARE(v.months->minimum(), 1);
    QCOMPARE(v.months->maximum(), 12);
    QCOMPARE(v.result->rowCount(), 6);
    // Column 0 spans two rows per caption; column 1 says which side of the plan the row is.
    const QString captions[] = {QStringLiteral("月应发工资"), QStringLiteral("年终奖金"),
                                QStringLiteral("总计")};
    for (int r = 0; r < 6; ++r) {
        if (r % 2 == 0) {
            QCOMPARE(cell(v.result, r, 0), captions[r / 2]);
            QCOMPARE(v.result->rowSpan(r, 0), 2);
        }
        QCOMPARE(cell(v.result, r, 1), r % 2 ? QStringLiteral("筹划后") : QStringLiteral("筹划前"));
        const QBrush background = v.result->item(r, 2)->background();
        QCOMPARE(background.style() == Qt::SolidPattern && background.color() == QColor(255, 204, 51),
                 r % 2 == 1);
    }
    QVERIFY(v.method->isHidden());
    QVERIFY(!v.netIncrease->isVisibleTo(&page));
    QVERIFY(page.optionsPanel()->isHidden());
    QTRY_VERIFY(v.history->rowCount() == 0);
}

void TestSingleSaveCalcWid::plans_data()
{
    QTest::addColumn<double>("gross");
    QTest::addColumn<double>("insurance");
    QTest::addColumn<double>("bonus");
    QTest::addColumn<bool>("foreign");
    QTest::addColumn<int>("goal");
    QTest::addColumn<QStringList>("bonusAfter");
    QTest::addColumn<QStringList>("totalAfter");
    QTest::addColumn<QStringList>("figures"); // tax decrease, cost decrease, net increase
    QTest::addColumn<QString>("method");
    QTest::addColumn<QStringList>("historyRow");

    QTest::newRow("raise net: 18001 bonus moved down to 18000")
        << 8000.0 << 0.0 << 18001.0 << false << 0 << QStringList{"18,000", "540", "17,460", "3%", "0"}
        << QStringList{"26,000", "885", "25,115", "", ""} << QStringList{"1,155.1", "1", "1,154.1"}
        << QStringLiteral("调整年终奖金，增加员工税后收入（单位不多开支）。") << QStringList{"1,154.1", "1"};
    QTest::newRow("lower cost: same net from a bonus in the 3% row")
        << 8000.0 << 0.0 << 18001.0 << false << 1 << QStringList{"16,810.21", "504.31", "16,305.9", "3%", "0"}
        << QStringList{"24,810.21", "849.31", "23,960.9", "", ""} << QStringList{"1,190.79", "1,190.79", "0"}
        << QStringLiteral("调整年终奖金，减少单位开支（员工税后收入不变）。") << QStringList{"0", "1,190.79"};
    QTest::newRow("insurance taken off the wage before the plan")
        << 9000.0 << 1000.0 << 18001.0 << false << 0 << QStringList{"18,000", "540", "17,460", "3%", "0"}
        << QStringList{"26,000", "885", "25,115", "", ""} << QStringList{"1,155.1", "1", "1,154.1"}
        << QStringLiteral("调整年终奖金，增加员工税后收入（单位不多开支）。") << QStringList{"1,154.1", "1"};
}

void TestSingleSaveCalcWid::plans()
{
    QFETCH(double, gross);
    QFETCH(double, insurance);
    QFETCH(double, bonus);
    QFETCH(bool, foreign);
    QFETCH(int, goal);
    QFETCH(QStringList, bonusAfter);
    QFETCH(QStringList, totalAfter);
    QFETCH(QStringList, figures);
    QFETCH(QString, method);
    QFETCH(QStringList, historyRow);
    SingleSaveCalcWid page;
    PlanView v(&page);
    v.enter(gross, insurance, bonus);
    (foreign ? v.foreign : v.local)->setChecked(true);
    v.choose(goal, false, 6);
    page.start();

    QCOMPARE(v.row(0), (QStringList{"8,000", "345", "7,655", "10%", "105"}));
    QCOMPARE(v.row(1), v.row(0)); // the bonus-only method leaves the wage alone
    QCOMPARE(v.row(2), (QStringList{"18,001", "1,695.1", "16,305.9", "10%", "105"}));
    QCOMPARE(v.row(3), bonusAfter);
    QCOMPARE(v.row(4), (QStringList{"26,001", "2,040.1", "23,960.9", "", ""}));
    QCOMPARE(v.row(5), totalAfter);
    QCOMPARE(v.figures(), figures);
    QVERIFY(!v.method->isHidden());
    QCOMPARE(v.method->text(), method);
    QVERIFY(page.processText().startsWith(QStringLiteral("筹划方法：") + method + u'\n'));
    QVERIFY(page.processText().contains(QStringLiteral("三、节税筹划效果")));
    QVERIFY(!page.processText().contains(kCongratulation));
    QCOMPARE(v.result->item(3, 2)->textAlignment(), int(Qt::AlignRight | Qt::AlignVCenter));
    // The tint of the "after" rows survives the new texts.
    QCOMPARE(v.result->item(3, 2)->background().color(), QColor(255, 204, 51));
    QCOMPARE(historyFiles(QStringLiteral("ssc")).size(), 1);
    QCOMPARE(rowTexts(v.history, 0, 1, 2), historyRow);
}

void TestSingleSaveCalcWid::alreadyOptimalRepeatsInput()
{
    SingleSaveCalcWid page;
    PlanView v(&page);
    v.enter(8000, 0, 18000);
    page.start();
    for (int r = 0; r < 6; r += 2)
        QCOMPARE(v.row(r + 1), v.row(r));
    QCOMPARE(v.row(2), (QStringList{"18,000", "540", "17,460", "3%", "0"}));
    QCOMPARE(v.figures(), (QStringList{"0", "0", "0"}));
    QVERIFY(page.processText().endsWith(QStringLiteral("三、节税筹划效果\n    ") + kCongratulation));
    QVERIFY(page.processText().contains(QStringLiteral("二、筹划后个税计算\n    无\n")));
    QCOMPARE(rowTexts(v.history, 0, 1, 2), (QStringList{"0", "0"}));
}

void TestSingleSaveCalcWid::balancedPlansAYear()
{
    SingleSaveCalcWid page;
    PlanView v(&page);
    v.enter(8000, 0, 18001);
    v.choose(0, true, 12);
    page.start();
    QCOMPARE(v.method->text(),
             QStringLiteral("年终奖金与 12 个月月收入平衡发放，增加员工税后收入（单位不多开支）。"));
    // Twelve months of wage and the bonus: the totals are the year's.
    QCOMPARE(v.row(4).mid(0, 3), (QStringList{"114,001", "5,835.1", "108,165.9"}));
    QCOMPARE(v.row(0), (QStringList{"8,000", "345", "7,655", "10%", "105"}));
    // The employer pays no more: twelve wages of 8,000.08 and the bonus come to 4 fen less.
    QCOMPARE(v.row(5).at(0), QStringLiteral("114,000.96"));
    QCOMPARE(v.figures(), (QStringList{"1,154.86", "0.04", "1,154.82"}));

    // The same month count with the other goal names it in the method sentence too.
    v.choose(1, true, 3);
    page.start();
    QCOMPARE(v.method->text(),
             QStringLiteral("年终奖金与 3 个月月收入平衡发放，减少单位开支（员工税后收入不变）。"));
    QCOMPARE(v.row(4).at(0), QStringLiteral("42,001"));
}

void TestSingleSaveCalcWid::optionsPanelPlacement()
{
    SingleSaveCalcWid page;
    page.resize(980, 600);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    PlanView v(&page);
    QTest::mouseClick(v.plan, Qt::LeftButton);
    QWidget *panel = page.optionsPanel();
    QVERIFY(panel->isVisible());
    QVERIFY(panel->isWindow());
    QCOMPARE(panel->windowModality(), Qt::ApplicationModal);
    QVERIFY(panel->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(panel->windowFlags() & Qt::WindowStaysOnTopHint);
    const QPoint button = v.plan->mapToGlobal(QPoint(0, 0));
    QCOMPARE(panel->pos(),
             QPoint(button.x() + v.plan->width() - panel->width() - 15, button.y() + v.plan->height() + 4));
    // It covers none of the inputs (月应发工资, 三险一金, 年终奖金).
    const QRect panelRect(panel->pos(), panel->size());
    for (QDoubleSpinBox *field : page.findChildren<QDoubleSpinBox *>()) {
        if (field->window() == &page)
            QVERIFY(!panelRect.intersects(QRect(field->mapToGlobal(QPoint(0, 0)), field->size())));
    }
    // Enter in the panel starts the plan as "开始筹划" does.
    v.enter(8000, 0, 18001);
    QTest::mouseClick(v.plan, Qt::LeftButton);
    QVERIFY(QTest::qWaitForWindowActive(panel));
    QTest::keyClick(panel, Qt::Key_Return);
    QVERIFY(panel->isHidden());
    QVERIFY(!v.method->isHidden());
    page.close();
}

void TestSingleSaveCalcWid::closeRunsNothing()
{
    SingleSaveCalcWid page;
    PlanView v(&page);
    v.enter(8000, 0, 18001);
    page.calc();
    QVERIFY(!page.optionsPanel()->isHidden());
    QTest::mouseClick(v.close, Qt::LeftButton);
    QVERIFY(page.optionsPanel()->isHidden());
    QVERIFY(v.method->isHidden());
    QCOMPARE(v.row(0), QStringList(5));
    QVERIFY(page.processText().isEmpty());
    QVERIFY(historyFiles(QStringLiteral("ssc")).isEmpty());
    QCOMPARE(v.history->rowCount(), 0);
}

void TestSingleSaveCalcWid::startButtonRunsOnce()
{
    SingleSaveCalcWid page;
    PlanView v(&page);
    v.enter(8000, 0, 18001);
    page.calc();
    v.lowerCost->setChecked(true);
    QTest::mouseClick(v.start, Qt::LeftButton);
    QVERIFY(page.optionsPanel()->isHidden());
    QCOMPARE(v.row(3).at(0), QStringLiteral("16,810.21"));
    QCOMPARE(historyFiles(QStringLiteral("ssc")).size(), 1);
    QCOMPARE(v.history->rowCount(), 1);
}

void TestSingleSaveCalcWid::processDialog()
{
    SingleSaveCalcWid page;
    PlanView v(&page);
    QString title;
    QCOMPARE(modalText([&] { QTest::mouseClick(v.memo, Qt::LeftButton); }, dialogText, &title),
             QStringLiteral("查看计算过程前，请先筹划计算薪资的个人所得税。"));
    QCOMPARE(title, QStringLiteral("信息提示"));
    v.enter(8000, 0, 18001);
    page.start();
    QCOMPARE(modalText([&] { page.browseCalculateMemo(); }, dialogText, &title), page.processText());
    QCOMPARE(title, QStringLiteral("个税节税筹划过程"));
}

void TestSingleSaveCalcWid::historyReloadsWhatWasShown()
{
    QString path;
    QStringList cells;
    QString process;
    QStringList figures;
    QString method;
    {
        SingleSaveCalcWid page;
        PlanView v(&page);
        v.enter(12345.67, 890.12, 40000.01);
        v.foreign->setChecked(true);
        v.choose(1, true, 9);
        page.start();
        path = historyPathAt(v.history, 0);
        cells = allCells(v.result);
        process = page.processText();
        figures = v.figures();
        method = v.method->text();
    }
    // A fresh page, as after a restart: the list is filled from disk and a double click restores.
    SingleSaveCalcWid page;
    PlanView v(&page);
    QTRY_COMPARE(v.history->rowCount(), 1);
    QCOMPARE(historyPathAt(v.history, 0), path);
    page.openHistory(0, 1);
    QCOMPARE(v.gross->value(), 12345.67);
    QCOMPARE(v.insurance->value(), 890.12);
    QCOMPARE(v.bonus->value(), 40000.01);
    QVERIFY(v.foreign->isChecked());
    QVERIFY(v.lowerCost->isChecked());
    QVERIFY(v.balanced->isChecked());
    QCOMPARE(v.months->value(), 9);
    QCOMPARE(allCells(v.result), cells);
    QCOMPARE(v.result->rowSpan(2, 0), 2);
    QCOMPARE(v.result->item(5, 3)->background().color(), QColor(255, 204, 51));
    QCOMPARE(page.processText(), process);
    QCOMPARE(v.figures(), figures);
    QCOMPARE(v.method->text(), method);
    QVERIFY(!v.method->isHidden());
    QCOMPARE(historyFiles(QStringLiteral("ssc")).size(), 1); // loading records nothing
}

void TestSingleSaveCalcWid::goodRecordLoadsAsStored()
{
    // What shows is what was stored, not a new plan.
    const QString path = Record().write();
    SingleSaveCalcWid page;
    PlanView v(&page);
    page.load(path);
    QCOMPARE(cell(v.result, 3, 2), QStringLiteral("r3c2"));
    QCOMPARE(page.processText(), QStringLiteral("stored process"));
    QCOMPARE(v.figures(), (QStringList{"9", "8", "7"}));
    QCOMPARE(v.gross->value(), 100.0);
    QCOMPARE(v.months->value(), 5);
    QVERIFY(v.foreign->isChecked() && v.lowerCost->isChecked() && v.balanced->isChecked());
}

void TestSingleSaveCalcWid::badFilesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    auto bytesOf = [](const Record &r) { return fileBytes(r.write()); };
    const QByteArray good = bytesOf(Record());
    QVERIFY(good.size() > 200);
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("text garbage") << QByteArray("not a planning record\n").repeated(30);
    for (qsizetype cut : {qsizetype(12), good.size() / 4, good.size() / 2, good.size() - 1})
        QTest::newRow(qPrintable(QStringLiteral("cut to %1 bytes").arg(cut))) << good.left(cut);
    Record r;
    r.months = 0;
    QTest::newRow("zero months") << bytesOf(r);
    r = Record();
    r.months = 13;
    QTest::newRow("thirteen months") << bytesOf(r);
    r = Record();
    r.gross = -5;
    QTest::newRow("negative wage") << bytesOf(r);
    r = Record();
    r.bonus = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("bonus not a number") << bytesOf(r);
    r = Record();
    r.rows = 4;
    QTest::newRow("four table rows") << bytesOf(r);
    r = Record();
    r.rows = 2000000;
    QTest::newRow("two million rows claimed") << bytesOf(r);
    r = Record();
    r.columns = -8;
    QTest::newRow("negative columns") << bytesOf(r);
    r = Record();
    r.truncateTable = true;
    QTest::newRow("table cut in half") << bytesOf(r);
    r = Record();
    r.method = QString(5000, u'x');
    QTest::newRow("method text far too long") << bytesOf(r);
}

void TestSingleSaveCalcWid::badFilesChangeNothing()
{
    QFETCH(QByteArray, bytes);
    SingleSaveCalcWid page;
    PlanView v(&page);
    v.enter(8000, 0, 18001);
    page.start();
    const QStringList cells = allCells(v.result);
    const QString process = page.processText();
    const QStringList figures = v.figures();

    const QString path = m_home.path() + QStringLiteral("/bad.ssc");
    QVERIFY(writeBytes(path, bytes));
    page.load(path);
    QCOMPARE(allCells(v.result), cells);
    QCOMPARE(page.processText(), process);
    QCOMPARE(v.figures(), figures);
    QCOMPARE(v.gross->value(), 8000.0);
    QCOMPARE(v.bonus->value(), 18001.0);
    QCOMPARE(v.months->value(), 6);
    QVERIFY(v.local->isChecked() && v.raiseNet->isChecked() && v.bonusOnly->isChecked());
}

QTEST_MAIN(TestSingleSaveCalcWid)
#include "tst_singlesavecalcwid.moc"
