#include "ledger/payrollledger.h"

#include "batch/settingsfiles.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QVariant>
#include <algorithm>

#include <sqlite3.h>

using CurrentRules::BonusMethod;

namespace {

const char kApplication[] = "lumo-payroll-ledger";
constexpr int kBusyTimeoutMs = 5000;

// The entry columns of the input amounts, by field.
const char *amountColumn(int field)
{
    switch (field) {
    case PfIncome:
        return "income";
    case PfExempt:
        return "exempt";
    case PfPension:
        return "pension";
    case PfMedical:
        return "medical";
    case PfUnemployment:
        return "unemployment";
    case PfHousingFund:
        return "housing_fund";
    case PfChildEdu:
        return "child_education";
    case PfContinuingEdu:
        return "continuing_education";
    case PfLoanInterest:
        return "loan_interest";
    case PfRent:
        return "rent";
    case PfElderly:
        return "elderly";
    case PfInfant:
        return "infant";
    case PfPrivatePension:
        return "private_pension";
    case PfAnnuity:
        return "annuity";
    case PfHealth:
        return "health_insurance";
    case PfTaxDeferred:
        return "tax_deferred";
    case PfTransport:
        return "transport";
    case PfTelecom:
        return "telecom";
    case PfLawyer:
        return "lawyer";
    case PfTibet:
        return "tibet";
    case PfOther:
        return "other_deduction";
    case PfDonation:
        return "donation";
    case PfRelief:
        return "relief";
    case PfTreatyRelief:
        return "treaty_relief";
    case PfBonus:
        return "bonus";
    default:
        return nullptr;
    }
}

// The figures an entry keeps after its inputs, in column order.
const char *const kFigureColumns[] = {
    "months",       "first_job",       "sixty",       "special",      "additional",      "other",
    "relief_total", "cum_income",      "cum_exempt",  "cum_basic",    "cum_special",     "cum_additional",
    "cum_other",    "cum_donation",    "cum_taxable", "rate",         "quick_deduction", "cum_tax",
    "cum_relief",   "withheld_before", "withheld",    "bonus_merged", "bonus_tax",       "net",
};

QStringList entryColumns()
{
    QStringList c = {QStringLiteral("year"),      QStringLiteral("month"), QStringLiteral("employee"),
                     QStringLiteral("sheet_row"), QStringLiteral("code"),  QStringLiteral("name"),
                     QStringLiteral("remark")};
    for (int f = 0; f < PfFieldCount; ++f)
        if (const char *name = amountColumn(f))
            c << QString::fromLatin1(name);
    for (const char *name : kFigureColumns)
        c << QString::fromLatin1(name);
    return c;
}

QStringList schemaV1()
{
    QString entries =
        QStringLiteral("CREATE TABLE entries (year INTEGER NOT NULL, month INTEGER NOT NULL, "
                       "employee INTEGER NOT NULL REFERENCES employees(id), sheet_row INTEGER NOT NULL, "
                       "code TEXT NOT NULL, name TEXT NOT NULL, remark TEXT NOT NULL");
    const QStringList columns = entryColumns();
    for (qsizetype i = 7; i < columns.size(); ++i)
        entries += QStringLiteral(", %1 INTEGER NOT NULL").arg(columns[i]);
    entries += QStringLiteral(", PRIMARY KEY (year, month, employee), FOREIGN KEY (year, month) "
                              "REFERENCES months(year, month) ON DELETE CASCADE)");
    return {
        QStringLiteral("CREATE TABLE ledger_info (key TEXT PRIMARY KEY, value TEXT NOT NULL)"),
        QStringLiteral("INSERT INTO ledger_info VALUES ('application', '%1')")
            .arg(QLatin1String(kApplication)),
        QStringLiteral("CREATE TABLE employees (id INTEGER PRIMARY KEY, id_type TEXT NOT NULL, "
                       "id_number TEXT NOT NULL, code TEXT NOT NULL, name TEXT NOT NULL, "
                       "UNIQUE (id_type, id_number))"),
        QStringLiteral("CREATE TABLE months (year INTEGER NOT NULL, month INTEGER NOT NULL "
                       "CHECK (month BETWEEN 1 AND 12), recorded_at TEXT NOT NULL, source TEXT NOT NULL, "
                       "PRIMARY KEY (year, month))"),
        entries,
        QStringLiteral("CREATE INDEX entries_by_employee ON entries (employee, year, month)"),
        QStringLiteral("CREATE VIEW employee_years AS SELECT employee, year, max(first_job) AS first_job, "
                       "max(sixty) AS sixty FROM entries GROUP BY employee, year"),
    };
}

// Forward-only migrations: entry k brings a file of version k to version k + 1. Version 0 is a
// file without a schema, which only create() ever makes.
const QList<QStringList> &migrations()
{
    static const QList<QStringList> list = {schemaV1()};
    return list;
}

QString sqlText(const QSqlError &e)
{
    return e.text().trimmed();
}

bool busy(const QSqlError &e)
{
    return e.nativeErrorCode() == QLatin1String("5") || e.nativeErrorCode() == QLatin1String("6");
}

QString busyMessage()
{
    return QStringLiteral("台账正由另一个程序使用，等待 %1 秒后仍未释放，请稍后再试")
        .arg(kBusyTimeoutMs / 1000);
}

bool run(QSqlDatabase &db, const QString &sql, QString *error)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    *error =
        busy(q.lastError()) ? busyMessage() : QStringLiteral("台账操作失败：%1").arg(sqlText(q.lastError()));
    return false;
}

