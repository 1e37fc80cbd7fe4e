#include "pages/single/currentsavecalcwid.h"

#include "engine/splitcandidates.h"
#include "history/currentrecords.h"
#include "pages/single/currentyearform.h"
#include "pages/single/displaymemodlg.h"
#include "widgets/historylist.h"
#include "widgets/historypanel.h"
#include "widgets/pagekit.h"
#include "widgets/taxrules.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace CurrentRules;

namespace {

QString zoneText(const BlindZone &zone)
{
    return QStringLiteral("%1–%2").arg(formatAmount(zone.lower + 1), formatAmount(zone.upper));
}

} // namespace

CurrentSaveCalcWid::CurrentSaveCalcWid(QWidget *parent)
    : QWidget(parent), m_annual(pagekit::amountInput(this)), m_insurance(pagekit::amountInput(this)),
      m_special(pagekit::amountInput(this)), m_bonus(pagekit::amountInput(this)),
      m_calcButton(pagekit::calcButton(QStringLiteral("筹划"), this)),
      m_memoButton(pagekit::actionButton(QStringLiteral("查看计算过程"), this)),
      m_candidates(new QTableWidget(0, 8, this)), m_blindZone(new QLabel(this)),
      m_history(new HistoryPanel({QStringLiteral("时间"), QStringLiteral("全年应发"), QStringLiteral("节税")},
                                 {85, 82, 82}, this)),
      m_watch(new pagekit::ResultWatch(this))
{
    pagekit::makeWhite(this);
    m_bonus->setObjectName(kCarryBonus);
    QLabel *description = pagekit::headline(
        QStringLiteral(
            "按现行规定，在单独计税的全年一次性奖金与 12 个月工资之间分配全年应发，找出全年税额最少的方案。"),
        this);
    description->setWordWrap(true);
    QGridLayout *inputs =
        pagekit::inputGrid({QStringLiteral("全年应发"), QStringLiteral("全年三险一金"),
                            QStringLiteral("全年专项附加扣除"), QStringLiteral("拟发年终奖金")},
                           {m_annual, m_insurance, m_special, m_bonus}, 2, this);
    for (QDoubleSpinBox *field : {m_annual, m_insurance, m_special, m_bonus})
        pagekit::clickOnEnter(field, m_calcButton);
    m_bonus->setToolTip(QStringLiteral("可不填；填写时检查它是否落在单独计税的盲区"));
    auto *inputRow = new QHBoxLayout;
    inputRow->addLayout(inputs);
    inputRow->addSpacing(16);
    inputRow->addWidget(m_calcButton, 0, Qt::AlignVCenter);
    inputRow->addStretch();

    auto *memoRow = new QHBoxLayout;
    memoRow->addWidget(m_memoButton);
    memoRow->addStretch();
    memoRow->addWidget(m_watch->notice());

    auto *figures = new QGridLayout;
    figures->setHorizontalSpacing(10);
    const QStringList captions = resultCaptions();
    for (int i = 0; i < captions.size(); ++i) {
        QLabel *value = pagekit::resultValue(this, true);
        value->setMinimumWidth(110);
        m_results << value;
        figures->addWidget(pagekit::resultCaption(captions.at(i), this), i / 3, 2 * (i % 3));
        figures->addWidget(value, i / 3, 2 * (i % 3) + 1);
    }

    m_candidates->setHorizontalHeaderLabels({QStringLiteral("方案"), QStringLiteral("年终奖金"),
                                             QStringLiteral("全年工资"), QStringLiteral("工资税额"),
                                             QStringLiteral("奖金税额"), QStringLiteral("全年税额"),
                                             QStringLiteral("比最优多缴"), QStringLiteral("税后收入")});
    pagekit::styleResultTable(m_candidates);
    m_candidates->verticalHeader()->setDefaultSectionSize(26);
    pagekit::fitColumns(m_candidates, {70, 96, 100, 86, 86, 86, 86, 100});

    QStringList zones;
    for (const BlindZone &zone : bonusBlindZones())
        zones << zoneText(zone);
    auto *zoneList =
        new QLabel(QStringLiteral("单独计税的年终奖金盲区（元）：") + zones.join(QStringLiteral("、")) +
                       QStringLiteral("。奖金落入盲区时，多发的奖金还不够多缴的税。"),
                   this);
    zoneList->setWordWrap(true);
    zoneList->setStyleSheet(QStringLiteral("color:gray;"));
    m_blindZone->setWordWrap(true);
    m_blindZone->setStyleSheet(QStringLiteral("color:rgb(230, 110, 0); font-weight:bold;"));

    auto *work = new QWidget(this);
    auto *workLayout = new QVBoxLayout(work);
    workLayout->setContentsMargins(15, 12, 12, 12);
    workLayout->setSpacing(8);
    workLayout->addWidget(description);
    workLayout->addLayout(inputRow);
    workLayout->addLayout(memoRow);
    workLayout->addLayout(figures);
    workLayout->addWidget(m_candidates, 1);
    workLayout->addWidget(m_blindZone);
    workLayout->addWidget(zoneList);

    m_watch->watchInputs({m_annual, m_insurance, m_special, m_bonus});
    m_watch->addResults({m_candidates, m_blindZone});
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pagekit::pageSplitter(work, currentkit::rulesBox(this), m_history, false, this));

    connect(m_calcButton, &QPushButton::clicked, this, &CurrentSaveCalcWid::calc);
    connect(m_memoButton, &QPushButton::clicked, this, &CurrentSaveCalcWid::browseCalculateMemo);
    connect(m_history->list(), &QTableWidget::cellDoubleClicked, this, &CurrentSaveCalcWid::openHistory);
    QTimer::singleShot(10, this, &CurrentSaveCalcWid::searchHistory);
}

