#include "pages/batch/currentmonthwid.h"

#include "history/currentrecords.h"
#include "history/payrollrecords.h"
#include "pages/batch/payrolldialogs.h"
#include "widgets/historylist.h"
#include "widgets/historypanel.h"
#include "widgets/pagekit.h"
#include "widgets/resulttablemodel.h"
#include "wizards/export/sheetexportwizard.h"
#include "wizards/import/sheetimportwizard.h"

#include "batch/columncatalogue.h"

#include <QComboBox>
#include <QDate>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <thread>
#include <utility>

using CurrentRules::BonusMethod;

namespace {

const QColor kProblemTint(255, 214, 214);

// How often the window looks whether a job's thread has ended (milliseconds).
constexpr int kJobPollMs = 10;

} // namespace

// A job off the window's thread and what it hands back; the thread writes only here.
struct CurrentMonthWid::Job
{
    std::thread thread;
    std::atomic<bool> cancel{false};
    // Set by the thread when the work has ended. The window polls it and joins the thread before
    // it looks at the results: a hand-over the thread checker follows, where a queued signal
    // crosses Qt's event queue under locks it cannot see.
    std::atomic<bool> ended{false};
    std::function<void(Job &)> done;
    bool ok = false;
    QString error;
    QStringList warnings;
    PayrollSheet sheet;
    PayrollMonthRun run;
    QList<LedgerMonth> months;
    QList<int> later;
    std::vector<PayrollSettlement> settlements;

    ~Job()
    {
        if (thread.joinable()) {
            cancel = true;
            thread.join();
        }
    }
};

