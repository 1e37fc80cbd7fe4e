#include "formula/evaluator.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

struct OperatorSpec
{
    const char *text;
    int length;
    int precedence;
};

// Matched in this order, so two-byte spellings win over their one-byte prefixes.
constexpr OperatorSpec kOperators[] = {
    {"", 0, -1}, // the sentinel above the whole tree
    {">>", 2, 19}, {"<<", 2, 19}, {">=", 2, 18}, {"<=", 2, 18}, {"!=", 2, 17}, {"<>", 2, 17}, {"==", 2, 17},
    {"&&", 2, 14}, {"||", 2, 13}, {"=", 1, 1},   {"^", 1, 22},  {"%", 1, 21},  {"*", 1, 21},  {"/", 1, 21},
    {"\\", 1, 21}, {"-", 1, 20},  {"+", 1, 20},  {"<", 1, 18},  {">", 1, 18},  {"&", 1, 16},  {"|", 1, 15},
};
constexpr int kOperatorCount = int(sizeof(kOperators) / sizeof(kOperators[0]));

enum OperatorIndex
{
    OpSentinel = 0,
    OpShiftRight,
    OpShiftLeft,
    OpGreaterEqual,
    OpLessEqual,
    OpNotEqual,
    OpNotEqual2,
    OpEqual,
    OpAnd,
    OpOr,
    OpAssign,
    OpPower,
    OpRemainder,
    OpMultiply,
    OpDivide,
    OpIntDivide,
    OpMinus,
    OpPlus,
    OpLess,
    OpGreater,
    OpBitAnd,
    OpBitOr,
};

struct FunctionSpec
{
    const char *text; // with the opening bracket: "sin" alone is two variables and an error
    int length;
    double (*compute)(double);
};

const FunctionSpec kFunctions[] = {
    {"sin(", 4, [](double x) { return std::sin(x); }},
    {"cos(", 4, [](double x) { return std::cos(x); }},
    {"tan(", 4, [](double x) { return std::tan(x); }},
    {"sinh(", 5, [](double x) { return std::sinh(x); }},
    {"cosh(", 5, [](double x) { return std::cosh(x); }},
    {"tanh(", 5, [](double x) { return std::tanh(x); }},
    {"asin(", 5, [](double x) { return std::asin(x); }},
    {"acos(", 5, [](double x) { return std::acos(x); }},
    {"atan(", 5, [](double x) { return std::atan(x); }},
    {"exp(", 4, [](double x) { return std::exp(x); }},
    {"log(", 4, [](double x) { return std::log(x); }},
    {"log10(", 6, [](double x) { return std::log10(x); }},
    {"sqrt(", 5, [](double x) { return std::sqrt(x); }},
    {"ceil(", 5, [](double x) { return std::ceil(x); }},
    {"floor(", 6, [](double x) { return std::floor(x); }},
    {"abs(", 4, [](double x) { return std::fabs(x); }},
};

// Plain ASCII tests: the text may hold any byte, and <cctype> on a negative char is undefined.
bool isLower(char c)
{
    return c >= 'a' && c <= 'z';
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Truncation toward zero into 32 bits; anything outside, infinities and NaN included, is INT_MIN.
qint32 toInt32(long double x)
{
    if (!(x > -2147483649.0L && x < 2147483648.0L))
        return std::numeric_limits<qint32>::min();
    return static_cast<qint32>(x);
}

} // namespace

struct Evaluator::Node
{
    enum Kind
    {
        Number = 1,
        Variable = 2,
        Operator = 3,
        Function = 4,
    };

    explicit Node(Kind k, int i = 0, double n = 0) : kind(k), index(i), number(n) {}

    Kind kind;
    int index;                   // variable slot, operator index or function index
    double number;               // the value of a Number
    std::unique_ptr<Node> left;  // left operand; a function's argument
    std::unique_ptr<Node> right; // right operand
    Node *parent = nullptr;      // enclosing operator while parsing
};

QString exprErrorMessage(int error)
{
    switch (error) {
    case UnexpectedEndError:
        return QStringLiteral("意外的行尾标志");
    case SyntaxError:
        return QStringLiteral("语法错误");
    case BracketError:
        return QStringLiteral("括号不匹配");
    case UndefinedOperatorError:
        return QStringLiteral("未定义的操作符");
    case AssignToConstantError:
        return QStringLiteral("不能给常数赋值");
    case TextTooLongError:
        return QStringLiteral("表达式过长");
    case NestingTooDeepError:
        return QStringLiteral("括号或函数嵌套过深");
    default:
        return {};
    }
}

