// The two rule sets the window offers (the rules in force since 2019, the 2011 rules) and what the
// single pages share about them: names, the history extensions of each function and one "计算历史"
// list holding the entries of both, each marked with its rules. An entry made under the rules that
// are not shown is handed to the shell (TaxRulesHub), which switches the rules and opens it there.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QTableWidget;

enum class TaxRules
{
    Current, // 现行规定（2019年起）
    Rules2011
};

// The object names of the inputs that mean the same under both rules; a rules change carries their
// values over from a page to its replacement.
inline const QString kCarryGross = QStringLiteral("carryGross");         // 月应发工资
inline const QString kCarryInsurance = QStringLiteral("carryInsurance"); // 三险一金 a month
inline const QString kCarryBonus = QStringLiteral("carryBonus");         // 年终奖金 (annual)

// "现行规定（2019年起）" or "2011年规定".
QString taxRulesName(TaxRules rules);
// The settings value ("2019" or "2011") and back; anything else reads as `fallback`.
QString taxRulesKey(TaxRules rules);
TaxRules taxRulesFromKey(const QString &key, TaxRules fallback);

// The history extension of single function `function` (0, 2, 4, 6) under `rules`; empty for others.
QString historyExtension(int function, TaxRules rules);
// The function and rules a history file belongs to, by its extension; false for any other file.
bool historyFileKind(const QString &path, int *function, TaxRules *rules);

// Fills a page's history list with the newest kHistoryKeep entries of `function` under both rules,
// newest first, and deletes older files of the function. Entries of the rules other than `shown`
// are drawn in gray italics; every entry's tool tip names its rules.
void fillRulesHistory(QTableWidget *table, const QString &dir, int function, TaxRules shown);
// Marks row `row` of a history list as fillRulesHistory does.
void markHistoryRow(QTableWidget *table, int row, TaxRules shown);

// Opens the entry of row `row`: with `load` when it belongs to `shown`, else through the hub (the
// shell switches the rules and opens it under them). Nothing happens for a row without an entry.
// Returns true when the entry went to the hub.
bool openRulesHistory(QWidget *page, const QTableWidget *table, int row, TaxRules shown,
                      const std::function<bool(const QString &)> &load);

// The one object through which a page asks the shell to open a history entry under the rules it
// was made with.
class TaxRulesHub : public QObject
{
    Q_OBJECT
public:
    static TaxRulesHub *instance();

signals:
    void openRequested(const QString &path, int function, TaxRules rules);
};
