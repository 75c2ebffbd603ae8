#include "Evaluator.h"

#include "model/Errors.h"
#include "model/NumberFormat.h"

#include <cmath>
#include <cstdint>
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

long double operandValue(QString op) {
    while (op.contains(QLatin1String("--"))) op.replace(QLatin1String("--"), QString());
    op = op.toLower();
    if (op == QLatin1String("pi")) return std::numbers::pi_v<long double>;
    if (op == QLatin1String("-pi")) return -std::numbers::pi_v<long double>;
    if (op == QLatin1String("e")) return std::numbers::e_v<long double>;
    if (op == QLatin1String("-e")) return -std::numbers::e_v<long double>;
    for (const char* f : kFunctions) {
        const QLatin1String name(f);
        if (op.startsWith(name)) return applyFunction(QString(name), operandValue(op.mid(name.size())));
    }
    if (op.endsWith('!')) {
        const long double x = operandValue(op.chopped(1));
        if (x != std::trunc(x)) fail(evalmsg::kFactorial);
        long double r = 1;
        for (long double k = 2; k <= std::fabs(x); k += 1) {
            r *= k;
            if (std::isinf(r)) throw EMathError(mathmsg::kOverflow);
        }
        return x < 0 ? -r : r;
    }
    if (op.startsWith('$')) {
        const QString digits = op.mid(1);
        bool ok = !digits.isEmpty() && digits.size() <= 8;
        const uint32_t n = ok ? digits.toUInt(&ok, 16) : 0;
        if (!ok) fail(evalmsg::kInvalidHex);
        return static_cast<int32_t>(n);
    }
    const QByteArray latin = op.toLatin1();
    if (auto v = numfmt::parseDecimal(std::string_view(latin.constData(), latin.size()));
        v && op.size() == latin.size())
        return *v;
    fail(evalmsg::kInvalidCharacters);
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

long double Evaluate(const QString& input) {
    if (input.isEmpty()) fail(evalmsg::kBlank);
    QString text = input;
    text.remove(' ');
    text.remove('\t');

    for (qsizetype close = text.indexOf(')'); close >= 0; close = text.indexOf(')')) {
        const qsizetype open = text.lastIndexOf('(', close);
        if (open < 0) fail(evalmsg::kParentheses);
        const long double inner = Evaluate(text.mid(open + 1, close - open - 1));
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
            isOperator = !(i == 0 || IsFunctionName(text.left(i)) || kSignBefore.contains(text[i - 1]));
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

    for (int level = 1; level <= 4; ++level) {
        size_t i = 0;
        while (i < operators.size()) {
            if (levelOf(operators[i]) != level) {
                ++i;
                continue;
            }
            const long double a = operandValue(operands[i]);
            const long double b = operandValue(operands[i + 1]);
            QString result;
            switch (operators[i].toLatin1()) {
            case '^': result = resultText(power(a, b)); break;
            case '*': result = resultText(checked(a * b)); break;
            case '/':
                if (b == 0) throw EMathError(a == 0 ? mathmsg::kInvalidOp : mathmsg::kZeroDivide);
                result = resultText(checked(a / b));
                break;
            case '%': {
                const int64_t ia = toInt64(a), ib = toInt64(b);
                if (ib == 0) throw EMathError(mathmsg::kZeroDivide);
                result = QString::number(ib == -1 ? 0 : ia % ib);
                break;
            }
            case '&': result = (a != 0 && b != 0) ? "1" : "0"; break;
            case '+': result = resultText(checked(a + b)); break;
            case '-': result = resultText(checked(a - b)); break;
            case '|': result = (a != 0 || b != 0) ? "1" : "0"; break;
            default: result = (a == b) ? "1" : "0"; break;
            }
            operands[i] = result;
            operands.erase(operands.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            operators.erase(operators.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    return operandValue(operands.front());
}
