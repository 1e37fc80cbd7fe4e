#include "wizards/import/datareadypage.h"

#include "batch/columncatalogue.h"
#include "excel/columnletters.h"
#include "widgets/ptablewidget.h"
#include "widgets/salarytablelayout.h"
#include "wizards/import/datacheckpage.h"
#include "wizards/import/importwizard.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int kProgressInterval = 40;

QTableWidgetItem *centred(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

} // namespace

DataReadyPage::DataReadyPage(int mode, ImportWizard *wizard)
    : QWizardPage(wizard), m_append(new QRadioButton(u"追加：将数据加入到目的数据表"_s, this)),
      m_overwrite(new QRadioButton(u"覆写：先清空目的数据表内容，再将数据写入目的数据表"_s, this)),
      m_save(new QCheckBox(u"保存这次导入设定，"_s, this)), m_nameLabel(new QLabel(u"给设定起名："_s, this)),
      m_name(new QLineEdit(this)), m_nameNote(new QLabel(u"（以后就可以使用保存的设定导入数据。）"_s, this)),
      m_mode(mode), m_wizard(wizard)
{
    setTitle(u"开始导入"_s);
    setSubTitle(u"导入向导已经准备完毕，请选择你想要的导入方式。"_s);
    auto *group = new QGroupBox(u"导入方式"_s, this);
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_append);
    groupLayout->addWidget(m_overwrite);
    if (wizard->settings().importMode == 0)
        m_overwrite->setChecked(true);
    else
        m_append->setChecked(true);

    auto *saveRow = new QHBoxLayout;
    saveRow->addWidget(m_save);
    saveRow->addWidget(m_nameLabel);
    saveRow->addWidget(m_name);
    saveRow->addWidget(m_nameNote);
    saveRow->addStretch();
    saveFormat(Qt::Unchecked);

    // A sheet the core reads itself fills no table: there is nothing to append to or overwrite.
    group->setVisible(!wizard->settlesSheetImport());
    if (wizard->settlesSheetImport())
        setSubTitle(u"导入向导已经准备完毕，按“执行”后读取所选范围内的全部行。"_s);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(saveRow);
    layout->addStretch();
    layout->addWidget(
        new QLabel(u"<font color=red>*</font>导入时将跳过【编码】、【姓名】都为空的行。"_s, this));
    connect(m_save, &QCheckBox::stateChanged, this, &DataReadyPage::saveFormat);
}

void DataReadyPage::saveFormat(int state)
{
    const bool on = state != Qt::Unchecked;
    m_nameLabel->setVisible(on);
    m_name->setVisible(on);
    m_nameNote->setVisible(on);
}

QWidget *DataReadyPage::firstField() const
{
    return m_overwrite->isChecked() ? m_overwrite : m_append;
}

void DataReadyPage::initializePage()
{
    if (m_name->text().isEmpty())
        m_name->setText(QFileInfo(m_wizard->fileName()).completeBaseName());
}

bool DataReadyPage::validatePage()
{
    if (m_wizard->settlesSheetImport() ? !sheetHasRows() : !importRows())
        return false;
    const QString name = m_save->isChecked() ? m_name->text() : QString();
    if (!m_wizard->saveSetting(name)) {
        // The rows are in; only the setting is lost, and the user must know it.
        importMessage(this, u"导入设定没有保存"_s, m_wizard->saveError());
    }
    return true;
}

bool DataReadyPage::sheetHasRows()
{
    const DataCheckPage *check = m_wizard->checkPage();
    if (check->previewRows() > 0 || !check->previewCoversRange())
        return true;
    importMessage(this, u"所选范围内没有数据行"_s, u"请返回【数据范围】检查首行、末行和标题行。"_s);
    return false;
}

