// Argument parsing and output shared by the lumo-cli commands.
//
// Options are "--name value" or "--name=value"; flags take no value. Every check produces a
// Chinese message naming the option, so a payroll script's log says what was wrong.
#pragma once

#include "engine/amount.h"

#include <QHash>
#include <QStringList>
#include <functional>

void printOut(const QString &text);
void printErr(const QString &text);

// Whether the arguments ask for the usage: "--help" or "-h" anywhere before a "--" (after which
// everything is an operand). The command then prints its usage on stdout and exits 0.
bool asksForHelp(const QStringList &args);

class ArgParser
{
public:
    ArgParser(QStringList valueOptions, QStringList flagOptions);

    // False with a message for an unknown option, a missing value, a repeated option or a
    // stray positional argument (unless positional arguments are allowed).
    bool parse(const QStringList &args, QString *error, bool allowPositional = false);

    bool has(const QString &name) const { return m_values.contains(name); }
    QString value(const QString &name) const { return m_values.value(name); }
    bool flag(const QString &name) const { return m_flags.contains(name); }
    const QStringList &positional() const { return m_positional; }

private:
    QStringList m_valueOptions;
    QStringList m_flagOptions;
    QHash<QString, QString> m_values;
    QStringList m_flags;
    QStringList m_positional;
};

// A yuan amount option (0 to 999999999.99, at most two decimals) to fen; `fallback` when absent.
bool readYuanOption(const ArgParser &p, const QString &name, Amount fallback, Amount *out, QString *error);
// "3500" or "4800" to the threshold in fen; 3500 when absent.
bool readThresholdOption(const ArgParser &p, Amount *out, QString *error);
// A whole number of months within [min, max]; `fallback` when absent.
bool readMonthsOption(const ArgParser &p, const QString &name, int min, int max, int fallback, int *out,
                      QString *error);

// Reads standard input one JSON object per line and prints one result line per input line. Each
// object's keys are option names without the leading dashes; its values (numbers or texts) become
// "--key=value" arguments for `handle`, so a line is checked exactly as a command line is. An
// overlong line, a line that is not an object, or a value that is neither number nor text gets
// {"error":"…"} and the run goes on. `handle` returns false with a message for {"error":"…"}.
using JsonLineHandler = std::function<bool(const QStringList &args, QString *outLine, QString *error)>;
int runJsonLines(const JsonLineHandler &handle);

// Runs a command either once from its arguments or once per --jsonl line. `compute` reads the
// parsed options and returns the JSON object (and, for the single run, the human text).
struct CommandDef
{
    QString name;
    QString usage;
    QStringList valueOptions;
    QStringList flags; // besides json and jsonl
    std::function<bool(const ArgParser &, QString *json, QString *human, QString *error)> compute;
};
int runCommand(const CommandDef &def, const QStringList &args);
