#include "pages/single/currentcalcwid.h"

#include "history/currentrecords.h"
#include "pages/single/currentyearform.h"
#include "pages/single/displaymemodlg.h"
#include "widgets/historylist.h"
#include "widgets/historypanel.h"
#include "widgets/pagekit.h"
#include "widgets/taxrules.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace CurrentRules;

CurrentCalcWid::CurrentCalcWid(QWidget *parent)
    : QWidget(parent), m_form(new CurrentYearForm(this, true)),
      m_calcButton(pagekit::calcButton(QStringLiteral("计算"), this)),
      m_memoButton(pagekit::actionButton(QStringLiteral("查看计算过程"), this)),
      m_table(currentkit::yearTable(this)), m_bonusLine(new QLabel(this)), m_totalsLine(new QLabel(this)),
      m_methodsLine(new QLabel(this)), m_settlementLine(pagekit::resultCaption(QString(), this)),
      m_history(
          new HistoryPanel({QStringLiteral("时间"), QStringLiteral("月应发工资"), QStringLiteral("年终奖金")},
                           {85, 68, 68}, this)),
      m_watch(new pagekit::ResultWatch(this))
{
    pagekit::makeWhite(this);
    QLabel *description = pagekit::headline(
        QStringLiteral("按现行规定计算居民个人一年的工资薪金（累计预扣法）和全年一次性奖金的个人所得税。"),
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

    for (QLabel *line : {m_bonusLine, m_totalsLine, m_methodsLine, m_settlementLine})
        line->setWordWrap(true);
    QFont bold = m_settlementLine->font();
    bold.setBold(true);
    m_settlementLine->setFont(bold);

    auto *work = new QWidget(this);
    auto *workLayout = new QVBoxLayout(work);
    workLayout->setContentsMargins(15, 12, 12, 12);
    workLayout->setSpacing(6);
    workLayout->addWidget(description);
    workLayout->addLayout(m_form->grid(3));
    workLayout->addLayout(actions);
    workLayout->addWidget(m_table, 1);
    workLayout->addWidget(m_bonusLine);
    workLayout->addWidget(m_methodsLine);
    workLayout->addWidget(m_totalsLine);
    workLayout->addWidget(m_settlementLine);

    m_watch->watchInputs(m_form->fields());
    m_watch->addResults({m_table, m_bonusLine, m_methodsLine, m_totalsLine, m_settlementLine});
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pagekit::pageSplitter(work, currentkit::rulesBox(this), m_history, false, this));

    connect(m_calcButton, &QPushButton::clicked, this, &CurrentCalcWid::calc);
    connect(m_memoButton, &QPushButton::clicked, this, &CurrentCalcWid::browseCalculateMemo);
    connect(m_history->list(), &QTableWidget::cellDoubleClicked, this, &CurrentCalcWid::openHistory);
    QTimer::singleShot(10, this, &CurrentCalcWid::searchHistory);
}

QString CurrentCalcWid::extension()
{
    return QString::fromLatin1(kCurrentCalcExtension);
}

void CurrentCalcWid::calc()
{
    present(true);
}

bool CurrentCalcWid::present(bool save)
{
    const CurrentYearRecord record = m_form->record();
    const YearInput in = toYearInput(record);
    QString error;
    if (!checkYearInput(in, &error)) {
        QMessageBox::warning(this, QStringLiteral("信息提示"), error + QStringLiteral("。"), QMessageBox::Ok);
        return false;
    }
    const YearResult year = calculateYear(in, true);
    currentkit::showYear(m_table, year);
    m_bonusLine->setText(currentkit::bonusText(year));
    m_bonusLine->setVisible(year.bonus.present);
    if (year.bonus.present && year.bonus.compared) {
        const bool separate = year.bonus.method == BonusMethod::Separate;
        const Amount separateTax = separate ? year.annualTax : year.bonus.otherMethodAnnualTax;
        const Amount mergedTax = separate ? year.bonus.otherMethodAnnualTax : year.annualTax;
        m_methodsLine->setText(QStringLiteral("全年税额：单独计税 %1 元，并入综合所得 %2 元，选用%3。")
                                   .arg(formatAmount(separateTax), formatAmount(mergedTax),
                                        currentkit::methodName(separate ? 0 : 1)));
        m_methodsLine->show();
    } else {
        m_methodsLine->clear();
        m_methodsLine->hide();
    }
    m_totalsLine->setText(QStringLiteral("全年已预扣预缴 %1 元，全年应纳税额 %2 元，税后收入合计 %3 元。")
                              .arg(formatAmount(year.withheldTotal), formatAmount(year.annualTax),
                                   formatAmount(year.netTotal)));
    m_settlementLine->setText(QStringLiteral("年度汇算：") + currentkit::settlementText(year));
    m_processText = year.processText;
    m_watch->setFresh();
    if (save) {
        HistoryWriter writer(historyDir(), extension(), m_form->wage->value(), m_form->bonus->value());
        writeCurrentYearRecord(writer.stream(), record);
        if (addHistoryEntry(m_history->list(), writer))
            markHistoryRow(m_history->list(), 0, TaxRules::Current);
    }
    return true;
}

void CurrentCalcWid::browseCalculateMemo()
{
    if (m_processText.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("信息提示"),
                             QStringLiteral("查看计算过程前，请先计算薪资的个人所得税。"), QMessageBox::Ok);
        return;
    }
    DisplayMemoDlg dialog(QStringLiteral("个税计算过程（现行规定）"), m_processText, this);
    dialog.exec();
}

void CurrentCalcWid::load(const QString &fileName)
{
    if (!loadRecord(fileName))
        QMessageBox::warning(this, QStringLiteral("信息提示"), kUnreadableHistoryText, QMessageBox::Ok);
}

bool CurrentCalcWid::loadRecord(const QString &fileName)
{
    HistoryReader reader(fileName);
    CurrentYearRecord record;
    if (!reader.ok() || !readCurrentYearRecord(reader, &record))
        return false;
    m_form->setRecord(record);
    return present(false);
}

void CurrentCalcWid::searchHistory()
{
    fillRulesHistory(m_history->list(), historyDir(), 0, TaxRules::Current);
}

void CurrentCalcWid::openHistory(int row, int /*column*/)
{
    openRulesHistory(this, m_history->list(), row, TaxRules::Current,
                     [this](const QString &path) { return loadRecord(path); });
}
