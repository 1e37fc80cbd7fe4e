#include "widgets/historylist.h"

#include "excel/cellkind.h"

#include <QBrush>
#include <QFile>
#include <QFont>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <unordered_map>

namespace {

// How often the window looks whether a record's write has ended, while one is under way.
constexpr int kPollInterval = 10; // ms

QTableWidgetItem *figureItem(double yuan)
{
    auto *item = new QTableWidgetItem(historyFigureText(yuan));
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // A narrow list elides a large figure; the whole of it is one hover away.
    item->setToolTip(item->text());
    return item;
}

void setHistoryRow(QTableWidget *table, int row, const QString &path, const HistoryHead &head)
{
    auto *time = new QTableWidgetItem(historyTimeDisplay(head.timeText));
    time->setToolTip(time->text());
    time->setData(Qt::StatusTipRole, path);
    table->setItem(row, 0, time);
    table->setItem(row, 1, figureItem(head.value1));
    table->setItem(row, 2, figureItem(head.value2));
}

} // namespace

QString historyTimeDisplay(const QString &stored)
{
    // Records keep the short year they have always kept ("26-12-10 08:00"); this program wrote its
    // first record in this century, so the year is 20yy.
    static const QRegularExpression shortYear(QStringLiteral("^\\d\\d-\\d\\d-\\d\\d \\d\\d:\\d\\d$"));
    return shortYear.match(stored).hasMatch() ? QStringLiteral("20") + stored : stored;
}

void fillHistoryList(QTableWidget *table, const QString &dir, const QString &filter)
{
    const QStringList paths = listHistoryFiles(dir, filter);
    if (paths.isEmpty())
        return;
    table->clearContents();
    table->setRowCount(int(std::min<qsizetype>(paths.size(), kHistoryKeep)));
    int row = 0;
    for (qsizetype i = paths.size() - 1; i >= 0; --i, ++row) {
        if (row >= kHistoryKeep) {
            QFile::remove(paths.at(i));
            continue;
        }
        HistoryHead head;
        if (!readHistoryHead(paths.at(i), &head)) {
            // Unreadable: the row stays blank, but keeps the path so trimming still removes it.
            auto *item = new QTableWidgetItem();
            item->setData(Qt::StatusTipRole, paths.at(i));
            table->setItem(row, 0, item);
            continue;
        }
        setHistoryRow(table, row, paths.at(i), head);
    }
}

void addHistoryRow(QTableWidget *table, const QString &path, const QString &timeText, double value1,
                   double value2)
{
    table->insertRow(0);
    setHistoryRow(table, 0, path, {timeText, value1, value2});
    if (table->rowCount() > kHistoryKeep) {
        for (int row = table->rowCount() - 1; row >= kHistoryKeep; --row) {
            const QString old = historyPathAt(table, row);
            if (!old.isEmpty())
                QFile::remove(old);
        }
        table->setRowCount(kHistoryKeep);
    }
}

bool addHistoryEntry(QTableWidget *table, HistoryWriter &writer)
{
    const QString newest = historyPathAt(table, 0);
    if (!newest.isEmpty() && writer.repeats(newest))
        return false;
    if (!writer.commit())
        return false;
    addHistoryRow(table, writer.path(), writer.timeText(), writer.value1(), writer.value2());
    return true;
}

void openHistoryEntry(QWidget *page, const QTableWidget *table, int row,
                      const std::function<bool(const QString &)> &load)
{
    const QString path = historyPathAt(table, row);
    if (path.isEmpty() || load(path))
        return;
    QMessageBox::warning(page, QStringLiteral("信息提示"), kUnreadableHistoryText, QMessageBox::Ok);
}

QString historyPathAt(const QTableWidget *table, int row)
{
    const QTableWidgetItem *item = table->item(row, 0);
    return item ? item->data(Qt::StatusTipRole).toString() : QString();
}

void writeTableSnapshot(QDataStream &out, const QTableWidget *table)
{
    const int rows = table->rowCount();
    const int columns = table->columnCount();
    out << qint32(rows) << qint32(columns);
    const QAbstractItemModel *model = table->model();
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            if (table->item(r, c))
                writeSnapshotCell(out, model->itemData(model->index(r, c)));
            else
                writeEmptySnapshotCell(out);
        }
    }
}

void applyTableSnapshot(QTableWidget *table, const TableSnapshot &snapshot)
{
    table->clearContents();
    table->setRowCount(snapshot.rows);
    table->setColumnCount(snapshot.columns);
    for (qsizetype i = 0; i < snapshot.cells.size(); ++i) {
        auto *item = new QTableWidgetItem();
        for (const auto &[role, value] : snapshot.cells.at(i))
            item->setData(role, value);
        table->setItem(int(i / snapshot.columns), int(i % snapshot.columns), item);
    }
}

bool writeCompactTable(QDataStream &out, const QTableWidget *table)
{
    CompactTableWriter packed(0, 0);
    return packCompactTable(table, &packed) && packed.write(out);
}

