#pragma once
#include <QString>

// Every number the user types is an expression: 12.5, 2*6.25, sqrt(2)/2, $1F, 4!.
// Errors of the text raise EAssignError with the two-line message; arithmetic faults raise EMathError.
long double Evaluate(const QString& text);

// True for the lower-cased names of the functions, "!" and "$".
bool IsFunctionName(const QString& word);

namespace evalmsg {
inline const QString kPrefix = QStringLiteral("Entry could not be evaluated:\r");
inline const QString kBlank = QStringLiteral("entry cannot be blank");
inline const QString kParentheses = QStringLiteral("() (parentheses) do not match");
inline const QString kInvalidExpression = QStringLiteral("invalid expression");
inline const QString kInvalidCharacters = QStringLiteral("invalid character(s) in expression");
inline const QString kInvalidHex = QStringLiteral("invalid use of $ (hex function)");
inline const QString kFactorial = QStringLiteral("! (factoral) applicable to integers only");
inline const QString kTooLong = QStringLiteral("the entry is longer than 10000 characters");
inline const QString kTooDeep = QStringLiteral("too many functions or factorials in one operand");
} // namespace evalmsg
