// The two-column list tables of the export wizard's column choice: a row is one exportable column,
// and rows move between two such tables by drag and drop ("application/lumo.etable": the source
// table's identity and the dragged row numbers). A moved row is copied to the end of the target
// and hidden in the source, which keeps it as a hidden row.
//
// The identity is a number from a registry of the live tables of this process: a table enters it
// when constructed and leaves it when destroyed, so a payload naming a destroyed table, a table of
// another process or no table at all is refused.
//
// The tables start with the copy drop action: the drop hides the moved rows itself, and a move
// action would make the toolkit clear the dragged cells in the source as well.
#pragma once

#include <QTableWidget>

class ETableWidget : public QTableWidget
{
    Q_OBJECT
public:
    static QString mimeType() { return QStringLiteral("application/lumo.etable"); }

    explicit ETableWidget(QWidget *parent = nullptr);
    ETableWidget(int rows, int columns, QWidget *parent = nullptr);
    ~ETableWidget() override;

    // This table's identity in drag payloads, and the live table of an identity (null if none).
    qint32 identity() const { return m_identity; }
    static ETableWidget *fromIdentity(qint32 identity);

    QStringList mimeTypes() const override;
    // The distinct rows of the items; an empty payload for no items.
    QMimeData *mimeData(const QList<QTableWidgetItem *> &items) const override;
    // Copies the payload's rows from their table to the end of this one and hides them there. The
    // drop position does not matter. Rows out of range or already moved are skipped.
    bool dropMimeData(int row, int column, const QMimeData *data, Qt::DropAction action) override;

private:
    void enrol();

    qint32 m_identity = 0;
};