quint32 bigEndian(const QByteArray &b, int at, int bytes)
{
    quint32 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | quint8(b[at + i]);
    return v;
}

// How many employees the ledger knows, to size the tables read from it (0 when it cannot say).
qsizetype employeeCount(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    return q.exec(QStringLiteral("SELECT count(*) FROM employees")) && q.next() ? q.value(0).toLongLong() : 0;
}

// A text never bound as NULL: the ledger's text columns are NOT NULL, and an empty cell is "".
QString nonNull(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

// Inserts the entries of a month with ids[i] the employee of entries[i], inside the caller's
// transaction. False with SQLite's message in *error ("busy" when another program holds the file).
bool insertEntries(QSqlDatabase &db, int year, int month, const std::vector<PayrollEntry> &entries,
                   const std::vector<qint64> &ids, QString *error)
{
    const QVariant handle = db.driver()->handle();
    sqlite3 *connection = handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0
                              ? *static_cast<sqlite3 *const *>(handle.constData())
                              : nullptr;
    if (!connection) {
        *error = QStringLiteral("数据库驱动不是 SQLite");
        return false;
    }
    const QStringList columns = entryColumns();
    QString placeholders;
    for (qsizetype i = 0; i < columns.size(); ++i)
        placeholders += i ? QStringLiteral(", ?") : QStringLiteral("?");
    const QByteArray sql = QStringLiteral("INSERT INTO entries (%1) VALUES (%2)")
                               .arg(columns.join(QStringLiteral(", ")), placeholders)
                               .toUtf8();
    sqlite3_stmt *statement = nullptr;
    int rc = sqlite3_prepare_v2(connection, sql.constData(), int(sql.size()), &statement, nullptr);
    const auto text = [&](int k, const QString &t) {
        return t.isEmpty() ? sqlite3_bind_text(statement, k, "", 0, SQLITE_STATIC)
                           : sqlite3_bind_text16(statement, k, t.utf16(), int(t.size() * 2), SQLITE_STATIC);
    };
    for (size_t i = 0; rc == SQLITE_OK && i < entries.size(); ++i) {
        const PayrollEntry &e = entries[i];
        const PayrollInput &in = e.input;
        int k = 1;
        const auto number = [&](qint64 v) {
            if (rc == SQLITE_OK)
                rc = sqlite3_bind_int64(statement, k, v);
            ++k;
        };
        number(year);
        number(month);
        number(ids[i]);
        number(in.sheetRow);
        for (const QString *t : {&in.code, &in.name, &in.remark}) {
            if (rc == SQLITE_OK)
                rc = text(k, *t);
            ++k;
        }
        for (int f = 0; f < PfFieldCount; ++f)
            if (amountColumn(f))
                number(in.amounts[size_t(f)]);
        for (qint64 v : {qint64(e.months),
                         qint64(e.firstJob),
                         qint64(e.sixty),
                         e.special,
                         e.additional,
                         e.other,
                         e.relief,
                         e.cumulativeIncome,
                         e.cumulativeExempt,
                         e.cumulativeBasic,
                         e.cumulativeSpecial,
                         e.cumulativeAdditional,
                         e.cumulativeOther,
                         e.cumulativeDonation,
                         e.cumulativeTaxable,
                         qint64(e.rate),
                         e.quickDeduction,
                         e.cumulativeTax,
                         e.cumulativeRelief,
                         e.withheldBefore,
                         e.withheld,
                         qint64(e.bonusMethod == BonusMethod::Merged),
                         e.bonusTax,
                         e.net})
            number(v);
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(statement);
            rc = rc == SQLITE_DONE ? sqlite3_reset(statement) : rc;
        }
    }
    if (rc != SQLITE_OK)
        *error = rc == SQLITE_BUSY || rc == SQLITE_LOCKED ? QStringLiteral("busy")
                                                          : QString::fromUtf8(sqlite3_errmsg(connection));
    sqlite3_finalize(statement);
    return rc == SQLITE_OK;
}

} // namespace

