// Argument parsing and output shared by the lumo-cli commands.
//
// Options are "--name value" or "--name=value"; flags take no value. Every check produces a
// Chinese message naming the option, so a payroll script's log says what was wrong.
#pragma once

#include "engine/amount.h"

#include <QHash>
#include <QJsonObject>
#include <QStringList>

void printOut(const QString &text);
void printErr(const QString &text);

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

// The same checks for a value of a --jsonl object (a JSON number, or a text such as "1234.50").
bool readYuanValue(const QJsonValue &v, const QString &name, Amount *out, QString *error);
bool readThresholdValue(const QJsonValue &v, Amount *out, QString *error);
bool readMonthsValue(const QJsonValue &v, const QString &name, int min, int max, int *out, QString *error);

// Runs `handle` on every line of standard input and prints its result line. A line longer than
// 64 KiB, or one that is not a JSON object, gets {"error":"…"} without reaching `handle`.
// `handle` returns the output line, or false with a message for {"error":"…"}.
using JsonLineHandler = bool (*)(const QJsonObject &in, QString *outLine, QString *error);
int runJsonLines(JsonLineHandler handle);
