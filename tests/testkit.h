// Helpers the tests of several areas share: keeping fuzz seeds, and for the tests that drive
// widgets, catching message boxes, number cells as an import makes them and cell texts. Header-only;
// the widget helpers are there only for tests that link the widgets.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTest>

#ifdef QT_WIDGETS_LIB
#include "excel/cellkind.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <utility>
#endif

// A check that needs what tools/setup-deps installs (Python modules, Gnumeric) and finds it
// missing: skipped on a developer's machine, a failure under CI (CI set), where it must be there.
#define LUMO_SKIP_WITHOUT_TOOL(message)                                                                      \
    do {                                                                                                     \
        if (qEnvironmentVariableIsSet("CI"))                                                                 \
            QFAIL(message);                                                                                  \
        QSKIP(message);                                                                                      \
    } while (false)

namespace testkit {

// With LUMO_FUZZ_SEED_DIR set, keeps a record the test wrote (or damaged) as a seed of the history
// fuzz target.
inline void saveSeed(const QString &name, const QByteArray &bytes)
{
    const QString dir = qEnvironmentVariable("LUMO_FUZZ_SEED_DIR");
    if (dir.isEmpty() || bytes.isEmpty())
        return;
    QDir().mkpath(dir);
    QFile file(dir + u'/' + name);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

#ifdef QT_WIDGETS_LIB

// Catches every message box that opens, keeps its text and closes it with OK. Given a separator,
// keeps the main text, the separator and the informative text.
class MessageCatcher : public QObject
{
public:
    explicit MessageCatcher(QString informativeSeparator = {}) : m_separator(std::move(informativeSeparator))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                m_texts << (m_separator.isEmpty() ? box->text()
                                                  : box->text() + m_separator + box->informativeText());
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start(5);
    }
    QStringList takeAll() { return std::exchange(m_texts, {}); }
    // Runs the event loop until a message box was seen.
    bool waitForMessage(int ms = 120000)
    {
        return QTest::qWaitFor([this] { return !m_texts.isEmpty(); }, ms);
    }

private:
    QString m_separator;
    QTimer m_timer;
    QStringList m_texts;
};

// A number cell of `yuan` as an import makes it.
inline QTableWidgetItem *numberItem(double yuan)
{
    auto *item = new QTableWidgetItem(QString::number(yuan, 'f', 2), NumberCell);
    item->setData(kCellNumberRole, yuan);
    return item;
}

// The text of a cell; empty when the cell has no item.
inline QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

#endif

} // namespace testkit
