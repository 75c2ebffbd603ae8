#pragma once
// Number texts shared by every file writer, table cell and entry field. Qt-free so the engine
// can use the same rules; always "." as decimal point, whatever the process locale says.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace numfmt {

// Shortest text with at most `digits` significant digits: fixed notation when the integer
// digits fit and the magnitude is at least 0.0001, else mantissa "E" exponent (1E-5, 1.2345679E8).
std::string general(long double value, int digits);
// The same text for a double, several times faster (the engine's files hold millions of numbers).
std::string general(double value, int digits);
// The same text appended to `out` without a temporary string.
void appendGeneral(std::string& out, double value, int digits);

// The problem file's real items: the general text with 8 digits, always carrying a point so the
// engine sees a real. A one-digit scientific mantissa gets ".0" (1.0E-5) to stay a valid number.
std::string generalPoint(long double value);

// Fixed notation with exactly `decimals` decimals (0 to 17), rounded as the value reads as text:
// half-way values go away from zero (0.125 gives 0.13). The one fixed formatter of the program.
std::string fixed(long double value, int decimals);

// The problem file's two-decimal items: fixed(value, 2), scientific from 1E8 on.
std::string fixed2(long double value);

// Entry-field hexadecimal text: "$" and at least four upper-case digits of the rounded value.
std::string hex(long double value);

// Decimal text of the value truncated toward zero (integer-only drop-down fields).
std::string truncatedInteger(long double value);

// A decimal number with optional sign, fraction and exponent (10, 10., -0.5, 2.5E3, .5).
// No blanks, no "inf"/"nan", no hexadecimal; nullopt when the text is not such a number or
// its value is not finite.
std::optional<long double> parseDecimal(std::string_view text);

// Whether a value can be stored in a problem or plot file: the engine reads them as doubles, so a
// value beyond the largest double (1e400, though a long double holds it) has no place there.
bool storable(long double value);

// parseDecimal, then the value must be storable (the program's and the engine's readers agree).
std::optional<long double> parseStorable(std::string_view text);

// parseDecimal, then the value must be whole and fit in 32 bits (3, 3., 3.0 but not 3.5 or 1E10).
std::optional<int32_t> parseWholeInt32(std::string_view text);

// Rounding to an integer with ties going to the even neighbour.
long double roundHalfEven(long double value);

} // namespace numfmt