Evaluator::Evaluator()
{
    m_text[0] = '\0';
    std::fill(std::begin(m_variables), std::end(m_variables), 0.0);
}

Evaluator::~Evaluator() = default;

void Evaluator::reset()
{
    clear();
    std::fill(std::begin(m_variables), std::end(m_variables), 0.0);
}

void Evaluator::clear()
{
    m_error = 0;
    m_errorPos = 0;
    m_text[0] = '\0';
    m_pos = 0;
    m_root.reset();
}

void Evaluator::fail(int error, int pos)
{
    if (m_error == 0) {
        m_error = error;
        m_errorPos = pos;
    }
}

void Evaluator::setText(const QByteArray &text)
{
    setText(text.constData());
}

void Evaluator::setText(const char *text)
{
    // A new text starts over: an error left from the previous one would point into other text.
    m_root.reset();
    m_pos = 0;
    m_error = 0;
    m_errorPos = 0;
    m_text[0] = '\0';
    const size_t length = text ? std::strlen(text) : 0;
    if (length > size_t(kMaxTextBytes)) {
        fail(TextTooLongError, kMaxTextBytes);
        return;
    }
    std::memcpy(m_text, text ? text : "", length + 1);

    int depth = 0;
    for (size_t i = 0; i < length; ++i) {
        char &c = m_text[i];
        if (c == '[' || c == '{')
            c = '(';
        else if (c == ']' || c == '}')
            c = ')';
        else if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth < 0) {
            fail(BracketError, int(i));
            return;
        }
    }
    if (depth != 0)
        fail(BracketError, int(length) + 1);
}

void Evaluator::skipSpaces()
{
    while (m_text[m_pos] == ' ')
        ++m_pos;
}

void Evaluator::parse()
{
    if (m_error != 0)
        return;
    m_root.reset();
    m_pos = 0;
    m_root = parseExpression(0);
    if (m_error != 0)
        m_root.reset();
}

// Precedence insertion: each operator goes in on the right-hand spine below the first operator that
// binds less tightly, taking over that operator's right operand. An operator of equal precedence
// therefore nests to the right (10-3-2 is 10-(3-2)); the formulas users have saved rely on that.
std::unique_ptr<Evaluator::Node> Evaluator::parseExpression(int depth)
{
    auto sentinel = std::make_unique<Node>(Node::Operator, OpSentinel);
    Node *cur = sentinel.get();
    sentinel->right = parseOperand(depth);
    if (m_error != 0)
        return nullptr;
    sentinel->right->parent = sentinel.get();

    for (;;) {
        skipSpaces();
        const char c = m_text[m_pos];
        if (c == '\0' || c == ')' || c == ',')
            break;
        int op = 1;
        while (op < kOperatorCount &&
               std::strncmp(m_text + m_pos, kOperators[op].text, size_t(kOperators[op].length)) != 0)
            ++op;
        if (op == kOperatorCount) {
            fail(SyntaxError, m_pos);
            return nullptr;
        }
        const int opPos = m_pos;
        m_pos += kOperators[op].length;

        const int precedence = kOperators[op].precedence;
        while (kOperators[cur->index].precedence > precedence)
            cur = cur->parent;
        auto node = std::make_unique<Node>(Node::Operator, op);
        Node *raw = node.get();
        raw->left = std::move(cur->right);
        raw->left->parent = raw;
        raw->parent = cur;
        cur->right = std::move(node);
        if (op == OpAssign && raw->left->kind != Node::Variable) {
            fail(AssignToConstantError, opPos);
            return nullptr;
        }
        raw->right = parseOperand(depth);
        if (m_error != 0)
            return nullptr;
        raw->right->parent = raw;
        cur = raw;
    }
    std::unique_ptr<Node> root = std::move(sentinel->right);
    root->parent = nullptr;
    return root;
}

