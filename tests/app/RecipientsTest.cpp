#include "app/Recipients.h"

#include <gtest/gtest.h>

namespace zm {
namespace {

struct EditCase {
    const char* name;
    const char* edited;  // what the operator left in the dialog
    const char* stored;
};

class RecipientsEditing : public testing::TestWithParam<EditCase> {};

TEST_P(RecipientsEditing, StoredListIsTrimmedAndJoinedWithoutBlanks) {
    EXPECT_EQ(RecipientsFromEditing(GetParam().edited), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecipientsEditing,
    testing::Values(
        EditCase{"AddressBlankEmptyNumberBlank", "ops@example.org ,,37255512345 ",
                 "ops@example.org,37255512345"},
        EditCase{"OneEntryPerLine", "a@example.org\r\nb@example.org\r\n+3725550000",
                 "a@example.org,b@example.org,+3725550000"},
        EditCase{"BareLineFeeds", "a@example.org\nb@example.org", "a@example.org,b@example.org"},
        EditCase{"BlankAndEmptyLines", "\r\n  \r\n a@example.org \t\r\n\r\n", "a@example.org"},
        EditCase{"CommasInsideLines", "a@example.org, b@example.org\r\nc@example.org",
                 "a@example.org,b@example.org,c@example.org"},
        EditCase{"Nothing", "", ""}, EditCase{"OnlySeparators", " , \r\n,", ""},
        // Blanks inside an entry are the operator's: only the ends are trimmed.
        EditCase{"InnerBlankKept", "+372 555 0000", "+372 555 0000"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(RecipientsEditing, DialogShowsOneEntryPerLineWithoutBlanks) {
    EXPECT_EQ(RecipientsForEditing("a@example.org, b@example.org ,+372 555"),
              "a@example.org\r\nb@example.org\r\n+372555");
    EXPECT_EQ(RecipientsForEditing(""), "");
}

TEST(RecipientsEditing, OpenThenOkKeepsANormalisedList) {
    const std::string stored = "ops@example.org,37255512345";
    EXPECT_EQ(RecipientsFromEditing(RecipientsForEditing(stored)), stored);
}

TEST(RecipientsListMessage, NumbersEveryEntryAndEndsTheList) {
    EXPECT_EQ(RecipientsListMessage(" ops@example.org,,37255512345 "),
              "Current list of recipients:\r\n1) ops@example.org\r\n2) 37255512345\r\n"
              "<end of list>");
    EXPECT_EQ(RecipientsListMessage(""), "Current list of recipients:\r\n<end of list>");
}

}  // namespace
}  // namespace zm
