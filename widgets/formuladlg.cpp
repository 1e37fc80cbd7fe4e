#include "widgets/formuladlg.h"

#include "widgets/plistview.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QToolBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

FormulaDlg::FormulaDlg(const QStringList &sourceColumns, QWidget *parent)
    : QDialog(parent), m_sourceColumns(sourceColumns), m_catalog(sourceColumns),
      m_editor(new QPlainTextEdit(this)), m_catalogView(new PListView(this)),
      m_classView(new PListView(this)), m_detailView(new PListView(this)),
      m_catalogModel(new CatalogModel(this)), m_classModel(new QStringListModel(this)),
      m_detailModel(new QStringListModel(this)), m_help(new QLabel(this)), m_ok(nullptr), m_cancel(nullptr)
{
    setWindowTitle(u"表达式构造器"_s);
    setModal(true);

    auto *toolRow = new QHBoxLayout;
    toolRow->setSpacing(0);
    for (const QString &group : builderActionGroups()) {
        QToolBar *bar = makeToolBar(group);
        m_toolBars << bar;
        toolRow->addWidget(bar);
    }
    toolRow->addStretch(1);

    m_editor->setTabChangesFocus(true);

    m_catalogView->setModel(m_catalogModel);
    m_classView->setModel(m_classModel);
    m_detailView->setModel(m_detailModel);
    for (PListView *view : {m_catalogView, m_classView, m_detailView}) {
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
    }
    connect(m_catalogView, &PListView::changedToCurrent, this, &FormulaDlg::catalogChanged);
    connect(m_classView, &PListView::changedToCurrent, this, &FormulaDlg::classChanged);
    connect(m_detailView, &PListView::changedToCurrent, this, &FormulaDlg::detailChanged);
    connect(m_detailView, &PListView::doubleClicked, this, &FormulaDlg::insertDetail);

    m_help->setTextFormat(Qt::RichText);
    m_help->setWordWrap(true);
    m_help->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_help->setMinimumHeight(44);
    m_help->setFrameShape(QFrame::StyledPanel);

    auto *buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(u"确定(&O)"_s, QDialogButtonBox::AcceptRole);
    m_cancel = buttons->addButton(u"取消(&C)"_s, QDialogButtonBox::RejectRole);
    // The buttons act on press; the box's own clicked handling is not used.
    connect(m_ok, &QPushButton::pressed, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::pressed, this, &QDialog::reject);

    auto *lists = new QHBoxLayout;
    lists->addWidget(m_catalogView, 2);
    lists->addWidget(m_classView, 2);
    lists->addWidget(m_detailView, 3);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(toolRow);
    layout->addWidget(m_editor, 3);
    layout->addLayout(lists, 4);
    layout->addWidget(m_help);
    layout->addWidget(buttons);
    resize(560, 420);

    // Fills the class and item lists and the help through the slots above.
    m_catalogView->setCurrentIndex(m_catalogModel->index(SourceCategory, 0));
    m_editor->setFocus();
}

FormulaDlg::~FormulaDlg() = default;

QToolBar *FormulaDlg::makeToolBar(const QString &group)
{
    // The named slots in the order of builderActions().
    using Slot = void (FormulaDlg::*)();
    static const Slot inserters[] = {
        &FormulaDlg::insertPlus,     &FormulaDlg::insertSubtract, &FormulaDlg::insertStar,
        &FormulaDlg::insertDivide,   &FormulaDlg::insertEqual,    &FormulaDlg::insertGreat,
        &FormulaDlg::insertLittle,   &FormulaDlg::insertUnequa,   &FormulaDlg::insertLBlacket,
        &FormulaDlg::insertRBlacket,
    };
    static_assert(std::size(inserters) == 10);

    auto *bar = new QToolBar(group, this);
    bar->setIconSize(QSize(16, 16));
    const QList<BuilderAction> &actions = builderActions();
    for (qsizetype i = 0; i < actions.size() && i < qsizetype(std::size(inserters)); ++i) {
        const BuilderAction &a = actions.at(i);
        if (a.group != group)
            continue;
        QAction *action = bar->addAction(QIcon(a.icon), a.text);
        action->setToolTip(a.toolTip);
        connect(action, &QAction::triggered, this, inserters[i]);
    }
    return bar;
}

QString FormulaDlg::formula() const
{
    return m_editor->toPlainText();
}

void FormulaDlg::setFormula(const QString &text)
{
    m_editor->setPlainText(text);
    m_editor->moveCursor(QTextCursor::End);
}

void FormulaDlg::catalogChanged(const QModelIndex &index)
{
    m_classModel->setStringList(index.isValid() ? m_catalog.classes(index.row()) : QStringList());
    const QModelIndex first = m_classModel->index(0, 0);
    if (first.isValid())
        m_classView->setCurrentIndex(first);
    else
        classChanged(QModelIndex());
}

void FormulaDlg::classChanged(const QModelIndex &index)
{
    const int category = m_catalogView->currentIndex().row();
    m_detailModel->setStringList(index.isValid() ? m_catalog.items(category, index.row()) : QStringList());
    const QModelIndex first = m_detailModel->index(0, 0);
    if (first.isValid())
        m_detailView->setCurrentIndex(first);
    else
        detailChanged(QModelIndex());
}

void FormulaDlg::detailChanged(const QModelIndex &index)
{
    m_help->setText(index.isValid() ? BuilderCatalog::helpText(index.data().toString()) : QString());
}

void FormulaDlg::insertDetail(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    insertText(BuilderCatalog::itemInsertion(m_catalogView->currentIndex().row(),
                                             m_classView->currentIndex().row(), index.data().toString()));
}

void FormulaDlg::insertText(const QString &text)
{
    m_editor->insertPlainText(text);
    m_editor->setFocus();
}

void FormulaDlg::insertSpaced(const QString &text)
{
    insertText(BuilderCatalog::spaced(text));
}

void FormulaDlg::insertPlus()
{
    insertSpaced(u"+"_s);
}

void FormulaDlg::insertSubtract()
{
    insertSpaced(u"-"_s);
}

void FormulaDlg::insertStar()
{
    insertSpaced(u"*"_s);
}

void FormulaDlg::insertDivide()
{
    insertSpaced(u"/"_s);
}

void FormulaDlg::insertEqual()
{
    insertSpaced(u"=="_s);
}

void FormulaDlg::insertGreat()
{
    insertSpaced(u">"_s);
}

void FormulaDlg::insertLittle()
{
    insertSpaced(u"<"_s);
}

void FormulaDlg::insertUnequa()
{
    insertSpaced(u"<>"_s);
}

void FormulaDlg::insertLBlacket()
{
    insertSpaced(u"("_s);
}

void FormulaDlg::insertRBlacket()
{
    insertSpaced(u")"_s);
}