QString CurrentSaveCalcWid::extension()
{
    return QString::fromLatin1(kCurrentSplitExtension);
}

QStringList CurrentSaveCalcWid::resultCaptions()
{
    return {QStringLiteral("年终奖金"),         QStringLiteral("每月工资"), QStringLiteral("全年税额"),
            QStringLiteral("全部作为工资纳税"), QStringLiteral("节税"),     QStringLiteral("税后收入合计")};
}

void CurrentSaveCalcWid::calc()
{
    CurrentSplitRecord record;
    record.annual = fenFromInput(m_annual->value());
    record.insurance = fenFromInput(m_insurance->value());
    record.special = fenFromInput(m_special->value());
    const Amount bonus = fenFromInput(m_bonus->value());
    record.enteredBonus = bonus > 0 ? bonus : -1;
    present(record, true);
}

void CurrentSaveCalcWid::present(const CurrentSplitRecord &record, bool save)
{
    const SplitInput in = toSplitInput(record);
    const SplitResult best = bestSplit(in, true);
    // The wages in twelve amounts that differ by at most a fen: the larger ones come first.
    const QString monthly = best.monthly[0] == best.monthly[11]
                                ? formatAmount(best.monthly[0])
                                : formatAmount(best.monthly[0]) + u'/' + formatAmount(best.monthly[11]);
    const QStringList values{formatAmount(best.bonus),       monthly,
                             formatAmount(best.taxTotal),    formatAmount(best.allWageTax),
                             formatAmount(best.taxDecrease), formatAmount(best.netTotal)};
    for (int i = 0; i < values.size(); ++i)
        m_results.at(i)->setText(values.at(i));

    const std::vector<SplitCandidate> rows = splitCandidates(in, best);
    m_candidates->clearContents();
    m_candidates->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r) {
        const SplitCandidate &c = rows[size_t(r)];
        const QString name = c.isBest       ? QStringLiteral("最优")
                             : c.bonus == 0 ? QStringLiteral("全部工资")
                                            : QString();
        pagekit::setRowTexts(m_candidates, r, 0,
                             {name, formatAmount(c.bonus), formatAmount(c.wages), formatAmount(c.wageTax),
                              formatAmount(c.bonusTax), formatAmount(c.taxTotal), formatAmount(c.aboveBest),
                              formatAmount(c.netTotal)});
        if (c.isBest)
            pagekit::tintRow(m_candidates, r, pagekit::kAfterRowColor);
    }

    if (record.enteredBonus > 0) {
        if (const BlindZone *zone = bonusBlindZoneOf(record.enteredBonus))
            m_blindZone->setText(
                QStringLiteral("年终奖金 %1 元落入盲区 %2 元：单独计税时，少发到 %3 元，税后反而不少。")
                    .arg(formatAmount(record.enteredBonus), zoneText(*zone), formatAmount(zone->lower)));
        else
            m_blindZone->setText(
                QStringLiteral("年终奖金 %1 元不在盲区。").arg(formatAmount(record.enteredBonus)));
    } else {
        m_blindZone->clear();
    }
    m_processText = best.processText;
    m_watch->setFresh();
    if (save) {
        HistoryWriter writer(historyDir(), extension(), m_annual->value(), yuanFromFen(best.taxDecrease));
        writeCurrentSplitRecord(writer.stream(), record);
        if (addHistoryEntry(m_history->list(), writer))
            markHistoryRow(m_history->list(), 0, TaxRules::Current);
    }
}

void CurrentSaveCalcWid::browseCalculateMemo()
{
    if (m_processText.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("信息提示"), QStringLiteral("查看计算过程前，请先筹划。"),
                             QMessageBox::Ok);
        return;
    }
    DisplayMemoDlg dialog(QStringLiteral("节税筹划过程（现行规定）"), m_processText, this);
    dialog.exec();
}

void CurrentSaveCalcWid::load(const QString &fileName)
{
    if (!loadRecord(fileName))
        QMessageBox::warning(this, QStringLiteral("信息提示"), kUnreadableHistoryText, QMessageBox::Ok);
}

bool CurrentSaveCalcWid::loadRecord(const QString &fileName)
{
    HistoryReader reader(fileName);
    CurrentSplitRecord record;
    if (!reader.ok() || !readCurrentSplitRecord(reader, &record))
        return false;
    m_annual->setValue(yuanFromFen(record.annual));
    m_insurance->setValue(yuanFromFen(record.insurance));
    m_special->setValue(yuanFromFen(record.special));
    m_bonus->setValue(record.enteredBonus > 0 ? yuanFromFen(record.enteredBonus) : 0);
    present(record, false);
    return true;
}

void CurrentSaveCalcWid::searchHistory()
{
    fillRulesHistory(m_history->list(), historyDir(), 2, TaxRules::Current);
}

void CurrentSaveCalcWid::openHistory(int row, int /*column*/)
{
    openRulesHistory(this, m_history->list(), row, TaxRules::Current,
                     [this](const QString &path) { return loadRecord(path); });
}