CurrentMonthWid::CurrentMonthWid(QWidget *parent) : QWidget(parent)
{
    pagekit::makeWhite(this);

    m_ledgerEdit = new QLineEdit(this);
    m_ledgerEdit->setReadOnly(true);
    m_chooseButton = new QPushButton(QStringLiteral("选择…"), this);
    m_newButton = new QPushButton(QStringLiteral("新建…"), this);
    m_year = new QSpinBox(this);
    m_year->setRange(kCurrentFirstYear, kCurrentLastYear);
    m_year->setSuffix(QStringLiteral(" 年"));
    m_month = new QSpinBox(this);
    m_month->setRange(1, 12);
    m_month->setSuffix(QStringLiteral(" 月"));
    m_method = new QComboBox(this);
    m_method->addItems({QStringLiteral("单独计税"), QStringLiteral("并入当月工资")});

    m_importButton = pagekit::actionButton(QStringLiteral("导入"), this);
    m_calcButton = pagekit::actionButton(QStringLiteral("计算"), this);
    m_recordButton = pagekit::actionButton(QStringLiteral("记录本月"), this);
    m_undoButton = new QPushButton(QStringLiteral("撤销最近记录的月份"), this);
    m_exportButton = pagekit::actionButton(QStringLiteral("导出"), this);
    m_settleButton = new QPushButton(QStringLiteral("年度汇算预估"), this);

    // Three rows, so that the page fits the smallest window: what concerns the ledger file, the
    // period being paid, and the month's steps.
    auto *ledgerRow = new QHBoxLayout;
    ledgerRow->addWidget(new QLabel(QStringLiteral("账套："), this));
    m_ledgerEdit->setMinimumWidth(120);
    ledgerRow->addWidget(m_ledgerEdit, 1);
    ledgerRow->addWidget(m_chooseButton);
    ledgerRow->addWidget(m_newButton);
    ledgerRow->addWidget(m_undoButton);
    ledgerRow->addWidget(m_settleButton);

    auto *periodRow = new QHBoxLayout;
    periodRow->addWidget(new QLabel(QStringLiteral("纳税年度"), this));
    periodRow->addWidget(m_year);
    periodRow->addSpacing(8);
    periodRow->addWidget(new QLabel(QStringLiteral("月份"), this));
    periodRow->addWidget(m_month);
    periodRow->addSpacing(8);
    periodRow->addWidget(new QLabel(QStringLiteral("全年一次性奖金"), this));
    periodRow->addWidget(m_method);
    periodRow->addStretch(1);

    auto *buttonRow = new QHBoxLayout;
    for (QPushButton *b : {m_importButton, m_calcButton, m_recordButton, m_exportButton})
        buttonRow->addWidget(b);
    buttonRow->addStretch(1);

    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_resultModel = new ResultTableModel(this);
    m_problemModel = new ResultTableModel(this);
    m_problemModel->setRowTint([](int) { return kProblemTint; });
    m_resultView = resultTableView(this, m_resultModel);
    m_resultView->setToolTip(QStringLiteral("双击一位员工查看其本年各月"));
    m_problemView = resultTableView(this, m_problemModel);
    m_tabs = new QTabWidget(this);
    m_tabs->addTab(m_resultView, QStringLiteral("本月结果"));
    m_tabs->addTab(m_problemView, QStringLiteral("未计算的行"));

    auto *work = new QVBoxLayout;
    work->addLayout(ledgerRow);
    work->addLayout(periodRow);
    work->addLayout(buttonRow);
    work->addWidget(m_status);
    work->addWidget(m_tabs, 1);

    m_history =
        new HistoryPanel({QStringLiteral("计算时间"), QStringLiteral("预扣税额"), QStringLiteral("实发合计")},
                         {90, 70, 70}, this);
    m_history->setFixedWidth(pagekit::rightColumnWidth(font()));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(work, 1);
    layout->addWidget(m_history);

    connect(m_chooseButton, &QPushButton::clicked, this, &CurrentMonthWid::chooseLedger);
    connect(m_newButton, &QPushButton::clicked, this, &CurrentMonthWid::newLedger);
    connect(m_importButton, &QPushButton::clicked, this, &CurrentMonthWid::import);
    connect(m_calcButton, &QPushButton::clicked, this, &CurrentMonthWid::calculate);
    connect(m_recordButton, &QPushButton::clicked, this, &CurrentMonthWid::recordMonth);
    connect(m_undoButton, &QPushButton::clicked, this, &CurrentMonthWid::undoLatest);
    connect(m_exportButton, &QPushButton::clicked, this, &CurrentMonthWid::exportResult);
    connect(m_settleButton, &QPushButton::clicked, this, &CurrentMonthWid::showSettlement);
    connect(m_resultView, &QTableView::doubleClicked, this,
            [this](const QModelIndex &index) { showEmployeeYear(index.row()); });
    connect(m_history->list(), &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        openHistoryEntry(this, m_history->list(), row, [this](const QString &path) { return load(path); });
    });
    // A figure shown belongs to the period and the method it was computed for.
    const auto inputsChanged = [this] {
        const bool separate = CurrentRules::separateBonusAllowed(year());
        if (!separate)
            m_method->setCurrentIndex(1);
        m_method->setEnabled(separate);
        if (m_state == State::Calculated)
            clearMonth();
    };
    connect(m_year, &QSpinBox::valueChanged, this, inputsChanged);
    connect(m_month, &QSpinBox::valueChanged, this, inputsChanged);
    connect(m_method, &QComboBox::currentIndexChanged, this, inputsChanged);

    // The remembered ledger is only read here; a missing file is an empty ledger until a month is
    // recorded into it.
    m_ledgerPath = rememberedLedgerPath();
    m_ledgerEdit->setText(m_ledgerPath);
    QString error;
    PayrollLedger ledger(m_ledgerPath);
    QList<LedgerMonth> months;
    if (ledger.openForReading(&error))
        months = ledger.months(0, &error);
    refreshLedger(months);
    int y = 0, m = 0;
    const QDate today = QDate::currentDate();
    nextPayrollPeriod(months, today.year(), today.month(), &y, &m);
    setPeriod(y, m);
    m_method->setCurrentIndex(defaultBonusMethod(year()) == BonusMethod::Merged ? 1 : 0);
    if (!error.isEmpty())
        m_status->setText(error);
    setState(State::Empty);
    searchHistory();
}

CurrentMonthWid::~CurrentMonthWid()
{
    // Each job's destructor stops and waits for its thread.
    m_job.reset();
    m_dropped.clear();
}

