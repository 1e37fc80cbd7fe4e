// The payroll ledger of one withholding employer: an SQLite file that remembers each employee's
// recorded months, so next month's cumulative withholding can go on from them.
//
// The file holds the employees (keyed by 证件类型 + 证件号码, with the newest 工号 and 姓名), the
// recorded months (year, month, when, from which file) and one entry per employee per recorded
// month with every input amount, every cumulative figure, the withholding, the bonus and the net
// pay. The per-year flags (first job, the 60,000 rule) are a view over the entries, so undoing a
// month undoes them too. The schema version is PRAGMA user_version; older files are migrated
// forward when opened for writing, newer ones are refused.
//
// A file is checked read-only before anything is written to it: a file that is not a ledger
// (random bytes, a truncated file, another program's database) or a ledger of a newer schema gets
// a Chinese message and is never written. A new ledger is built in a temporary file and renamed
// into place, so no half-made ledger is ever left. Every change runs in one transaction taken
// with BEGIN IMMEDIATE under a busy timeout: a second program waits, then hears that the ledger is
// busy. Each object has its own connection; use one object per thread.
#pragma once

#include "ledger/payrollrules.h"

#include <QHash>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

class QSqlDatabase;

// The key of an employee: document type and number.
QString employeeKey(const QString &idType, const QString &idNumber);

// "3 月、4 月": the months of a refusal.
QString payrollMonthsText(const QList<int> &months);
// Why a month cannot be recorded or corrected: "2026 年已记入 4 月、5 月，不能记入或更正 3 月".
QString laterMonthsMessage(int year, const QList<int> &later, int month);

// The ledger the window works on: the one chosen last (kept in user.ini as config/ledger), else
// PayrollLedger::defaultPath(), the command line's default.
QString rememberedLedgerPath();
bool rememberLedgerPath(const QString &path);

struct LedgerMonth
{
    int year = 0, month = 0;
    QString recordedAt; // ISO 8601, local time
    QString source;     // the sheet it was read from
    int employees = 0;
    Amount withheld = 0; // wage withholding
    Amount bonusTax = 0; // separate bonus taxes
};

struct LedgerEmployee
{
    QString idType, idNumber, code, name;
};

// The period after the latest recorded month of every recorded month given (January of the next
// year after a December); without any, the period of `today`.
void nextPayrollPeriod(const QList<LedgerMonth> &recorded, int todayYear, int todayMonth, int *year,
                       int *month);
// The recorded months of `year` after `month`.
QList<int> laterMonths(const QList<LedgerMonth> &recorded, int year, int month);

class PayrollLedger
{
public:
    static constexpr int kSchemaVersion = 1;
    // ~/lumo/ledger.sqlite
    static QString defaultPath();

    explicit PayrollLedger(QString path);
    ~PayrollLedger();
    PayrollLedger(const PayrollLedger &) = delete;
    PayrollLedger &operator=(const PayrollLedger &) = delete;

    const QString &path() const { return m_path; }

    // Opens for reading only. A missing file reads as an empty ledger and is not created.
    bool openForReading(QString *error);
    // Opens for recording: creates a missing file, migrates an older schema.
    bool openForWriting(QString *error);
    // True once opened on an existing file (false for a missing file opened for reading).
    bool isOpen() const { return m_open; }

    // The recorded months, of one year or (year 0) of every year, in order.
    QList<LedgerMonth> months(int year, QString *error) const;
    // Each employee's state of `year` before `month`: the recorded months of that year before it,
    // by employeeKey. Two queries, whatever the number of employees.
    QHash<QString, PayrollState> statesBefore(int year, int month, QString *error) const;
    // Whether any month of `year` is recorded.
    bool hasYear(int year, QString *error) const;
    // The employees to whom the 60,000 rule applies in the year after `year`: recorded in every
    // month of `year` with wage income (bonuses included) of at most 60,000.
    QHash<QString, bool> sixtyRuleAfter(int year, QString *error) const;
    // Every employee the ledger knows, by employeeKey.
    QHash<QString, LedgerEmployee> employees(QString *error) const;
    // The entries of a year (of one month when month > 0; of one identity number when given), by
    // month then sheet row.
    std::vector<PayrollEntry> entries(int year, int month, const QString &idNumber, QString *error) const;

    // Records a month whole in one transaction, replacing it when it is recorded already. Refused
    // (false, *later holds the months) while a later month of the year is recorded.
    bool recordMonth(int year, int month, const QString &source, const std::vector<PayrollEntry> &entries,
                     QList<int> *later, QString *error);
    // Removes the month when it is the latest recorded of its year; else false (*later names the
    // later months, empty when the month is not recorded).
    bool undoMonth(int year, int month, QList<int> *later, QString *error);

private:
    bool inspect(QString *error) const;
    bool connect(bool readOnly, QString *error);
    bool create(QString *error);
    bool migrate(QString *error);
    void close();

    QString m_path;
    QString m_connection;
    bool m_open = false;
};
