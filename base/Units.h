#pragma once
#include <QString>

namespace units {

constexpr int kEnglish = 1;
constexpr int kSI = 2;
constexpr int kOther = 3;

// Every place that stores a unit system accepts only 1...3.
inline int clampSystem(int system) {
    return system < 1 ? 1 : (system > 3 ? 3 : system);
}

// A stored value converted by `factor`. Where the product lands within rounding noise (a few
// units in the last place) of a decimal of at most 15 significant digits, it is that decimal: a
// value the user typed comes back exactly as typed after any number of switches back and forth,
// instead of as 175.00000000000000001.
long double convert(long double value, long double factor);

} // namespace units

// Label of a unit category ("F/L2^3" -> "lbs/ft^3" in English units) as table headers show it.
QString UnitLabel(const QString& category, int unitSystem);

// Factor by which values of `category` stored in system `from` are multiplied to be in `to`.
long double UnitFactor(int from, int to, const QString& category);

// The entry fields' own label rule: only the first present force and length code is replaced,
// and system 3 shows the category text itself.
QString EntryUnitLabel(const QString& category, int unitSystem);

// The drop-down fields' simpler rule: every F becomes lbs or kN, every L in or m; system 3 shows
// the category text itself.
QString ComboUnitLabel(const QString& category, int unitSystem);