int CurrentMonthWid::year() const
{
    return m_year->value();
}

int CurrentMonthWid::month() const
{
    return m_month->value();
}

BonusMethod CurrentMonthWid::bonusMethod() const
{
    return m_method->currentIndex() == 1 ? BonusMethod::Merged : BonusMethod::Separate;
}

void CurrentMonthWid::setPeriod(int y, int m)
{
    m_year->setValue(y);
    m_month->setValue(m);
}

QString CurrentMonthWid::periodText() const
{
    return QStringLiteral("%1 年 %2 月").arg(year()).arg(month());
}

bool CurrentMonthWid::ask(const QString &question)
{
    if (confirm)
        return confirm(question);
    return QMessageBox::question(this, QStringLiteral("信息提示"), question,
                                 QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

void CurrentMonthWid::tell(const QString &message)
{
    if (inform) {
        inform(message);
        return;
    }
    QMessageBox::information(this, QStringLiteral("信息提示"), message, QMessageBox::Ok);
}

void CurrentMonthWid::setState(State state, bool announce)
{
    m_state = state;
    const bool idle = state != State::Reading && state != State::Working;
    // Nothing a job reads or writes may change under it: the ledger, the period, the month.
    for (QWidget *input : {static_cast<QWidget *>(m_year), static_cast<QWidget *>(m_month),
                           static_cast<QWidget *>(m_chooseButton), static_cast<QWidget *>(m_newButton)})
        input->setEnabled(idle);
    m_method->setEnabled(idle && CurrentRules::separateBonusAllowed(year()));
    m_importButton->setEnabled(idle);
    m_calcButton->setEnabled(state == State::Ready || state == State::Calculated);
    m_recordButton->setEnabled(state == State::Calculated && !m_run.entries.empty());
    m_exportButton->setEnabled(state == State::Calculated);
    m_undoButton->setEnabled(idle && !m_months.isEmpty());
    m_settleButton->setEnabled(idle);
    if (idle && announce)
        emit settled();
}

void CurrentMonthWid::refreshLedger(const QList<LedgerMonth> &months)
{
    m_months = months;
    m_undoButton->setEnabled(m_state != State::Reading && m_state != State::Working && !m_months.isEmpty());
    QString text = QStringLiteral("尚未记入任何月份");
    if (!m_months.isEmpty()) {
        const LedgerMonth &last = m_months.last();
        text = QStringLiteral("最近记入：%1 年 %2 月（%3 人）")
                   .arg(last.year)
                   .arg(last.month)
                   .arg(last.employees);
    }
    m_ledgerEdit->setToolTip(m_ledgerPath + QLatin1Char('\n') + text);
}

bool CurrentMonthWid::setLedger(const QString &path)
{
    PayrollLedger ledger(path);
    QString error;
    QList<LedgerMonth> months;
    if (ledger.openForReading(&error))
        months = ledger.months(0, &error);
    if (!error.isEmpty()) {
        tell(error);
        return false;
    }
    m_ledgerPath = path;
    m_ledgerEdit->setText(path);
    rememberLedgerPath(path);
    refreshLedger(months);
    int y = 0, m = 0;
    const QDate today = QDate::currentDate();
    nextPayrollPeriod(months, today.year(), today.month(), &y, &m);
    setPeriod(y, m);
    if (m_state == State::Calculated)
        clearMonth();
    return true;
}

void CurrentMonthWid::chooseLedger()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("选择台账"), QFileInfo(m_ledgerPath).absolutePath(),
                                     QStringLiteral("台账 (*.sqlite);;所有文件 (*)"));
    if (!path.isEmpty())
        setLedger(path);
}

void CurrentMonthWid::newLedger()
{
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("新建台账"), QFileInfo(m_ledgerPath).absolutePath(),
        QStringLiteral("台账 (*.sqlite)"), nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return;
    // A new ledger never replaces a file: an existing one is opened as it is.
    if (QFileInfo::exists(path)) {
        tell(QStringLiteral("文件“%1”已存在，没有改动；请用“选择…”打开它或另取文件名。").arg(path));
        return;
    }
    PayrollLedger ledger(path);
    QString error;
    if (!ledger.openForWriting(&error)) {
        tell(error);
        return;
    }
    setLedger(path);
}

