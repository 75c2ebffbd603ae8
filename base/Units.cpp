#include "Units.h"

#include "format/NumberFormat.h"

#include <cmath>
#include <limits>

namespace {

struct Token {
    const char* code;
    long double factor;
    const char* label[3];
};

// Number of English units in one SI unit.
constexpr Token kForce[] = {
    {"F", 224.8089237L, {"lbs", "kN", "F"}},       {"F1", 0.2248089237L, {"kips", "kN", "F"}},
    {"F2", 0.1124044745L, {"tons", "kN", "F"}},    {"F3", 1.0L, {"", "", ""}},
    {"F4", 5.7101483L, {"lb-sec2/in", "Mg", "M"}}, {"F5", 1.0L, {"sec", "sec", "T"}},
    {"F6", 68.364249L, {"slug", "Mg", "F"}},
};
constexpr Token kLength[] = {
    {"L", 39.37007874L, {"in", "m", "L"}},
    {"L1", 0.03937007874L, {"in", "mm", "L"}},
    {"L2", 3.280839895L, {"ft", "m", "L"}},
    {"L3", 1.0L, {"rad", "rad", "L"}},
};

const Token& forceToken(QChar digit) {
    switch (digit.toLatin1()) {
    case '1': return kForce[1];
    case '2': return kForce[2];
    case '4': return kForce[4];
    case '5': return kForce[5];
    case '6': return kForce[6];
    default: return kForce[0];
    }
}

long double sideValue(QString side) {
    long double value = 1;
    if (side.startsWith('F')) {
        static const QString kForceDigits = "012456";
        if (side.size() < 2 || !kForceDigits.contains(side[1])) side.insert(1, '0');
        const Token& t = forceToken(side[1]);
        int exponent = 1;
        if (side.size() > 2 && side[2] == '^') {
            exponent = side.size() > 3 ? side[3].digitValue() : 1;
            side.remove(0, 5);
        } else {
            side.remove(0, 3);
        }
        value *= std::pow(t.factor, static_cast<long double>(exponent < 0 ? 1 : exponent));
    }
    if (side.startsWith('L')) {
        if (side.size() < 2 || side[1] < '0' || side[1] > '3') side.insert(1, '0');
        const Token& t = kLength[side[1].digitValue()];
        int exponent = side.size() >= 4 ? side[3].digitValue() : 1;
        value *= std::pow(t.factor, static_cast<long double>(exponent < 0 ? 1 : exponent));
    }
    return value;
}

} // namespace

QString UnitLabel(const QString& category, int unitSystem) {
    const int s = units::clampSystem(unitSystem) - 1;
    QString text = category;
    static const struct {
        const char* code;
        const Token* token;
    } order[] = {{"F2", &kForce[2]},  {"F1", &kForce[1]}, {"F4", &kForce[4]},  {"F5", &kForce[5]},
                 {"F6", &kForce[6]},  {"F", &kForce[0]},  {"L3", &kLength[3]}, {"L2", &kLength[2]},
                 {"L1", &kLength[1]}, {"L", &kLength[0]}};
    for (const auto& o : order) text.replace(QLatin1String(o.code), QLatin1String(o.token->label[s]));
    return text;
}

long double UnitFactor(int from, int to, const QString& category) {
    int sign = 0;
    if (from == units::kEnglish && to == units::kSI)
        sign = -1;
    else if (from == units::kSI && to == units::kEnglish)
        sign = 1;
    if (sign == 0) return 1;
    const qsizetype slash = category.indexOf('/');
    const QString numerator = slash < 0 ? category : category.left(slash);
    const QString denominator = slash < 0 ? QString() : category.mid(slash + 1);
    const long double ratio = sideValue(numerator) / sideValue(denominator);
    return sign > 0 ? ratio : 1 / ratio;
}

QString EntryUnitLabel(const QString& category, int unitSystem) {
    const int s = units::clampSystem(unitSystem);
    if (s == units::kOther) return category;
    QString text = category;
    static const char* const forceCodes[] = {"F6", "F5", "F4", "F2", "F1"};
    static const int forceIndex[] = {6, 5, 4, 2, 1};
    bool replaced = false;
    for (int i = 0; i < 5 && !replaced; ++i) {
        if (text.contains(QLatin1String(forceCodes[i]))) {
            text.replace(QLatin1String(forceCodes[i]), QLatin1String(kForce[forceIndex[i]].label[s - 1]));
            replaced = true;
        }
    }
    if (!replaced) text.replace('F', QLatin1String(kForce[0].label[s - 1]));
    static const char* const lengthCodes[] = {"L2", "L1", "L3"};
    static const int lengthIndex[] = {2, 1, 3};
    replaced = false;
    for (int i = 0; i < 3 && !replaced; ++i) {
        if (text.contains(QLatin1String(lengthCodes[i]))) {
            text.replace(QLatin1String(lengthCodes[i]), QLatin1String(kLength[lengthIndex[i]].label[s - 1]));
            replaced = true;
        }
    }
    if (!replaced) text.replace('L', QLatin1String(kLength[0].label[s - 1]));
    return text;
}

QString ComboUnitLabel(const QString& category, int unitSystem) {
    const int s = units::clampSystem(unitSystem);
    if (s == units::kOther) return category;
    QString text = category;
    text.replace('F', QLatin1String(kForce[0].label[s - 1]));
    text.replace('L', QLatin1String(kLength[0].label[s - 1]));
    return text;
}

long double units::convert(long double value, long double factor) {
    const long double product = value * factor;
    if (factor == 1 || product == 0 || !std::isfinite(product)) return product;
    const auto decimal = numfmt::parseDecimal(numfmt::general(product, 15));
    if (!decimal) return product;
    const long double ulp =
        std::nextafter(std::fabs(product), std::numeric_limits<long double>::infinity()) - std::fabs(product);
    return std::fabs(*decimal - product) <= 4 * ulp ? *decimal : product;
}
