// Number texts, unit factors and the word reader: the pieces every file and cell rests on.
#include "QtPrinters.h"
#include "base/Errors.h"
#include "base/Units.h"
#include "base/WordRead.h"
#include "format/NumberFormat.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

namespace {

struct FormatCase {
    long double value;
    int digits;
    const char* text;
};

TEST(NumberFormat, GeneralFormat) {
    const FormatCase cases[] = {
        {0, 8, "0"},
        {-0.0L, 8, "0"},
        {62.4L, 8, "62.4"},
        {10, 8, "10"},
        {0.05L, 8, "0.05"},
        {1234.5L, 8, "1234.5"},
        {0.0001L, 8, "0.0001"},
        {0.00001L, 8, "1E-5"},
        {1e8L, 8, "1E8"},
        {99999999, 8, "99999999"},
        {123456789, 8, "1.2345679E8"},
        {-2.5L, 8, "-2.5"},
        {1.0L / 3, 8, "0.33333333"},
        {2.0L / 3, 8, "0.66666667"},
        {-1.5e-7L, 8, "-1.5E-7"},
        {3.14159265358979323846L, 18, "3.14159265358979324"},
        {1e17L, 18, "100000000000000000"},
        {1e18L, 18, "1E18"},
        {0.1L, 18, "0.1"},
        {123.456L, 4, "123.5"},
        {99999.5L, 5, "1E5"},
        {1.18973149535723176e4932L, 18, "1.18973149535723176E4932"},
    };
    for (const auto& c : cases) EXPECT_EQ(numfmt::general(c.value, c.digits), c.text) << c.text;
}

TEST(NumberFormat, WriterFormats) {
    const struct {
        long double value;
        const char* point;
        const char* fixed;
    } cases[] = {
        {10, "10.", "10.00"},
        {0, "0.", "0.00"},
        {-2.5L, "-2.5", "-2.50"},
        {1234.5L, "1234.5", "1234.50"},
        {3, "3.", "3.00"},
        {1e-5L, "1.0E-5", "0.00"},
        {1e8L, "1.0E8", "1E8"},
        {0.125L, "0.125", "0.13"},
        {-0.125L, "-0.125", "-0.13"},
        {0.15L, "0.15", "0.15"},
        {0.1L, "0.1", "0.10"},
        {2116.8L, "2116.8", "2116.80"},
        {0.145L, "0.145", "0.15"},
        {-0.001L, "-0.001", "0.00"},
        {9.999L, "9.999", "10.00"},
        {1.2345679e8L, "1.2345679E8", "1.2345679E8"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(numfmt::generalPoint(c.value), c.point) << c.point;
        EXPECT_EQ(numfmt::fixed2(c.value), c.fixed) << c.fixed;
    }
    // The one fixed formatter, for every number of decimals the program shows.
    const struct {
        long double value;
        int decimals;
        const char* text;
    } fixedCases[] = {
        {0.125L, 2, "0.13"},
        {-0.5L, 0, "-1"},
        {2.5L, 0, "3"},
        {1234.5678L, 1, "1234.6"},
        {-0.0001L, 3, "0.000"},
        {9.9999L, 3, "10.000"},
        {1e20L, 2, "100000000000000000000.00"},
        {0.98552L, 4, "0.9855"},
        {-45, 3, "-45.000"},
        {0, 0, "0"},
    };
    for (const auto& c : fixedCases) EXPECT_EQ(numfmt::fixed(c.value, c.decimals), c.text) << c.text;
    EXPECT_EQ(numfmt::hex(255), "$00FF");
    EXPECT_EQ(numfmt::hex(70000), "$11170");
    EXPECT_EQ(numfmt::hex(2.5L), "$0002");
    // Beyond 32 bits the text saturates instead of wrapping (or worse, beyond 64 bits).
    EXPECT_EQ(numfmt::hex(1e30L), "$FFFFFFFF");
    EXPECT_EQ(numfmt::hex(9.3e18L), "$FFFFFFFF");
    EXPECT_EQ(numfmt::hex(-1e30L), "$80000000");
    EXPECT_EQ(numfmt::hex(-1), "$FFFFFFFF");
    EXPECT_EQ(numfmt::hex(std::numeric_limits<long double>::quiet_NaN()), "$0000");
    EXPECT_EQ(numfmt::truncatedInteger(-3.9L), "-3");
    EXPECT_EQ(numfmt::truncatedInteger(-0.5L), "0");
}

// printf's %g rule with the exponent written bare (E8, E-5): an independent reference.
std::string printfGeneral(long double v, int digits) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.*LG", digits, v);
    std::string s = buf;
    const auto e = s.find('E');
    if (e == std::string::npos) return s;
    return s.substr(0, e + 1) + std::to_string(std::stoi(s.substr(e + 1)));
}

// The fast path for doubles writes exactly the text of the extended path, digit for digit, and
// both follow printf's rule.
TEST(NumberFormat, DoublesFormatLikeExtendedValues) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(-10, 10);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (int i = 0; i < 20000; ++i) {
        const double v = mantissa(random) * std::pow(10.0, exponent(random));
        for (int digits : {8, 10, 12, 17}) {
            ASSERT_EQ(numfmt::general(v, digits), numfmt::general(static_cast<long double>(v), digits)) << v;
            ASSERT_EQ(numfmt::general(v, digits), printfGeneral(v, digits)) << v;
        }
    }
    for (double v : {0.0, -0.0, 1e-5, 99999999.5, 0.5, 2.5e-308, 1.7976931348623157e308})
        EXPECT_EQ(numfmt::general(v, 10), numfmt::general(static_cast<long double>(v), 10)) << v;
}