void CurrentMonthWid::startJob(const QString &label, bool cancellable, std::function<void(Job &)> work,
                               std::function<void(Job &)> done)
{
    const State before = m_state == State::Calculated && m_run.entries.empty() ? State::Ready : m_state;
    auto job = std::make_unique<Job>();
    Job *j = job.get();
    j->done = std::move(done);
    m_progress = new QProgressDialog(label, cancellable ? QStringLiteral("取消") : QString(), 0, 0, this);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(300);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    if (!cancellable)
        m_progress->setCancelButton(nullptr);
    connect(m_progress, &QProgressDialog::canceled, this, [this, j, before] {
        // The result of a cancelled job is dropped; its thread sees the flag within a fraction of
        // a second, ends on its own and is joined then.
        if (m_job.get() != j)
            return;
        j->cancel = true;
        m_dropped.push_back(std::move(m_job));
        m_progress->deleteLater();
        m_progress = nullptr;
        setState(before);
    });
    auto *poll = new QTimer(this);
    poll->setInterval(kJobPollMs);
    connect(poll, &QTimer::timeout, this, [this, j, poll] {
        if (!j->ended.load(std::memory_order_acquire))
            return;
        poll->stop();
        poll->deleteLater();
        j->thread.join();
        if (m_job.get() == j) {
            std::unique_ptr<Job> finished = std::move(m_job);
            if (m_progress) {
                m_progress->blockSignals(true);
                m_progress->deleteLater();
                m_progress = nullptr;
            }
            if (finished->done)
                finished->done(*finished);
            return;
        }
        for (auto it = m_dropped.begin(); it != m_dropped.end(); ++it) {
            if (it->get() == j) {
                m_dropped.erase(it);
                return;
            }
        }
    });
    m_job = std::move(job);
    setState(label.contains(QStringLiteral("读取")) ? State::Reading : State::Working);
    j->thread = std::thread([j, work = std::move(work)] {
        work(*j);
        j->ended.store(true, std::memory_order_release);
    });
    poll->start();
}

void CurrentMonthWid::import()
{
    // After the latest month was recorded the next sheet is the next month's.
    if (m_recorded && !m_months.isEmpty() && m_months.last().year == year() &&
        m_months.last().month == month()) {
        int y = 0, m = 0;
        nextPayrollPeriod(m_months, year(), month(), &y, &m);
        setPeriod(y, m);
    }
    SheetImport import;
    if (runSheetImportWizard(PayrollMonthPage, this, &import))
        loadSheet(import);
}

void CurrentMonthWid::loadSheet(const SheetImport &import)
{
    if (m_job)
        return;
    clearMonth();
    startJob(
        QStringLiteral("正在读取工资表…"), true,
        [import](Job &j) {
            j.ok =
                readPayrollImport(import, &j.sheet, &j.error, &j.warnings, [&j] { return j.cancel.load(); });
        },
        [this, import](Job &j) {
            const bool reopening = std::exchange(m_calculateAfterRead, false);
            if (!j.ok) {
                setState(m_import ? State::Ready : State::Empty);
                tell(j.error);
                return;
            }
            m_import = import;
            m_sheet = std::make_shared<const PayrollSheet>(std::move(j.sheet));
            m_problems = m_sheet->problems;
            m_problemModel->reset(
                {{QStringLiteral("行号"), 60, Qt::AlignRight | Qt::AlignVCenter,
                  [this](int r) { return QString::number(m_problems[size_t(r)].sheetRow); }},
                 {QStringLiteral("列"), 110, Qt::AlignLeft | Qt::AlignVCenter,
                  [this](int r) { return m_problems[size_t(r)].column; }},
                 {QStringLiteral("内容"), 160, Qt::AlignLeft | Qt::AlignVCenter,
                  [this](int r) { return m_problems[size_t(r)].text; }},
                 {QStringLiteral("原因"), 560, Qt::AlignLeft | Qt::AlignVCenter,
                  [this](int r) { return m_problems[size_t(r)].reason; }}},
                int(m_problems.size()), false);
            applyResultColumns(m_problemView, *m_problemModel);
            m_tabs->setTabText(1, QStringLiteral("未计算的行（%1）").arg(m_problems.size()));
            QString text = QStringLiteral("已读取 %1：%2 行，%3 人待计算，%4 行有问题。")
                               .arg(QFileInfo(import.file).fileName())
                               .arg(m_sheet->rowsRead)
                               .arg(m_sheet->rows.size())
                               .arg(m_problems.size());
            if (!j.warnings.isEmpty())
                text += QStringLiteral("\n警告：") + j.warnings.join(QStringLiteral("；"));
            m_status->setText(text);
            setState(State::Ready, !reopening);
            if (reopening)
                calculate();
        });
}