QString employeeKey(const QString &idType, const QString &idNumber)
{
    return idType + QChar(0x1f) + idNumber;
}

QString payrollMonthsText(const QList<int> &months)
{
    QStringList t;
    for (int m : months)
        t << QStringLiteral("%1 月").arg(m);
    return t.join(QStringLiteral("、"));
}

QString laterMonthsMessage(int year, const QList<int> &later, int month)
{
    return QStringLiteral("%1 年已记入 %2，不能记入或更正 %3 月")
        .arg(year)
        .arg(payrollMonthsText(later))
        .arg(month);
}

QString rememberedLedgerPath()
{
    const QSettings settings(settingsFilePath(QStringLiteral("user.ini")), QSettings::IniFormat);
    const QString path = settings.value(QStringLiteral("config/ledger")).toString().trimmed();
    return path.isEmpty() ? PayrollLedger::defaultPath() : path;
}

bool rememberLedgerPath(const QString &path)
{
    if (path.trimmed().isEmpty())
        return false;
    QDir().mkpath(settingsFolder());
    QSettings settings(settingsFilePath(QStringLiteral("user.ini")), QSettings::IniFormat);
    settings.setValue(QStringLiteral("config/ledger"), path);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

void nextPayrollPeriod(const QList<LedgerMonth> &recorded, int todayYear, int todayMonth, int *year,
                       int *month)
{
    *year = todayYear;
    *month = todayMonth;
    int latest = 0;
    for (const LedgerMonth &m : recorded)
        latest = std::max(latest, m.year * 12 + m.month - 1);
    if (latest > 0) {
        *year = (latest + 1) / 12;
        *month = (latest + 1) % 12 + 1;
    }
}

QList<int> laterMonths(const QList<LedgerMonth> &recorded, int year, int month)
{
    QList<int> later;
    for (const LedgerMonth &m : recorded)
        if (m.year == year && m.month > month)
            later << m.month;
    return later;
}

QString PayrollLedger::defaultPath()
{
    return QDir::homePath() + QStringLiteral("/lumo/ledger.sqlite");
}

PayrollLedger::PayrollLedger(QString path) : m_path(std::move(path))
{
    static QAtomicInt counter;
    m_connection = QStringLiteral("lumo-ledger-%1").arg(counter.fetchAndAddRelaxed(1));
}

PayrollLedger::~PayrollLedger()
{
    close();
}

void PayrollLedger::close()
{
    if (QSqlDatabase::contains(m_connection)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connection, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_open = false;
}

// Looks at the file without changing a byte: the SQLite header, a size that matches the page
// count the header states, then, opened read-only, the application mark and the schema version.
bool PayrollLedger::inspect(QString *error) const
{
    const QString notLedger = QStringLiteral("“%1”不是岚舟的工资台账文件，未做任何改动").arg(m_path);
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法打开台账文件“%1”：%2").arg(m_path, file.errorString());
        return false;
    }
    const QByteArray header = file.read(100);
    const qint64 size = file.size();
    file.close();
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0"))) {
        *error = notLedger;
        return false;
    }
    const quint32 pageSizeField = bigEndian(header, 16, 2);
    const qint64 pageSize = pageSizeField == 1 ? 65536 : pageSizeField;
    const quint32 pages = bigEndian(header, 28, 4);
    const bool countValid = bigEndian(header, 24, 4) == bigEndian(header, 92, 4) && pages > 0;
    const QFileInfo wal(m_path + QStringLiteral("-wal"));
    const bool walHolds = wal.exists() && wal.size() > 0;
    if (pageSize < 512 || size % pageSize != 0 ||
        (countValid && !walHolds && size != qint64(pages) * pageSize)) {
        *error = QStringLiteral("台账文件“%1”不完整（可能被截断或损坏），未做任何改动").arg(m_path);
        return false;
    }

    const QString name = m_connection + QStringLiteral("-inspect");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(m_path);
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        if (!db.open()) {
            *error = QStringLiteral("无法打开台账文件“%1”：%2").arg(m_path, sqlText(db.lastError()));
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("SELECT value FROM ledger_info WHERE key = 'application'")) ||
                !q.next() || q.value(0).toString() != QLatin1String(kApplication)) {
                *error = busy(q.lastError()) ? busyMessage() : notLedger;
            } else if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
                *error = QStringLiteral("无法读取台账文件“%1”：%2").arg(m_path, sqlText(q.lastError()));
            } else if (q.value(0).toInt() > kSchemaVersion) {
                *error = QStringLiteral("台账文件“%1”由更新版本的岚舟建立（格式版本 %2，本程序支持到 %3），"
                                        "请升级程序后再用，未做任何改动")
                             .arg(m_path)
                             .arg(q.value(0).toInt())
                             .arg(kSchemaVersion);
            } else if (q.value(0).toInt() < 1) {
                *error = notLedger;
            } else {
                ok = true;
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool PayrollLedger::connect(bool readOnly, QString *error)
{
    close();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs);
    if (readOnly)
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    db.setConnectOptions(options);
    if (!db.open()) {
        *error = QStringLiteral("无法打开台账文件“%1”：%2").arg(m_path, sqlText(db.lastError()));
        return false;
    }
    if (!run(db, QStringLiteral("PRAGMA foreign_keys = ON"), error))
        return false;
    if (!readOnly && (!run(db, QStringLiteral("PRAGMA journal_mode = WAL"), error) ||
                      !run(db, QStringLiteral("PRAGMA synchronous = NORMAL"), error)))
        return false;
    m_open = true;
    return true;
}