// Formats must not follow the process locale (Qt applications switch it to the user's).
TEST(NumberFormat, IgnoresProcessLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
    EXPECT_EQ(numfmt::generalPoint(1.5L), "1.5");
    EXPECT_EQ(numfmt::parseDecimal("1.5"), 1.5L);
    EXPECT_FALSE(numfmt::parseDecimal("1,5"));
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(NumberFormat, ParseDecimal) {
    const struct {
        const char* text;
        bool ok;
        long double value;
    } cases[] = {
        {"10", true, 10},           {"10.", true, 10},  {"-0.5", true, -0.5L}, {"2.5E3", true, 2500},
        {"1.5E-06", true, 1.5e-6L}, {".5", true, 0.5L}, {"+4", true, 4},       {"1.0E-5", true, 1e-5L},
        {"1,5", false, 0},          {"", false, 0},     {".", false, 0},       {"1E", false, 0},
        {"inf", false, 0},          {"nan", false, 0},  {"0x10", false, 0},    {"1e99999", false, 0},
        {"1.E-5", true, 1e-5L},     {" 1", false, 0},   {"1-", false, 0},      {"--1", false, 0},
    };
    for (const auto& c : cases) {
        auto v = numfmt::parseDecimal(c.text);
        EXPECT_EQ(v.has_value(), c.ok) << c.text;
        if (v && c.ok) {
            EXPECT_EQ(*v, c.value) << c.text;
        }
    }
    EXPECT_EQ(numfmt::parseWholeInt32("3.0"), 3);
    EXPECT_EQ(numfmt::parseWholeInt32("-2147483648"), std::numeric_limits<int32_t>::min());
    EXPECT_FALSE(numfmt::parseWholeInt32("2147483648"));
    EXPECT_FALSE(numfmt::parseWholeInt32("3.5"));
    EXPECT_FALSE(numfmt::parseWholeInt32("1E10"));
}

// Writing a value and reading it back must give a value that writes the same text again, and
// every text the writer produces must be a real the word reader accepts.
TEST(NumberFormat, RoundTripThroughWordReader) {
    std::vector<long double> values = {1e-5L,    1e8L,    -0.0L,       1234.5L,   3,     0,        -1e-30L,
                                       7.5e300L, 0.0001L, 99999999.5L, 123456789, -1e8L, 1e-4000L, 6.02e23L};
    for (int e = -40; e <= 40; ++e)
        for (long double m : {1.0L, -1.0L, 1.23456789L, 9.99999999L, -5.5L})
            values.push_back(m * std::pow(10.0L, static_cast<long double>(e)));
    QString text;
    for (long double v : values) text += QString::fromStdString(numfmt::generalPoint(v)) + "\r\n";
    TWordReader reader = TWordReader::fromText(text);
    for (long double v : values) {
        const long double back = reader.ReadReal();
        EXPECT_EQ(numfmt::generalPoint(back), numfmt::generalPoint(v));
        EXPECT_LE(std::fabs(back - v), std::fabs(v) * 1e-7L);
    }
}

TEST(Units, Labels) {
    const struct {
        const char* category;
        const char* english;
        const char* si;
        const char* other;
    } cases[] = {
        {"F/L2^2", "lbs/ft^2", "kN/m^2", "F/L^2"},
        {"F/L^2", "lbs/in^2", "kN/m^2", "F/L^2"},
        {"F/L2^3", "lbs/ft^3", "kN/m^3", "F/L^3"},
        {"L2", "ft", "m", "L"},
        {"F", "lbs", "kN", "F"},
        {"DEG.", "DEG.", "DEG.", "DEG."},
        {"", "", "", ""},
        {"F1/L1", "kips/in", "kN/mm", "F/L"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UnitLabel(c.category, 1), c.english);
        EXPECT_EQ(UnitLabel(c.category, 2), c.si);
        EXPECT_EQ(UnitLabel(c.category, 3), c.other);
        EXPECT_EQ(UnitLabel(c.category, 0), c.english) << "system clamps to 1";
        EXPECT_EQ(UnitLabel(c.category, 7), c.other) << "system clamps to 3";
    }
    EXPECT_EQ(EntryUnitLabel("F/L2^2", 1), "lbs/ft^2");
    EXPECT_EQ(EntryUnitLabel("F/L2^3", 3), "F/L2^3");
    EXPECT_EQ(EntryUnitLabel("F/L^2", 2), "kN/m^2");
    EXPECT_EQ(EntryUnitLabel("F1/L2", 1), "kips/ft");
}

TEST(Units, Factors) {
    const long double F = 224.8089237L, L = 39.37007874L, L2 = 3.280839895L;
    const struct {
        const char* category;
        long double englishPerSI;
    } cases[] = {{"L2", L2},
                 {"F", F},
                 {"F/L2^2", F / (L2 * L2)},
                 {"F/L2^3", F / (L2 * L2 * L2)},
                 {"F/L^2", F / (L * L)},
                 {"DEG.", 1},
                 {"", 1},
                 {"in", 1}};
    for (const auto& c : cases) {
        EXPECT_NEAR(static_cast<double>(UnitFactor(1, 2, c.category)),
                    static_cast<double>(1 / c.englishPerSI), 1e-15 / static_cast<double>(c.englishPerSI))
            << c.category;
        EXPECT_NEAR(static_cast<double>(UnitFactor(2, 1, c.category)), static_cast<double>(c.englishPerSI),
                    1e-12 * static_cast<double>(c.englishPerSI))
            << c.category;
        for (auto [from, to] : {std::pair{1, 3}, {3, 2}, {2, 2}, {3, 1}})
            EXPECT_EQ(UnitFactor(from, to, c.category), 1.0L) << c.category;
        // English -> SI -> English comes back to within rounding.
        const long double x = 123.456L;
        EXPECT_NEAR(static_cast<double>(x * UnitFactor(1, 2, c.category) * UnitFactor(2, 1, c.category)),
                    123.456, 1e-12);
    }
    EXPECT_NEAR(static_cast<double>(1 / UnitFactor(1, 2, "F/L2^2")), 20.885, 1e-3);
    EXPECT_NEAR(static_cast<double>(1 / UnitFactor(1, 2, "F/L2^3")), 6.366, 1e-3);
    EXPECT_NEAR(static_cast<double>(1 / UnitFactor(1, 2, "F/L^2")), 0.14504, 1e-5);
}

QString cr(const char* s) {
    return QString::fromLatin1(s).replace('|', '\r');
}

TEST(WordReader, SplittingAndLines) {
    TWordReader r = TWordReader::fromText(QStringLiteral("  12\t 3.5   7  \r\n1 2\n3\n"));
    EXPECT_EQ(r.ReadInteger(), 12);
    EXPECT_EQ(r.ReadReal(), 3.5L);
    EXPECT_EQ(r.ReadInteger(), 7);
    EXPECT_EQ(r.ReadLine(), QStringLiteral("  12\t 3.5   7  ")) << "finishes the line it read from";
    EXPECT_EQ(r.ReadInteger(), 1);
    EXPECT_EQ(r.ReadInteger(), 2);
    EXPECT_EQ(r.ReadInteger(), 3) << "numbers run across line ends";
    EXPECT_EQ(r.ReadLine(), "3");
    EXPECT_TRUE(r.AtEnd());

    TWordReader empty = TWordReader::fromText(QString());
    EXPECT_EQ(empty.lineCount(), 1);
    EXPECT_EQ(empty.ReadLine(), QString());
    EXPECT_THROW(empty.ReadLine(), EInOutError);
}

TEST(WordReader, Errors) {
    const struct {
        const char* text;
        bool integer;
        const char* message;
    } cases[] = {
        {"4.2", true, "Error on Line 1 Item 1|An integer was expected but not found."},
        {"1 2 1,5", false, "Error on Line 1 Item 3|A floating point number was expected but not found."},
        {"", false, "This file either invalid or incomplete."},
        {"5\n\nx", true, "Error on Line 2 Item 1|The line is empty where a number was expected."},
        {"1E10", true, "Error on Line 1 Item 1|An integer was expected but not found."},
    };
    for (const auto& c : cases) {
        TWordReader r = TWordReader::fromText(c.text);
        if (QString(c.text).startsWith("1 2")) {
            r.ReadReal();
            r.ReadReal();
        }
        if (QString(c.text).startsWith("5")) r.ReadInteger();
        try {
            c.integer ? r.ReadInteger() : static_cast<int32_t>(r.ReadReal());
            ADD_FAILURE() << c.text << " read without error";
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.message(), cr(c.message));
        }
    }
    TWordReader ok = TWordReader::fromText("4. 4.0");
    EXPECT_EQ(ok.ReadInteger(), 4);
    EXPECT_EQ(ok.ReadInteger(), 4);
    EXPECT_THROW(ok.ReadInteger(), EInOutError);
}

TEST(WordReader, ReadsFilesAndReportsMissingOnes) {
    QTemporaryDir dir;
    const QString name = dir.filePath("a.txt");
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("PROFIL\r\nT\xe9st\r\n1 2\r");
    f.close();
    TWordReader r(name);
    EXPECT_EQ(r.lineCount(), 3);
    EXPECT_EQ(r.ReadLine(), "PROFIL");
    EXPECT_EQ(r.ReadLine(), QString::fromLatin1("T\xe9st")) << "Latin-1 text is kept";
    EXPECT_THROW(TWordReader(dir.filePath("missing.txt")), EInOutError);
}

} // namespace
