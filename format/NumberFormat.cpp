#include "NumberFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace numfmt {
namespace {

constexpr size_t kGeneralMax = 64;

struct Decimal {
    bool negative = false;
    std::string digits; // significant digits, no leading zero, trailing zeros removed
    int exponent = 0;   // value = 0.d1d2d3... * 10^(exponent+1), i.e. d1 stands at 10^exponent
};

// Rounds |value| to `digits` significant decimal digits. Converting a double directly gives the
// same digits as converting it as an extended value (both round the same exact value), several
// times faster.
template <class Real> Decimal toDecimal(Real value, int digits) {
    Decimal d;
    d.negative = std::signbit(value) && value != 0;
    char buf[128];
    auto r =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, digits - 1);
    std::string s(buf, r.ptr);
    auto e = s.find('e');
    std::string mant = s.substr(0, e);
    d.exponent = std::atoi(s.c_str() + e + 1);
    for (char c : mant)
        if (c >= '0' && c <= '9') d.digits += c;
    while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
    return d;
}

std::string scientific(const Decimal& d) {
    std::string out = d.negative ? "-" : "";
    out += d.digits[0];
    if (d.digits.size() > 1) {
        out += '.';
        out += d.digits.substr(1);
    }
    out += 'E';
    out += std::to_string(d.exponent);
    return out;
}

// The general text written straight into a buffer: the engine's files hold millions of numbers,
// and this avoids every allocation. Returns the length written (at most 64 for up to 40 digits).
template <class Real> size_t writeGeneral(char* out, Real value, int digits) {
    if (value == 0 || !std::isfinite(value)) {
        const char* word = std::isnan(value) ? "NAN" : std::isinf(value) ? (value > 0 ? "INF" : "-INF") : "0";
        const size_t n = std::char_traits<char>::length(word);
        std::copy(word, word + n, out);
        return n;
    }
    digits = std::clamp(digits, 1, 40);
    char buf[128];
    const auto r =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, digits - 1);
    // buf holds d[.ddd]e[+-]xx: collect the significant digits without trailing zeros.
    char sig[48];
    int n = 0, exponent = 0;
    const char* p = buf;
    for (; p < r.ptr && *p != 'e'; ++p)
        if (*p != '.') sig[n++] = *p;
    std::from_chars(p + 1 + (p[1] == '+'), r.ptr, exponent);
    while (n > 1 && sig[n - 1] == '0') --n;
    char* o = out;
    if (std::signbit(value)) *o++ = '-';
    if (exponent < digits && exponent >= -4) {
        if (exponent >= 0) {
            for (int i = 0; i <= exponent; ++i) *o++ = i < n ? sig[i] : '0';
            if (n > exponent + 1) {
                *o++ = '.';
                for (int i = exponent + 1; i < n; ++i) *o++ = sig[i];
            }
        } else {
            *o++ = '0';
            *o++ = '.';
            for (int i = -1; i > exponent; --i) *o++ = '0';
            for (int i = 0; i < n; ++i) *o++ = sig[i];
        }
    } else {
        *o++ = sig[0];
        if (n > 1) {
            *o++ = '.';
            for (int i = 1; i < n; ++i) *o++ = sig[i];
        }
        *o++ = 'E';
        o = std::to_chars(o, o + 8, exponent).ptr;
    }
    return static_cast<size_t>(o - out);
}

template <class Real> std::string generalOf(Real value, int digits) {
    char buf[kGeneralMax];
    return std::string(buf, writeGeneral(buf, value, digits));
}

} // namespace

std::string general(long double value, int digits) {
    return generalOf(value, digits);
}

std::string general(double value, int digits) {
    return generalOf(value, digits);
}

void appendGeneral(std::string& out, double value, int digits) {
    char buf[kGeneralMax];
    out.append(buf, writeGeneral(buf, value, digits));
}

std::string generalPoint(long double value) {
    std::string s = general(value, 8);
    if (s.find('.') != std::string::npos) return s;
    auto e = s.find('E');
    if (e == std::string::npos) return s + '.';
    return s.substr(0, e) + ".0" + s.substr(e);
}

