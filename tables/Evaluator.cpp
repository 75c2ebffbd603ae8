#include "Evaluator.h"

#include "base/Errors.h"
#include "format/NumberFormat.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

// Order matters: longer names that share a prefix with shorter ones come first.
const char* const kFunctions[] = {"arctanh", "arctan", "cotan", "tanh", "tan",     "arccosh", "arccos",
                                  "cosh",    "cosec",  "cos",   "sec",  "arcsinh", "arcsin",  "sinh",
                                  "sin",     "csc",    "abs",   "frac", "int",     "ln",      "round",
                                  "ceil",    "floor",  "log",   "sqrt"};

[[noreturn]] void fail(const QString& detail) {
    throw EAssignError(evalmsg::kPrefix + detail);
}

long double checked(long double r) {
    if (std::isnan(r)) throw EMathError(mathmsg::kInvalidOp);
    if (std::isinf(r)) throw EMathError(mathmsg::kOverflow);
    return r;
}

long double reciprocal(long double x) {
    if (x == 0) throw EMathError(mathmsg::kZeroDivide);
    return checked(1 / x);
}

int64_t toInt64(long double x) {
    x = std::trunc(x);
    if (!(x >= -9223372036854775808.0L && x < 9223372036854775808.0L)) throw EMathError(mathmsg::kInvalidOp);
    return static_cast<int64_t>(x);
}

int32_t toInt32(long double x) {
    if (!(x >= -2147483648.0L && x <= 2147483647.0L)) throw EMathError(mathmsg::kInvalidOp);
    return static_cast<int32_t>(x);
}

QString resultText(long double v) {
    return QString::fromStdString(numfmt::general(v, 18));
}

long double applyFunction(const QString& f, long double x) {
    if (f == "arctanh") {
        if (std::fabs(x) == 1) throw EMathError(mathmsg::kZeroDivide);
        return checked(std::atanh(x));
    }
    if (f == "arctan") return checked(std::atan(x));
    if (f == "cotan") return reciprocal(std::tan(x));
    if (f == "tanh") return checked(std::tanh(x));
    if (f == "tan") return checked(std::tan(x));
    if (f == "arccosh") return checked(std::acosh(x));
    if (f == "arccos") return checked(std::acos(x));
    if (f == "cosh") return checked(std::cosh(x));
    if (f == "cosec" || f == "csc") return reciprocal(std::sin(x));
    if (f == "cos") return checked(std::cos(x));
    if (f == "sec") return reciprocal(std::cos(x));
    if (f == "arcsinh") return checked(std::asinh(x));
    if (f == "arcsin") return checked(std::asin(x));
    if (f == "sinh") return checked(std::sinh(x));
    if (f == "sin") return checked(std::sin(x));
    if (f == "abs") return std::fabs(x);
    if (f == "frac") return x - std::trunc(x);
    if (f == "int") return std::trunc(x);
    if (f == "ln" || f == "log") {
        if (x == 0) throw EMathError(mathmsg::kZeroDivide);
        return checked(f == "ln" ? std::log(x) : std::log10(x));
    }
    if (f == "round") return static_cast<long double>(toInt64(numfmt::roundHalfEven(x)));
    if (f == "ceil") return toInt32(std::ceil(x));
    if (f == "floor") return toInt32(std::floor(x));
    // sqrt
    return checked(std::sqrt(x));
}

long double factorial(long double x) {
    if (x != std::trunc(x)) fail(evalmsg::kFactorial);
    long double r = 1;
    for (long double k = 2; k <= std::fabs(x); k += 1) {
        r *= k;
        if (std::isinf(r)) throw EMathError(mathmsg::kOverflow);
    }
    return x < 0 ? -r : r;
}

// Prefix functions and suffix factorials nest ("sinsqrt16!" is sin(sqrt(16!))); deeper nesting is
// no number a user means, and would only cost time.
constexpr int kMaxNesting = 100;
constexpr qsizetype kMaxLength = 10000;

// The operand rule, walking the text once: function names are taken off the front and factorials
// off the end until a constant, hexadecimal or decimal number remains, then the operations are
// applied from the inside out.
long double operandValue(const QString& operand) {
    QString cleaned = operand;
    while (cleaned.contains(QLatin1String("--"))) cleaned.replace(QLatin1String("--"), QString());
    cleaned = cleaned.toLower();
    QStringView op(cleaned);
    std::vector<const char*> operations; // a function name, or nullptr for "!"
    long double value = 0;
    for (;;) {
        if (static_cast<int>(operations.size()) > kMaxNesting) fail(evalmsg::kTooDeep);
        if (op == QLatin1String("pi") || op == QLatin1String("-pi")) {
            value = op.startsWith('-') ? -std::numbers::pi_v<long double> : std::numbers::pi_v<long double>;
            break;
        }
        if (op == QLatin1String("e") || op == QLatin1String("-e")) {
            value = op.startsWith('-') ? -std::numbers::e_v<long double> : std::numbers::e_v<long double>;
            break;
        }
        const char* function = nullptr;
        for (const char* f : kFunctions)
            if (op.startsWith(QLatin1String(f))) {
                function = f;
                break;
            }
        if (function) {
            operations.push_back(function);
            op = op.mid(static_cast<qsizetype>(std::strlen(function)));
            continue;
        }
        if (op.endsWith('!')) {
            operations.push_back(nullptr);
            op.chop(1);
            continue;
        }
        if (op.startsWith('$')) {
            const QStringView digits = op.mid(1);
            bool ok = !digits.isEmpty() && digits.size() <= 8;
            const uint32_t n = ok ? digits.toUInt(&ok, 16) : 0;
            if (!ok) fail(evalmsg::kInvalidHex);
            value = static_cast<int32_t>(n);
            break;
        }
        const QByteArray latin = op.toLatin1();
        auto v = numfmt::parseDecimal(std::string_view(latin.constData(), latin.size()));
        if (!v || op.size() != latin.size()) fail(evalmsg::kInvalidCharacters);
        value = *v;
        break;
    }
    for (auto it = operations.rbegin(); it != operations.rend(); ++it)
        value = *it ? applyFunction(QString::fromLatin1(*it), value) : factorial(value);
    return value;
}

