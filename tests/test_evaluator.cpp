// The expression evaluator behind every typed number.
#include "base/Errors.h"
#include "tables/Evaluator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

TEST(Evaluator, Values) {
    const struct {
        const char* text;
        long double value;
    } cases[] = {
        {"2+3*4", 14},
        {"2^3^2", 64},
        {"2^-1", 0.5L},
        {"-2^2", 4},
        {"10-4-3", 3},
        {"7%3", 1},
        {"-7%3", -1},
        {"7.9%3", 1},
        {"3=3", 1},
        {"3=4", 0},
        {"0|5", 1},
        {"0|0", 0},
        {"0&5", 0},
        {"2&5", 1},
        {"sqrt(16)+1", 5},
        {"2*sqrt(9)", 6},
        {"0-sqrt(4)", -2},
        {"4!", 24},
        {"(-3)!", -6},
        {"0!", 1},
        {"$FF", 255},
        {"$ff", 255},
        {"1e-3", 0.001L},
        {"2E3", 2000},
        {"2(3)", 23},
        {" 1 +\t2 ", 3},
        {"12.5", 12.5L},
        {"2*6.25", 12.5L},
        {"5-(-3)", 8},
        {"-(-3)", 3},
        {"(((2)))", 2},
        {"0^5", 0},
        {"5^0", 1},
        {"2^0.5", std::sqrt(2.0L)},
        {"abs-3", 3},
        {"int(2.7)", 2},
        {"frac(-2.5)", -0.5L},
        {"round(2.5)", 2},
        {"round(3.5)", 4},
        {"ceil(2.1)", 3},
        {"floor(-2.1)", -3},
        {"log(1000)", 3},
        {"ln(1)", 0},
        {"cotan(1)", 1 / std::tan(1.0L)},
        {"$FFFFFFFF", -1},
        {"3*-2", -6},
        {"8/2/2", 2},
        {"1+2=3", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_NEAR(static_cast<double>(Evaluate(c.text)), static_cast<double>(c.value), 1e-15);
    }
    EXPECT_EQ(Evaluate("PI"), Evaluate("pi"));
    EXPECT_EQ(Evaluate("Pi"), std::numbers::pi_v<long double>);
    EXPECT_EQ(Evaluate("-e"), -std::numbers::e_v<long double>);
    EXPECT_EQ(Evaluate("cosec(0.5)"), Evaluate("csc(0.5)"));
    // A parenthesised group is written back with 18 digits: precision beyond that is not kept.
    EXPECT_NEAR(static_cast<double>(Evaluate("sqrt(2)^2")), 2.0, 1e-17);
}

TEST(Evaluator, TextErrors) {
    const struct {
        const char* text;
        const QString& detail;
    } cases[] = {
        {"", evalmsg::kBlank},
        {"()", evalmsg::kBlank},
        {"2*()", evalmsg::kBlank},
        {"2)", evalmsg::kParentheses},
        {"(2", evalmsg::kInvalidCharacters},
        {"3+", evalmsg::kInvalidExpression},
        {"-sqrt(4)", evalmsg::kInvalidCharacters},
        {"2E+3", evalmsg::kInvalidCharacters},
        {"2.5!", evalmsg::kFactorial},
        {"$G1", evalmsg::kInvalidHex},
        {"$", evalmsg::kInvalidHex},
        {"$123456789", evalmsg::kInvalidHex},
        {"abc", evalmsg::kInvalidCharacters},
        {"1,5", evalmsg::kInvalidCharacters},
        {"+5", evalmsg::kInvalidCharacters},
        {"sqrt", evalmsg::kInvalidCharacters},
    };
    for (const auto& c : cases) {
        try {
            Evaluate(c.text);
            ADD_FAILURE() << c.text << " evaluated without error";
        } catch (const EAssignError& e) {
            EXPECT_EQ(e.message(), evalmsg::kPrefix + c.detail) << c.text;
            EXPECT_TRUE(e.message().startsWith("Entry could not be evaluated:\r"));
        }
    }
}

// Pasted or generated text must give an answer or a message, never exhaust the stack or memory.
TEST(Evaluator, LongAndDeeplyNestedTexts) {
    auto detailOf = [](const QString& text) {
        try {
            Evaluate(text);
        } catch (const EAssignError& e) {
            return e.message().mid(evalmsg::kPrefix.size());
        }
        return QStringLiteral("no error");
    };
    EXPECT_EQ(detailOf("1" + QString(150, '!')), evalmsg::kTooDeep);
    EXPECT_EQ(detailOf("1" + QString(100000, '!')), evalmsg::kTooLong);
    EXPECT_EQ(detailOf(QStringLiteral("sin").repeated(150) + "1"), evalmsg::kTooDeep);
    EXPECT_EQ(Evaluate("3!!"), 720);
    EXPECT_EQ(Evaluate(QStringLiteral("sqrt").repeated(4) + "65536"), 2);
    // Long sums and differences stay left to right.
    EXPECT_EQ(Evaluate("100" + QStringLiteral("-1").repeated(4000)), -3900);
    EXPECT_EQ(Evaluate("2" + QStringLiteral("*1+1").repeated(2000)), 2002);
}

// Floating-point faults must never come back as NaN or infinity.
TEST(Evaluator, ArithmeticFaults) {
    const struct {
        const char* text;
        const QString& message;
    } cases[] = {
        {"sqrt(-4)", mathmsg::kInvalidOp},
        {"1/0", mathmsg::kZeroDivide},
        {"0/0", mathmsg::kInvalidOp},
        {"ln(-1)", mathmsg::kInvalidOp},
        {"ln(0)", mathmsg::kZeroDivide},
        {"1E4000*1E4000", mathmsg::kOverflow},
        {"2000!", mathmsg::kOverflow},
        {"10^99999", mathmsg::kOverflow},
        {"0^-1", mathmsg::kZeroDivide},
        {"(-8)^0.5", mathmsg::kInvalidOp},
        {"5%0", mathmsg::kZeroDivide},
        {"arcsin(2)", mathmsg::kInvalidOp},
        {"1E4000*1E4000-1", mathmsg::kOverflow},
        {"ceil(1E20)", mathmsg::kInvalidOp},
        // Beyond the largest double: no file could hold it for the engine.
        {"1e400", mathmsg::kOverflow},
        {"-1e309", mathmsg::kOverflow},
        {"1e308*10", mathmsg::kOverflow},
        {"1.1E4932", mathmsg::kOverflow},
    };
    for (const auto& c : cases) {
        try {
            const long double v = Evaluate(c.text);
            ADD_FAILURE() << c.text << " gave " << static_cast<double>(v);
        } catch (const EMathError& e) {
            EXPECT_EQ(e.message(), c.message) << c.text;
        }
    }
}

// Each pair of operators of different levels, in both orders: the tighter one is applied first,
// whatever its place; a left-to-right reading gives another number in every row.
TEST(Evaluator, OperatorPrecedence) {
    const struct {
        const char* text;
        long double value;
    } cases[] = {
        {"2*3^2", 18}, {"2^3*2", 16}, {"1+2^2", 5}, {"2^2+1", 5}, {"2+3*4", 14}, {"10-2*3", 4},
        {"6/2-1", 2},  {"7%3+1", 2},  {"1+7%3", 2}, {"1|1&0", 1}, {"1|0&0", 1},  {"0&0|1", 1},
        {"3=1+2", 1},  {"1+2=3", 1},  {"2|0=0", 0}, {"0=0|2", 0}, {"2^2=4", 1},  {"4=2^2", 1},
        {"2*2=4", 1},  {"4=2*2", 1},  {"1&1=1", 1}, {"2^1|0", 1}, {"0|2^1", 1},  {"2+2&0", 2},
    };
    for (const auto& c : cases) EXPECT_EQ(Evaluate(c.text), c.value) << c.text;
    // A larger intermediate value is fine when the result can be stored.
    EXPECT_NEAR(static_cast<double>(Evaluate("1e400/1e300")), 1e100, 1e86);
    EXPECT_THROW(Evaluate(QString(400, '9')), EMathError);
}

TEST(Evaluator, FunctionNames) {
    for (const char* name : {"sqrt", "SQRT", "arctanh", "csc", "!", "$", "round"})
        EXPECT_TRUE(IsFunctionName(name));
    for (const char* name : {"sq", "exp", "", "pi", "e"}) EXPECT_FALSE(IsFunctionName(name));
    EXPECT_THROW(Evaluate("sqrt-4"), EMathError) << "the minus after a function name is a sign";
}

} // namespace
