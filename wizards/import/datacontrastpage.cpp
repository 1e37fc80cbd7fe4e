#include "wizards/import/datacontrastpage.h"

#include "batch/columncatalogue.h"
#include "batch/importsetting.h"
#include "widgets/formulabox.h"
#include "widgets/pheaderview.h"
#include "widgets/ptablewidget.h"
#include "wizards/import/importwizard.h"
#include "wizards/import/sheettargets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const char kItemStyle[] =
    "QTableWidget::item{selection-background-color:rgb(23,165,230);selection-color: rgb(255,255,255);}";
constexpr int kAddColumnWidth = 28;
constexpr int kDefaultWidth = 110;
constexpr int kMinimumWidth = 90;

const ColumnGroup &basicGroup(int mode)
{
    return *ColumnCatalogue::instance().groups(ColumnCatalogue::sourceTree(BatchPage(mode))).front();
}

// The page's own target columns: the catalogue's basic columns, or the fields of a sheet the core
// reads itself.
QList<SheetTarget> ownTargets(int mode)
{
    if (isSheetImportMode(mode))
        return sheetTargets(mode);
    const ColumnGroup &group = basicGroup(mode);
    QList<SheetTarget> targets;
    for (int k = 0; k < ColumnCatalogue::sourceColumnCount(BatchPage(mode)); ++k)
        targets.append({group.item(k)->title, k < 2}); // code and name identify a row
    return targets;
}

int ownWidth(int mode, int k)
{
    return isSheetImportMode(mode) ? kDefaultWidth : basicGroup(mode).item(k)->width;
}

} // namespace

DataContrastPage::DataContrastPage(int mode, ImportWizard *wizard)
    : QWizardPage(wizard), m_map(new PTableWidget(this)),
      // The caption column and the page's own columns are fixed: removing one of those would give
      // the next column its place and its meaning.
      // A sheet the core reads itself has its fields only: every section is fixed.
      m_header(new PHeaderView(1 + int(ownTargets(mode).size()) + (isSheetImportMode(mode) ? 1 : 0),
                               Qt::Horizontal, m_map)),
      m_editor(new PEditHeaderBox(m_map)), m_warning(new QLabel(this)), m_mode(mode), m_wizard(wizard),
      m_layout(new QVBoxLayout(this))
{
    setTitle(u"定义导入规则"_s);
    setSubTitle(
        u"以下是目的数据与来源数据导入转换对照，\n如果对应不正确，请单击来源数据行中的下拉列表，进行调整。"_s);

    m_map->setHorizontalHeader(m_header);
    m_map->setFixedHeight(80);
    m_map->verticalHeader()->hide();
    m_header->setMinimumHeight(30);
    m_map->setSelectionMode(QAbstractItemView::SingleSelection);
    m_map->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_map->setStyleSheet(QString::fromLatin1(kItemStyle));
    m_map->setShowGrid(true);
    m_map->setAcceptDrops(true);
    m_map->setDropIndicatorShown(true);
    m_map->setDragDropOverwriteMode(true);
    m_map->setDragDropMode(QAbstractItemView::DropOnly);
    resetColumns();

    auto *autoButton = new QPushButton(u"自动匹配"_s, this);
    auto *row = new QHBoxLayout;
    row->addWidget(autoButton);
    row->addSpacing(15);
    row->addWidget(new QLabel(u"您可以拖拽源数据列，到上方对应目的数据上，也可点击\"...\"编辑取数表达式；"
                              "<font color=red>*</font>标示列不能为空。"_s,
                              this));
    row->addStretch(10);
    m_warning->setObjectName(u"mappingWarning"_s);
    m_warning->setWordWrap(true);
    m_warning->setStyleSheet(u"color:rgb(200,0,0);"_s);
    m_warning->hide();
    m_layout->addWidget(m_map);
    m_layout->addWidget(m_warning);
    m_layout->addLayout(row);

    connect(autoButton, &QPushButton::clicked, this, &DataContrastPage::adapter);
    connect(m_header, &PHeaderView::toAdd, m_map, qOverload<>(&PTableWidget::addEntryCol));
    connect(m_header, &PHeaderView::toRemove, m_map, &PTableWidget::removeEntryCol);
    connect(m_header, &QHeaderView::sectionDoubleClicked, this, &DataContrastPage::xHeader);
    connect(m_map, &PTableWidget::requestEdit, this, &DataContrastPage::xHeader);
    connect(m_editor, &PEditHeaderBox::updateHeader, this, &DataContrastPage::updateData);
    if (isSheetImportMode(mode)) {
        // Dropping a worksheet column names the target after it on the salary pages; a field of the
        // reader keeps its title.
        connect(m_map->model(), &QAbstractItemModel::headerDataChanged, this, [this] {
            const QList<SheetTarget> targets = ownTargets(m_mode);
            for (int k = 0; k < targets.size() && k + 1 < m_map->columnCount(); ++k) {
                if (QTableWidgetItem *item = m_map->horizontalHeaderItem(k + 1))
                    item->setText(targets[k].title);
            }
        });
    }
}

