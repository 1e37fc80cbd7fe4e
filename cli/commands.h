// The sub-commands of lumo-cli. Each takes the arguments after its name and returns the exit code:
// 0 done, 1 the work failed (an unreadable file, say), 2 bad arguments. Results go to stdout,
// messages to stderr; a command that rejects its arguments prints nothing on stdout.
#pragma once

#include <QStringList>

int runCalc(const QStringList &args);
int runPlan(const QStringList &args);
int runInverse(const QStringList &args);
int runApportion(const QStringList &args);
int runSheet(const QStringList &args);
int runEval(const QStringList &args);
// A whole salary sheet: batch calc|plan|apportion IN OUT.
int runBatch(const QStringList &args);
// batch plan --rules 2019 IN OUT: `args` after "plan", without the "--rules 2019".
int runBatchYearPlan(const QStringList &args);
// The rules in force since 2019: the year month by month, and plan --rules 2019.
int runYear(const QStringList &args);
// A month's salary sheet against the payroll ledger: month SHEET OUT --period YYYY-MM.
int runMonth(const QStringList &args);
// The payroll ledger: ledger list|show|export|undo|settle.
int runLedger(const QStringList &args);
// `args` without the "--rules 2019" that chose it (with --jsonl the lines carry the amounts).
int runPlanCurrentRules(const QStringList &args);
// Removes "--rules 2019" or "--rules=2019" from `args`; false when neither is there.
bool takeCurrentRules(QStringList *args);
