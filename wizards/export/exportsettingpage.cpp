#include "wizards/export/exportsettingpage.h"

#include "batch/exporttemplate.h"
#include "wizards/export/exportmessage.h"
#include "wizards/export/exportwizard.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QDataStream>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

ExportColumnTable::ExportColumnTable(QWidget *parent) : ETableWidget(0, 2, parent)
{
    setHorizontalHeaderLabels({u"分组"_s, u"标题"_s});
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
}

bool ExportColumnTable::dropMimeData(int row, int column, const QMimeData *data, Qt::DropAction action)
{
    if (m_handler && data && data->hasFormat(mimeType())) {
        QDataStream in(data->data(mimeType()));
        qint32 identity = 0;
        quint32 count = 0;
        in >> identity >> count;
        ETableWidget *source = fromIdentity(identity);
        if (in.status() != QDataStream::Ok || !source || source == this)
            return false;
        QList<int> rows;
        // A payload cannot name more rows than its table has.
        for (quint32 i = 0; i < count && i < quint32(source->rowCount()); ++i) {
            qint32 r = -1;
            in >> r;
            if (in.status() != QDataStream::Ok)
                break;
            if (r >= 0 && r < source->rowCount() && !rows.contains(r))
                rows << r;
        }
        if (const std::optional<bool> handled = m_handler(source, rows))
            return *handled;
    }
    return ETableWidget::dropMimeData(row, column, data, action);
}

ExportSettingPage::ExportSettingPage(QWidget *parent) : QWizardPage(parent)
{
    setTitle(u"选择导出列"_s);
    setSubTitle(u"将需要导出的列加入到右侧导出列框。"_s);
    auto *wizard = qobject_cast<ExportWizard *>(parent);
    const int mode = wizard ? wizard->mode() : 0;
    m_originalList = exportOriginalList(mode, wizard ? wizard->extension() : nullptr);
    m_resultList = exportResultList(mode);

    m_original = new ExportColumnTable(this);
    m_result = new ExportColumnTable(this);
    m_selected = new ExportColumnTable(this);
    fillOffer(m_original, m_originalList);
    fillOffer(m_result, m_resultList);
    // Onto an offering table: from the right it is a removal, from the other offer nothing.
    const auto offerDrop = [this](ETableWidget *source, const QList<int> &rows) -> std::optional<bool> {
        if (source != m_selected)
            return false;
        remove(rows);
        return true;
    };
    m_original->setDropHandler(offerDrop);
    m_result->setDropHandler(offerDrop);
    m_selected->setDropHandler([this](ETableWidget *source, const QList<int> &rows) -> std::optional<bool> {
        if (source != m_original && source != m_result)
            return false;
        add(source, rows);
        return true;
    });

    auto *addBase = new QPushButton(u"  加入   ->"_s, this);
    auto *addBaseAll = new QPushButton(u"全部加入 ->>"_s, this);
    auto *addResult = new QPushButton(u"加入 ->"_s, this);
    auto *addResultAll = new QPushButton(u"全部加入 ->>"_s, this);
    // Removing gives the columns back to the lists on the left.
    auto *removeOne = new QPushButton(u"<-   移除  "_s, this);
    auto *removeAll = new QPushButton(u"<<- 全部移除"_s, this);
    connect(addBase, &QPushButton::clicked, this, &ExportSettingPage::addOriginalBase);
    connect(addBaseAll, &QPushButton::clicked, this, &ExportSettingPage::addOriginalBaseAll);
    connect(addResult, &QPushButton::clicked, this, &ExportSettingPage::addOriginalResult);
    connect(addResultAll, &QPushButton::clicked, this, &ExportSettingPage::addOriginalResultAll);
    connect(removeOne, &QPushButton::clicked, this, &ExportSettingPage::removeSelected);
    connect(removeAll, &QPushButton::clicked, this, &ExportSettingPage::removeSelectedAll);

    const auto buttons = [this](QPushButton *one, QPushButton *all) {
        auto *column = new QVBoxLayout;
        column->addStretch(1);
        column->addWidget(one);
        column->addWidget(all);
        column->addStretch(1);
        return column;
    };
    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(u"原始数据源"_s, this), 0, 0);
    grid->addWidget(m_original, 1, 0);
    grid->addLayout(buttons(addBase, addBaseAll), 1, 1);
    grid->addWidget(new QLabel(exportResultCaption(mode), this), 2, 0);
    grid->addWidget(m_result, 3, 0);
    grid->addLayout(buttons(addResult, addResultAll), 3, 1);
    grid->addWidget(new QLabel(u"已选择的导出列"_s, this), 0, 2);
    grid->addWidget(m_selected, 1, 2, 3, 1);
    grid->addLayout(buttons(removeOne, removeAll), 1, 3, 3, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid, 1);
    const QStringList scopes = exportScopeNames(mode);
    if (!scopes.isEmpty()) {
        m_scopeBox = new QGroupBox(u"导出范围"_s, this);
        m_scopes = new QButtonGroup(this);
        auto *scopeLayout = new QHBoxLayout(m_scopeBox);
        for (int i = 0; i < scopes.size(); ++i) {
            auto *button = new QRadioButton(scopes[i], m_scopeBox);
            m_scopes->addButton(button, i);
            scopeLayout->addWidget(button);
        }
        m_scopes->button(ScopeAfter)->setChecked(true);
        layout->addWidget(m_scopeBox);
    }
}