std::unique_ptr<Evaluator::Node> Evaluator::parseOperand(int depth)
{
    skipSpaces();
    const char c = m_text[m_pos];
    if (c == '(') {
        if (depth >= kMaxNesting) {
            fail(NestingTooDeepError, m_pos);
            return nullptr;
        }
        ++m_pos;
        std::unique_ptr<Node> inner = parseExpression(depth + 1);
        if (m_error != 0)
            return nullptr;
        if (m_text[m_pos] != ')') {
            fail(BracketError, m_pos);
            return nullptr;
        }
        ++m_pos;
        return inner;
    }
    if (isLower(c) && isLower(m_text[m_pos + 1])) {
        for (int f = 0; f < int(std::size(kFunctions)); ++f) {
            const FunctionSpec &spec = kFunctions[f];
            if (std::strncmp(m_text + m_pos, spec.text, size_t(spec.length)) != 0)
                continue;
            if (depth >= kMaxNesting) {
                fail(NestingTooDeepError, m_pos);
                return nullptr;
            }
            m_pos += spec.length;
            auto node = std::make_unique<Node>(Node::Function, f);
            node->left = parseExpression(depth + 1);
            if (m_error != 0)
                return nullptr;
            if (m_text[m_pos] != ')') {
                fail(BracketError, m_pos);
                return nullptr;
            }
            ++m_pos;
            return node;
        }
        fail(SyntaxError, m_pos);
        return nullptr;
    }
    if (isLower(c)) {
        ++m_pos;
        return std::make_unique<Node>(Node::Variable, c - 'a');
    }
    return parseNumber();
}

// Number literals. A minus here is part of the literal: it is the only unary minus there is.
std::unique_ptr<Evaluator::Node> Evaluator::parseNumber()
{
    bool negative = false;
    if (m_text[m_pos] == '-') {
        negative = true;
        ++m_pos;
    }
    const char c = m_text[m_pos];
    if (!isDigit(c) && c != '.') {
        fail(SyntaxError, m_pos);
        return nullptr;
    }

    double value = 0;
    const char next = m_text[m_pos + 1];
    if (c == '0' && next != '.' && !isDigit(next) && next != 'b' && next != 'x') {
        ++m_pos; // a plain 0, or 0 followed by something that is not a digit
    } else if (c == '0' && (next == 'b' || next == 'x' || isDigit(next))) {
        // 0b… binary, 0x… hexadecimal, 0… octal; no fraction, no exponent. Accumulated in a double
        // so that a long run of digits loses precision instead of overflowing.
        int base = 8;
        if (next == 'b') {
            base = 2;
            m_pos += 2;
        } else if (next == 'x') {
            base = 16;
            m_pos += 2;
        } else {
            ++m_pos;
        }
        for (;;) {
            const char d = m_text[m_pos];
            int digit = -1;
            if (isDigit(d))
                digit = d - '0';
            else if (base == 16 && d >= 'a' && d <= 'f')
                digit = d - 'a' + 10;
            if (digit < 0 || digit >= base)
                break;
            value = value * base + digit;
            ++m_pos;
        }
    } else {
        // Decimal with an optional fraction and exponent. The digits are collected and converted
        // in one correctly rounded step, so any number of fraction digits reads exactly.
        QByteArray literal;
        int significantIntDigits = 0;
        while (isDigit(m_text[m_pos])) {
            if (significantIntDigits > 0 || m_text[m_pos] != '0')
                ++significantIntDigits;
            literal += m_text[m_pos++];
        }
        if (literal.isEmpty())
            literal.append('0');
        literal += '.';
        int leadingFractionZeros = 0;
        bool fractionNonZero = false;
        if (m_text[m_pos] == '.') {
            ++m_pos;
            while (isDigit(m_text[m_pos])) {
                if (m_text[m_pos] != '0')
                    fractionNonZero = true;
                else if (!fractionNonZero)
                    ++leadingFractionZeros;
                literal += m_text[m_pos++];
            }
        }
        literal += '0';
        long exponent = 0;
        bool exponentNegative = false;
        if (m_text[m_pos] == 'e') {
            ++m_pos;
            if (m_text[m_pos] == '-') {
                exponentNegative = true;
                ++m_pos;
            }
            while (isDigit(m_text[m_pos])) {
                // Far past the range of a double already; keep counting without overflowing.
                if (exponent < 100000)
                    exponent = exponent * 10 + (m_text[m_pos] - '0');
                ++m_pos;
            }
            if (exponentNegative)
                exponent = -exponent;
            literal += 'e';
            literal += QByteArray::number(qint64(exponent));
        }
        const auto result = std::from_chars(literal.constData(), literal.constData() + literal.size(), value);
        if (significantIntDigits == 0 && !fractionNonZero) {
            value = 0;
        } else if (result.ec == std::errc::result_out_of_range) {
            // Too large or too small for a double: decide by the decimal magnitude.
            const long magnitude =
                (significantIntDigits > 0 ? significantIntDigits : -leadingFractionZeros) + exponent;
            value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        } else if (result.ec != std::errc()) {
            value = 0;
        }
    }
    return std::make_unique<Node>(Node::Number, 0, negative ? -value : value);
}

