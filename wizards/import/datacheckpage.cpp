#include "wizards/import/datacheckpage.h"

#include "excel/cellkind.h"
#include "excel/workbook.h"
#include "formula/evaluator.h"
#include "formula/formularewrite.h"
#include "widgets/ptablewidget.h"
#include "wizards/import/importwizard.h"
#include "wizards/import/sheettargets.h"
#include "wizards/import/worksheettable.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressDialog>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kProgressInterval = 40;

const char kItemStyle[] =
    "QTableWidget::item{selection-background-color:rgb(23,165,230);selection-color: rgb(255,255,255);}";

// The worksheet column a formula only copies ("C"), or -1 when it computes something.
int copiedColumn(const FormulaTokens &tokens)
{
    if (tokens.size() != 1 || tokens.front().kind != FormulaToken::ColumnRef)
        return -1;
    return formulaColumnIndex(tokens.front().text);
}

} // namespace

DataCheckPage::DataCheckPage(ImportWizard *wizard)
    : QWizardPage(wizard), m_warning(new QLabel(u"没有【编码】和【姓名】列，不能执行导入！"_s, this)),
      m_preview(new PTableWidget(this)), m_cutNote(new QLabel(this)), m_wizard(wizard)
{
    setTitle(u"预览导入数据"_s);
    setSubTitle(
        u"在导入前，请检查你的来源资料，如果显示列为空，请返回上一步，\n将目的及来源列的对照转换调整正确。"_s);
    m_warning->setStyleSheet(
        u"QLabel{color: white; background-color: red;font-weight: bold;font-size: 15px;}"_s);
    m_warning->hide();
    m_preview->setStyleSheet(QString::fromLatin1(kItemStyle));
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_cutNote->setStyleSheet(u"color:rgb(200,0,0);"_s);
    m_cutNote->hide();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_warning);
    layout->addWidget(m_cutNote);
    layout->addWidget(m_preview, 10);
}

QWidget *DataCheckPage::firstField() const
{
    return m_preview;
}

int DataCheckPage::nextId() const
{
    return ImportWizard::ReadyPageId;
}