void ExportSettingPage::fillOffer(ETableWidget *table, const QList<ExportColumn> &columns)
{
    table->setRowCount(int(columns.size()));
    for (int i = 0; i < columns.size(); ++i) {
        const ExportColumn &c = columns[i];
        for (int cell = 0; cell < 2; ++cell) {
            auto *item = new QTableWidgetItem(cell == 0 ? c.group : c.name);
            item->setData(TypeRole, int(c.type));
            item->setData(IndexRole, i);
            table->setItem(i, cell, item);
        }
        table->setRowHidden(i, false);
    }
}

ETableWidget *ExportSettingPage::offerOf(int type) const
{
    return type == 0 ? m_original : m_result;
}

QList<int> ExportSettingPage::selectedRows(const QTableWidget *table)
{
    QList<int> rows;
    for (const QModelIndex &index : table->selectionModel()->selectedRows()) {
        if (!table->isRowHidden(index.row()))
            rows << index.row();
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ExportSettingPage::add(ETableWidget *from, const QList<int> &rows)
{
    for (int row : rows) {
        if (row < 0 || row >= from->rowCount() || from->isRowHidden(row))
            continue;
        const int at = m_selected->rowCount();
        m_selected->insertRow(at);
        for (int cell = 0; cell < 2; ++cell) {
            const QTableWidgetItem *item = from->item(row, cell);
            m_selected->setItem(at, cell, item ? item->clone() : new QTableWidgetItem);
        }
        from->setRowHidden(row, true);
    }
}

void ExportSettingPage::remove(QList<int> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : std::as_const(rows)) {
        if (row < 0 || row >= m_selected->rowCount())
            continue;
        const QTableWidgetItem *item = m_selected->item(row, 0);
        if (item) {
            ETableWidget *offer = offerOf(item->data(TypeRole).toInt());
            const int origin = item->data(IndexRole).toInt();
            if (origin >= 0 && origin < offer->rowCount())
                offer->setRowHidden(origin, false);
        }
        m_selected->removeRow(row);
    }
}

void ExportSettingPage::addOriginalBase()
{
    add(m_original, selectedRows(m_original));
}

void ExportSettingPage::addOriginalResult()
{
    add(m_result, selectedRows(m_result));
}

void ExportSettingPage::addOriginalBaseAll()
{
    QList<int> rows;
    for (int r = 0; r < m_original->rowCount(); ++r)
        rows << r;
    add(m_original, rows);
}

void ExportSettingPage::addOriginalResultAll()
{
    QList<int> rows;
    for (int r = 0; r < m_result->rowCount(); ++r)
        rows << r;
    add(m_result, rows);
}

void ExportSettingPage::removeSelected()
{
    remove(selectedRows(m_selected));
}

void ExportSettingPage::removeSelectedAll()
{
    QList<int> rows;
    for (int r = 0; r < m_selected->rowCount(); ++r)
        rows << r;
    remove(rows);
}

void ExportSettingPage::rightTable()
{
    m_selected->resizeColumnToContents(0);
    m_selected->viewport()->update();
}

QList<ExportColumn> ExportSettingPage::selectedColumns() const
{
    QList<ExportColumn> columns;
    for (int r = 0; r < m_selected->rowCount(); ++r) {
        const QTableWidgetItem *item = m_selected->item(r, 0);
        if (!item || m_selected->isRowHidden(r))
            continue;
        const QList<ExportColumn> &list = item->data(TypeRole).toInt() == 0 ? m_originalList : m_resultList;
        const int index = item->data(IndexRole).toInt();
        if (index >= 0 && index < list.size())
            columns << list[index];
    }
    return columns;
}

QWidget *ExportSettingPage::firstField() const
{
    return m_original;
}

void ExportSettingPage::initializePage()
{
    QTimer::singleShot(0, this, &ExportSettingPage::rightTable);
    auto *wizard = qobject_cast<ExportWizard *>(this->wizard());
    if (!wizard || wizard->columnsReady())
        return;
    m_selected->setRowCount(0);
    for (int r = 0; r < m_original->rowCount(); ++r)
        m_original->setRowHidden(r, false);
    for (int r = 0; r < m_result->rowCount(); ++r)
        m_result->setRowHidden(r, false);
    for (const ExportColumn &column : wizard->columns()) {
        const int index = int((column.type == 0 ? m_originalList : m_resultList).indexOf(column));
        if (index >= 0)
            add(offerOf(column.type), {index});
    }
    if (m_scopes) {
        const int scope = wizard->exportScope();
        QAbstractButton *button = m_scopes->button(scope == 0 || scope == 2 || scope == 3 ? scope : 1);
        (button ? button : m_scopes->button(ScopeAfter))->setChecked(true);
    }
}

bool ExportSettingPage::validatePage()
{
    const QList<ExportColumn> columns = selectedColumns();
    if (columns.isEmpty()) {
        exportMessage(this, QMessageBox::Warning, u"没有要导出的列！"_s, u"对不起，请选择要导出的列。"_s);
        return false;
    }
    auto *wizard = qobject_cast<ExportWizard *>(this->wizard());
    if (!wizard)
        return true;
    wizard->setColumns(columns);
    if (m_scopes && m_scopes->checkedId() >= 0)
        wizard->setExportScope(m_scopes->checkedId());
    wizard->setColumnsReady(true);
    return true;
}
