#include "pages/single/singlecalcwid.h"

#include "engine/ratetable.h"
#include "engine/taxengine.h"
#include "pages/single/displaymemodlg.h"
#include "pages/single/history.h"
#include "pages/single/historypanel.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace {

const QString kActionStyle = QStringLiteral("QPushButton{border-radius:5px; background:rgb(110, 190, 10); "
                                            "color:white;}QPushButton:hover{background:rgb(140, 220, 35);}");
const QString kSelectionStyle = QStringLiteral(
    "QTableWidget::item{selection-background-color:rgb(23,165,230);selection-color: rgb(255,255,255);}");
constexpr int kRows = 4;
constexpr int kColumns = 7;

QString rateText(const TaxItem &item)
{
    return QString::number(item.bracket ? item.bracket->rate : 0) + u'%';
}

QString deductionText(const TaxItem &item)
{
    return formatAmount(item.bracket ? item.bracket->quickDeduction : 0);
}

bool isInputValue(double yuan)
{
    return std::isfinite(yuan) && yuan >= 0 && yuan <= kMaxInputYuan;
}

} // namespace

SingleCalcWid::SingleCalcWid(QWidget *parent)
    : QWidget(parent), m_gross(makeAmountInput()), m_insurance(makeAmountInput()), m_bonus(makeAmountInput()),
      m_annuity(makeAmountInput()), m_calcButton(new QPushButton(QStringLiteral("计算"), this)),
      m_memoButton(new QPushButton(QStringLiteral("查看计算过程"), this)),
      m_saveButton(new QPushButton(QStringLiteral("Save"), this)),
      m_loadButton(new QPushButton(QStringLiteral("Load"), this)),
      m_table(new QTableWidget(kRows, kColumns, this)),
      m_local(new QRadioButton(QStringLiteral("3500元"), this)),
      m_foreign(new QRadioButton(QStringLiteral("4800元(外籍人员)"), this)),
      m_history(
          new HistoryPanel({QStringLiteral("时间"), QStringLiteral("月应发工资"), QStringLiteral("年终奖金")},
                           {85, 68, 68}, this))
{
    ensureRateTable();
    // The skin is painted behind the pages; a white page keeps the gray texts readable on any skin.
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    auto *description =
        new QLabel(QStringLiteral("用于计算月工资、年终一次性奖金、年金的个人所得税。"), this);
    QFont descriptionFont = description->font();
    descriptionFont.setPointSize(12);
    descriptionFont.setBold(true);
    description->setFont(descriptionFont);
    description->setStyleSheet(QStringLiteral("color:gray;"));

    auto *inputs = new QGridLayout;
    inputs->setHorizontalSpacing(12);
    inputs->setVerticalSpacing(4);
    const QString captions[] = {QStringLiteral("月应发工资"), QStringLiteral("三险一金"),
                                QStringLiteral("年终奖金"), QStringLiteral("企业年金")};
    QDoubleSpinBox *fields[] = {m_gross, m_insurance, m_bonus, m_annuity};
    for (int i = 0; i < 4; ++i) {
        auto *caption = new QLabel(captions[i], this);
        caption->setBuddy(fields[i]);
        inputs->addWidget(caption, 0, i);
        inputs->addWidget(fields[i], 1, i);
    }

    m_calcButton->setIcon(QIcon(QStringLiteral(":/contentWidget/calc")));
    m_calcButton->setIconSize(QSize(45, 45));
    m_calcButton->setFixedSize(120, 50);
    QFont calcFont = m_calcButton->font();
    calcFont.setPointSize(12);
    m_calcButton->setFont(calcFont);
    m_calcButton->setStyleSheet(kActionStyle);
    m_calcButton->setCursor(Qt::PointingHandCursor);
    m_memoButton->setFixedSize(110, 30);
    m_memoButton->setStyleSheet(kActionStyle);
    m_memoButton->setCursor(Qt::PointingHandCursor);
    m_saveButton->hide();
    m_loadButton->hide();

    auto *inputRow = new QHBoxLayout;
    inputRow->addLayout(inputs);
    inputRow->addSpacing(16);
    inputRow->addWidget(m_calcButton, 0, Qt::AlignBottom);
    inputRow->addStretch();

    m_table->setHorizontalHeaderLabels({QString(), QStringLiteral("应税收入"), QStringLiteral("个人所得税"),
                                        QStringLiteral("实发数"), QStringLiteral("税率"),
                                        QStringLiteral("速算扣除数"), QStringLiteral(" ")});
    const int widths[kColumns] = {100, 110, 100, 110, 40, 100, 1};
    for (int c = 0; c < kColumns; ++c)
        m_table->setColumnWidth(c, widths[c]);
    m_table->verticalHeader()->setVisible(false);
    m_table->verticalHeader()->setDefaultSectionSize(35);
    m_table->horizontalHeader()->setMinimumHeight(35);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setShowGrid(false);
    m_table->setMinimumHeight(190);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setStyleSheet(kSelectionStyle);
    const QString rowCaptions[kRows] = {QStringLiteral("月应发工资"), QStringLiteral("年终奖金"),
                                        QStringLiteral("企业年金"), QStringLiteral("总计")};
    for (int r = 0; r < kRows; ++r) {
        m_table->setItem(r, 0, new QTableWidgetItem(rowCaptions[r]));
        for (int c = 1; c < kColumns; ++c)
            setCell(r, c, QString());
    }

    auto *notes = new QLabel(
        QStringLiteral(
            "1、国税函[2009]"
            "694号第六条规定：企业年金是指企业及其职工按照《企业年金试行办法》的规定，在依法参加基本养老"
            "保险的基础上，自愿建立的补充养老保险。对个人取得本通知规定之外的其他补充养老保险收入，应全额并入"
            "当月工资、"
            "薪金所得依法征收个人所得税。\n2、在雇员当月工资薪金所得低于税法规定的费用扣除额时，若同时存在年"
            "金和全年一次性"
            "奖金的情况，我们先用“全年一次性奖金”补差额，不足部分再考虑用年金方式计算。\n3、最后一行的实发数"
            "总计，不包含"
            "扣税后的企业年金。"),
        this);
    QFont notesFont = notes->font();
    notesFont.setPointSize(9);
    notesFont.setBold(true);
    notes->setFont(notesFont);
    notes->setStyleSheet(QStringLiteral("color:gray;"));
    notes->setWordWrap(true);

    auto *work = new QWidget(this);
    auto *workLayout = new QVBoxLayout(work);
    workLayout->setContentsMargins(15, 12, 12, 12);
    workLayout->setSpacing(10);
    workLayout->addWidget(description);
    workLayout->addLayout(inputRow);
    auto *memoRow = new QHBoxLayout;
    memoRow->addWidget(m_memoButton);
    memoRow->addStretch();
    memoRow->addWidget(m_saveButton);
    memoRow->addWidget(m_loadButton);
    workLayout->addLayout(memoRow);
    workLayout->addWidget(m_table);
    workLayout->addWidget(notes);
    workLayout->addStretch();

    auto *threshold = new QGroupBox(QStringLiteral("个税免征额"), this);
    threshold->setFixedSize(260, 75);
    // Scoped to the box and its radio texts: a bare style would also strip the radio indicators.
    threshold->setStyleSheet(QStringLiteral("QGroupBox, QRadioButton{color:rgb(0, 120, 230);}"
                                            "QGroupBox{background:transparent;}"));
    m_local->setChecked(true);
    auto *thresholdLayout = new QHBoxLayout(threshold);
    thresholdLayout->addWidget(m_local);
    thresholdLayout->addWidget(m_foreign);

    const QString handleStyle = QStringLiteral("QSplitter::handle{background:lightgray;}");
    auto *right = new QSplitter(Qt::Vertical, this);
    right->setHandleWidth(1);
    right->setStyleSheet(handleStyle);
    right->addWidget(threshold);
    right->addWidget(m_history);
    right->setStretchFactor(1, 1);
    auto *main = new QSplitter(Qt::Horizontal, this);
    main->setHandleWidth(1);
    main->setStyleSheet(handleStyle);
    main->addWidget(work);
    main->addWidget(right);
    main->setStretchFactor(0, 1);
    main->setCollapsible(0, false);
    main->setCollapsible(1, false);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(main);

    connect(m_calcButton, &QPushButton::clicked, this, &SingleCalcWid::calc);
    connect(m_memoButton, &QPushButton::clicked, this, &SingleCalcWid::browseCalculateMemo);
    connect(m_saveButton, &QPushButton::clicked, this, &SingleCalcWid::save);
    connect(m_loadButton, &QPushButton::clicked, this, qOverload<>(&SingleCalcWid::load));
    connect(m_history->list(), &QTableWidget::cellDoubleClicked, this, &SingleCalcWid::openHistory);
    QTimer::singleShot(10, this, &SingleCalcWid::searchHistory);
}

