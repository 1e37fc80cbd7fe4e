#include "widgets/formulabox.h"

#include "formula/buildercatalog.h"
#include "widgets/formuladlg.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QToolButton>

using namespace Qt::StringLiterals;

FormulaBox::FormulaBox(QWidget *parent) : FormulaBox(QString(), parent) {}

FormulaBox::FormulaBox(const QString &mark, QWidget *parent)
    : QWidget(parent), m_combo(new QComboBox(this)), m_button(new QToolButton(this)), m_markText(mark)
{
    m_combo->setEditable(true);
    // A typed formula is the box's text, not a new entry of the list.
    m_combo->setInsertPolicy(QComboBox::NoInsert);
    m_combo->setEditText(QString());
    m_combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_button->setText(u"…"_s);
    m_button->setFocusPolicy(Qt::NoFocus);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_combo, 1);
    layout->addWidget(m_button);
    if (!mark.isEmpty()) {
        m_mark = new QLabel(u"<font color=red>"_s + mark + u"</font>"_s, this);
        m_mark->setTextFormat(Qt::RichText);
        m_mark->setContentsMargins(2, 0, 2, 0);
        layout->addWidget(m_mark);
    }
    setFocusProxy(m_combo);
    connect(m_combo, &QComboBox::editTextChanged, this, &FormulaBox::editTextChanged);
    connect(m_button, &QToolButton::clicked, this, &FormulaBox::edit);
}

void FormulaBox::setChoices(const QStringList &choices)
{
    const QString text = editText();
    {
        const QSignalBlocker blocker(m_combo);
        m_combo->clear();
        m_combo->addItems(choices);
        m_combo->setEditText(text);
    }
}

QStringList FormulaBox::choices() const
{
    QStringList list;
    list.reserve(m_combo->count());
    for (int i = 0; i < m_combo->count(); ++i)
        list << m_combo->itemText(i);
    return list;
}

QString FormulaBox::editText() const
{
    return m_combo->currentText();
}

void FormulaBox::setEditText(const QString &text)
{
    m_combo->setEditText(text);
}

void FormulaBox::edit()
{
    // Owned through the box while it runs: if the box goes away meanwhile (its table is rebuilt or
    // the wizard closes), the dialog goes with it and nothing here touches either afterwards.
    QPointer<FormulaDlg> dlg = new FormulaDlg(choices(), this);
    QPointer<FormulaBox> self = this;
    dlg->setFormula(editText());
    const int result = dlg->exec();
    if (!self || !dlg)
        return;
    const QString text = BuilderCatalog::singleLine(dlg->formula());
    delete dlg;
    if (result == QDialog::Accepted)
        setEditText(text);
}
