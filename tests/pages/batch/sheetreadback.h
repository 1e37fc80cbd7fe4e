// What the page tests of the current rules' batch pages share for their exports: the page's own
// 导出 run with its dialog answered as a user answers it, and the file read back by an independent
// reader (openpyxl for .xlsx, xlrd for .xls, Debian's /usr/bin/python3), then compared cell by cell
// with what the page's table shows. Header-only; for tests that link the widgets.
#pragma once

#include "batch/sheetlayout.h"
#include "tests/childrun.h"
#include "tests/testkit.h"
#include "widgets/resulttablemodel.h"
#include "wizards/export/sheetexportwizard.h"

#include <QApplication>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QTimer>

#include <functional>
#include <vector>

namespace readback {

using namespace Qt::StringLiterals;

// The Python module that reads a file of this suffix.
inline QString readerOf(const QString &path)
{
    return path.endsWith(u".xls"_s, Qt::CaseInsensitive) ? u"xlrd"_s : u"openpyxl"_s;
}

inline bool havePythonModule(const QString &module)
{
    return childrun::run(u"/usr/bin/python3"_s, {u"-c"_s, u"import "_s + module}, {}, 30000).exitCode == 0;
}

// Runs `exportCall` (the page's 导出, which shows the export dialog and returns when it closes),
// choosing the sheet named `choice` and the file `path` in the dialog and pressing 导出. The file
// written, or empty when the dialog did not write one (a message box meanwhile is closed by the
// caller's MessageCatcher).
inline QString exportThroughPage(const std::function<void()> &exportCall, const QString &choice,
                                 const QString &path)
{
    QString written;
    bool answered = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<SheetExportDialog *>(QApplication::activeModalWidget());
        if (!dialog || answered)
            return;
        answered = true;
        const int index = dialog->choiceBox()->findText(choice);
        if (index >= 0) {
            dialog->choiceBox()->setCurrentIndex(index);
            dialog->fileEdit()->setText(path);
            dialog->accept();
            written = dialog->written();
        }
        if (dialog->isVisible())
            dialog->reject();
    });
    timer.start(10);
    exportCall();
    return written;
}

// Every row of the file's first worksheet as the reader gives it: numbers as numbers, texts as
// texts, empty cells as null. Empty when the reader failed.
inline QJsonArray readRows(const QString &path)
{
    static const char script[] = R"(
import json, sys
path = sys.argv[1]
rows = []
if path.lower().endswith('.xls'):
    import xlrd
    s = xlrd.open_workbook(path).sheet_by_index(0)
    for r in range(s.nrows):
        rows.append([None if s.cell_type(r, c) in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK)
                     else s.cell_value(r, c) for c in range(s.ncols)])
else:
    import openpyxl
    s = openpyxl.load_workbook(path).worksheets[0]
    rows = [list(row) for row in s.iter_rows(values_only=True)]
print(json.dumps(rows, ensure_ascii=False))
)";
    const childrun::Result python =
        childrun::run(u"/usr/bin/python3"_s, {u"-c"_s, QString::fromUtf8(script), path});
    if (python.exitCode != 0) {
        qWarning() << python.err;
        return {};
    }
    return QJsonDocument::fromJson(python.out).array();
}

inline QJsonValue cellAt(const QJsonArray &rows, int r, int c)
{
    const QJsonValue v = rows.at(r).toArray().at(c);
    return v.isString() && v.toString().isEmpty() ? QJsonValue() : v;
}

// Whether a cell read back says what the table shows: a number the shown amount to the fen, a text
// the shown text, an empty cell an empty text.
inline bool sameCell(const QString &shown, const QJsonValue &read)
{
    if (read.isDouble()) {
        double yuan = 0;
        return amountFromText(shown, &yuan) && qRound64(yuan * 100) == qRound64(read.toDouble() * 100);
    }
    if (read.isNull() || read.isUndefined())
        return shown.isEmpty();
    return read.toString() == shown;
}

// The worksheet column titled `spec` ("column", or "group/column" under a group heading that spans
// columns) in the first rows; `*headingRow` is the row of the column titles. -1 when there is none.
inline int sheetColumn(const QJsonArray &rows, const QString &spec, int *headingRow)
{
    const QString group = spec.contains(u'/') ? spec.section(u'/', 0, 0) : QString();
    const QString title = spec.section(u'/', -1);
    for (int r = group.isEmpty() ? 0 : 1; r < std::min<int>(5, int(rows.size())); ++r) {
        const QJsonArray cells = rows.at(r).toArray();
        for (int c = 0; c < cells.size(); ++c) {
            if (cells.at(c).toString() != title)
                continue;
            if (!group.isEmpty()) {
                // A merged group heading is read in its first column only.
                int g = c;
                while (g > 0 && cellAt(rows, r - 1, g).isNull())
                    --g;
                if (cellAt(rows, r - 1, g).toString() != group)
                    continue;
            }
            *headingRow = r;
            return c;
        }
    }
    return -1;
}

// Compares the table's rows (with `totals` its totals row too) with the worksheet's rows after
// `headingRow`, model column k with worksheet column columns[k] (-1: not compared), and that the
// worksheet has no rows after them. Empty when they agree, else what differs first.
inline QString compareWithModel(const QJsonArray &rows, int headingRow, const std::vector<int> &columns,
                                const ResultTableModel &model, bool totals = true)
{
    const int count = totals ? model.rowCount() : model.dataRows();
    if (rows.size() != headingRow + 1 + count)
        return u"%1 rows after the headings, the table has %2"_s.arg(rows.size() - headingRow - 1).arg(count);
    for (int r = 0; r < count; ++r) {
        for (size_t k = 0; k < columns.size() && int(k) < model.columnCount(); ++k) {
            if (columns[k] < 0)
                continue;
            const QString shown = model.data(model.index(r, int(k))).toString();
            const QJsonValue read = cellAt(rows, headingRow + 1 + r, columns[k]);
            if (!sameCell(shown, read))
                return u"row %1, column %2: the table shows \"%3\", the file holds %4"_s.arg(r).arg(
                    model.headerData(int(k), Qt::Horizontal).toString(), shown,
                    QString::fromUtf8(QJsonDocument(QJsonArray{read}).toJson(QJsonDocument::Compact)));
        }
    }
    return QString();
}

} // namespace readback
