#include "pages/single/currentcomparewid.h"

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
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace CurrentRules;

CurrentCompareWid::CurrentCompareWid(QWidget *parent)
    : QWidget(parent), m_form(new CurrentYearForm(this, false)),
      m_calcButton(pagekit::calcButton(QStringLiteral("比较"), this)),
      m_memoButton(pagekit::actionButton(QStringLiteral("查看计算过程"), this)),
      m_summary(new QTableWidget(2, 6, this)), m_years(new QTabWidget(this)),
      m_separate(currentkit::yearTable(m_years)), m_merged(currentkit::yearTable(m_years)),
      m_verdict(pagekit::resultCaption(QString(), this)),
      m_history(
          new HistoryPanel({QStringLiteral("时间"), QStringLiteral("年终奖金"), QStringLiteral("税额差")},
                           {85, 82, 82}, this)),
      m_watch(new pagekit::ResultWatch(this))
{
    pagekit::makeWhite(this);
    // Under these rules only the wages' bonus comes into it.
    m_form->bonus->setObjectName(QString());
    QLabel *description = pagekit::headline(
        QStringLiteral(
            "现行规定下，非全年一次性奖金并入发放当月工资，分摊不再改变全年税额。这里比较全年一次性"
            "奖金单独计税与并入综合所得两种方式的全年税额。"),
        this);
    description->setWordWrap(true);
    for (QWidget *field : m_form->fields()) {
        if (auto *box = qobject_cast<QAbstractSpinBox *>(field))
            pagekit::clickOnEnter(box, m_calcButton);
    }
    auto *actions = new QHBoxLayout;
    actions->addWidget(m_calcButton);
    actions->addSpacing(12);
    actions->addWidget(m_memoButton, 0, Qt::AlignVCenter);
    actions->addStretch();
    actions->addWidget(m_watch->notice());

    m_summary->setHorizontalHeaderLabels({QStringLiteral("计税方式"), QStringLiteral("已预扣预缴"),
                                          QStringLiteral("全年应纳税额"), QStringLiteral("年度汇算"),
                                          QStringLiteral("税后收入合计"), QStringLiteral("比较")});
    pagekit::styleResultTable(m_summary);
    m_summary->verticalHeader()->setDefaultSectionSize(26);
    m_summary->horizontalHeader()->setMinimumHeight(26);
    m_summary->setItem(0, 0, pagekit::captionItem(currentkit::methodName(0)));
    m_summary->setItem(1, 0, pagekit::captionItem(currentkit::methodName(1)));
    currentkit::fitColumnsTo(m_summary, {currentkit::methodName(1), QStringLiteral("999,999.99"),
                                         QStringLiteral("999,999.99"), QStringLiteral("应退税 99,999.99 元"),
                                         QStringLiteral("2,999,999.99"), QStringLiteral("较省税")});
    m_summary->setFixedHeight(26 * 3 + 4);
    m_years->addTab(m_separate, QStringLiteral("单独计税：逐月"));
    m_years->addTab(m_merged, QStringLiteral("并入综合所得：逐月"));
    m_verdict->setWordWrap(true);
    QFont bold = m_verdict->font();
    bold.setBold(true);
    m_verdict->setFont(bold);

    auto *work = new QWidget(this);
    auto *workLayout = new QVBoxLayout(work);
    workLayout->setContentsMargins(15, 12, 12, 12);
    workLayout->setSpacing(6);
    workLayout->addWidget(description);
    workLayout->addLayout(m_form->grid(3));
    workLayout->addLayout(actions);
    workLayout->addWidget(m_summary);
    workLayout->addWidget(m_verdict);
    workLayout->addWidget(m_years, 1);

    m_watch->watchInputs(m_form->fields());
    m_watch->addResults({m_summary, m_separate, m_merged, m_verdict});
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pagekit::pageSplitter(work, currentkit::rulesBox(this), m_history, false, this));

    connect(m_calcButton, &QPushButton::clicked, this, &CurrentCompareWid::calc);
    connect(m_memoButton, &QPushButton::clicked, this, &CurrentCompareWid::browseCalculateMemo);
    connect(m_history->list(), &QTableWidget::cellDoubleClicked, this, &CurrentCompareWid::openHistory);
    QTimer::singleShot(10, this, &CurrentCompareWid::searchHistory);
}