void CurrentMonthWid::clearMonth()
{
    m_resultModel->clear();
    m_run = PayrollMonthRun();
    m_resultColumns.reset();
    m_recorded = false;
    m_recordedAt.clear();
    if (m_state == State::Calculated)
        setState(State::Ready, false);
}

void CurrentMonthWid::calculate()
{
    if (m_job)
        return;
    if (!m_import) {
        tell(QStringLiteral("请先导入本月工资表。"));
        return;
    }
    clearMonth();
    const int y = year(), m = month();
    const BonusMethod method = bonusMethod();
    const QString path = m_ledgerPath;
    const std::shared_ptr<const PayrollSheet> sheet = m_sheet;
    startJob(
        QStringLiteral("正在按台账计算 %1…").arg(periodText()), true,
        [=](Job &j) {
            PayrollLedger ledger(path);
            j.ok = ledger.openForReading(&j.error) &&
                   runPayrollMonth(ledger, PayrollSheet(*sheet), y, m, method, &j.run, &j.error,
                                   SecondSeparateBonus::Refused, [&j] { return j.cancel.load(); });
        },
        [this](Job &j) {
            if (!j.ok) {
                setState(State::Ready);
                tell(j.error);
                return;
            }
            m_run = std::move(j.run);
            showMonth();
            saveHistory();
        });
}

void CurrentMonthWid::showMonth()
{
    m_resultColumns = std::make_unique<SheetRowColumns>(
        payrollResultTitles(false),
        [this](int row) { return payrollResultRow(m_run.entries[size_t(row)], false); },
        payrollResultTotals(m_run.entries, false), !m_run.entries.empty());
    m_resultModel->reset(m_resultColumns->columns(), int(m_run.entries.size()), true);
    applyResultColumns(m_resultView, *m_resultModel);
    m_problems = m_run.problems;
    m_problemModel->setRowCount(int(m_problems.size()), false);
    m_tabs->setTabText(1, QStringLiteral("未计算的行（%1）").arg(m_problems.size()));
    m_tabs->setCurrentIndex(0);
    QString text = QStringLiteral("所属期 %1：计算 %2 人，%3 行未计算。本期应预扣预缴税额合计 %4")
                       .arg(periodText())
                       .arg(m_run.entries.size())
                       .arg(m_run.problems.size())
                       .arg(formatAmount(m_run.withheld));
    if (m_run.bonusTax > 0)
        text += QStringLiteral("，全年一次性奖金税额合计 %1").arg(formatAmount(m_run.bonusTax));
    text += m_recorded ? QStringLiteral("。已记入台账。") : QStringLiteral("。预览：台账未改动。");
    if (!m_reopenNote.isEmpty())
        text += QLatin1Char('\n') + std::exchange(m_reopenNote, QString());
    m_status->setText(text);
    setState(State::Calculated);
}