bool packCompactTable(const QTableWidget *table, CompactTableWriter *packed,
                      const std::function<void(int row)> &rowDone)
{
    const int rows = table->rowCount();
    const int columns = table->columnCount();
    if (qint64(rows) * columns > kMaxCompactCells)
        return false;
    CompactTableWriter writer(rows, columns);
    CompactCell cell;
    cell.present = true;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const QTableWidgetItem *item = table->item(r, c);
            if (!item) {
                writer.addAbsent();
                continue;
            }
            cell.type = item->type();
            cell.alignment = quint32(item->textAlignment());
            cell.text = item->text();
            cell.toolTip = item->toolTip();
            // Most cells have no font of their own: skip building one for them.
            const QVariant font = item->data(Qt::FontRole);
            cell.bold = font.isValid() && font.value<QFont>().bold();
            const QVariant number = item->data(kCellNumberRole);
            cell.hasNumber = number.isValid();
            cell.number = cell.hasNumber ? number.toDouble() : 0;
            const QVariant background = item->data(Qt::BackgroundRole);
            cell.hasBackground = background.isValid();
            cell.background = cell.hasBackground ? background.value<QBrush>().color().rgba() : 0;
            const QVariant foreground = item->data(Qt::ForegroundRole);
            cell.hasForeground = foreground.isValid();
            cell.foreground = cell.hasForeground ? foreground.value<QBrush>().color().rgba() : 0;
            writer.add(cell);
        }
        if (rowDone)
            rowDone(r);
    }
    *packed = std::move(writer);
    return true;
}

struct HistorySaver::Write
{
    std::thread thread;
    std::atomic<bool> done = false;
    WrittenRecord result; // the thread's until `done`, then the window's once joined
};

HistorySaver::HistorySaver(QTableWidget *list, QObject *parent)
    : QObject(parent), m_list(list), m_poll(new QTimer(this))
{
    m_poll->setInterval(kPollInterval);
    connect(m_poll, &QTimer::timeout, this, &HistorySaver::poll);
}

HistorySaver::~HistorySaver()
{
    // The file is finished (or left out whole); the list may already be gone.
    if (m_write)
        m_write->thread.join();
}

void HistorySaver::save(PendingRecord record)
{
    wait();
    record.newest = historyPathAt(m_list, 0);
    m_write = std::make_unique<Write>();
    Write *w = m_write.get();
    w->thread = std::thread([w, record = std::move(record)] {
        w->result = writePendingRecord(record);
        w->done.store(true, std::memory_order_release);
    });
    m_poll->start();
}

void HistorySaver::wait()
{
    if (m_write)
        collect();
}

void HistorySaver::poll()
{
    if (m_write && m_write->done.load(std::memory_order_acquire))
        collect();
}

void HistorySaver::collect()
{
    m_poll->stop();
    m_write->thread.join();
    const WrittenRecord result = std::move(m_write->result);
    m_write.reset();
    if (result.written)
        addHistoryRow(m_list, result.path, result.timeText, result.value1, result.value2);
    emit saved(result.written);
}

void fillFromCompactTable(QTableWidget *table, const CompactTable &stored, const QFont &boldFont,
                          const std::function<void(int row)> &rowDone)
{
    // Result cells mostly differ in their text only: each is a clone of a prototype with its
    // alignment, colours and font, sharing the prototype's data until its text is set (an
    // empty tinted cell never is). That spares the allocations of building every cell afresh.
    struct Look
    {
        qint32 type;
        quint32 alignment;
        QRgb background, foreground;
        quint8 flags;
        bool operator==(const Look &) const = default;
    };
    struct LookHash
    {
        size_t operator()(const Look &l) const
        {
            return qHashMulti(0, l.type, l.alignment, l.background, l.foreground, l.flags);
        }
    };
    std::unordered_map<Look, std::unique_ptr<QTableWidgetItem>, LookHash> prototypes;
    decodeCompactCells(stored, [&](qint32 r, qint32 c, const CompactCell &cell) {
        if (rowDone && c == stored.columns - 1)
            rowDone(r);
        if (!cell.present || r >= table->rowCount() || c >= table->columnCount()) {
            if (r < table->rowCount() && c < table->columnCount())
                delete table->takeItem(r, c);
            return;
        }
        if (cell.type != QTableWidgetItem::Type) {
            // A clone is of the plain type: imported cells, which keep their kind, are built whole.
            auto *item = new QTableWidgetItem(cell.text, cell.type);
            if (cell.alignment)
                item->setTextAlignment(Qt::Alignment(cell.alignment));
            if (!cell.toolTip.isEmpty())
                item->setToolTip(cell.toolTip);
            if (cell.bold)
                item->setFont(boldFont);
            if (cell.hasNumber)
                item->setData(kCellNumberRole, cell.number);
            if (cell.hasBackground)
                item->setBackground(QColor::fromRgba(cell.background));
            if (cell.hasForeground)
                item->setForeground(QColor::fromRgba(cell.foreground));
            table->setItem(r, c, item);
            return;
        }
        const Look look{
            cell.type, cell.alignment, cell.hasBackground ? cell.background : 0,
            cell.hasForeground ? cell.foreground : 0,
            quint8((cell.hasBackground ? 1 : 0) | (cell.hasForeground ? 2 : 0) | (cell.bold ? 4 : 0))};
        std::unique_ptr<QTableWidgetItem> &prototype = prototypes[look];
        if (!prototype) {
            prototype = std::make_unique<QTableWidgetItem>(QString(), cell.type);
            if (cell.alignment)
                prototype->setTextAlignment(Qt::Alignment(cell.alignment));
            if (cell.bold)
                prototype->setFont(boldFont);
            if (cell.hasBackground)
                prototype->setBackground(QColor::fromRgba(cell.background));
            if (cell.hasForeground)
                prototype->setForeground(QColor::fromRgba(cell.foreground));
        }
        QTableWidgetItem *item = prototype->clone();
        if (!cell.text.isEmpty())
            item->setText(cell.text);
        if (!cell.toolTip.isEmpty())
            item->setToolTip(cell.toolTip);
        if (cell.hasNumber)
            item->setData(kCellNumberRole, cell.number);
        table->setItem(r, c, item);
    });
}