QString CurrentCompareWid::extension()
{
    return QString::fromLatin1(kCurrentCompareExtension);
}

void CurrentCompareWid::calc()
{
    present(m_form->record(), true);
}

bool CurrentCompareWid::present(const CurrentYearRecord &record, bool save)
{
    const BonusMethodComparison c = compareBonusMethods(toYearInput(record), true);
    if (!c.ok) {
        QMessageBox::warning(this, QStringLiteral("信息提示"), c.error, QMessageBox::Ok);
        return false;
    }
    const YearResult *years[2] = {c.separateAllowed ? &c.separate : nullptr, &c.merged};
    QTableWidget *tables[2] = {m_separate, m_merged};
    const bool cheaper[2] = {c.separateAllowed && c.separateCheaper,
                             c.separateAllowed && !c.separateCheaper && c.difference < 0};
    for (int r = 0; r < 2; ++r) {
        if (!years[r]) {
            pagekit::setRowTexts(
                m_summary, r, 1,
                {QString(), QString(), QStringLiteral("不可单独计税"), QString(), QString()});
            tables[r]->clearContents();
            tables[r]->setRowCount(0);
            m_years->setTabEnabled(r, false);
        } else {
            const YearResult &y = *years[r];
            pagekit::setRowTexts(m_summary, r, 1,
                                 {formatAmount(y.withheldTotal), formatAmount(y.annualTax),
                                  currentkit::settlementText(y), formatAmount(y.netTotal),
                                  cheaper[r] ? QStringLiteral("较省税") : QString()});
            currentkit::showYear(tables[r], y);
            m_years->setTabEnabled(r, true);
        }
        pagekit::tintRow(m_summary, r, cheaper[r] ? pagekit::kAfterRowColor : QColor(Qt::white));
    }
    if (!c.separateAllowed)
        m_verdict->setText(c.error);
    else if (c.difference > 0)
        m_verdict->setText(
            QStringLiteral("单独计税比并入综合所得少缴税 %1 元。").arg(formatAmount(c.difference)));
    else if (c.difference < 0)
        m_verdict->setText(
            QStringLiteral("并入综合所得比单独计税少缴税 %1 元。").arg(formatAmount(-c.difference)));
    else
        m_verdict->setText(QStringLiteral("两种方式全年税额相同。"));
    m_years->setCurrentIndex(c.separateAllowed && c.separateCheaper ? 0 : 1);
    m_processText = c.processText;
    m_watch->setFresh();
    if (save) {
        HistoryWriter writer(historyDir(), extension(), yuanFromFen(record.bonus), yuanFromFen(c.difference));
        writeCurrentYearRecord(writer.stream(), record);
        if (addHistoryEntry(m_history->list(), writer))
            markHistoryRow(m_history->list(), 0, TaxRules::Current);
    }
    return true;
}

void CurrentCompareWid::browseCalculateMemo()
{
    if (m_processText.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("信息提示"), QStringLiteral("查看计算过程前，请先比较。"),
                             QMessageBox::Ok);
        return;
    }
    DisplayMemoDlg dialog(QStringLiteral("奖金计税方式比较过程（现行规定）"), m_processText, this);
    dialog.exec();
}

void CurrentCompareWid::load(const QString &fileName)
{
    if (!loadRecord(fileName))
        QMessageBox::warning(this, QStringLiteral("信息提示"), kUnreadableHistoryText, QMessageBox::Ok);
}

bool CurrentCompareWid::loadRecord(const QString &fileName)
{
    HistoryReader reader(fileName);
    CurrentYearRecord record;
    if (!reader.ok() || !readCurrentYearRecord(reader, &record))
        return false;
    m_form->setRecord(record);
    return present(record, false);
}

void CurrentCompareWid::searchHistory()
{
    fillRulesHistory(m_history->list(), historyDir(), 4, TaxRules::Current);
}

void CurrentCompareWid::openHistory(int row, int /*column*/)
{
    openRulesHistory(this, m_history->list(), row, TaxRules::Current,
                     [this](const QString &path) { return loadRecord(path); });
}
