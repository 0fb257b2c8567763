#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "Conversions.h"
#include "Errors.h"

namespace glebix {
namespace {

// The tests run under the user's locale (LC_ALL=fr_FR.UTF-8 in ctest): no conversion
// may follow its decimal comma.
const bool localeTaken = (std::setlocale(LC_ALL, ""), true);

struct IntegerCase {
    const char *text;
    std::int32_t value;
    bool whole;
};

TEST(FieldToInteger, ConvertsWholeTextsAndFallsBackToLeadingDigits) {
    const IntegerCase cases[] = {
        {"300", 300, true},
        {" 300", 300, true},
        {"-7", -7, true},
        {"+5", 5, true},
        {"$10", 16, true},
        {"x1F", 31, true},
        {"0x1f", 31, true},
        {"-$10", -16, true},
        {"8.9", 8, false},
        {"12a", 12, false},
        {"12 ", 12, false},
        {"-3a", 3, false},
        {"2.5", 2, false},
        {"abc", 0, false},
        {"", 0, false},
        {"0.5", 0, false},
        {"2147483647", 2147483647, true},
        {"-2147483648", std::numeric_limits<std::int32_t>::min(), true},
        // A digit that would leave 32 bits does not fit.
        {"2147483648", 214748364, false},
        {"99999999999", 999999999, false},
        {"$FFFFFFFF", -1, true},
        {"\t5", 0, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(FieldToInteger(c.text), c.value) << '"' << c.text << '"';
        EXPECT_EQ(FieldIsWholeInteger(c.text), c.whole) << '"' << c.text << '"';
    }
}

struct RealCase {
    const char *text;
    double value;
    bool whole;
};

TEST(FieldToReal, ConvertsWholeTextsAndFallsBackToAllDigitsRead) {
    const RealCase cases[] = {
        {"5.658", 5.658, true}, {"0.4", 0.4, true},
        {" 0.4", 0.4, true},    {"-2.5e-3", -0.0025, true},
        {"1e2", 100, true},     {"1E+2", 100, true},
        {".5", 0.5, true},      {"5.", 5, true},
        {"0.301", 0.301, true}, {" 3.01000000000000E-0001", 0.301, true},
        {"5,658", 5, false},    {"0,4", 0, false},
        {"2,5", 2, false},      {"0.4x", 4, false},
        {"0.4 ", 4, false},     {"1e", 1, false},
        {"-3.5x", 35, false},   {"1.2.3", 12, false},
        {"", 0, false},         {"abc", 0, false},
        {".", 0, false},        {"1e5x", 1, false},
        {"1e-400", 0, true},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(FieldToReal(c.text), c.value) << '"' << c.text << '"';
        EXPECT_EQ(FieldIsWholeReal(c.text), c.whole) << '"' << c.text << '"';
    }
    EXPECT_TRUE(std::isinf(FieldToReal("1e400")));
    EXPECT_EQ(FieldToReal("-1e400"), -std::numeric_limits<double>::infinity());
    // Very long texts: leading zeros count for nothing, 400 significant digits exceed a double.
    EXPECT_EQ(FieldToReal(std::string(1000, '0') + "5x"), 5);
    EXPECT_TRUE(std::isinf(FieldToReal(std::string(500, '1') + "x")));
}

TEST(FieldToReal, RoundsCorrectlyWhateverTheLocale) {
    // 0.1 + 0.2 style texts must give the double nearest to the decimal value.
    EXPECT_EQ(FieldToReal("0.30000000000000004"), 0.30000000000000004);
    EXPECT_EQ(FieldToReal("2.2250738585072014e-308"), 2.2250738585072014e-308);
    EXPECT_EQ(FieldToReal("4.9406564584124654e-324"), 4.9406564584124654e-324);
}

TEST(FileTokens, AcceptOnlyCompleteNumbersOfTheirKind) {
    EXPECT_EQ(ParseWholeToken("17"), 17);
    EXPECT_EQ(ParseWholeToken("-4"), -4);
    EXPECT_EQ(ParseWholeToken("+4"), 4);
    for (const char *bad : {"5.0", "7.5", "", "-", "1e3", "$10", "12a", "99999999999"})
        EXPECT_FALSE(ParseWholeToken(bad)) << bad;
    EXPECT_EQ(ParseRealToken("33.5"), 33.5);
    EXPECT_EQ(ParseRealToken("-1.5E2"), -150);
    EXPECT_EQ(ParseRealToken("150"), 150);
    for (const char *bad : {"33,5", "", "e5", "1e", "1.5.", "--1", "nan", "inf", "0x10"})
        EXPECT_FALSE(ParseRealToken(bad)) << bad;
}

TEST(RealToInteger, NearestGoesToEvenAndTruncateTowardZero) {
    EXPECT_EQ(Nearest(0.5L), 0);
    EXPECT_EQ(Nearest(1.5L), 2);
    EXPECT_EQ(Nearest(2.5L), 2);
    EXPECT_EQ(Nearest(3.5L), 4);
    EXPECT_EQ(Nearest(-2.5L), -2);
    EXPECT_EQ(Nearest(-1.5L), -2);
    EXPECT_EQ(Truncate(2.7L), 2);
    EXPECT_EQ(Truncate(-2.7L), -2);
    EXPECT_EQ(Truncate(-0.5L), 0);
    EXPECT_EQ(Narrow32(0x1'0000'0005LL), 5);
}

TEST(RealToInteger, ValuesThatDoNotFitAreInvalidOperations) {
    for (long double bad :
         {1e19L, -1e19L, std::numeric_limits<long double>::infinity(), std::numeric_limits<long double>::quiet_NaN()}) {
        try {
            Nearest(bad);
            ADD_FAILURE() << "no error for " << static_cast<double>(bad);
        } catch (const GlebixError &e) { EXPECT_STREQ(e.what(), "Opération en virgule flottante incorrecte"); }
        EXPECT_THROW(Truncate(bad), GlebixError);
    }
}

TEST(FormatShortest, UsesAPointAndRoundTrips) {
    EXPECT_EQ(FormatShortest(0.5), "0.5");
    EXPECT_EQ(FormatShortest(5.658), "5.658");
    EXPECT_EQ(FormatShortest(100), "100");
    EXPECT_EQ(FieldToReal(FormatShortest(0.1 + 0.2)), 0.1 + 0.2);
}

// Grid headers: no exponent, which some ESRI readers refuse, and still the exact value.
TEST(FormatPlainDecimal, WritesNoExponentAndRoundTrips) {
    EXPECT_EQ(FormatPlainDecimal(5e5), "500000");
    EXPECT_EQ(FormatPlainDecimal(-2.5e-5), "-0.000025");
    EXPECT_EQ(FormatPlainDecimal(0.001), "0.001");
    for (const double x : {1e22, 123456789.125, 4.9e-324, 1.7976931348623157e308}) {
        const std::string text = FormatPlainDecimal(x);
        EXPECT_EQ(text.find('e'), std::string::npos) << text;
        EXPECT_EQ(FieldToReal(text), x) << text;
    }
}

TEST(ErrorBox, AppendsAFullStopWhenTheLastCharacterSortsAfterIt) {
    EXPECT_EQ(ErrorBoxText("Fichier introuvable"), "Fichier introuvable.");
    EXPECT_EQ(ErrorBoxText("Erreur E/S 5"), "Erreur E/S 5.");  // digits sort after the full stop
    EXPECT_EQ(ErrorBoxText("(1 à 50)"), "(1 à 50)");
    EXPECT_EQ(ErrorBoxText("Fin."), "Fin.");
}

}  // namespace
}  // namespace glebix
