#include "widgets/taxrules.h"

#include "history/historyrecord.h"
#include "widgets/historylist.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QTableWidget>
#include <algorithm>
#include <tuple>

namespace {

struct FunctionExtensions
{
    int function;
    const char *current;
    const char *rules2011;
};

constexpr FunctionExtensions kExtensions[] = {
    {0, "sc19", "sc"}, {2, "ssc19", "ssc"}, {4, "ac19", "ac"}, {6, "ic19", "ic"}};

// The save order of a history file: "yyMMddhhmmss" of its name, then the "-N" counter (none is
// 0); two rules' files of the same second by their write time.
std::tuple<QString, int, qint64> saveOrder(const QString &path)
{
    const QFileInfo info(path);
    const QString base = info.completeBaseName();
    const qint64 written = info.lastModified().toMSecsSinceEpoch();
    const qsizetype dash = base.indexOf(u'-');
    if (dash < 0)
        return {base, 0, written};
    return {base.left(dash), base.mid(dash + 1).toInt(), written};
}

} // namespace

QString taxRulesName(TaxRules rules)
{
    return rules == TaxRules::Current ? QStringLiteral("现行规定（2019年起）") : QStringLiteral("2011年规定");
}

QString taxRulesKey(TaxRules rules)
{
    return rules == TaxRules::Current ? QStringLiteral("2019") : QStringLiteral("2011");
}

TaxRules taxRulesFromKey(const QString &key, TaxRules fallback)
{
    if (key == QLatin1String("2019"))
        return TaxRules::Current;
    if (key == QLatin1String("2011"))
        return TaxRules::Rules2011;
    return fallback;
}

QString historyExtension(int function, TaxRules rules)
{
    for (const FunctionExtensions &e : kExtensions) {
        if (e.function == function)
            return QString::fromLatin1(rules == TaxRules::Current ? e.current : e.rules2011);
    }
    return QString();
}

bool historyFileKind(const QString &path, int *function, TaxRules *rules)
{
    const QString suffix = QFileInfo(path).suffix();
    for (const FunctionExtensions &e : kExtensions) {
        for (TaxRules r : {TaxRules::Current, TaxRules::Rules2011}) {
            if (suffix == QLatin1String(r == TaxRules::Current ? e.current : e.rules2011)) {
                *function = e.function;
                *rules = r;
                return true;
            }
        }
    }
    return false;
}

void markHistoryRow(QTableWidget *table, int row, TaxRules shown)
{
    int function = 0;
    TaxRules rules = shown;
    if (!historyFileKind(historyPathAt(table, row), &function, &rules))
        return;
    const bool other = rules != shown;
    const QString tip = other ? QStringLiteral("%1的计算，双击后切换到%1打开").arg(taxRulesName(rules))
                              : QStringLiteral("%1的计算").arg(taxRulesName(rules));
    for (int c = 0; c < table->columnCount(); ++c) {
        QTableWidgetItem *item = table->item(row, c);
        if (!item)
            continue;
        item->setToolTip(tip);
        if (other) {
            item->setForeground(Qt::gray);
            QFont font = item->font();
            font.setItalic(true);
            item->setFont(font);
        }
    }
}

void fillRulesHistory(QTableWidget *table, const QString &dir, int function, TaxRules shown)
{
    QStringList paths = listHistoryFiles(dir, u"*."_qs + historyExtension(function, TaxRules::Rules2011));
    paths += listHistoryFiles(dir, u"*."_qs + historyExtension(function, TaxRules::Current));
    if (paths.isEmpty())
        return;
    // Both lists are in save order; one list of both keeps it.
    std::stable_sort(paths.begin(), paths.end(),
                     [](const QString &a, const QString &b) { return saveOrder(a) < saveOrder(b); });
    const qsizetype excess = std::max<qsizetype>(0, paths.size() - kHistoryKeep);
    for (qsizetype i = 0; i < excess; ++i)
        QFile::remove(paths.at(i));
    table->clearContents();
    table->setRowCount(0);
    // Oldest first, each put on top, so the newest ends at row 0.
    for (qsizetype i = excess; i < paths.size(); ++i) {
        HistoryHead head;
        if (readHistoryHead(paths.at(i), &head)) {
            addHistoryRow(table, paths.at(i), head.timeText, head.value1, head.value2);
            markHistoryRow(table, 0, shown);
        } else {
            // Unreadable: the row stays blank, but keeps the path so trimming still removes it.
            table->insertRow(0);
            auto *item = new QTableWidgetItem();
            item->setData(Qt::StatusTipRole, paths.at(i));
            table->setItem(0, 0, item);
        }
    }
}

bool openRulesHistory(QWidget *page, const QTableWidget *table, int row, TaxRules shown,
                      const std::function<bool(const QString &)> &load)
{
    const QString path = historyPathAt(table, row);
    int function = 0;
    TaxRules rules = shown;
    if (!path.isEmpty() && historyFileKind(path, &function, &rules) && rules != shown) {
        emit TaxRulesHub::instance()->openRequested(path, function, rules);
        return true;
    }
    openHistoryEntry(page, table, row, load);
    return false;
}

TaxRulesHub *TaxRulesHub::instance()
{
    static TaxRulesHub hub;
    return &hub;
}