std::string fixed(long double value, int decimals) {
    if (!std::isfinite(value)) return general(value, 8);
    decimals = std::clamp(decimals, 0, 17);
    // Round the way the value reads as text (18 digits), then half away from zero.
    Decimal d = toDecimal(value, 18);
    const int last = -decimals - 1;
    std::string all; // digits from 10^max(exponent,0) down to 10^last
    const int top = std::max(d.exponent, 0);
    for (int p = top; p >= last; --p) {
        const int idx = d.exponent - p;
        all += (idx >= 0 && idx < static_cast<int>(d.digits.size())) ? d.digits[idx] : '0';
    }
    const bool roundUp = all.back() >= '5';
    all.pop_back();
    if (roundUp) {
        int i = static_cast<int>(all.size()) - 1;
        while (i >= 0 && all[i] == '9') all[i--] = '0';
        if (i >= 0)
            ++all[i];
        else
            all.insert(all.begin(), '1');
    }
    std::string intPart = all.substr(0, all.size() - decimals);
    const std::string frac = all.substr(all.size() - decimals);
    const size_t nz = intPart.find_first_not_of('0');
    intPart = nz == std::string::npos ? "0" : intPart.substr(nz);
    const bool isZero = intPart == "0" && frac.find_first_not_of('0') == std::string::npos;
    return (d.negative && !isZero ? "-" : "") + intPart + (decimals > 0 ? "." + frac : "");
}

std::string fixed2(long double value) {
    if (std::isfinite(value) && std::fabs(value) >= 1e8L) return scientific(toDecimal(value, 8));
    return fixed(value, 2);
}

std::string hex(long double value) {
    // The field shows 32 bits; anything beyond them saturates (a cast of an out-of-range value
    // would be undefined).
    long double r = std::isnan(value) ? 0 : roundHalfEven(value);
    r = std::clamp(r, -2147483648.0L, 4294967295.0L);
    auto n = static_cast<uint32_t>(static_cast<int64_t>(r));
    char buf[16];
    auto res = std::to_chars(buf, buf + sizeof buf, n, 16);
    std::string digits(buf, res.ptr);
    for (auto& c : digits) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    while (digits.size() < 4) digits.insert(digits.begin(), '0');
    return "$" + digits;
}

std::string truncatedInteger(long double value) {
    long double t = std::trunc(value);
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, t, std::chars_format::fixed, 0);
    std::string s(buf, res.ptr);
    return s == "-0" ? "0" : s;
}

std::optional<long double> parseDecimal(std::string_view text) {
    size_t i = 0, n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t mantStart = i;
    size_t digits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < n && text[i] >= '0' && text[i] <= '9') ++i, ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != n) return std::nullopt;
    // from_chars takes neither a leading "+" nor a leading "." reliably on every library, so
    // hand it a normalised copy.
    std::string norm;
    norm.reserve(n + 2);
    if (text[0] == '-') norm += '-';
    if (text[mantStart] == '.') norm += '0';
    norm.append(text.substr(mantStart));
    long double value = 0;
    auto res = std::from_chars(norm.data(), norm.data() + norm.size(), value, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range) {
        // Underflow is a zero for our purposes; overflow is no usable number.
        auto e = norm.find_first_of("eE");
        if (e != std::string::npos && norm[e + 1] == '-') return norm[0] == '-' ? -0.0L : 0.0L;
        return std::nullopt;
    }
    if (res.ec != std::errc() || res.ptr != norm.data() + norm.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool storable(long double value) {
    return std::isfinite(value) &&
           std::fabs(value) <= static_cast<long double>(std::numeric_limits<double>::max());
}

std::optional<long double> parseStorable(std::string_view text) {
    auto v = parseDecimal(text);
    if (!v || !storable(*v)) return std::nullopt;
    return v;
}

std::optional<int32_t> parseWholeInt32(std::string_view text) {
    auto v = parseDecimal(text);
    if (!v || *v != std::trunc(*v) || *v < -2147483648.0L || *v > 2147483647.0L) return std::nullopt;
    return static_cast<int32_t>(*v);
}

long double roundHalfEven(long double value) {
    long double f = std::floor(value);
    long double diff = value - f;
    if (diff > 0.5L) return f + 1;
    if (diff < 0.5L) return f;
    return std::fmod(f, 2.0L) == 0 ? f : f + 1;
}

} // namespace numfmt
