#include "pages/batch/currentbonuswid.h"

#include "batch/columncatalogue.h"
#include "engine/currentrules.h"
#include "history/currentrecords.h"
#include "widgets/resulttablemodel.h"

#include <QDate>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

CurrentBonusWid::CurrentBonusWid(QWidget *parent)
    : YearSheetPageBase(
          {u"现行规定下按月累计预扣，非全年一次性奖金并入发放当月工资，分摊到多个月不再改变全年税额。"
           u"这里对工资表中的每位员工比较全年一次性奖金单独计税与并入工资的全年税额，"
           u"较省税的方式以绿色标出。"_s,
           QString::fromLatin1(kCurrentSheetBonusExtension),
           {u"比较时间"_s, u"较省税额"_s, u"并入工资"_s},
           u"奖金计税方式比较"_s},
          parent)
{
    auto *box = qobject_cast<QVBoxLayout *>(optionsBox()->layout());
    m_year = new QSpinBox(optionsBox());
    m_year->setRange(kCurrentFirstYear, kCurrentLastYear);
    m_year->setSuffix(u" 年"_s);
    m_year->setValue(qBound(int(kCurrentFirstYear), QDate::currentDate().year(), int(kCurrentLastYear)));
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(u"奖金发放年度"_s, optionsBox()));
    row->addWidget(m_year, 1);
    box->addLayout(row);
    m_yearNote = new QLabel(optionsBox());
    m_yearNote->setWordWrap(true);
    m_yearNote->setStyleSheet(u"color:rgb(140,80,0);"_s);
    box->addWidget(m_yearNote);
    connect(m_year, &QSpinBox::valueChanged, this, [this] {
        m_yearNote->setText(
            separateAllowed()
                ? QString()
                : u"%1 年 12 月 31 日以后发放的全年一次性奖金不再单独计税，只能并入当月工资。"_s.arg(
                      CurrentRules::kLastSeparateBonusYear));
        if (model()->rowCount() > 0)
            showRun();
    });
    emit m_year->valueChanged(m_year->value());
}

CurrentBonusWid::~CurrentBonusWid()
{
    stopJob();
}

QColor CurrentBonusWid::separateTint()
{
    return QColor(214, 240, 214);
}

void CurrentBonusWid::setYear(int year)
{
    m_year->setValue(year);
}

int CurrentBonusWid::year() const
{
    return m_year->value();
}

bool CurrentBonusWid::separateAllowed() const
{
    return CurrentRules::separateBonusAllowed(year());
}

int CurrentBonusWid::importMode() const
{
    return YearSheetPage;
}

bool CurrentBonusWid::compute(const SheetImport &import, const RunControl &control, QString *error)
{
    return runYearSheet(import, &m_pending, error, control);
}

void CurrentBonusWid::showPending()
{
    model()->clear();
    m_run = std::move(m_pending);
    m_pending = {};
    showRun();
}

void CurrentBonusWid::showRun()
{
    const bool allowed = separateAllowed();
    m_totals = {};
    for (const YearPlan &p : m_run.plans)
        m_totals.add(p, allowed);
    const auto plan = [this](int row) -> const YearPlan & { return m_run.plans[size_t(row)]; };
    const BonusMethodTotals *t = &m_totals;
    const auto amount = [](const QString &title, std::function<QString(int)> text,
                           std::function<QString()> total) {
        return ResultColumn{title, 110, Qt::AlignRight | Qt::AlignVCenter, std::move(text), std::move(total)};
    };
    std::vector<ResultColumn> columns = {
        {u"编码"_s, 70, Qt::AlignLeft | Qt::AlignVCenter,
         [this](int r) { return m_run.records[size_t(r)].code; }},
        {u"姓名"_s, 80, Qt::AlignLeft | Qt::AlignVCenter,
         [this](int r) { return m_run.records[size_t(r)].name; }, [] { return u"总计"_s; }},
        amount(
            u"全年应发"_s, [plan](int r) { return formatAmount(plan(r).annual); },
            [t] { return formatAmount(t->annual); }),
        amount(
            u"全年一次性奖金"_s, [plan](int r) { return formatAmount(plan(r).plannedBonus); },
            [t] { return formatAmount(t->bonus); }),
        amount(
            u"单独计税全年税额"_s,
            [plan, allowed](int r) { return allowed ? formatAmount(plan(r).plannedTax) : u"不适用"_s; },
            [t, allowed] { return allowed ? formatAmount(t->separate) : QString(); }),
        amount(
            u"并入工资全年税额"_s, [plan](int r) { return formatAmount(plan(r).mergedTax); },
            [t] { return formatAmount(t->merged); }),
        {u"较省税的方式"_s, 110, Qt::AlignCenter,
         [plan, allowed](int r) { return separateCheaper(plan(r), allowed) ? u"单独计税"_s : u"并入工资"_s; },
         [t] { return u"单独计税 %1 人"_s.arg(t->separateCount); }},
        amount(
            u"较省方式全年税额"_s,
            [plan, allowed](int r) { return formatAmount(cheaperTax(plan(r), allowed)); },
            [t] { return formatAmount(t->cheaper); }),
    };
    model()->reset(std::move(columns), int(m_run.plans.size()), true);
    model()->setRowTint(
        [plan, allowed](int r) { return separateCheaper(plan(r), allowed) ? separateTint() : QColor(); });
    QString text =
        u"共 %1 人，其中 %2 人奖金单独计税较省。单独计税合计 %3，并入工资合计 %4，都选较省的方式合计 %5。"_s
            .arg(m_run.plans.size())
            .arg(t->separateCount)
            .arg(allowed ? formatAmount(t->separate) : u"不适用"_s, formatAmount(t->merged),
                 formatAmount(t->cheaper));
    if (!m_run.unreadable.empty())
        text += u"其中 %1 个金额单元格无法识别，已按 0 计算。"_s.arg(m_run.unreadable.size());
    setSummary(text);
}

std::vector<SheetExportChoice> CurrentBonusWid::exportChoices() const
{
    if (model()->rowCount() == 0)
        return {};
    const bool allowed = separateAllowed();
    return {{u"奖金计税方式比较"_s, [this, allowed] {
                 return bonusMethodLayout(m_run.records, m_run.plans, u"奖金计税方式比较"_s, allowed);
             }}};
}

void CurrentBonusWid::writeOptions(CurrentSheetRecord *record) const
{
    record->year = year();
}

void CurrentBonusWid::readOptions(const CurrentSheetRecord &record)
{
    setYear(record.year);
}

std::pair<double, double> CurrentBonusWid::historyFigures() const
{
    return {double(m_totals.cheaper) / 100.0, double(m_totals.merged) / 100.0};
}