void DataContrastPage::resetColumns()
{
    const QList<SheetTarget> own = ownTargets(m_mode);
    const int targets = int(own.size());
    const QStringList choices = m_map->sourceColumnNames();
    m_map->clear();
    m_map->setRowCount(1);
    m_map->setColumnCount(targets + 2);

    m_map->setHorizontalHeaderItem(0, new QTableWidgetItem(u"目的数据 =>"_s));
    auto *caption = new QTableWidgetItem(u"来源数据 =>"_s);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    caption->setTextAlignment(Qt::AlignCenter);
    caption->setFlags(Qt::ItemIsEnabled);
    m_map->setItem(0, 0, caption);
    m_header->setSectionResizeMode(0, QHeaderView::Fixed);

    for (int k = 1; k <= targets; ++k) {
        m_map->setHorizontalHeaderItem(k, new QTableWidgetItem(own[k - 1].title));
        auto *cell = new QTableWidgetItem;
        cell->setFlags(Qt::ItemIsEditable | Qt::ItemIsDropEnabled | Qt::ItemIsEnabled);
        m_map->setItem(0, k, cell);
        auto *box = new FormulaBox(own[k - 1].required ? u"*"_s : QString());
        box->setChoices(choices);
        m_map->setCellWidget(0, k, box);
        m_map->setColumnWidth(k, std::max<int>(ownWidth(m_mode, k - 1), kDefaultWidth));
        m_header->setSectionResizeMode(k, QHeaderView::Interactive);
    }
    const int last = targets + 1;
    m_map->setHorizontalHeaderItem(last, new QTableWidgetItem(QString()));
    auto *add = new QTableWidgetItem;
    add->setFlags(Qt::ItemIsDropEnabled | Qt::ItemIsEnabled);
    m_map->setItem(0, last, add);
    m_map->setColumnWidth(last, kAddColumnWidth);
    m_header->setSectionResizeMode(last, QHeaderView::Fixed);
    // The reader has no place for columns of the user's own.
    m_map->setColumnHidden(last, isSheetImportMode(m_mode));
    m_map->setRowHeight(0, 30);
}

int DataContrastPage::targetCount() const
{
    return std::max(0, m_map->columnCount() - 2);
}

FormulaBox *DataContrastPage::formulaBox(int k) const
{
    return qobject_cast<FormulaBox *>(m_map->cellWidget(0, k + 1));
}

QWidget *DataContrastPage::firstField() const
{
    return formulaBox(0);
}

int DataContrastPage::nextId() const
{
    return ImportWizard::CheckPageId;
}

