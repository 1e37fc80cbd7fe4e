#include "pages/batch/currentplanwid.h"

#include "batch/columncatalogue.h"
#include "engine/currentrules.h"
#include "history/historyrecord.h"
#include "widgets/resulttablemodel.h"

#include <QCheckBox>
#include <QDate>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kFirstYear = kCurrentFirstYear, kLastYear = kCurrentLastYear;

QString amountText(Amount fen)
{
    return formatAmount(fen);
}

ResultColumn textColumn(const QString &title, int width, std::function<QString(int)> text,
                        std::function<QString()> total = nullptr)
{
    return {title, width, Qt::AlignLeft | Qt::AlignVCenter, std::move(text), std::move(total)};
}

ResultColumn amountColumn(const QString &title, std::function<Amount(int)> fen,
                          std::function<Amount()> total = nullptr)
{
    ResultColumn c;
    c.title = title;
    c.width = 92;
    c.text = [fen = std::move(fen)](int row) { return amountText(fen(row)); };
    if (total)
        c.total = [total = std::move(total)] { return amountText(total()); };
    return c;
}

} // namespace

CurrentPlanWid::CurrentPlanWid(QWidget *parent)
    : YearSheetPageBase(
          {u"按现行规定（2019年起）筹划整张工资表的全年一次性奖金：每行一名员工的一年，比较计划方案、"
           u"全部并入工资与最优方案的全年税额，奖金落在盲区的员工以红色标出。按账套筹划时导入本年最后"
           u"一个发薪月的工资表，此前各月取自账套。"_s,
           QString::fromLatin1(kCurrentSheetPlanExtension),
           {u"筹划时间"_s, u"最优税额"_s, u"节税"_s},
           u"年终奖金筹划"_s},
          parent)
{
    auto *box = optionsBox()->layout();
    m_fromLedger = new QCheckBox(u"按账套中本年已记入的月份筹划"_s, optionsBox());
    m_ledgerLabel = new QLabel(optionsBox());
    m_ledgerLabel->setWordWrap(true);
    m_year = new QSpinBox(optionsBox());
    m_year->setRange(kFirstYear, kLastYear);
    m_year->setSuffix(u" 年"_s);
    m_month = new QSpinBox(optionsBox());
    m_month->setRange(1, 12);
    m_month->setSuffix(u" 月"_s);
    auto *period = new QGridLayout;
    period->addWidget(new QLabel(u"所属期"_s, optionsBox()), 0, 0);
    period->addWidget(m_year, 0, 1);
    period->addWidget(m_month, 0, 2);
    box->addWidget(m_fromLedger);
    box->addWidget(m_ledgerLabel);
    qobject_cast<QVBoxLayout *>(box)->addLayout(period);
    connect(m_fromLedger, &QCheckBox::toggled, this, [this](bool on) {
        m_year->setEnabled(on);
        m_month->setEnabled(on);
    });
    setLedgerPath(rememberedLedgerPath());
}

CurrentPlanWid::~CurrentPlanWid()
{
    stopJob();
}

QColor CurrentPlanWid::blindZoneTint()
{
    return QColor(255, 214, 214);
}

void CurrentPlanWid::setLedgerPath(const QString &path)
{
    m_ledgerPath = path;
    ledgerChanged();
}

void CurrentPlanWid::ledgerChanged()
{
    const bool usable = !m_ledgerPath.isEmpty() && QFileInfo(m_ledgerPath).isFile();
    int year = QDate::currentDate().year(), month = 12;
    bool recorded = false;
    if (usable) {
        PayrollLedger ledger(m_ledgerPath);
        QString error;
        if (ledger.openForReading(&error)) {
            const QList<LedgerMonth> months = ledger.months(0, &error);
            if (!months.isEmpty()) {
                // The plan is for the month after the latest recorded one.
                const LedgerMonth &last = months.constLast();
                recorded = last.month < 12;
                year = recorded ? last.year : last.year + 1;
                month = recorded ? last.month + 1 : 12;
            }
        }
    }
    m_fromLedger->setEnabled(usable);
    m_fromLedger->setChecked(usable && recorded);
    m_ledgerLabel->setText(
        usable ? u"账套：%1"_s.arg(m_ledgerPath)
               : u"未使用账套：只按工资表筹划（在“批量个税计算”中选择账套后可按台账筹划）。"_s);
    m_year->setValue(qBound(kFirstYear, year, kLastYear));
    m_month->setValue(month);
    m_year->setEnabled(m_fromLedger->isChecked());
    m_month->setEnabled(m_fromLedger->isChecked());
}

