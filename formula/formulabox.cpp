#include "formula/formulabox.h"

#include <QComboBox>
#include <QHBoxLayout>

FormulaBox::FormulaBox(QWidget *parent) : QWidget(parent), m_combo(new QComboBox(this))
{
    m_combo->setEditable(true);
    // A typed formula is the box's text, not a new entry of the list.
    m_combo->setInsertPolicy(QComboBox::NoInsert);
    m_combo->setEditText(QString());
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_combo);
    setFocusProxy(m_combo);
    connect(m_combo, &QComboBox::editTextChanged, this, &FormulaBox::editTextChanged);
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
