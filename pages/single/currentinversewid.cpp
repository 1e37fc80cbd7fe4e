#include "pages/single/currentinversewid.h"

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
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace CurrentRules;

CurrentInverseWid::CurrentInverseWid(QWidget *parent)
    : QWidget(parent), m_fromNet(new QRadioButton(QStringLiteral("由税后年收入反算税前年薪"), this)),
      m_fromPay(new QRadioButton(QStringLiteral("由税前年薪求最优分配和税后收入"), this)),
      m_amountCaption(new QLabel(this)), m_amount(pagekit::amountInput(this)),
      m_insurance(pagekit::amountInput(this)), m_special(pagekit::amountInput(this)),
      m_calcButton(pagekit::calcButton(QStringLiteral("计算"), this)),
      m_memoButton(pagekit::actionButton(QStringLiteral("查看计算过程"), this)), m_note(new QLabel(this)),
      m_history(
          new HistoryPanel({QStringLiteral("时间"), QStringLiteral("税前年薪"), QStringLiteral("全年税额")},
                           {85, 82, 82}, this)),
      m_watch(new pagekit::ResultWatch(this))
{
    pagekit::makeWhite(this);
    QLabel *description = pagekit::headline(
        QStringLiteral(
            "按现行规定，年薪在单独计税的年终奖金与 12 个月工资之间最优分配：由税后年收入求税前年薪，"
            "或由税前年薪求税后收入。"),
        this);
    description->setWordWrap(true);
    m_fromNet->setChecked(true);
    auto *modes = new QHBoxLayout;
    modes->addWidget(m_fromNet);
    modes->addSpacing(16);
    modes->addWidget(m_fromPay);
    modes->addStretch();

    auto *inputs = new QGridLayout;
    inputs->setHorizontalSpacing(6);
    inputs->setVerticalSpacing(8);
    m_amountCaption->setBuddy(m_amount);
    auto *insuranceCaption = new QLabel(QStringLiteral("全年三险一金"), this);
    insuranceCaption->setBuddy(m_insurance);
    auto *specialCaption = new QLabel(QStringLiteral("全年专项附加扣除"), this);
    specialCaption->setBuddy(m_special);
    inputs->addWidget(m_amountCaption, 0, 0);
    inputs->addWidget(m_amount, 0, 1);
    inputs->addWidget(insuranceCaption, 1, 0);
    inputs->addWidget(m_insurance, 1, 1);
    inputs->setColumnMinimumWidth(2, 14);
    inputs->addWidget(specialCaption, 1, 3);
    inputs->addWidget(m_special, 1, 4);
    for (QDoubleSpinBox *field : {m_amount, m_insurance, m_special})
        pagekit::clickOnEnter(field, m_calcButton);
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
    figures->setVerticalSpacing(10);
    const QStringList captions = resultCaptions();
    QList<QWidget *> resultWidgets;
    for (int i = 0; i < captions.size(); ++i) {
        QLabel *caption = pagekit::resultCaption(captions.at(i), this);
        QLabel *value = pagekit::resultValue(this, true);
        value->setMinimumWidth(130);
        m_results << value;
        resultWidgets << value;
        figures->addWidget(caption, i / 2, 3 * (i % 2));
        figures->addWidget(value, i / 2, 3 * (i % 2) + 1);
    }
    figures->setColumnMinimumWidth(2, 24);
    figures->setColumnStretch(5, 1);
    m_note->setWordWrap(true);
    m_note->setStyleSheet(QStringLiteral("color:gray;"));

    auto *work = new QWidget(this);
    auto *workLayout = new QVBoxLayout(work);
    workLayout->setContentsMargins(15, 12, 12, 12);
    workLayout->setSpacing(10);
    workLayout->addWidget(description);
    workLayout->addLayout(modes);
    workLayout->addLayout(inputRow);
    workLayout->addLayout(memoRow);
    workLayout->addLayout(figures);
    workLayout->addWidget(m_note);
    workLayout->addStretch();

    m_watch->watchInputs({m_fromNet, m_fromPay, m_amount, m_insurance, m_special});
    m_watch->addResults(resultWidgets);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pagekit::pageSplitter(work, currentkit::rulesBox(this), m_history, false, this));

    connect(m_fromNet, &QRadioButton::toggled, this, &CurrentInverseWid::showMode);
    connect(m_calcButton, &QPushButton::clicked, this, &CurrentInverseWid::calc);
    connect(m_memoButton, &QPushButton::clicked, this, &CurrentInverseWid::browseCalculateMemo);
    connect(m_history->list(), &QTableWidget::cellDoubleClicked, this, &CurrentInverseWid::openHistory);
    showMode();
    QTimer::singleShot(10, this, &CurrentInverseWid::searchHistory);
}