QDoubleSpinBox *SingleCalcWid::makeAmountInput()
{
    auto *box = new QDoubleSpinBox(this);
    box->setDecimals(2);
    box->setRange(0, kMaxInputYuan);
    box->setValue(0);
    box->setPrefix(QString());
    box->setMinimumWidth(120);
    box->setAlignment(Qt::AlignRight);
    return box;
}

void SingleCalcWid::setCell(int row, int column, const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_table->setItem(row, column, item);
}

void SingleCalcWid::calc()
{
    Salary salary;
    salary.setMonthly(fenFromInput(m_gross->value()), fenFromInput(m_insurance->value()), 1);
    salary.setBonus(fenFromInput(m_bonus->value()));
    salary.setAnnuity(fenFromInput(m_annuity->value()));
    const TaxEngine engine(m_local->isChecked() ? kThresholdLocal : kThresholdForeign);
    engine.calculate(salary);

    const TaxItem *items[] = {salary.monthly.get(), salary.bonus.get(), salary.annuity.get()};
    for (int r = 0; r < 3; ++r) {
        const TaxItem *item = items[r];
        setCell(r, 1, item ? formatAmount(item->amount) : QString());
        setCell(r, 2, item ? formatAmount(item->tax) : QString());
        setCell(r, 3, item ? formatAmount(item->afterTax) : QString());
        setCell(r, 4, item ? rateText(*item) : QString());
        setCell(r, 5, item ? deductionText(*item) : QString());
    }
    setCell(3, 1, formatAmount(salary.taxableTotal));
    setCell(3, 2, formatAmount(salary.taxTotal));
    setCell(3, 3, formatAmount(salary.netTotal));
    setCell(3, 4, QString());
    setCell(3, 5, QString());
    m_processText = salary.processText;
    save();
}