bool PayrollLedger::openForReading(QString *error)
{
    if (!QFileInfo::exists(m_path)) {
        close();
        return true;
    }
    return inspect(error) && connect(true, error);
}

bool PayrollLedger::openForWriting(QString *error)
{
    if (!QFileInfo::exists(m_path))
        return create(error) && connect(false, error);
    return inspect(error) && connect(false, error) && migrate(error);
}

// Builds the schema in a temporary file beside the ledger and renames it into place: a crash
// leaves either no ledger or a whole empty one, and an existing file is never replaced.
bool PayrollLedger::create(QString *error)
{
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath())) {
        *error = QStringLiteral("无法建立台账所在的文件夹“%1”").arg(info.absolutePath());
        return false;
    }
    QTemporaryFile temp(info.absolutePath() + QStringLiteral("/.ledger-XXXXXX.sqlite"));
    if (!temp.open()) {
        *error = QStringLiteral("无法在“%1”中建立台账：%2").arg(info.absolutePath(), temp.errorString());
        return false;
    }
    temp.close();
    const QString name = m_connection + QStringLiteral("-create");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(temp.fileName());
        if (!db.open()) {
            *error = QStringLiteral("无法建立台账：%1").arg(sqlText(db.lastError()));
        } else {
            ok = run(db, QStringLiteral("PRAGMA journal_mode = WAL"), error) &&
                 run(db, QStringLiteral("BEGIN"), error);
            for (const QString &sql : migrations().front())
                ok = ok && run(db, sql, error);
            ok = ok && run(db, QStringLiteral("PRAGMA user_version = 1"), error) &&
                 run(db, QStringLiteral("COMMIT"), error);
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (!ok)
        return false;
    // A plain rename never overwrites: another program that made the ledger meanwhile keeps it.
    if (!QFile::rename(temp.fileName(), m_path)) {
        *error = QStringLiteral("无法建立台账文件“%1”").arg(m_path);
        return false;
    }
    temp.setAutoRemove(false);
    return true;
}