void CurrentMonthWid::recordMonth()
{
    if (m_job)
        return;
    if (m_state != State::Calculated || m_run.entries.empty()) {
        tell(QStringLiteral("请先导入并计算本月，再记入台账。"));
        return;
    }
    const int y = m_run.year, m = m_run.month;
    const QList<int> later = laterMonths(m_months, y, m);
    if (!later.isEmpty()) {
        tell(laterMonthsMessage(y, later, m) + QStringLiteral("；请先撤销更晚的月份。"));
        return;
    }
    bool again = false;
    for (const LedgerMonth &lm : std::as_const(m_months))
        again = again || (lm.year == y && lm.month == m);
    QString question = QStringLiteral("将 %1 年 %2 月的 %3 人记入台账“%4”？")
                           .arg(y)
                           .arg(m)
                           .arg(m_run.entries.size())
                           .arg(m_ledgerPath);
    if (again)
        question += QStringLiteral("\n该月已记入，将整月更正。");
    if (!m_run.problems.empty())
        question += QStringLiteral("\n有 %1 行未计算，不记入。").arg(m_run.problems.size());
    if (!ask(question))
        return;
    const QString path = m_ledgerPath;
    const QString source = m_import ? QFileInfo(m_import->file).absoluteFilePath() : QString();
    // The entries stay with the page; the job only reads them while the window waits.
    const std::vector<PayrollEntry> *entries = &m_run.entries;
    startJob(
        QStringLiteral("正在记入 %1 年 %2 月…").arg(y).arg(m), false,
        [=](Job &j) {
            PayrollLedger ledger(path);
            j.ok = ledger.openForWriting(&j.error) &&
                   ledger.recordMonth(y, m, source, *entries, &j.later, &j.error);
            QString ignored;
            if (ledger.isOpen())
                j.months = ledger.months(0, &ignored);
        },
        [this, y, m](Job &j) {
            if (!j.months.isEmpty())
                refreshLedger(j.months);
            if (!j.ok) {
                setState(State::Calculated);
                tell(j.later.isEmpty() ? j.error : laterMonthsMessage(y, j.later, m));
                return;
            }
            m_recorded = true;
            for (const LedgerMonth &lm : std::as_const(m_months))
                if (lm.year == y && lm.month == m)
                    m_recordedAt = lm.recordedAt;
            showMonth();
            saveHistory();
        });
}

void CurrentMonthWid::undoLatest()
{
    if (m_job)
        return;
    if (m_months.isEmpty()) {
        tell(QStringLiteral("台账中还没有记入任何月份。"));
        return;
    }
    const LedgerMonth latest = m_months.last();
    if (!ask(QStringLiteral("撤销台账“%1”中 %2 年 %3 月的记录（%4 人）？撤销后可以重新计算并记入该月。")
                 .arg(m_ledgerPath)
                 .arg(latest.year)
                 .arg(latest.month)
                 .arg(latest.employees)))
        return;
    const QString path = m_ledgerPath;
    const State before = m_state;
    startJob(
        QStringLiteral("正在撤销 %1 年 %2 月…").arg(latest.year).arg(latest.month), false,
        [=](Job &j) {
            PayrollLedger ledger(path);
            j.ok = ledger.openForWriting(&j.error) &&
                   ledger.undoMonth(latest.year, latest.month, &j.later, &j.error);
            QString ignored;
            if (ledger.isOpen())
                j.months = ledger.months(0, &ignored);
        },
        [this, latest, before](Job &j) {
            refreshLedger(j.months);
            setState(before);
            if (!j.ok) {
                tell(j.error);
                return;
            }
            if (m_run.year == latest.year && m_run.month == latest.month && m_recorded) {
                m_recorded = false;
                m_recordedAt.clear();
                showMonth();
            }
            tell(QStringLiteral("已撤销 %1 年 %2 月。").arg(latest.year).arg(latest.month));
        });
}

void CurrentMonthWid::exportResult()
{
    if (m_state != State::Calculated) {
        tell(QStringLiteral("请先导入并计算本月，再导出。"));
        return;
    }
    const QString stem =
        QStringLiteral("%1年%2月个税").arg(m_run.year).arg(m_run.month, 2, 10, QLatin1Char('0'));
    runSheetExportWizard(this, stem,
                         {{QStringLiteral("本月计算结果"),
                           [this, stem] { return payrollResultLayout(m_run.entries, stem, false); }},
                          {payrollTemplateName(), [this] { return payrollTemplateLayout(m_run.entries); }}});
}