void CurrentPlanWid::setFromLedger(bool fromLedger, int year, int month)
{
    m_fromLedger->setChecked(fromLedger && m_fromLedger->isEnabled());
    if (year > 0)
        m_year->setValue(year);
    if (month > 0)
        m_month->setValue(month);
}

bool CurrentPlanWid::fromLedger() const
{
    return m_fromLedger->isChecked();
}

int CurrentPlanWid::importMode() const
{
    return fromLedger() ? PayrollMonthPage : YearSheetPage;
}

void CurrentPlanWid::prepareJob()
{
    m_jobOptions = {fromLedger(), m_ledgerPath, m_year->value(), m_month->value()};
}

bool CurrentPlanWid::compute(const SheetImport &import, const RunControl &control, QString *error)
{
    if (m_jobOptions.fromLedger)
        return runLedgerYearSheet(import, m_jobOptions.ledger, m_jobOptions.year, m_jobOptions.month,
                                  &m_pendingLedger, error, control);
    return runYearSheet(import, &m_pendingSheet, error, control);
}

void CurrentPlanWid::showPending()
{
    m_shownOptions = m_jobOptions;
    model()->clear();
    m_showsLedger = m_shownOptions.fromLedger;
    if (m_showsLedger) {
        m_ledger = std::move(m_pendingLedger);
        m_pendingLedger = {};
        m_sheet = {};
        showLedgerPlan();
    } else {
        m_sheet = std::move(m_pendingSheet);
        m_pendingSheet = {};
        m_ledger = {};
        showSheetPlan();
    }
}

void CurrentPlanWid::showSheetPlan()
{
    const auto plan = [this](int row) -> const YearPlan & { return m_sheet.plans[size_t(row)]; };
    const YearPlanTotals *t = &m_sheet.totals;
    std::vector<ResultColumn> columns = {
        textColumn(u"编码"_s, 60, [this](int r) { return m_sheet.records[size_t(r)].code; }),
        textColumn(
            u"姓名"_s, 80, [this](int r) { return m_sheet.records[size_t(r)].name; },
            [] { return u"总计"_s; }),
        amountColumn(
            u"全年应发"_s, [plan](int r) { return plan(r).annual; }, [t] { return t->annual; }),
        amountColumn(
            u"计划奖金"_s, [plan](int r) { return plan(r).plannedBonus; }, [t] { return t->plannedBonus; }),
        amountColumn(
            u"计划全年税额"_s, [plan](int r) { return plan(r).plannedTax; }, [t] { return t->plannedTax; }),
        textColumn(
            u"奖金盲区"_s, 130, [plan](int r) { return blindZoneText(plan(r).blindZone); },
            [t] { return u"%1 人"_s.arg(t->inBlindZone); }),
        amountColumn(
            u"并入工资全年税额"_s, [plan](int r) { return plan(r).mergedTax; }, [t] { return t->mergedTax; }),
        amountColumn(
            u"最优奖金"_s, [plan](int r) { return plan(r).bestBonus; }, [t] { return t->bestBonus; }),
        amountColumn(u"最优每月工资"_s, [plan](int r) { return plan(r).bestMonthly; }),
        amountColumn(
            u"最优全年税额"_s, [plan](int r) { return plan(r).bestTax; }, [t] { return t->bestTax; }),
        amountColumn(
            u"节税"_s, [plan](int r) { return plan(r).saving; }, [t] { return t->saving; }),
    };
    model()->reset(std::move(columns), int(m_sheet.plans.size()), true);
    model()->setRowTint([plan](int r) { return plan(r).blindZone >= 0 ? blindZoneTint() : QColor(); });
    setSummary(
        yearPlanCompletionMessage(int(m_sheet.plans.size()), t->inBlindZone, int(m_sheet.unreadable.size())) +
        u"节税合计 %1。"_s.arg(formatAmount(t->saving)));
}

