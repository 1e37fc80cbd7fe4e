#include "pages/batch/payrolldialogs.h"

#include "widgets/resulttablemodel.h"
#include "wizards/export/sheetexportwizard.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// Pixels for a text in the tables' font: a CJK character about twice a digit.
int textWidth(const QString &text)
{
    int width = 16;
    for (const QChar c : text)
        width += c.unicode() < 0x2E80 ? 8 : 14;
    return width;
}

} // namespace

SheetRowColumns::SheetRowColumns(QStringList titles, std::function<SheetRow(int)> row, SheetRow totals,
                                 bool hasRows)
    : m_titles(std::move(titles)), m_row(std::move(row)), m_totals(std::move(totals)), m_hasRows(hasRows)
{}

const QString &SheetRowColumns::text(int row, int column) const
{
    static const QString none;
    if (row != m_cachedRow) {
        m_cached = m_row(row);
        m_cachedRow = row;
    }
    return size_t(column) < m_cached.cells.size() ? m_cached.cells[size_t(column)].text : none;
}

std::vector<ResultColumn> SheetRowColumns::columns() const
{
    std::vector<ResultColumn> out;
    out.reserve(size_t(m_titles.size()));
    // The first result sizes the columns of texts that are wider than their titles (identity
    // numbers, names, conclusions).
    const SheetRowColumns *sample = m_hasRows ? this : nullptr;
    for (int c = 0; c < m_titles.size(); ++c) {
        ResultColumn column;
        column.title = m_titles[c];
        column.width = std::max(70, textWidth(m_titles[c]));
        if (sample)
            column.width = std::max(column.width, textWidth(sample->text(0, c)));
        const SheetCell *total = size_t(c) < m_totals.cells.size() ? &m_totals.cells[size_t(c)] : nullptr;
        const bool left = total && !total->numeric && c < 4;
        column.alignment = (left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter;
        column.text = [this, c](int row) { return text(row, c); };
        if (total) {
            const QString t = total->text;
            column.total = [t] { return t; };
        }
        out.push_back(std::move(column));
    }
    return out;
}

EmployeeYearDialog::EmployeeYearDialog(std::vector<PayrollEntry> year, QWidget *parent)
    : QDialog(parent), m_year(std::move(year))
{
    const PayrollEntry &last = m_year.back();
    setWindowTitle(QStringLiteral("%1（%2）%3 年").arg(last.input.name, last.input.idNumber).arg(last.year));
    m_columns = std::make_unique<SheetRowColumns>(
        payrollResultTitles(true), [this](int row) { return payrollResultRow(m_year[size_t(row)], true); },
        payrollResultTotals(m_year, true), !m_year.empty());
    m_model = new ResultTableModel(this);
    m_model->reset(m_columns->columns(), int(m_year.size()), true);
    m_view = resultTableView(this, m_model);
    auto *note = new QLabel(
        QStringLiteral("台账中本年已记入的月份与本月（%1 月，尚未记入时为预览）。").arg(last.month), this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(m_view);
    layout->addWidget(buttons);
    resize(1000, 420);
}

EmployeeYearDialog::~EmployeeYearDialog() = default;

SettlementDialog::SettlementDialog(int year, std::vector<PayrollSettlement> list, QWidget *parent)
    : QDialog(parent), m_year(year), m_list(std::move(list))
{
    setWindowTitle(QStringLiteral("%1 年度汇算预估").arg(year));
    m_columns = std::make_unique<SheetRowColumns>(
        settlementTitles(), [this](int row) { return settlementRow(m_list[size_t(row)]); },
        settlementTotals(m_list), !m_list.empty());
    m_model = new ResultTableModel(this);
    m_model->reset(m_columns->columns(), int(m_list.size()), true);
    m_view = resultTableView(this, m_model);
    m_view->setColumnWidth(17, 180);
    auto *note = new QLabel(QStringLiteral("按台账中 %1 年已记入的月份估算每位员工在本单位的年度汇算；"
                                           "其他收入和其他扣缴单位不在其中。")
                                .arg(year),
                            this);
    note->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *exportButton = buttons->addButton(QStringLiteral("导出…"), QDialogButtonBox::ActionRole);
    connect(exportButton, &QPushButton::clicked, this, &SettlementDialog::exportSheet);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(m_view);
    layout->addWidget(buttons);
    resize(1100, 560);
}

SettlementDialog::~SettlementDialog() = default;

void SettlementDialog::exportSheet()
{
    const QString title = QStringLiteral("%1年度汇算预估").arg(m_year);
    runSheetExportWizard(this, title, {{QStringLiteral("年度汇算预估"), [this, title] {
                                            return settlementLayout(m_list, title);
                                        }}});
}
