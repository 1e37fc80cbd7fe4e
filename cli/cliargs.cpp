#include "cli/cliargs.h"

#include "cli/jsonout.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>

void printOut(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

void printErr(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
}

ArgParser::ArgParser(QStringList valueOptions, QStringList flagOptions)
    : m_valueOptions(std::move(valueOptions)), m_flagOptions(std::move(flagOptions))
{}

bool ArgParser::parse(const QStringList &args, QString *error, bool allowPositional)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (!arg.startsWith(QLatin1String("--")) || arg.size() == 2) {
            if (allowPositional) {
                m_positional << arg;
                continue;
            }
            *error = QStringLiteral("多余的参数：%1").arg(arg);
            return false;
        }
        QString name = arg.mid(2);
        QString value;
        bool inlineValue = false;
        if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
            inlineValue = true;
        }
        if (m_flagOptions.contains(name)) {
            if (inlineValue) {
                *error = QStringLiteral("选项 --%1 不带值").arg(name);
                return false;
            }
            if (!m_flags.contains(name))
                m_flags << name;
            continue;
        }
        if (!m_valueOptions.contains(name)) {
            *error = QStringLiteral("未知选项：--%1").arg(name);
            return false;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("选项 --%1 缺少值").arg(name);
                return false;
            }
            value = args.at(++i);
        }
        if (m_values.contains(name)) {
            *error = QStringLiteral("选项 --%1 重复出现").arg(name);
            return false;
        }
        m_values.insert(name, value);
    }
    return true;
}

static QString badYuan(const QString &label, const QString &text)
{
    return QStringLiteral("%1 的金额“%2”无效：应为 0 到 999999999.99 之间的数，最多两位小数")
        .arg(label, text);
}

bool readYuanOption(const ArgParser &p, const QString &name, Amount fallback, Amount *out, QString *error)
{
    if (!p.has(name)) {
        *out = fallback;
        return true;
    }
    if (!parseYuan(p.value(name), out)) {
        *error = badYuan(QStringLiteral("--") + name, p.value(name));
        return false;
    }
    return true;
}

static bool thresholdFromYuan(qint64 yuan, Amount *out)
{
    if (yuan == 3500)
        *out = kThresholdLocal;
    else if (yuan == 4800)
        *out = kThresholdForeign;
    else
        return false;
    return true;
}

bool readThresholdOption(const ArgParser &p, Amount *out, QString *error)
{
    const QString text =
        p.has(QStringLiteral("threshold")) ? p.value(QStringLiteral("threshold")) : QStringLiteral("3500");
    bool ok = false;
    const qint64 yuan = text.toLongLong(&ok);
    if (!ok || !thresholdFromYuan(yuan, out)) {
        *error = QStringLiteral("--threshold 只能是 3500 或 4800（外籍人员），不能是“%1”").arg(text);
        return false;
    }
    return true;
}

static QString badMonths(const QString &name, const QString &text, int min, int max)
{
    return QStringLiteral("--%1 的月数“%2”无效：应为 %3 到 %4 的整数").arg(name, text).arg(min).arg(max);
}

bool readMonthsOption(const ArgParser &p, const QString &name, int min, int max, int fallback, int *out,
                      QString *error)
{
    if (!p.has(name)) {
        *out = fallback;
        return true;
    }
    bool ok = false;
    const int months = p.value(name).toInt(&ok);
    if (!ok || months < min || months > max) {
        *error = badMonths(name, p.value(name), min, max);
        return false;
    }
    *out = months;
    return true;
}

// Options for one --jsonl object; numbers are written back in their shortest form so that
// 18000.12 stays "18000.12" and is checked like a typed amount.
static bool argsFromObject(const QJsonObject &obj, QStringList *args, QString *error)
{
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        const QJsonValue v = it.value();
        QString text;
        if (v.isString())
            text = v.toString();
        else if (v.isDouble())
            text = QString::number(v.toDouble(), 'f', QLocale::FloatingPointShortest);
        else {
            *error = QStringLiteral("字段 %1 的值应为数字或文本").arg(it.key());
            return false;
        }
        *args << QStringLiteral("--%1=%2").arg(it.key(), text);
    }
    return true;
}

int runJsonLines(const JsonLineHandler &handle)
{
    constexpr qint64 kMaxLine = 64 * 1024;
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) {
        printErr(QStringLiteral("无法读取标准输入\n"));
        return 1;
    }
    while (!in.atEnd()) {
        QByteArray line = in.readLine(kMaxLine + 1);
        if (line.isEmpty() && in.atEnd())
            break;
        bool tooLong = false;
        if (line.size() > kMaxLine && !line.endsWith('\n')) {
            // Skip the rest of an overlong line without keeping it in memory.
            tooLong = true;
            while (!in.atEnd() && !line.endsWith('\n'))
                line = in.readLine(kMaxLine + 1);
        }
        QString outLine;
        QString error;
        if (tooLong) {
            error = QStringLiteral("输入行超过 64 KiB");
        } else {
            QJsonParseError parseError;
            const QJsonDocument doc = QJsonDocument::fromJson(line.trimmed(), &parseError);
            QStringList args;
            if (!doc.isObject())
                error = QStringLiteral("不是 JSON 对象");
            else if (argsFromObject(doc.object(), &args, &error) && !handle(args, &outLine, &error))
                outLine.clear();
        }
        if (!error.isEmpty()) {
            JsonWriter w;
            w.field(QStringLiteral("error"), error);
            outLine = w.finish();
        }
        printOut(outLine + QLatin1Char('\n'));
        std::fflush(stdout);
    }
    return 0;
}

bool asksForHelp(const QStringList &args)
{
    for (const QString &a : args) {
        if (a == QLatin1String("--"))
            return false;
        if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            return true;
    }
    return false;
}

int runCommand(const CommandDef &def, const QStringList &args)
{
    if (asksForHelp(args)) {
        printOut(QStringLiteral("用法: %1\n").arg(def.usage));
        return 0;
    }
    ArgParser p(def.valueOptions, def.flags + QStringList{QStringLiteral("json"), QStringLiteral("jsonl")});
    QString error;
    QString json;
    QString human;
    bool ok = p.parse(args, &error);
    if (ok && p.flag(QStringLiteral("jsonl")) && args.size() != 1) {
        error = QStringLiteral("--jsonl 从标准输入读取全部数据，不能与其他选项同用");
        ok = false;
    }
    if (ok && !p.flag(QStringLiteral("jsonl")))
        ok = def.compute(p, &json, &human, &error);
    if (!ok) {
        printErr(QStringLiteral("lumo-cli %1: %2\n用法: %3\n").arg(def.name, error, def.usage));
        return 2;
    }
    if (p.flag(QStringLiteral("jsonl"))) {
        return runJsonLines([&def](const QStringList &lineArgs, QString *out, QString *lineError) {
            ArgParser lp(def.valueOptions, {});
            QString unused;
            return lp.parse(lineArgs, lineError) && def.compute(lp, out, &unused, lineError);
        });
    }
    printOut(p.flag(QStringLiteral("json")) ? json + QLatin1Char('\n') : human);
    return 0;
}
