#include "pages/single/apportioncalcwid.h"
#include "pages/single/inversecalcwid.h"
#include "pages/single/singlesavecalcwid.h"
#include "shell/lumo.h"
#include "shell/startup.h"
#include <QApplication>
#include <QDoubleSpinBox>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>

static void settle() { for (int i = 0; i < 20; ++i) { QTest::qWait(50); } }
static void shot(const QString &name) {
    settle();
    QGuiApplication::primaryScreen()->grabWindow(0).save(QStringLiteral("/tmp/shots/") + name + QStringLiteral(".png"));
}
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setFont(applicationFont());
    Lumo w;
    w.showWidget();
    w.move(0, 0);
    w.selectFunction(2);
    settle();
    auto *plan = w.findChild<SingleSaveCalcWid *>();
    auto boxes = plan->findChildren<QDoubleSpinBox *>();
    boxes[0]->setValue(8000); boxes[2]->setValue(18001);
    plan->calc();
    shot(QStringLiteral("plan-panel"));
    plan->start();
    shot(QStringLiteral("plan-result"));
    for (auto *r : plan->findChildren<QRadioButton *>()) if (r->text().startsWith(QStringLiteral("年终奖金与"))) r->setChecked(true);
    plan->findChild<QSpinBox *>()->setValue(12);
    plan->start();
    shot(QStringLiteral("plan-balanced"));
    w.selectFunction(4);
    settle();
    auto *ap = w.findChild<ApportionCalcWid *>();
    boxes = ap->findChildren<QDoubleSpinBox *>();
    boxes[0]->setValue(5800); boxes[2]->setValue(6000);
    ap->calc();
    shot(QStringLiteral("apportion"));
    w.selectFunction(6);
    settle();
    auto *inv = w.findChild<InverseCalcWid *>();
    for (auto *r : inv->findChildren<QRadioButton *>()) if (r->text() == QStringLiteral("月收入年终奖反算")) r->setChecked(true);
    boxes = inv->findChildren<QDoubleSpinBox *>();
    // order: netAnnual, employer, grossAnnual, netMonth, netBonus
    boxes[3]->setValue(5000); boxes[4]->setValue(10000);
    inv->calc();
    shot(QStringLiteral("inverse"));
    return 0;
}