QString CurrentInverseWid::extension()
{
    return QString::fromLatin1(kCurrentInverseExtension);
}

QStringList CurrentInverseWid::resultCaptions()
{
    return {QStringLiteral("税前年薪"), QStringLiteral("税后收入"), QStringLiteral("年终奖金"),
            QStringLiteral("每月工资"), QStringLiteral("全年税额"), QStringLiteral("节税")};
}

void CurrentInverseWid::showMode()
{
    m_amountCaption->setText(m_fromNet->isChecked() ? QStringLiteral("税后年收入")
                                                    : QStringLiteral("税前年薪"));
    m_note->setText(
        m_fromNet->isChecked()
            ? QStringLiteral("税后收入 = 税前年薪 − 全年三险一金 − 全年税额。结果是税后收入不低于所填金额的"
                             "最低税前年薪，精确到分：少 0.01 元，税后收入就低于所填金额。")
            : QStringLiteral("税后收入 = 税前年薪 − 全年三险一金 − 全年税额。"));
}

void CurrentInverseWid::calc()
{
    CurrentInverseRecord record;
    record.fromNet = m_fromNet->isChecked();
    record.amount = fenFromInput(m_amount->value());
    record.insurance = fenFromInput(m_insurance->value());
    record.special = fenFromInput(m_special->value());
    present(record, true);
}

bool CurrentInverseWid::present(const CurrentInverseRecord &record, bool save)
{
    SplitResult split;
    if (record.fromNet) {
        const AnnualInverseResult inverse = annualForNet(toSplitInput(record), record.amount, true);
        if (!inverse.ok) {
            QMessageBox::warning(this, QStringLiteral("信息提示"), inverse.error, QMessageBox::Ok);
            return false;
        }
        split = inverse.split;
        m_processText = inverse.processText;
    } else {
        split = bestSplit(toSplitInput(record), true);
        m_processText = split.processText;
    }
    const QString monthly = split.monthly[0] == split.monthly[11]
                                ? formatAmount(split.monthly[0])
                                : formatAmount(split.monthly[0]) + u'/' + formatAmount(split.monthly[11]);
    const QStringList values{formatAmount(split.annual),   formatAmount(split.netTotal),
                             formatAmount(split.bonus),    monthly,
                             formatAmount(split.taxTotal), formatAmount(split.taxDecrease)};
    for (int i = 0; i < values.size(); ++i)
        m_results.at(i)->setText(values.at(i));
    m_watch->setFresh();
    if (save) {
        HistoryWriter writer(historyDir(), extension(), yuanFromFen(split.annual),
                             yuanFromFen(split.taxTotal));
        writeCurrentInverseRecord(writer.stream(), record);
        if (addHistoryEntry(m_history->list(), writer))
            markHistoryRow(m_history->list(), 0, TaxRules::Current);
    }
    return true;
}

void CurrentInverseWid::browseCalculateMemo()
{
    if (m_processText.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("信息提示"), QStringLiteral("查看计算过程前，请先计算。"),
                             QMessageBox::Ok);
        return;
    }
    DisplayMemoDlg dialog(QStringLiteral("年薪筹划过程（现行规定）"), m_processText, this);
    dialog.exec();
}

void CurrentInverseWid::load(const QString &fileName)
{
    if (!loadRecord(fileName))
        QMessageBox::warning(this, QStringLiteral("信息提示"), kUnreadableHistoryText, QMessageBox::Ok);
}

bool CurrentInverseWid::loadRecord(const QString &fileName)
{
    HistoryReader reader(fileName);
    CurrentInverseRecord record;
    if (!reader.ok() || !readCurrentInverseRecord(reader, &record))
        return false;
    (record.fromNet ? m_fromNet : m_fromPay)->setChecked(true);
    m_amount->setValue(yuanFromFen(record.amount));
    m_insurance->setValue(yuanFromFen(record.insurance));
    m_special->setValue(yuanFromFen(record.special));
    return present(record, false);
}

void CurrentInverseWid::searchHistory()
{
    fillRulesHistory(m_history->list(), historyDir(), 6, TaxRules::Current);
}

void CurrentInverseWid::openHistory(int row, int /*column*/)
{
    openRulesHistory(this, m_history->list(), row, TaxRules::Current,
                     [this](const QString &path) { return loadRecord(path); });
}