void DataCheckPage::previewSheetImport()
{
    m_noCodeName = false;
    m_warning->hide();
    const SheetImport recipe = m_wizard->sheetImport();
    const Workbook *book = m_wizard->workbook();
    const Sheet *sheet = book ? book->getSheet(recipe.sheetIndex) : nullptr;
    SheetPreview preview;
    if (sheet) {
        preview = ::previewSheetImport(m_wizard->mode(), *book, *sheet, recipe.formulas, recipe.range,
                                       kPreviewRows);
    }
    m_previewRows = int(preview.rows.size());
    m_previewCoversRange = !preview.more;
    QStringList notes;
    if (preview.more)
        notes << u"这里只预览所选范围的前 %1 行；完成向导后读取全部行。"_s.arg(kPreviewRows);
    const qsizetype shownProblems = std::min<qsizetype>(preview.problems.size(), kShownProblems);
    if (shownProblems > 0) {
        notes << u"以下行或单元格不能照常读取："_s;
        notes << preview.problems.mid(0, shownProblems);
        if (preview.problems.size() > shownProblems)
            notes << u"……共 %1 处。"_s.arg(preview.problems.size());
    }
    m_cutNote->setText(notes.join(u'\n'));
    m_cutNote->setVisible(!notes.isEmpty());

    m_preview->setUpdatesEnabled(false);
    m_preview->clear();
    m_preview->setColumnCount(int(preview.headings.size()));
    m_preview->setHorizontalHeaderLabels(preview.headings);
    m_preview->setRowCount(int(preview.rows.size()));
    for (int r = 0; r < int(preview.rows.size()); ++r) {
        const QStringList &cells = preview.rows[size_t(r)];
        for (int c = 0; c < cells.size(); ++c)
            m_preview->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    m_preview->setUpdatesEnabled(true);
}

void DataCheckPage::initializePage()
{
    if (m_wizard->settlesSheetImport()) {
        previewSheetImport();
        return;
    }
    const QStringList names = m_wizard->targetNames();
    const QStringList formulas = m_wizard->formulas();
    PTableWidget *source = m_wizard->sourceTable();
    const int sourceRows = source ? source->rowCount() : 0;
    int f = m_wizard->firstRowNO();
    int l = m_wizard->lastRowNO();
    if (l != 0 && l < f)
        std::swap(f, l);
    if (l == 0)
        l = sourceRows;
    // Rows beyond the worksheet have nothing to show: a saved last row of a billion must not
    // make a billion empty rows.
    l = std::min(l, sourceRows);
    f = std::max(f, 1);
    // Every preview cell is an item: a setting of a thousand columns over a million rows is cut
    // to the rows the limit allows, and said so.
    const qint64 columns = std::max<qint64>(1, names.size());
    const int rows = int(std::min<qint64>(std::max(0, l - f + 1), m_cellLimit / columns));
    m_cutNote->setVisible(rows < l - f + 1);
    m_cutNote->setText(u"预览的行列过多，只计算了前 %1 行。"_s.arg(rows));
    l = f + rows - 1;

    const QList<int> ids = m_wizard->targetIds();
    m_noCodeName = !ids.contains(0) && !ids.contains(1);
    m_warning->setVisible(m_noCodeName);

    m_preview->setUpdatesEnabled(false);
    m_preview->clear();
    m_preview->setRowCount(0);
    m_preview->setColumnCount(int(names.size()));
    m_preview->setHorizontalHeaderLabels(names);
    // The widths the mapping gave the columns with a formula.
    const QStringList saved = m_wizard->savedFormulas();
    const QList<int> widths = m_wizard->widths();
    for (qsizetype i = 0, k = 0; i < saved.size() && k < names.size(); ++i) {
        if (saved[i].isEmpty())
            continue;
        if (widths.value(i) > 0)
            m_preview->setColumnWidth(int(k), widths.value(i));
        ++k;
    }

    QProgressDialog progress(u"正在进行计算预处理..."_s, u"取消"_s, 0, 100, this);
    progress.setMinimumWidth(500);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    Evaluator evaluator;
    evaluator.reset();
    const FormulaSheet sheet(names, formulas);
    QList<int> copied;
    for (int k = 0; k < sheet.columnCount(); ++k)
        copied << copiedColumn(sheet.tokens(k));
    progress.setValue(10);
    progress.setLabelText(u"正在加工计算..."_s);
    m_preview->setRowCount(rows);

    QElapsedTimer clock;
    clock.start();
    TableWorksheetRow row(source, 0);
    // The view learns of the items when it paints them, not through a signal per item.
    const QSignalBlocker quiet(m_preview->model());
    for (int r = f; r <= l && source; ++r) {
        if (clock.elapsed() >= kProgressInterval) {
            clock.restart();
            progress.setValue(int(double(r - f + 1) / rows * 90 + 10));
        }
        row.setRow(r - 1);
        const QList<FormulaCell> cells = sheet.computeRow(evaluator, row);
        for (int k = 0; k < cells.size(); ++k) {
            const FormulaCell &cell = cells[k];
            auto *item = new QTableWidgetItem(cell.text, cell.kind);
            if (cell.kind == NumberCell) {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                // A copied number keeps the worksheet's value beside its shown text.
                if (copied[k] >= 0) {
                    if (const QTableWidgetItem *from = source->item(r - 1, copied[k])) {
                        const QVariant number = from->data(kCellNumberRole);
                        if (number.isValid())
                            item->setData(kCellNumberRole, number);
                    }
                }
            }
            if (!cell.errorNote.isEmpty())
                item->setToolTip(cell.errorNote);
            m_preview->setItem(r - f, k, item);
        }
    }
    progress.setValue(100);
    m_preview->setUpdatesEnabled(true);
}

bool DataCheckPage::validatePage()
{
    if (m_noCodeName) {
        importMessage(this, u"提示"_s, u"没有【编码】和【姓名】列，不能执行导入！"_s);
        return false;
    }
    m_wizard->setPreviewTable(m_preview);
    return true;
}