void CurrentPlanWid::showLedgerPlan()
{
    const auto rec = [this](int row) -> const LedgerYearPlan & { return m_ledger.records[size_t(row)]; };
    const LedgerYearPlanRun *run = &m_ledger;
    const YearPlanTotals *t = &m_ledger.totals;
    std::vector<ResultColumn> columns = {
        textColumn(u"工号"_s, 70, [rec](int r) { return rec(r).input.code; }),
        textColumn(
            u"姓名"_s, 80, [rec](int r) { return rec(r).input.name; }, [] { return u"总计"_s; }),
        textColumn(u"证件号码"_s, 150, [rec](int r) { return rec(r).input.idNumber; }),
        amountColumn(u"本期收入"_s, [rec](int r) { return rec(r).input.amounts[PfIncome]; }),
        amountColumn(
            u"计划奖金"_s, [rec](int r) { return rec(r).plan.plannedBonus; },
            [t] { return t->plannedBonus; }),
        amountColumn(
            u"计划全年税额"_s, [rec](int r) { return rec(r).plan.plannedTax; },
            [t] { return t->plannedTax; }),
        textColumn(
            u"奖金盲区"_s, 130,
            [rec](int r) {
                return rec(r).separateBefore ? u"本年已单独计税过"_s : blindZoneText(rec(r).plan.blindZone);
            },
            [t] { return u"%1 人"_s.arg(t->inBlindZone); }),
        amountColumn(
            u"并入工资全年税额"_s, [rec](int r) { return rec(r).plan.mergedTax; },
            [t] { return t->mergedTax; }),
        amountColumn(
            u"最优奖金"_s, [rec](int r) { return rec(r).plan.bestBonus; }, [t] { return t->bestBonus; }),
        amountColumn(u"本期工资"_s, [rec](int r) { return rec(r).periodWage; }),
        amountColumn(
            u"本期应预扣预缴"_s, [rec](int r) { return rec(r).periodWithheld; },
            [run] { return run->periodWithheld; }),
        amountColumn(
            u"奖金税额"_s, [rec](int r) { return rec(r).bonusTax; }, [run] { return run->bonusTax; }),
        amountColumn(
            u"最优全年税额"_s, [rec](int r) { return rec(r).plan.bestTax; }, [t] { return t->bestTax; }),
        amountColumn(
            u"节税"_s, [rec](int r) { return rec(r).plan.saving; }, [t] { return t->saving; }),
    };
    model()->reset(std::move(columns), int(m_ledger.records.size()), true);
    model()->setRowTint([rec](int r) { return rec(r).plan.blindZone >= 0 ? blindZoneTint() : QColor(); });
    QString text = u"所属期 %1 年 %2 月：台账中本年已记入 %3 个月。"_s.arg(m_ledger.year)
                       .arg(m_ledger.month)
                       .arg(m_ledger.recordedMonths);
    if (m_ledger.recordedMonths == 0)
        text += u"台账中所属期之前没有本年的月份，每人按本期为本年在本单位的第一个月筹划。"_s;
    text += yearPlanCompletionMessage(int(m_ledger.records.size()), t->inBlindZone, 0);
    text += u"节税合计 %1。"_s.arg(formatAmount(t->saving));
    const bool problems = !m_ledger.problems.empty();
    if (problems) {
        text += u"%1 行未筹划："_s.arg(m_ledger.problems.size());
        QStringList lines;
        for (size_t i = 0; i < m_ledger.problems.size() && i < 3; ++i) {
            const PayrollProblem &p = m_ledger.problems[i];
            lines << u"第 %1 行【%2】%3"_s.arg(p.sheetRow).arg(p.column, p.reason);
        }
        text += lines.join(u"；"_s) + (m_ledger.problems.size() > 3 ? u"……"_s : u"。"_s);
    }
    setSummary(text, problems);
}

std::vector<SheetExportChoice> CurrentPlanWid::exportChoices() const
{
    std::vector<SheetExportChoice> choices;
    if (model()->rowCount() == 0)
        return choices;
    const QString title = u"年终奖金筹划"_s;
    if (m_showsLedger) {
        choices.push_back({yearPlanScopeName(YearPlanScope::Compare),
                           [this, title] { return ledgerYearPlanLayout(m_ledger, title); }});
        choices.push_back({yearPlanScopeName(YearPlanScope::Saving),
                           [this, title] { return ledgerYearPlanSavingLayout(m_ledger, title); }});
        return choices;
    }
    for (YearPlanScope scope : kYearPlanScopes)
        choices.push_back({yearPlanScopeName(scope), [this, title, scope] {
                               return yearPlanLayout(m_sheet.records, m_sheet.plans, title, scope);
                           }});
    return choices;
}

void CurrentPlanWid::writeOptions(CurrentSheetRecord *record) const
{
    record->fromLedger = m_shownOptions.fromLedger;
    record->ledger = m_shownOptions.fromLedger ? m_shownOptions.ledger : QString();
    record->year = m_shownOptions.year;
    record->month = m_shownOptions.month;
}

void CurrentPlanWid::readOptions(const CurrentSheetRecord &record)
{
    if (!record.fromLedger) {
        setFromLedger(false);
        return;
    }
    setLedgerPath(record.ledger);
    // A ledger gone since is still the entry's: the plan says it cannot be read.
    m_fromLedger->setEnabled(true);
    setFromLedger(true, record.year, record.month);
}

std::pair<double, double> CurrentPlanWid::historyFigures() const
{
    const YearPlanTotals &t = m_showsLedger ? m_ledger.totals : m_sheet.totals;
    return {double(t.bestTax) / 100.0, double(t.saving) / 100.0};
}