bool PayrollLedger::migrate(QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        *error = QStringLiteral("无法读取台账：%1").arg(sqlText(q.lastError()));
        return false;
    }
    int version = q.value(0).toInt();
    q.finish();
    while (version < kSchemaVersion) {
        if (!run(db, QStringLiteral("BEGIN IMMEDIATE"), error))
            return false;
        bool ok = true;
        for (const QString &sql : migrations().at(version))
            ok = ok && run(db, sql, error);
        ok = ok && run(db, QStringLiteral("PRAGMA user_version = %1").arg(version + 1), error);
        if (!ok || !run(db, QStringLiteral("COMMIT"), error)) {
            QString ignored;
            run(db, QStringLiteral("ROLLBACK"), &ignored);
            return false;
        }
        ++version;
    }
    return true;
}

QList<LedgerMonth> PayrollLedger::months(int year, QString *error) const
{
    QList<LedgerMonth> list;
    if (!m_open)
        return list;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT m.year, m.month, m.recorded_at, m.source, count(e.employee), coalesce(sum(e.withheld), 0), "
        "coalesce(sum(e.bonus_tax), 0) FROM months m LEFT JOIN entries e ON e.year = m.year AND e.month = "
        "m.month "
        "WHERE ? = 0 OR m.year = ? GROUP BY m.year, m.month ORDER BY m.year, m.month"));
    q.addBindValue(year);
    q.addBindValue(year);
    if (!q.exec()) {
        *error = QStringLiteral("无法读取台账：%1").arg(sqlText(q.lastError()));
        return list;
    }
    while (q.next())
        list.append({q.value(0).toInt(), q.value(1).toInt(), q.value(2).toString(), q.value(3).toString(),
                     q.value(4).toInt(), q.value(5).toLongLong(), q.value(6).toLongLong()});
    return list;
}

