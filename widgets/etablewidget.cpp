#include "widgets/etablewidget.h"

#include <QDataStream>
#include <QHash>
#include <QIODevice>
#include <QMimeData>
#include <QSet>

#include <limits>

namespace {

// The live tables. Only the user-interface thread creates, destroys and drops on tables.
QHash<qint32, ETableWidget *> &registry()
{
    static QHash<qint32, ETableWidget *> tables;
    return tables;
}

// Identities are not reused soon after a table goes, so an old payload cannot reach a new table.
qint32 nextIdentity()
{
    static qint32 last = 0;
    do {
        last = last == std::numeric_limits<qint32>::max() ? 1 : last + 1;
    } while (registry().contains(last));
    return last;
}

} // namespace

ETableWidget::ETableWidget(QWidget *parent) : QTableWidget(parent)
{
    enrol();
}

ETableWidget::ETableWidget(int rows, int columns, QWidget *parent) : QTableWidget(rows, columns, parent)
{
    enrol();
}

void ETableWidget::enrol()
{
    m_identity = nextIdentity();
    registry().insert(m_identity, this);
    // The drop hides the moved rows itself; the drag must not also clear them in the source.
    setDefaultDropAction(Qt::CopyAction);
}

ETableWidget::~ETableWidget()
{
    registry().remove(m_identity);
}

ETableWidget *ETableWidget::fromIdentity(qint32 identity)
{
    return registry().value(identity, nullptr);
}

QStringList ETableWidget::mimeTypes() const
{
    return {mimeType()};
}

QMimeData *ETableWidget::mimeData(const QList<QTableWidgetItem *> &items) const
{
    auto *mime = new QMimeData;
    if (items.isEmpty())
        return mime;
    QList<qint32> rows;
    QSet<qint32> seen;
    for (const QTableWidgetItem *item : items) {
        if (!item)
            continue;
        const qint32 row = item->row();
        if (row >= 0 && !seen.contains(row)) {
            seen.insert(row);
            rows << row;
        }
    }
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << m_identity << quint32(rows.size());
    for (qint32 row : std::as_const(rows))
        out << row;
    mime->setData(mimeType(), bytes);
    return mime;
}

bool ETableWidget::dropMimeData(int, int, const QMimeData *data, Qt::DropAction)
{
    if (!data || !data->hasFormat(mimeType()))
        return false;
    QDataStream in(data->data(mimeType()));
    qint32 identity = 0;
    quint32 count = 0;
    in >> identity >> count;
    if (in.status() != QDataStream::Ok)
        return false;
    ETableWidget *source = fromIdentity(identity);
    // A table does not move rows onto itself: that would only duplicate them.
    if (!source || source == this)
        return false;
    for (quint32 i = 0; i < count; ++i) {
        qint32 row = -1;
        in >> row;
        if (in.status() != QDataStream::Ok)
            break;
        // A row that has moved already (a payload dropped twice) or never existed stays put.
        if (row < 0 || row >= source->rowCount() || source->isRowHidden(row))
            continue;
        auto copyOf = [source, row](int column) {
            const QTableWidgetItem *item = source->item(row, column);
            return item ? item->clone() : new QTableWidgetItem;
        };
        const int at = rowCount();
        insertRow(at);
        setItem(at, 0, copyOf(0));
        setItem(at, 1, copyOf(1));
        source->setRowHidden(row, true);
    }
    return true;
}
