// lumo-cli eval: one expression through the import formulas' evaluator, with fresh variables; or,
// with --row, import formulas rewritten against one worksheet row the way the import preview does.
#include "cli/cliargs.h"
#include "cli/commands.h"
#include "cli/jsonout.h"
#include "formula/evaluator.h"
#include "formula/formularewrite.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const QString kUsage = u"用法: lumo-cli eval [--json] [--] '表达式'\n"
                       u"      lumo-cli eval [--json] --row '[单元格,…]' [--] '公式' ['名称=公式' …]\n"_s;

// Shortest text that reads back to the same double; JSON has no infinities, so those are null.
QString valueText(double v)
{
    QString text = numberLiteral(v);
    return text.replace(u"e"_s, u"e+"_s).replace(u"e+-"_s, u"e-"_s);
}

QString valueJson(double v)
{
    return std::isfinite(v) ? numberLiteral(v) : u"null"_s;
}

// " 1+@" over "   --Δ--": the note's marker line sits one column right of the error byte, so the
// text is shown indented by one to line up with it.
QString markedText(const QString &text, int errorPos)
{
    const QStringList lines = formulaErrorNote(text, errorPos, QString()).split(u'\n');
    return u' ' + text + u'\n' + lines.value(lines.size() - 2) + u'\n';
}

int evalExpression(const QString &expression, bool json)
{
    Evaluator evaluator;
    const EvalOutcome r = evaluateText(evaluator, expression.toUtf8());
    if (json) {
        JsonWriter w;
        w.field(u"ok"_s, r.ok);
        if (r.ok) {
            w.raw(u"value"_s, valueJson(r.value));
            if (!std::isfinite(r.value))
                w.field(u"nonFinite"_s, valueText(r.value));
        } else {
            w.field(u"error"_s, r.error).field(u"message"_s, r.message).field(u"position"_s, r.errorPos);
        }
        printOut(w.finish() + u'\n');
        return 0;
    }
    if (r.ok)
        printOut(valueText(r.value) + u'\n');
    else
        printOut(u"错误 %1：%2（位置 %3）\n"_s.arg(r.error).arg(r.message).arg(r.errorPos) +
                 markedText(expression, r.errorPos));
    return 0;
}

// A row cell from JSON: a number is a number cell shown as written, a text a text cell, and
// {"number":1234.5,"text":"1,234.50"} a number cell with its own display text; null is no cell.
bool readCell(const QJsonValue &v, PlainWorksheetRow::Cell *cell)
{
    if (v.isDouble()) {
        *cell = PlainWorksheetRow::numberCell(v.toDouble(), valueText(v.toDouble()));
        return true;
    }
    if (v.isString()) {
        *cell = PlainWorksheetRow::textCell(v.toString());
        return true;
    }
    if (v.isNull()) {
        *cell = PlainWorksheetRow::missingCell();
        return true;
    }
    const QJsonObject o = v.toObject();
    if (!v.isObject() || !o.value(u"number"_s).isDouble() || !o.value(u"text"_s).isString())
        return false;
    *cell = PlainWorksheetRow::numberCell(o.value(u"number"_s).toDouble(), o.value(u"text"_s).toString());
    return true;
}

bool readRow(const QString &text, PlainWorksheetRow *row, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &parseError);
    if (!doc.isArray()) {
        *error = u"--row 须是 JSON 数组，如 '[1234.5,\"张三\",{\"number\":1234.5,\"text\":\"1,234.50\"}]'"_s;
        return false;
    }
    const QJsonArray cells = doc.array();
    for (qsizetype i = 0; i < cells.size(); ++i) {
        PlainWorksheetRow::Cell cell;
        if (!readCell(cells.at(i), &cell)) {
            *error = u"--row 的第 %1 个单元格无法识别"_s.arg(i + 1);
            return false;
        }
        row->append(cell);
    }
    return true;
}

// Target columns "名称=公式" in order; a bare formula is named by its position ("1", "2", …).
void splitTargets(const QStringList &items, QStringList *names, QStringList *formulas)
{
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString &item = items.at(i);
        const qsizetype eq = item.indexOf(u'=');
        // A name has no formula characters in it; "a=5" or "[x]=1" stay whole formulas.
        const QString name = eq > 0 ? item.left(eq) : QString();
        const bool named = !name.isEmpty() && !name.contains(u'[') && !name.contains(u'(') &&
                           formulaColumnIndex(name) < 0 && name.size() > 1;
        names->append(named ? name : QString::number(i + 1));
        formulas->append(named ? item.mid(eq + 1) : item);
    }
}

int evalRow(const PlainWorksheetRow &row, const QStringList &items, bool json)
{
    QStringList names;
    QStringList formulas;
    splitTargets(items, &names, &formulas);
    const FormulaSheet sheet(names, formulas);
    Evaluator evaluator;
    const QList<FormulaCell> cells = sheet.computeRow(evaluator, row);
    QString out;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        const FormulaCell &c = cells.at(i);
        if (json) {
            JsonWriter w;
            w.field(u"name"_s, names.at(i))
                .field(u"text"_s, c.text)
                .field(u"kind"_s, c.kind == NumberCell ? u"number"_s : u"text"_s);
            if (!c.errorNote.isEmpty())
                w.field(u"note"_s, c.errorNote);
            out += w.finish() + u'\n';
        } else {
            out += u"%1\t%2\t%3\n"_s.arg(names.at(i), c.kind == NumberCell ? u"数值"_s : u"文本"_s, c.text);
            if (!c.errorNote.isEmpty())
                out += c.errorNote + u'\n';
        }
    }
    printOut(out);
    return 0;
}

} // namespace

int runEval(const QStringList &args)
{
    if (asksForHelp(args)) {
        printOut(kUsage);
        return 0;
    }
    // After "--" everything is an expression, so one may start with "--" or look like an option.
    const qsizetype dashes = args.indexOf(u"--"_s);
    ArgParser p({u"row"_s}, {u"json"_s});
    QString error;
    bool ok = p.parse(dashes < 0 ? args : args.mid(0, dashes), &error, true);
    QStringList expressions = p.positional();
    if (dashes >= 0)
        expressions += args.mid(dashes + 1);
    PlainWorksheetRow row;
    if (ok && p.has(u"row"_s)) {
        ok = readRow(p.value(u"row"_s), &row, &error);
        if (ok && expressions.isEmpty()) {
            error = u"缺少公式"_s;
            ok = false;
        }
    } else if (ok && expressions.size() != 1) {
        error = expressions.isEmpty() ? u"缺少表达式"_s : u"只能给出一个表达式"_s;
        ok = false;
    }
    if (!ok) {
        printErr(u"lumo-cli eval: %1\n"_s.arg(error));
        printErr(kUsage);
        return 2;
    }
    const bool json = p.flag(u"json"_s);
    if (p.has(u"row"_s))
        return evalRow(row, expressions, json);
    return evalExpression(expressions.first(), json);
}