void DataContrastPage::initializePage()
{
    PTableWidget *source = m_wizard->sourceTable();
    if (m_wizard->sourceGeneration() != m_sourceGeneration && source) {
        m_sourceGeneration = m_wizard->sourceGeneration();
        QStringList names{QString()};
        for (int c = 0; c < source->columnCount(); ++c) {
            if (source->columnWidth(c) > 0)
                names << source->model()->headerData(c, Qt::Horizontal).toString();
        }
        m_map->setSourceColumnNames(names);
    }
    if (source) {
        m_source = source;
        m_sourceParent = source->parentWidget();
        m_layout->insertWidget(2, source, 10);
        source->setSelectionBehavior(QAbstractItemView::SelectColumns);
        source->setSelectionMode(QAbstractItemView::SingleSelection);
        source->setDragEnabled(true);
        source->setDragDropMode(QAbstractItemView::DragOnly);
        source->horizontalHeader()->setSectionsMovable(false);
        source->show();
    }
    if (!m_wizard->mappingReady() && isSheetImportMode(m_mode)) {
        applySheetMapping(source);
    } else if (!m_wizard->mappingReady()) {
        // A setting applies to the page's own columns: columns of an earlier setting go first.
        resetColumns();
        const QStringList titles = m_wizard->titles();
        // A formula naming a column this worksheet lacks would give every row its letters.
        QStringList warnings;
        const QStringList formulas = formulasWithinSheet(titles, m_wizard->savedFormulas(),
                                                         source ? source->columnCount() : 0, &warnings);
        m_warning->setText(u"导入设定的以下公式已清空，请重新指定：\n"_s + warnings.join(u'\n'));
        m_warning->setVisible(!warnings.isEmpty());
        const QList<int> widths = m_wizard->widths();
        for (qsizetype k = 0; k < titles.size(); ++k) {
            while (k >= targetCount())
                m_map->addEntryCol(false);
            const int column = int(k) + 1;
            m_map->horizontalHeaderItem(column)->setText(titles[k]);
            if (FormulaBox *box = formulaBox(int(k)))
                box->setEditText(formulas.value(k));
            // A width of 0 from a damaged file would hide the column for good, and a narrow one
            // (the code column's 40) leaves no room for the formula box.
            if (widths.value(k) > 0)
                m_map->setColumnWidth(column, std::max(widths.value(k), kMinimumWidth));
        }
    }
}

void DataContrastPage::applySheetMapping(const PTableWidget *source)
{
    resetColumns();
    const int columns = source ? source->columnCount() : 0;
    const QList<SheetTarget> targets = ownTargets(m_mode);
    QStringList titles;
    for (const SheetTarget &t : targets)
        titles << t.title;
    const ImportSetting *setting = m_wizard->settings().setting(m_wizard->lastSet());
    QStringList warnings;
    QStringList formulas;
    if (setting) {
        // Read by the columns' titles, as the command line reads the same setting.
        formulas = formulasWithinSheet(titles, sheetSettingFormulas(m_mode, *setting), columns, &warnings);
    } else {
        // Without a setting the columns are matched by their titles, as the command line does.
        formulas = sheetAutoMatch(m_mode, titleRowTexts(), QStringList(targets.size()));
    }
    m_warning->setText(u"导入设定的以下公式已清空，请重新指定：\n"_s + warnings.join(u'\n'));
    m_warning->setVisible(!warnings.isEmpty());
    for (int k = 0; k < targetCount(); ++k) {
        if (FormulaBox *box = formulaBox(k))
            box->setEditText(formulas.value(k));
    }
}

QStringList DataContrastPage::titleRowTexts() const
{
    const int t = m_wizard->titleRowNO();
    const PTableWidget *source = m_wizard->sourceTable();
    QStringList titles;
    if (t <= 0 || !source || source->rowCount() < t)
        return titles;
    for (int c = 0; c < source->columnCount(); ++c) {
        const QTableWidgetItem *cell = source->item(t - 1, c);
        titles << (cell ? cell->text() : QString());
    }
    return titles;
}