double Evaluator::evaluate()
{
    if (m_error != 0 || !m_root)
        return 0;
    return evalNode(m_root.get());
}

double Evaluator::evalNode(const Node *node)
{
    switch (node->kind) {
    case Node::Number:
        return node->number;
    case Node::Variable:
        return m_variables[node->index];
    case Node::Function:
        return kFunctions[node->index].compute(evalNode(node->left.get()));
    case Node::Operator:
        break;
    }

    switch (node->index) {
    case OpAnd:
        if (evalNode(node->left.get()) == 0)
            return 0;
        return evalNode(node->right.get()) != 0 ? 1 : 0;
    case OpOr:
        if (evalNode(node->left.get()) != 0)
            return 1;
        return evalNode(node->right.get()) != 0 ? 1 : 0;
    case OpAssign: {
        const double r = evalNode(node->right.get());
        m_variables[node->left->index] = r;
        return r;
    }
    case OpPower: {
        const double r = evalNode(node->right.get());
        const double l = evalNode(node->left.get());
        return std::pow(l, r);
    }
    default:
        break;
    }

    // One operator is computed in extended precision and stored as a double.
    const long double l = evalNode(node->left.get());
    const long double r = evalNode(node->right.get());
    switch (node->index) {
    case OpShiftRight:
        return toInt32(l) >> (toInt32(r) & 31);
    case OpShiftLeft:
        return static_cast<qint32>(static_cast<quint32>(toInt32(l)) << (toInt32(r) & 31));
    case OpGreaterEqual:
        return l >= r ? 1 : 0;
    case OpLessEqual:
        return l <= r ? 1 : 0;
    case OpNotEqual:
    case OpNotEqual2:
        return l != r ? 1 : 0;
    case OpEqual:
        return l == r ? 1 : 0;
    case OpRemainder: {
        const qint32 a = toInt32(l);
        const qint32 b = toInt32(r);
        // No remainder by zero: NaN, as for a floating remainder. INT_MIN % -1 overflows in C++.
        if (b == 0)
            return std::numeric_limits<double>::quiet_NaN();
        if (b == -1)
            return 0;
        return a % b;
    }
    case OpMultiply:
        return double(l * r);
    case OpDivide:
        return double(l / r);
    case OpIntDivide:
        return toInt32(l / r);
    case OpMinus:
        return double(l - r);
    case OpPlus:
        return double(l + r);
    case OpLess:
        return l < r ? 1 : 0;
    case OpGreater:
        return l > r ? 1 : 0;
    case OpBitAnd:
        return toInt32(l) & toInt32(r);
    case OpBitOr:
        return toInt32(l) | toInt32(r);
    default:
        return 0;
    }
}

double Evaluator::variable(char letter) const
{
    if (!isLower(letter))
        return 0;
    return m_variables[letter - 'a'];
}

bool Evaluator::setVariable(char letter, double value)
{
    if (!isLower(letter))
        return false;
    m_variables[letter - 'a'] = value;
    return true;
}

Evaluator &sharedEvaluator()
{
    static Evaluator instance;
    return instance;
}

EvalOutcome evaluateText(Evaluator &evaluator, const QByteArray &text)
{
    EvalOutcome outcome;
    evaluator.setText(text);
    if (evaluator.error() == 0)
        evaluator.parse();
    if (evaluator.error() == 0)
        outcome.value = evaluator.evaluate();
    outcome.error = evaluator.error();
    outcome.errorPos = evaluator.errorPos();
    outcome.message = evaluator.errorMessage();
    outcome.ok = outcome.error == 0;
    evaluator.clear();
    return outcome;
}
