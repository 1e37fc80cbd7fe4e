// The formula box of a salary table's entry column: an editable choice list whose text is the
// import formula of that column (column letters, names, arithmetic), a "…" button that opens the
// expression builder (formuladlg.h) on that text, and an optional red mark (the required "*").
// The list offers the source columns a formula can refer to; the builder offers the same list.
// The tables only set its choices and read or write its text.
#pragma once

#include <QStringList>
#include <QWidget>

class QComboBox;
class QLabel;
class QToolButton;

class FormulaBox : public QWidget
{
    Q_OBJECT
public:
    explicit FormulaBox(QWidget *parent = nullptr);
    // With a mark: a label "<font color=red>" + mark + "</font>" beside the box (no label when
    // `mark` is empty).
    explicit FormulaBox(const QString &mark, QWidget *parent = nullptr);

    // Replaces the offered choices; the text being edited stays as it is.
    void setChoices(const QStringList &choices);
    QStringList choices() const;

    // The formula text (not necessarily one of the choices).
    QString editText() const;
    void setEditText(const QString &text);

    // The mark given at construction ("" without one).
    QString mark() const { return m_markText; }

    QComboBox *comboBox() const { return m_combo; }
    QToolButton *editButton() const { return m_button; }
    // Null without a mark.
    QLabel *markLabel() const { return m_mark; }

public slots:
    // Opens the expression builder with the choices and the current text; accepted, the builder's
    // text (on one line) becomes the box's text.
    void edit();

signals:
    void editTextChanged(const QString &text);

private:
    QComboBox *m_combo;
    QToolButton *m_button;
    QLabel *m_mark = nullptr;
    QString m_markText;
};