void DataContrastPage::adapter()
{
    const QStringList titles = titleRowTexts();
    if (titles.isEmpty())
        return;
    QStringList formulas;
    for (int k = 0; k < targetCount(); ++k)
        formulas << (formulaBox(k) ? formulaBox(k)->editText() : QString());
    const QStringList matched = isSheetImportMode(m_mode) ? sheetAutoMatch(m_mode, titles, formulas)
                                                          : autoMatchFormulas(titles, formulas, m_mode);
    for (int k = 0; k < targetCount(); ++k) {
        if (matched[k] != formulas[k] && formulaBox(k))
            formulaBox(k)->setEditText(matched[k]);
    }
}

void DataContrastPage::xHeader(int section)
{
    if (section < m_header->fixedSections() || section >= m_map->columnCount() - 1)
        return;
    const QRect geometry(m_header->sectionViewportPosition(section) + m_map->frameWidth(),
                         m_map->frameWidth(), m_header->sectionSize(section), m_header->height());
    QTableWidgetItem *item = m_map->horizontalHeaderItem(section);
    m_editor->editSection(section, Qt::Horizontal, item ? item->text() : QString(), geometry);
}

void DataContrastPage::updateData(const QString &text, int section, Qt::Orientation orientation)
{
    if (orientation == Qt::Horizontal && section >= 0 && section < m_map->columnCount()) {
        if (QTableWidgetItem *item = m_map->horizontalHeaderItem(section))
            item->setText(text);
        else
            m_map->setHorizontalHeaderItem(section, new QTableWidgetItem(text));
    }
    m_editor->hide();
}

bool DataContrastPage::validatePage()
{
    const auto formulaOf = [this](int k) {
        return formulaBox(k) ? formulaBox(k)->editText().trimmed() : QString();
    };
    if (isSheetImportMode(m_mode)) {
        QStringList formulas;
        for (int k = 0; k < targetCount(); ++k)
            formulas << formulaOf(k);
        const QString refusal = sheetMappingError(m_mode, formulas);
        if (!refusal.isEmpty()) {
            importMessage(this, u"提示"_s, refusal);
            return false;
        }
    } else if (formulaOf(0).isEmpty() && formulaOf(1).isEmpty()) {
        importMessage(this, u"提示"_s, u"没有【编码】和【姓名】列，不能执行导入！"_s);
        return false;
    }
    const PTableWidget *source = m_wizard->sourceTable();
    QStringList beyond;
    for (int k = 0; k < targetCount(); ++k) {
        const QTableWidgetItem *header = m_map->horizontalHeaderItem(k + 1);
        formulasWithinSheet({header ? header->text() : QString()}, {formulaOf(k)},
                            source ? source->columnCount() : 0, &beyond);
    }
    if (!beyond.isEmpty()) {
        importMessage(this, u"取数公式用到了工作表中没有的列"_s, beyond.join(u'\n'));
        return false;
    }
    const int basic = ColumnCatalogue::sourceColumnCount(BatchPage(m_mode));
    QStringList titles, savedFormulas, formulas, names;
    QList<int> widths, ids;
    for (int k = 1; k <= targetCount(); ++k) {
        const QTableWidgetItem *header = m_map->horizontalHeaderItem(k);
        const QString name = header ? header->text() : QString();
        const QString formula = formulaBox(k - 1) ? formulaBox(k - 1)->editText().trimmed() : QString();
        titles << name;
        widths << m_map->columnWidth(k);
        savedFormulas << formula;
        if (formula.isEmpty())
            continue;
        formulas << formula;
        names << name;
        if (k - 1 < basic)
            ids << k - 1;
    }
    m_wizard->setSavedMapping(titles, widths, savedFormulas);
    m_wizard->setImportColumns(formulas, names, ids);
    m_wizard->setMappingReady(true);
    // The worksheet stays on this page: going back from the check page shows it again as it was.
    return true;
}

void DataContrastPage::releaseSourceTable()
{
    if (!m_source)
        return;
    m_layout->removeWidget(m_source);
    m_source->hide();
    m_source->setParent(m_sourceParent);
    m_source = nullptr;
}

void DataContrastPage::cleanupPage()
{
    m_wizard->setMappingReady(true);
    releaseSourceTable();
    m_wizard->restoreSourceTable();
}