long double power(long double a, long double b) {
    if (b == 0) return 1;
    if (a == 0 && b > 0) return 0;
    if (b == std::trunc(b) && std::fabs(b) <= 2147483648.0L) {
        auto n = static_cast<int64_t>(std::fabs(b));
        long double result = 1, base = a;
        while (n > 0) {
            if (n & 1) result *= base;
            n >>= 1;
            if (n) base *= base;
        }
        if (b < 0) return reciprocal(result);
        return checked(result);
    }
    if (a == 0) throw EMathError(mathmsg::kZeroDivide);
    if (a < 0) throw EMathError(mathmsg::kInvalidOp);
    return checked(std::exp(b * std::log(a)));
}

QString apply(QChar op, long double a, long double b) {
    switch (op.toLatin1()) {
    case '^': return resultText(power(a, b));
    case '*': return resultText(checked(a * b));
    case '/':
        if (b == 0) throw EMathError(a == 0 ? mathmsg::kInvalidOp : mathmsg::kZeroDivide);
        return resultText(checked(a / b));
    case '%': {
        const int64_t ia = toInt64(a), ib = toInt64(b);
        if (ib == 0) throw EMathError(mathmsg::kZeroDivide);
        return QString::number(ib == -1 ? 0 : ia % ib);
    }
    case '&': return (a != 0 && b != 0) ? QStringLiteral("1") : QStringLiteral("0");
    case '+': return resultText(checked(a + b));
    case '-': return resultText(checked(a - b));
    case '|': return (a != 0 || b != 0) ? QStringLiteral("1") : QStringLiteral("0");
    default: return (a == b) ? QStringLiteral("1") : QStringLiteral("0"); // '='
    }
}

int levelOf(QChar op) {
    switch (op.toLatin1()) {
    case '^': return 1;
    case '*':
    case '/':
    case '%':
    case '&': return 2;
    case '+':
    case '-':
    case '|': return 3;
    default: return 4; // '='
    }
}

bool isOperatorChar(QChar c) {
    static const QString kOperators = QStringLiteral("^*/%+=|&");
    return kOperators.contains(c);
}

} // namespace

bool IsFunctionName(const QString& word) {
    const QString w = word.toLower();
    if (w == QLatin1String("!") || w == QLatin1String("$")) return true;
    for (const char* f : kFunctions)
        if (w == QLatin1String(f)) return true;
    return false;
}

namespace {

long double evaluate(const QString& input) {
    if (input.isEmpty()) fail(evalmsg::kBlank);
    // Groups are replaced one at a time, each by rewriting the text: a bound on the length keeps
    // that quick whatever is pasted into a cell.
    if (input.size() > kMaxLength) fail(evalmsg::kTooLong);
    QString text = input;
    text.remove(' ');
    text.remove('\t');

    for (qsizetype close = text.indexOf(')'); close >= 0; close = text.indexOf(')')) {
        const qsizetype open = text.lastIndexOf('(', close);
        if (open < 0) fail(evalmsg::kParentheses);
        const long double inner = evaluate(text.mid(open + 1, close - open - 1));
        text.replace(open, close - open + 1, resultText(inner));
    }

    std::vector<QString> operands;
    std::vector<QChar> operators;
    QString current;
    static const QString kSignBefore = QStringLiteral("%&*+/=E^e|-");
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        bool isOperator = isOperatorChar(c);
        if (c == '-')
            isOperator =
                !(i == 0 || (i <= 7 && IsFunctionName(text.left(i))) || kSignBefore.contains(text[i - 1]));
        if (isOperator) {
            operands.push_back(current);
            operators.push_back(c);
            current.clear();
        } else {
            current += c;
        }
    }
    // A trailing operator leaves no operand after it.
    if (!current.isEmpty() || operators.empty()) operands.push_back(current);
    if (operands.size() != operators.size() + 1) fail(evalmsg::kInvalidExpression);

    // Each level is one pass from the left: an operator of the level combines the value to its
    // left with the operand to its right; the others pass through to the next level.
    for (int level = 1; level <= 4; ++level) {
        std::vector<QString> keptOperands{operands.front()};
        std::vector<QChar> keptOperators;
        for (size_t i = 0; i < operators.size(); ++i) {
            if (levelOf(operators[i]) != level) {
                keptOperators.push_back(operators[i]);
                keptOperands.push_back(operands[i + 1]);
                continue;
            }
            const long double a = operandValue(keptOperands.back());
            const long double b = operandValue(operands[i + 1]);
            keptOperands.back() = apply(operators[i], a, b);
        }
        operands = std::move(keptOperands);
        operators = std::move(keptOperators);
    }
    return operandValue(operands.front());
}

} // namespace

long double Evaluate(const QString& input) {
    // Files hold doubles: a larger result could be shown and saved but never analysed.
    const long double value = evaluate(input);
    if (!numfmt::storable(value)) throw EMathError(mathmsg::kOverflow);
    return value;
}