void CurrentMonthWid::showSettlement()
{
    if (m_job)
        return;
    const int y = year();
    const QString path = m_ledgerPath;
    startJob(
        QStringLiteral("正在估算 %1 年度汇算…").arg(y), true,
        [=](Job &j) {
            PayrollLedger ledger(path);
            if (!ledger.openForReading(&j.error))
                return;
            const std::vector<PayrollEntry> entries = ledger.entries(y, 0, QString(), &j.error);
            if (!j.error.isEmpty() || j.cancel)
                return;
            j.settlements = settlePayrollYear(entries);
            j.ok = true;
        },
        [this, before = m_state, y](Job &j) {
            setState(before);
            if (!j.ok) {
                tell(j.error);
                return;
            }
            if (j.settlements.empty()) {
                tell(QStringLiteral("台账中 %1 年还没有记入任何月份。").arg(y));
                return;
            }
            auto *dialog = new SettlementDialog(y, std::move(j.settlements), this);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->show();
        });
}

void CurrentMonthWid::showEmployeeYear(int row)
{
    if (m_state != State::Calculated || row < 0 || size_t(row) >= m_run.entries.size())
        return;
    const PayrollEntry &current = m_run.entries[size_t(row)];
    PayrollLedger ledger(m_ledgerPath);
    QString error;
    std::vector<PayrollEntry> recorded;
    if (ledger.openForReading(&error))
        recorded = ledger.entries(current.year, 0, current.input.idNumber, &error);
    if (!error.isEmpty()) {
        tell(error);
        return;
    }
    std::vector<PayrollEntry> soFar;
    for (PayrollEntry &e : recorded)
        if (e.input.idType == current.input.idType)
            soFar.push_back(std::move(e));
    auto *dialog = new EmployeeYearDialog(employeeYearSoFar(soFar, current), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void CurrentMonthWid::saveHistory()
{
    if (!m_import)
        return;
    PayrollMonthRecord record;
    record.ledger = m_ledgerPath;
    record.year = m_run.year;
    record.month = m_run.month;
    record.method = m_run.bonusMethod;
    record.import = *m_import;
    record.recordedAt = m_recorded ? m_recordedAt : QString();
    HistoryWriter writer(historyDir(), QString::fromLatin1(kPayrollMonthExtension),
                         double(m_run.withheld + m_run.bonusTax) / 100.0, double(m_run.net) / 100.0);
    writePayrollMonthRecord(writer.stream(), record);
    addHistoryEntry(m_history->list(), writer);
    m_history->fitColumns();
}

void CurrentMonthWid::searchHistory()
{
    fillHistoryList(m_history->list(), historyDir(),
                    QStringLiteral("*.") + QString::fromLatin1(kPayrollMonthExtension));
    m_history->fitColumns();
}

bool CurrentMonthWid::load(const QString &fileName)
{
    if (m_job)
        return false;
    HistoryReader reader(fileName);
    PayrollMonthRecord record;
    if (!readPayrollMonthRecord(reader, &record))
        return false;
    if (record.ledger != m_ledgerPath && !setLedger(record.ledger))
        return true;
    setPeriod(record.year, record.month);
    m_method->setCurrentIndex(record.method == BonusMethod::Merged ? 1 : 0);
    QString note;
    if (!record.recordedAt.isEmpty()) {
        bool same = false, present = false;
        for (const LedgerMonth &lm : std::as_const(m_months)) {
            if (lm.year == record.year && lm.month == record.month) {
                present = true;
                same = lm.recordedAt == record.recordedAt;
            }
        }
        note = same      ? QStringLiteral("该月仍是 %1 记入台账的样子。").arg(record.recordedAt)
               : present ? QStringLiteral("注意：该月在台账中已重新记入，与这条记录不同。")
                         : QStringLiteral("注意：该月已从台账中撤销。");
    }
    // Read again and computed against the months the ledger holds before the period.
    m_reopenNote = note;
    m_calculateAfterRead = true;
    loadSheet(record.import);
    return true;
}