QHash<QString, PayrollState> PayrollLedger::statesBefore(int year, int month, QString *error) const
{
    QHash<QString, PayrollState> states;
    if (!m_open)
        return states;
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    states.reserve(employeeCount(db));
    // The separate method is taken once a year: the first month before this one that took it, for
    // the few employees who took it. One pass over the year's months through the key's index.
    QHash<qint64, int> separateBonusMonth;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT employee, min(month) FROM entries WHERE year = ? AND month < ? AND "
                                 "bonus > 0 AND bonus_merged = 0 GROUP BY employee"));
        q.addBindValue(year);
        q.addBindValue(month);
        if (!q.exec()) {
            *error = QStringLiteral("无法读取台账：%1").arg(sqlText(q.lastError()));
            return states;
        }
        while (q.next())
            separateBonusMonth.insert(q.value(0).toLongLong(), q.value(1).toInt());
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // Each entry keeps the cumulative figures, so the latest earlier entry of each employee is the
    // state: found per employee through the index, instead of summing every earlier month.
    q.prepare(QStringLiteral(
        "SELECT p.id_type, p.id_number, e.months, e.cum_income, e.cum_exempt, e.cum_special, e.cum_other, "
        "e.cum_donation, e.cum_relief, e.withheld_before + e.withheld, e.first_job, e.sixty, p.id "
        "FROM employees p CROSS JOIN entries e ON e.employee = p.id AND e.year = ? AND e.month = "
        "(SELECT max(x.month) FROM entries x WHERE x.employee = p.id AND x.year = ? AND x.month < ?)"));
    q.addBindValue(year);
    q.addBindValue(year);
    q.addBindValue(month);
    if (!q.exec()) {
        *error = QStringLiteral("无法读取台账：%1").arg(sqlText(q.lastError()));
        return states;
    }
    while (q.next()) {
        PayrollState s;
        s.months = q.value(2).toInt();
        s.income = q.value(3).toLongLong();
        s.exempt = q.value(4).toLongLong();
        s.special = q.value(5).toLongLong();
        s.other = q.value(6).toLongLong();
        s.donation = q.value(7).toLongLong();
        s.relief = q.value(8).toLongLong();
        s.withheld = q.value(9).toLongLong();
        s.firstJob = q.value(10).toInt() != 0;
        s.sixty = q.value(11).toInt();
        s.separateBonusMonth = separateBonusMonth.value(q.value(12).toLongLong());
        states.insert(employeeKey(q.value(0).toString(), q.value(1).toString()), s);
    }
    return states;
}

bool PayrollLedger::hasYear(int year, QString *error) const
{
    if (!m_open)
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT count(*) FROM months WHERE year = ?"));
    q.addBindValue(year);
    if (!q.exec() || !q.next()) {
        *error = QStringLiteral("无法读取台账：%1").arg(sqlText(q.lastError()));
        return false;
    }
    return q.value(0).toInt() > 0;
}

QHash<QString, bool> PayrollLedger::sixtyRuleAfter(int year, QString *error) const
{
    QHash<QString, bool> rule;
    if (!m_open)
        return rule;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT p.id_type, p.id_number FROM entries e JOIN employees p ON p.id = e.employee WHERE e.year = ? "
        "GROUP BY e.employee HAVING count(DISTINCT e.month) = 12 AND sum(e.income + e.bonus) <= ?"));
    q.addBindValue(year);
    q.addBindValue(CurrentRules::kBasicDeductionAnnual);
    if (!q.exec()) {
        *error = QStringLiteral("无法读取台账：%1").arg(sqlText(q.lastError()));
        return rule;
    }
    while (q.next())
        rule.insert(employeeKey(q.value(0).toString(), q.value(1).toString()), true);
    return rule;
}

QHash<QString, LedgerEmployee> PayrollLedger::employees(QString *error) const
{
    QHash<QString, LedgerEmployee> list;
    if (!m_open)
        return list;
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    list.reserve(employeeCount(db));
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT id_type, id_number, code, name FROM employees"))) {
        *error = QStringLiteral("无法读取台账：%1").arg(sqlText(q.lastError()));
        return list;
    }
    while (q.next()) {
        LedgerEmployee e{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                         q.value(3).toString()};
        list.insert(employeeKey(e.idType, e.idNumber), e);
    }
    return list;
}

