#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/MlsFormat.h"
#include "base/Printf.h"
#include "base/texts/LogTexts.h"

namespace zm {
namespace {

// The filler must give what printf gives for the same conversion.
#define EXPECT_LIKE_PRINTF(format, ...) \
    EXPECT_EQ(MlsFormat(format, format, {__VA_ARGS__}), StrPrintf(format, __VA_ARGS__)) << format

TEST(MlsFormat, FillsLikePrintf) {
    EXPECT_LIKE_PRINTF("%s|%-12s|%12s|%.3s", "abc", "left", "right", "truncate");
    EXPECT_LIKE_PRINTF("%d %i %5d %-5d| %05d %+d % d", 42, -7, 13, 13, -42, 5, 5);
    EXPECT_LIKE_PRINTF("%u %x %X %o %08X %.3d %c", 17u, 255, 255, 8, 0xBEEFu, 7, 'Z');
    EXPECT_LIKE_PRINTF("%ld %lld %lu", 1234567890123L, -5LL, 99UL);
    EXPECT_LIKE_PRINTF("%f %.2f %-12.8f| %12.0f %012.3f %+.1f", 3.14159, 2.005, 47.123456789,
                       10000.0, -2.5, 0.25);
    EXPECT_LIKE_PRINTF("%e %.3E %g %G %10.4g", 12345.678, 0.000123, 0.0001, 1e20, 3.14159265);
    EXPECT_LIKE_PRINTF("%lf %.1lf %-10.0f|", 1.5, -0.04, 7.5);
    EXPECT_LIKE_PRINTF("100%% of %s", "it");
    EXPECT_LIKE_PRINTF("%f %f %5.1f", INFINITY, -INFINITY, NAN);
}

TEST(MlsFormat, TranslatedTemplateMustMatchTheBuiltInOne) {
    const char* builtIn = "Alarm at %s: %-8.2f of %d";
    struct Case {
        const char* translated;
        const char* expected;
    };
    const Case cases[] = {
        {"Alarm um %s: %-8.2f von %d", "Alarm um 12:00: 1.50     von 3"},
        // Width and precision may differ; the kinds and their order may not.
        {"%s! %.0f/%5d", "12:00! 2/    3"},
        {"%d %s %f", "Alarm at 12:00: 1.50     of 3"},
        {"Alarm um %s", "Alarm at 12:00: 1.50     of 3"},
        {"%s %f %d %s", "Alarm at 12:00: 1.50     of 3"},
        {"%s %n %d", "Alarm at 12:00: 1.50     of 3"},
        {"%s %*f %d", "Alarm at 12:00: 1.50     of 3"},
        {"%s %f %", "Alarm at 12:00: 1.50     of 3"},
        {"%s %p %d", "Alarm at 12:00: 1.50     of 3"},
        {"{Alarm at %s: %-8.2f of %d}", "{Alarm at 12:00: 1.50     of 3}"},
        {"100%% %s %f %d", "100% 12:00 1.500000 3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MlsFormat(c.translated, builtIn, {"12:00", 1.5, 3}), c.expected) << c.translated;
    }
    // Text from outside is a value, never a template.
    EXPECT_EQ(MlsFormat("%s", "%s", {"%s %n %d"}), "%s %n %d");
    // Too few values leave their places empty rather than reading past the list.
    EXPECT_EQ(MlsFormat("%s-%d-%f", "%s-%d-%f", {"a"}), "a--");
}

TEST(MlsFormat, FillsCatalogueTemplates) {
    EXPECT_EQ(MlsFormat(texts::tp_AlarmReportHeader_5, {"01.02.2026 10:00:00"}),
              "Connection lost or manually aborted at: 01.02.2026 10:00:00 \t");
    std::string header =
        MlsFormat(texts::tp_AlarmReportHeader_1,
                  {"1.February 2026, 10:00:00", "Zor-01", "SN-7", 59.5, 24.25, 500.0, 10000.0});
    EXPECT_EQ(
        header,
        StrPrintf("Alarm report of %s\r\nDevice name: \t%s\r\nDevice serial no.: \t%s\r\n"
                  "Latitude: \t%-12.8f\r\nLongitude: \t%-12.8f\r\nThreshold low:  "
                  "\t%-12.0f\r\nThreshold high: \t%-12.0f\r\nSignal values before the "
                  "alarm:\r\nNr\tSignal   \tBackground\r\n",
                  "1.February 2026, 10:00:00", "Zor-01", "SN-7", 59.5, 24.25, 500.0, 10000.0));
}

}  // namespace
}  // namespace zm
