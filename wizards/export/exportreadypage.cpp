#include "wizards/export/exportreadypage.h"

#include "batch/exporttemplate.h"
#include "excel/columnletters.h"
#include "widgets/ptablewidget.h"
#include "wizards/export/exportmessage.h"
#include "wizards/export/exportwizard.h"
#include "wizards/export/tableexport.h"

#include <QCheckBox>
#include <QColor>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kTitleRow = 1;
constexpr int kTitleRows = 3;

Qt::Alignment alignmentOf(SheetCellStyle style)
{
    switch (style) {
    case SheetCellStyle::BodyLeft:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case SheetCellStyle::BodyRight:
    case SheetCellStyle::Total:
        return Qt::AlignRight | Qt::AlignVCenter;
    case SheetCellStyle::BodyCenter:
    case SheetCellStyle::Heading:
        break;
    }
    return Qt::AlignCenter;
}

} // namespace

void ExportPreviewModel::setLayout(SheetLayout layout)
{
    beginResetModel();
    m_layout = std::move(layout);
    m_columns = m_layout.columnCount();
    endResetModel();
}

int ExportPreviewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_layout.sheetRowCount();
}

int ExportPreviewModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

const SheetCell *ExportPreviewModel::cellAt(int row, int column, bool *heading, bool *total) const
{
    int r = row - headingRow();
    *heading = false;
    *total = false;
    if (r < 0)
        return nullptr;
    const SheetRow *sheetRow = nullptr;
    if (size_t(r) < m_layout.headings.size()) {
        *heading = true;
        sheetRow = &m_layout.headings[size_t(r)];
    } else {
        r -= int(m_layout.headings.size());
        if (size_t(r) >= m_layout.rows.size())
            return nullptr;
        sheetRow = &m_layout.rows[size_t(r)];
        *total = sheetRow->total;
    }
    if (column < 0 || size_t(column) >= sheetRow->cells.size() || !sheetRow->cells[size_t(column)].present)
        return nullptr;
    return &sheetRow->cells[size_t(column)];
}

QVariant ExportPreviewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (!m_layout.title.isEmpty() && index.row() < kTitleRows) {
        if (index.row() != kTitleRow || index.column() != 0)
            return {};
        switch (role) {
        case Qt::DisplayRole:
            return m_layout.title;
        case Qt::TextAlignmentRole:
            return int(Qt::AlignCenter);
        case Qt::FontRole: {
            QFont font(u"微软雅黑"_s, 20);
            font.setBold(true);
            return font;
        }
        default:
            return {};
        }
    }
    bool heading = false, total = false;
    const SheetCell *cell = cellAt(index.row(), index.column(), &heading, &total);
    switch (role) {
    case Qt::DisplayRole:
        return cell ? cell->text : QString();
    case Qt::TextAlignmentRole:
        return int(alignmentOf(cell ? cell->style : SheetCellStyle::BodyCenter));
    case Qt::BackgroundRole:
        if (heading)
            return QColor(232, 232, 232);
        return {};
    case Qt::FontRole:
        if (total) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    default:
        return {};
    }
}

QVariant ExportPreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return columnLetters(section);
    return section + 1;
}

Qt::ItemFlags ExportPreviewModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (!m_layout.title.isEmpty() && index.row() == kTitleRow && index.column() == 0)
        return Qt::ItemIsEnabled; // the title is not selectable
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

ExportReadyPage::ExportReadyPage(QWidget *parent) : QWizardPage(parent)
{
    setTitle(u"准备导出"_s);
    setSubTitle(u"在导出前，预览导出的数据，如果结果不正确，请返回上一步，\n重新设置导出列。"_s);
    m_model = new ExportPreviewModel(this);
    m_preview = new QTableView(this);
    m_preview->setModel(m_model);
    m_preview->setSelectionMode(QAbstractItemView::SingleSelection);
    m_preview->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->setStyleSheet(
        u"QTableWidget::item{selection-background-color:rgb(23,165,230);selection-color: rgb(255,255,255);}"_s);
    m_preview->verticalHeader()->setDefaultSectionSize(24);

    m_fitNote = new QLabel(this);
    m_fitNote->setWordWrap(true);
    m_fitNote->setStyleSheet(u"color:rgb(200,0,0);"_s);
    m_fitNote->hide();

    m_save = new QCheckBox(u"保存这次导出设定，"_s, this);
    m_nameLabel = new QLabel(u"给设定起名："_s, this);
    m_name = new QLineEdit(this);
    m_nameNote = new QLabel(u"（以后就可以使用保存的设定导出数据。）"_s, this);
    connect(m_save, &QCheckBox::stateChanged, this, &ExportReadyPage::saveFormat);
    saveFormat(Qt::Unchecked);
    auto *saveRow = new QHBoxLayout;
    saveRow->addWidget(m_save);
    saveRow->addWidget(m_nameLabel);
    saveRow->addWidget(m_name);
    saveRow->addWidget(m_nameNote);
    saveRow->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_preview, 1);
    layout->addWidget(m_fitNote);
    layout->addLayout(saveRow);
}

