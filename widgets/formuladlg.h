// The expression builder: the modal dialog "表达式构造器" that helps write one target column's
// import formula. Three lists (category, class, item) offer the source columns, the built-in
// target columns, constants, operators and functions, with a help text for the current item; a
// double click on an item or a toolbar button inserts its text, a space on each side, at the
// editor's cursor.
//
// It only edits text: what the lists hold and what an item inserts is BuilderCatalog's
// (buildercatalog.h); the formula is read by the formula language when the import computes its
// preview. A FormulaBox opens it (formulabox.h) and takes the text when it is accepted.
#pragma once

#include "formula/buildercatalog.h"

#include <QDialog>

class QLabel;
class QModelIndex;
class QPlainTextEdit;
class QPushButton;
class QStringListModel;
class QToolBar;
class PListView;

class FormulaDlg : public QDialog
{
    Q_OBJECT
public:
    // `sourceColumns`: the formula box's source column list (an empty entry, then the letters of the
    // visible worksheet columns). `parent`: the box that opens it.
    explicit FormulaDlg(const QStringList &sourceColumns, QWidget *parent = nullptr);
    ~FormulaDlg() override;

    // The editor's plain text. setFormula puts the cursor at the end, where the next item goes.
    QString formula() const;
    void setFormula(const QString &text);

    QStringList sourceColumns() const { return m_sourceColumns; }

    // The parts a caller or a test drives.
    QPlainTextEdit *editor() const { return m_editor; }
    PListView *catalogView() const { return m_catalogView; }
    PListView *classView() const { return m_classView; }
    PListView *detailView() const { return m_detailView; }
    QLabel *helpLabel() const { return m_help; }
    QList<QToolBar *> toolBars() const { return m_toolBars; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }

public slots:
    // The class list of the category, its first row current.
    void catalogChanged(const QModelIndex &index);
    // The item list of the class in the current category, its first row current.
    void classChanged(const QModelIndex &index);
    // The help text of the item (empty without one).
    void detailChanged(const QModelIndex &index);
    // Inserts the item (a double click on it).
    void insertDetail(const QModelIndex &index);

    void insertPlus();
    void insertSubtract();
    void insertStar();
    void insertDivide();
    void insertEqual();
    void insertGreat();
    void insertLittle();
    void insertUnequa();
    void insertLBlacket();
    void insertRBlacket();

private:
    QToolBar *makeToolBar(const QString &group);
    // Inserts text (already spaced) at the cursor, replacing a selection, and returns the focus to
    // the editor so the user types on.
    void insertText(const QString &text);
    void insertSpaced(const QString &text);

    QStringList m_sourceColumns;
    BuilderCatalog m_catalog;
    QPlainTextEdit *m_editor;
    PListView *m_catalogView;
    PListView *m_classView;
    PListView *m_detailView;
    CatalogModel *m_catalogModel;
    QStringListModel *m_classModel;
    QStringListModel *m_detailModel;
    QLabel *m_help;
    QList<QToolBar *> m_toolBars;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};
