// The formula box of a salary table's entry column: an editable choice list whose text is the
// import formula of that column (column letters, names, arithmetic). The list offers the source
// columns a formula can refer to. The interface is kept small on purpose, so that the box can grow
// (a button that opens an expression builder, a required mark) without its callers changing: the
// tables only set its choices and read or write its text.
#pragma once

#include <QStringList>
#include <QWidget>

class QComboBox;

class FormulaBox : public QWidget
{
    Q_OBJECT
public:
    explicit FormulaBox(QWidget *parent = nullptr);

    // Replaces the offered choices; the text being edited stays as it is.
    void setChoices(const QStringList &choices);
    QStringList choices() const;

    // The formula text (not necessarily one of the choices).
    QString editText() const;
    void setEditText(const QString &text);

signals:
    void editTextChanged(const QString &text);

private:
    QComboBox *m_combo;
};