bool DataReadyPage::importRows()
{
    PTableWidget *target = m_wizard->targetTable();
    PTableWidget *preview = m_wizard->previewTable();
    if (!target || !preview)
        return false;
    const QStringList names = m_wizard->targetNames();
    const QList<int> ids = m_wizard->targetIds();
    const int codeCol = int(ids.indexOf(0));
    const int nameCol = int(ids.indexOf(1));
    const int rows = preview->rowCount();
    // Kept rows first, so the table grows once: growing it row by row would cost a pass over
    // every row each time.
    QList<int> kept;
    kept.reserve(rows);
    for (int h = 0; h < rows; ++h) {
        const QTableWidgetItem *code = codeCol >= 0 ? preview->item(h, codeCol) : nullptr;
        const QTableWidgetItem *name = nameCol >= 0 ? preview->item(h, nameCol) : nullptr;
        if ((code && !code->text().isEmpty()) || (name && !name->text().isEmpty()))
            kept << h;
    }
    // Nothing to import changes nothing: "覆写" must not empty the table for a sheet of titles only.
    if (kept.isEmpty()) {
        importMessage(this, u"所选范围内没有数据行"_s,
                      u"目的数据表没有改动。请返回【数据范围】检查首行、末行和标题行。"_s);
        return false;
    }
    QProgressDialog progress(u"正在准备导入..."_s, u"取消"_s, 0, 100, this);
    progress.setMinimumWidth(500);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);

    const CatalogueTree tree = ColumnCatalogue::sourceTree(BatchPage(m_mode));
    ColumnGroup *extension = m_wizard->extension();
    const int basic = ColumnCatalogue::sourceColumnCount(BatchPage(m_mode));

    target->setUpdatesEnabled(false);
    if (m_overwrite->isChecked()) {
        if (extension)
            extension->clearItems();
        layoutSalaryTable(target, tree, true);
        m_wizard->setImportMode(0);
    } else {
        m_wizard->setImportMode(1);
    }

    // Each preview column's place in the target table.
    QList<int> columns;
    QList<bool> used(extension ? extension->itemCount() : 0, false);
    for (int m = 0; m < preview->columnCount(); ++m) {
        if (m < ids.size()) {
            columns << ids[m];
            continue;
        }
        const QString name = names.value(m);
        int column = -1;
        for (int i = 0; extension && i < extension->itemCount(); ++i) {
            const ColumnItem *item = extension->item(i);
            if (!used[i] && item->column >= basic && item->title == name) {
                used[i] = true;
                column = item->column;
                break;
            }
        }
        if (column < 0 && extension) {
            // In front of the trailing column, which stays last.
            column = std::clamp(extension->start + extension->itemCount(), 0,
                                std::max(0, target->columnCount() - 1));
            target->insertColumn(column);
            extension->addItem(name, 0, quint16(column),
                               quint16(std::clamp(preview->columnWidth(m), 1, 4096)));
            used.append(true);
            target->setHorizontalHeaderItem(column, new QTableWidgetItem(columnLetters(column)));
        }
        columns << column;
    }
    if (extension && extension->itemCount() > 0) {
        if (!target->item(0, extension->start))
            target->setItem(0, extension->start, centred(extension->title));
        if (extension->itemCount() > 1)
            target->setSpan(0, extension->start, 1, extension->itemCount());
        QHeaderView *header = target->horizontalHeader();
        for (int i = 0; i < extension->itemCount(); ++i) {
            const ColumnItem *item = extension->item(i);
            if (!target->item(1, item->column))
                target->setItem(1, item->column, centred(item->title));
            target->setColumnWidth(item->column, item->width);
            header->setSectionResizeMode(item->column, QHeaderView::Interactive);
        }
    }

    progress.setValue(10);
    progress.setLabelText(u"正在导入..."_s);
    const int first = target->rowCount();
    target->setRowCount(first + int(kept.size()));
    QElapsedTimer clock;
    clock.start();
    for (qsizetype k = 0; k < kept.size(); ++k) {
        const int h = kept[k];
        if (clock.elapsed() >= kProgressInterval) {
            clock.restart();
            progress.setValue(int(double(h + 1) / rows * 90 + 10));
        }
        for (int m = 0; m < preview->columnCount(); ++m) {
            const QTableWidgetItem *from = preview->item(h, m);
            if (!from || columns[m] < 0 || columns[m] >= target->columnCount())
                continue;
            // A copy keeps the cell's kind (its item type), which a plain clone would lose.
            auto *copy = new QTableWidgetItem(from->type());
            *copy = *from;
            target->setItem(first + int(k), columns[m], copy);
        }
    }
    target->setUpdatesEnabled(true);
    progress.setValue(100);
    return true;
}