void SingleCalcWid::browseCalculateMemo()
{
    if (m_processText.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("信息提示"),
                             QStringLiteral("查看计算过程前，请先计算薪资的个人所得税。"), QMessageBox::Ok);
        return;
    }
    DisplayMemoDlg dialog(QStringLiteral("个税计算过程"), m_processText, this);
    dialog.exec();
}

void SingleCalcWid::save()
{
    const double gross = m_gross->value();
    const double bonus = m_bonus->value();
    HistoryWriter writer(historyDir(), extension(), gross, bonus);
    QDataStream &out = writer.stream();
    out << m_insurance->value() << m_annuity->value() << m_local->isChecked() << m_processText;
    writeTableSnapshot(out, m_table);
    if (writer.commit())
        addHistoryRow(m_history->list(), writer.path(), writer.timeText(), gross, bonus);
}

void SingleCalcWid::load() {}

void SingleCalcWid::load(const QString &fileName)
{
    // Everything is read and checked first; the page changes only when the whole record is sound.
    HistoryReader reader(fileName);
    if (!reader.ok())
        return;
    QDataStream &in = reader.stream();
    double insurance = 0;
    double annuity = 0;
    bool local = true;
    QString processText;
    in >> insurance >> annuity >> local >> processText;
    TableSnapshot table;
    if (!reader.finish() || !readTableSnapshot(reader, kRows, kColumns, &table) || !reader.finish())
        return;
    const double gross = reader.head().value1;
    const double bonus = reader.head().value2;
    if (table.rows != kRows || table.columns != kColumns || !isInputValue(gross) || !isInputValue(bonus) ||
        !isInputValue(insurance) || !isInputValue(annuity))
        return;

    m_gross->setValue(gross);
    m_bonus->setValue(bonus);
    m_insurance->setValue(insurance);
    m_annuity->setValue(annuity);
    (local ? m_local : m_foreign)->setChecked(true);
    m_processText = processText;
    applyTableSnapshot(m_table, table);
}

void SingleCalcWid::searchHistory()
{
    fillHistoryList(m_history->list(), historyDir(), u"*."_qs + extension());
}

void SingleCalcWid::openHistory(int row, int /*column*/)
{
    const QString path = historyPathAt(m_history->list(), row);
    if (!path.isEmpty())
        load(path);
}
