// The expression evaluator of import formulas.
//
// A small infix calculator over doubles: 26 one-letter variables, 21 binary operators, 16 one-argument
// functions, number literals in decimal, binary, hexadecimal and octal. Text goes in as bytes, a tree
// comes out of parse, evaluate walks it. Errors never leave as exceptions: they come back as a number,
// a message and the byte position where reading stopped, so a dialog or a tooltip can point at them.
//
// Operators of the same precedence group from the right, unlike ordinary arithmetic: 10-3-2 is
// 10-(3-2) = 9 and 8/4/2 is 8/(4/2) = 4. Formulas users have saved rely on it; write brackets for
// the usual left-to-right reading.
//
// Owns: the normalised text, the parsed tree and the variables. Depends on QtCore only; it knows
// nothing of worksheets or salary columns (formularewrite.h turns those into plain arithmetic).
//
// Limits that keep hostile text harmless: at most kMaxTextBytes bytes of text, at most kMaxNesting
// brackets and function calls inside one another. Operator chains are grouped without recursion, so
// the tree is never deeper than the text is long, and evaluation recursion stays below kMaxTextBytes.
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

enum ExprError : int
{
    NoExprError = 0,
    UnexpectedEndError = 1, // kept for the numbering; nothing raises it
    SyntaxError = 2,
    BracketError = 3,
    UndefinedOperatorError = 4, // kept for the numbering; nothing raises it
    AssignToConstantError = 5,
    // The two below guard the fixed buffer and the stack; the numbering goes on after the old five.
    TextTooLongError = 6,
    NestingTooDeepError = 7,
};

// The message shown to the user for an error number ("语法错误" for 2); empty for 0 or unknown numbers.
QString exprErrorMessage(int error);

class Evaluator
{
public:
    static constexpr int kMaxTextBytes = 999;
    static constexpr int kMaxNesting = 100;
    static constexpr int kVariableSlots = 32;

    Evaluator();
    ~Evaluator();
    Evaluator(const Evaluator &) = delete;
    Evaluator &operator=(const Evaluator &) = delete;

    // clear(), then every variable back to 0. Once before a batch of evaluations.
    void reset();

    // Copies the text (up to its first NUL byte), folds "[" "{" "]" "}" into round brackets and
    // ASCII capitals into lower case, and checks that the brackets pair up. A text longer than
    // kMaxTextBytes is refused with TextTooLongError at position kMaxTextBytes and nothing is copied.
    void setText(const char *text);
    void setText(const QByteArray &text);

    // Builds the tree; does nothing when an error is already set.
    void parse();

    // The value of the parsed tree; assignments inside change the variables. 0 when there is an
    // error or nothing was parsed.
    double evaluate();

    // Forgets the text, the tree and any error. Variables keep their values.
    void clear();

    // Variables 'a'..'z' (lower case only). setVariable returns false and changes nothing for any
    // other character; variable gives 0 for one.
    double variable(char letter) const;
    bool setVariable(char letter, double value);

    int error() const { return m_error; }
    int errorPos() const { return m_errorPos; }
    QString errorMessage() const { return exprErrorMessage(m_error); }
    // The normalised text as parse reads it.
    QByteArray text() const { return QByteArray(m_text); }

private:
    struct Node;

    void fail(int error, int pos);
    void skipSpaces();
    std::unique_ptr<Node> parseExpression(int depth);
    std::unique_ptr<Node> parseOperand(int depth);
    std::unique_ptr<Node> parseNumber();
    double evalNode(const Node *node);

    char m_text[kMaxTextBytes + 1];
    int m_pos = 0;
    int m_error = 0;
    int m_errorPos = 0;
    std::unique_ptr<Node> m_root;
    double m_variables[kVariableSlots];
};

// The one evaluator of the running program, for the import preview on the GUI thread. It is not
// re-entrant: one setText … clear sequence at a time.
Evaluator &sharedEvaluator();

// One whole round on `evaluator`: setText, parse, evaluate, clear. Variables are kept.
struct EvalOutcome
{
    bool ok = false;
    double value = 0;
    int error = 0;
    int errorPos = 0;
    QString message;
};
EvalOutcome evaluateText(Evaluator &evaluator, const QByteArray &text);