void ExportReadyPage::saveFormat(int state)
{
    const bool shown = state != Qt::Unchecked;
    m_nameLabel->setVisible(shown);
    m_name->setVisible(shown);
    m_nameNote->setVisible(shown);
}

void ExportReadyPage::showSpans()
{
    m_preview->clearSpans();
    const SheetLayout &layout = m_model->sheetLayout();
    const int columns = m_model->columnCount();
    if (!layout.title.isEmpty() && columns > 1)
        m_preview->setSpan(kTitleRow, 0, 1, columns);
    for (size_t h = 0; h < layout.headings.size(); ++h) {
        const std::vector<SheetCell> &cells = layout.headings[h].cells;
        for (size_t c = 0; c < cells.size(); ++c) {
            if (cells[c].present && cells[c].colSpan > 1)
                m_preview->setSpan(m_model->headingRow() + int(h), int(c), 1, cells[c].colSpan);
        }
    }
    for (size_t c = 0; c < layout.columnWidths.size(); ++c) {
        if (layout.columnWidths[c] > 0)
            m_preview->setColumnWidth(int(c), layout.columnWidths[c]);
    }
    if (!layout.title.isEmpty())
        m_preview->setRowHeight(kTitleRow, 40);
}

QWidget *ExportReadyPage::firstField() const
{
    return m_preview;
}

void ExportReadyPage::initializePage()
{
    auto *wizard = qobject_cast<ExportWizard *>(this->wizard());
    if (!wizard)
        return;
    m_model->setLayout(exportLayoutFromTables(wizard->mode(), wizard->baseTable(), wizard->beforeTable(),
                                              wizard->afterTable(), wizard->columns(), wizard->exportScope(),
                                              wizard->title()));
    showSpans();
    QString error;
    const bool fits = sheetLayoutFits(m_model->sheetLayout(), wizard->fileName(), &error);
    m_fitNote->setText(error);
    m_fitNote->setVisible(!fits);
}

bool ExportReadyPage::validatePage()
{
    auto *wizard = qobject_cast<ExportWizard *>(this->wizard());
    if (!wizard)
        return false;
    const QString fileName = wizard->fileName();
    QString name;
    QString error;
    if (m_save->isChecked()) {
        name = m_name->text().trimmed();
        if (!exportTemplateNameValid(name, &error)) {
            exportMessage(this, QMessageBox::Warning, u"导出设定的名字不能使用"_s, error);
            return false;
        }
    }
    // Refused before anything is written: the sheet does not fit the file's format.
    if (!sheetLayoutFits(m_model->sheetLayout(), fileName, &error)) {
        m_lastError = error;
        exportMessage(this, QMessageBox::Warning, u"导出失败"_s, error);
        return false;
    }
    const bool existed = QFileInfo::exists(fileName);
    if (!writeSheetLayout(m_model->sheetLayout(), fileName, &error)) {
        m_lastError = error;
        QString text = u"请关闭打开该文件的程序，重新【执行】导出：\n"_s + fileName + u"\n\n"_s + error;
        if (existed)
            text += u"\n原有的文件没有改动。"_s;
        exportMessage(this, QMessageBox::Warning, u"导出失败"_s, text);
        return false;
    }
    m_lastError.clear();
    exportMessage(this, QMessageBox::Information, u"导出成功"_s,
                  u"已成功将计算数据导出到文件：\n"_s + fileName);
    if (!wizard->saveTemplate(name, &error))
        exportMessage(this, QMessageBox::Warning, u"导出设定未保存"_s, error);
    return true;
}
