// What the page tests share: finding widgets the way a user does (by the caption beside a field,
// by a button's text), reading tables, catching modal windows, and writing history files by hand.
#pragma once

#include "widgets/historylist.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace pagetest {

// A fresh, empty home directory for each test function, so no test sees another's history files.
class TemporaryHome
{
public:
    bool renew()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        if (!m_dir->isValid())
            return false;
        qputenv("HOME", m_dir->path().toLocal8Bit());
        return true;
    }
    QString path() const { return m_dir ? m_dir->path() : QString(); }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

// The input a caption label names (its buddy).
template<typename Field> Field *inputFor(const QWidget *page, const QString &caption)
{
    for (QLabel *label : page->findChildren<QLabel *>()) {
        if (label->text() == caption && label->buddy())
            return qobject_cast<Field *>(label->buddy());
    }
    return nullptr;
}

template<typename Button> Button *buttonFor(const QWidget *page, const QString &text)
{
    for (Button *b : page->findChildren<Button *>()) {
        if (b->text() == text)
            return b;
    }
    return nullptr;
}

// The widget laid out right after `widget` in the same box layout, searched from `layout` down.
inline QWidget *nextInLayout(QLayout *layout, const QWidget *widget)
{
    if (!layout)
        return nullptr;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget() == widget) {
            for (int j = i + 1; j < layout->count(); ++j) {
                if (QWidget *next = layout->itemAt(j)->widget())
                    return next;
            }
            return nullptr;
        }
        if (QWidget *found = nextInLayout(item->layout(), widget))
            return found;
    }
    return nullptr;
}

// The value label beside a result caption ("税后收入增加：" and so on).
inline QLabel *valueBeside(const QWidget *page, const QString &caption)
{
    for (QLabel *label : page->findChildren<QLabel *>()) {
        if (label->text() == caption && !label->buddy() && label->parentWidget())
            return qobject_cast<QLabel *>(nextInLayout(label->parentWidget()->layout(), label));
    }
    return nullptr;
}

inline QString cell(const QTableWidget *table, int r, int c)
{
    const QTableWidgetItem *item = table->item(r, c);
    return item ? item->text() : QString();
}

inline QStringList rowTexts(const QTableWidget *table, int r, int first, int count)
{
    QStringList texts;
    for (int c = first; c < first + count; ++c)
        texts << cell(table, r, c);
    return texts;
}

inline QStringList allCells(const QTableWidget *table)
{
    QStringList texts;
    for (int r = 0; r < table->rowCount(); ++r)
        texts << rowTexts(table, r, 0, table->columnCount());
    return texts;
}

inline QStringList historyFiles(const QString &extension)
{
    return listHistoryFiles(historyDir(), QStringLiteral("*.") + extension);
}

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Runs `action`, which opens a modal window; reads what the window shows and closes it.
inline QString modalText(const std::function<void()> &action, const std::function<QString(QWidget *)> &read,
                         QString *title = nullptr)
{
    QString text;
    QTimer::singleShot(0, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (title)
            *title = modal->windowTitle();
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            text = box->text();
        else
            text = read(modal);
        modal->close();
    });
    action();
    return text;
}

// Writes a result table into a history record with the row and column counts as given (they may
// lie), followed by the cells of a table of at most maxRows × maxColumns, or half of those bytes.
inline void writeTableClaiming(QDataStream &out, qint32 rows, qint32 columns, int maxRows, int maxColumns,
                               bool truncate = false)
{
    QTableWidget table(qBound(0, rows, maxRows), qBound(0, columns, maxColumns));
    for (int r = 0; r < table.rowCount(); ++r)
        for (int c = 0; c < table.columnCount(); ++c)
            table.setItem(r, c, new QTableWidgetItem(QStringLiteral("r%1c%2").arg(r).arg(c)));
    QByteArray cells;
    {
        QDataStream s(&cells, QIODevice::WriteOnly);
        s.setVersion(kHistoryStreamVersion);
        writeTableSnapshot(s, &table);
    }
    out << rows << columns;
    const QByteArray body = cells.mid(8); // past the true counts
    out.writeRawData(body.constData(), int(truncate ? body.size() / 2 : body.size()));
}

} // namespace pagetest