std::vector<PayrollEntry> PayrollLedger::entries(int year, int month, const QString &idNumber,
                                                 QString *error) const
{
    std::vector<PayrollEntry> list;
    if (!m_open)
        return list;
    const QStringList columns = entryColumns();
    QString sql = QStringLiteral("SELECT p.id_type, p.id_number");
    for (const QString &c : columns)
        sql += QStringLiteral(", e.") + c;
    sql += QStringLiteral(" FROM entries e JOIN employees p ON p.id = e.employee WHERE e.year = ? "
                          "AND (? = 0 OR e.month = ?) AND (? = '' OR p.id_number = ?) "
                          "ORDER BY e.month, e.sheet_row");
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    q.prepare(sql);
    const QString id = idNumber.isNull() ? QStringLiteral("") : idNumber;
    q.addBindValue(year);
    q.addBindValue(month);
    q.addBindValue(month);
    q.addBindValue(id);
    q.addBindValue(id);
    if (!q.exec()) {
        *error = QStringLiteral("无法读取台账：%1").arg(sqlText(q.lastError()));
        return list;
    }
    while (q.next()) {
        PayrollEntry e;
        int k = 0;
        e.input.idType = q.value(k++).toString();
        e.input.idNumber = q.value(k++).toString();
        e.year = q.value(k++).toInt();
        e.month = q.value(k++).toInt();
        ++k; // employee
        e.input.sheetRow = q.value(k++).toInt();
        e.input.code = q.value(k++).toString();
        e.input.name = q.value(k++).toString();
        e.input.remark = q.value(k++).toString();
        for (int f = 0; f < PfFieldCount; ++f)
            if (amountColumn(f))
                e.input.amounts[size_t(f)] = q.value(k++).toLongLong();
        const auto next = [&] { return q.value(k++).toLongLong(); };
        e.months = int(next());
        e.firstJob = next() != 0;
        e.input.firstJob = e.firstJob;
        e.sixty = next() != 0;
        e.special = next();
        e.additional = next();
        e.other = next();
        e.relief = next();
        e.cumulativeIncome = next();
        e.cumulativeExempt = next();
        e.cumulativeBasic = next();
        e.cumulativeSpecial = next();
        e.cumulativeAdditional = next();
        e.cumulativeOther = next();
        e.cumulativeDonation = next();
        e.cumulativeTaxable = next();
        e.rate = int(next());
        e.quickDeduction = next();
        e.cumulativeTax = next();
        e.cumulativeRelief = next();
        e.withheldBefore = next();
        e.withheld = next();
        e.bonusMethod = next() != 0 ? BonusMethod::Merged : BonusMethod::Separate;
        e.bonusTax = next();
        e.net = next();
        list.push_back(std::move(e));
    }
    return list;
}

bool PayrollLedger::recordMonth(int year, int month, const QString &source,
                                const std::vector<PayrollEntry> &entries, QList<int> *later, QString *error)
{
    later->clear();
    if (!m_open) {
        *error = QStringLiteral("台账未打开");
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!run(db, QStringLiteral("BEGIN IMMEDIATE"), error))
        return false;
    QString ignored;
    const auto fail = [&](const QSqlQuery &q) {
        *error = busy(q.lastError())
                     ? busyMessage()
                     : QStringLiteral("无法记入台账：%1，本月未记入").arg(sqlText(q.lastError()));
        run(db, QStringLiteral("ROLLBACK"), &ignored);
        return false;
    };
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT month FROM months WHERE year = ? AND month > ? ORDER BY month"));
        q.addBindValue(year);
        q.addBindValue(month);
        if (!q.exec())
            return fail(q);
        while (q.next())
            *later << q.value(0).toInt();
        if (!later->isEmpty()) {
            run(db, QStringLiteral("ROLLBACK"), &ignored);
            *error = QStringLiteral("%1 年已记入更晚的月份，不能记入或更正 %2 月").arg(year).arg(month);
            return false;
        }
        // A correction replaces the month whole; its entries go with it (ON DELETE CASCADE).
        q.prepare(QStringLiteral("DELETE FROM months WHERE year = ? AND month = ?"));
        q.addBindValue(year);
        q.addBindValue(month);
        if (!q.exec())
            return fail(q);
        q.prepare(
            QStringLiteral("INSERT INTO months (year, month, recorded_at, source) VALUES (?, ?, ?, ?)"));
        q.addBindValue(year);
        q.addBindValue(month);
        q.addBindValue(QDateTime::currentDateTime().toString(Qt::ISODate));
        q.addBindValue(source);
        if (!q.exec())
            return fail(q);
    }

    // Employee ids: those the ledger knows, the others inserted; 工号 and 姓名 become the newest.
    struct Known
    {
        qint64 id;
        QString code, name;
    };
    QHash<QString, Known> known;
    {
        known.reserve(employeeCount(db) + qsizetype(entries.size()));
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT id, id_type, id_number, code, name FROM employees")))
            return fail(q);
        while (q.next())
            known.insert(employeeKey(q.value(1).toString(), q.value(2).toString()),
                         {q.value(0).toLongLong(), q.value(3).toString(), q.value(4).toString()});
    }
    QSqlQuery insertEmployee(db), updateEmployee(db);
    insertEmployee.prepare(
        QStringLiteral("INSERT INTO employees (id_type, id_number, code, name) VALUES (?, ?, ?, ?)"));
    updateEmployee.prepare(QStringLiteral("UPDATE employees SET code = ?, name = ? WHERE id = ?"));
    std::vector<qint64> ids;
    ids.reserve(entries.size());
    for (const PayrollEntry &e : entries) {
        const PayrollInput &in = e.input;
        const QString key = employeeKey(in.idType, in.idNumber);
        auto person = known.find(key);
        if (person == known.end()) {
            insertEmployee.addBindValue(in.idType);
            insertEmployee.addBindValue(in.idNumber);
            insertEmployee.addBindValue(nonNull(in.code));
            insertEmployee.addBindValue(nonNull(in.name));
            if (!insertEmployee.exec())
                return fail(insertEmployee);
            person = known.insert(key, {insertEmployee.lastInsertId().toLongLong(), in.code, in.name});
        } else if (person->code != in.code || person->name != in.name) {
            updateEmployee.addBindValue(nonNull(in.code));
            updateEmployee.addBindValue(nonNull(in.name));
            updateEmployee.addBindValue(person->id);
            if (!updateEmployee.exec())
                return fail(updateEmployee);
            person->code = in.code;
            person->name = in.name;
        }
        ids.push_back(person->id);
    }
    // The entries, the bulk of a month, go through one statement of SQLite's own on the same
    // connection and transaction, bound column by column without a QVariant per value.
    QString insertError;
    if (!insertEntries(db, year, month, entries, ids, &insertError)) {
        *error = insertError == QLatin1String("busy")
                     ? busyMessage()
                     : QStringLiteral("无法记入台账：%1，本月未记入").arg(insertError);
        run(db, QStringLiteral("ROLLBACK"), &ignored);
        return false;
    }
    if (!run(db, QStringLiteral("COMMIT"), error)) {
        run(db, QStringLiteral("ROLLBACK"), &ignored);
        return false;
    }
    return true;
}

bool PayrollLedger::undoMonth(int year, int month, QList<int> *later, QString *error)
{
    later->clear();
    if (!m_open) {
        *error = QStringLiteral("台账中没有 %1 年 %2 月").arg(year).arg(month);
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!run(db, QStringLiteral("BEGIN IMMEDIATE"), error))
        return false;
    QString ignored;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT month FROM months WHERE year = ? AND month >= ? ORDER BY month"));
    q.addBindValue(year);
    q.addBindValue(month);
    bool recorded = false;
    if (q.exec()) {
        while (q.next()) {
            if (q.value(0).toInt() == month)
                recorded = true;
            else
                *later << q.value(0).toInt();
        }
    }
    if (!recorded || !later->isEmpty()) {
        run(db, QStringLiteral("ROLLBACK"), &ignored);
        *error = !recorded ? QStringLiteral("台账中没有 %1 年 %2 月").arg(year).arg(month)
                           : QStringLiteral("%1 年 %2 月不是该年最后记入的月份，只能撤销最后一个月")
                                 .arg(year)
                                 .arg(month);
        return false;
    }
    q.prepare(QStringLiteral("DELETE FROM months WHERE year = ? AND month = ?"));
    q.addBindValue(year);
    q.addBindValue(month);
    if (!q.exec()) {
        *error = QStringLiteral("无法撤销：%1").arg(sqlText(q.lastError()));
        run(db, QStringLiteral("ROLLBACK"), &ignored);
        return false;
    }
    return run(db, QStringLiteral("COMMIT"), error);
}
