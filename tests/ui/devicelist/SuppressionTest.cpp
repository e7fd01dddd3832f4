// The device list's share of the alarm lifecycle without widgets: which alarm commands the
// context menu offers for a selection, what the shelve and out-of-service dialogs accept,
// and how a suppressed device's status reads.
#include "ui/devicelist/Suppression.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "ui/devicelist/DevsMenu.h"

namespace zm {
namespace {

// The alarm items as "text:enabled", in menu order.
std::vector<std::string> AlarmItems(const AlarmMenuState& alarms, int selected) {
    DevsMenuState state;
    for (int i = 0; i < selected; ++i) {
        state.selectedNames.push_back("D" + std::to_string(i));
    }
    state.alarms = alarms;
    std::vector<std::string> items;
    for (const DevsMenuItem& item : BuildDevsMenu(state)) {
        if (item.command >= kMenuAcknowledge && item.command <= kMenuInService) {
            items.push_back(item.text + (item.enabled ? ":on" : ":off"));
        }
    }
    return items;
}

TEST(AlarmMenu, ItemsAreThereForASelectionAndOnlyThoseThatChangeSomethingAreEnabled) {
    struct Case {
        const char* name;
        AlarmMenuState state;
        int selected;
        std::vector<std::string> items;
    } cases[] = {
        {"no lifecycle", {false, 1, 0, 0, 1}, 1, {}},
        {"nothing selected", {true, 0, 0, 0, 0}, 0, {}},
        {"quiet device",
         {true, 0, 0, 0, 1},
         1,
         {"Acknowledge alarm:off", "Shelve alarms...:on", "Unshelve:off",
          "Take out of service...:on", "Return to service:off"}},
        {"in alarm",
         {true, 2, 0, 0, 1},
         1,
         {"Acknowledge alarm:on", "Shelve alarms...:on", "Unshelve:off",
          "Take out of service...:on", "Return to service:off"}},
        {"shelved, may be shelved anew or taken out",
         {true, 0, 1, 0, 0},
         1,
         {"Acknowledge alarm:off", "Shelve alarms...:on", "Unshelve:on",
          "Take out of service...:on", "Return to service:off"}},
        {"out of service",
         {true, 1, 0, 1, 0},
         1,
         {"Acknowledge alarm:on", "Shelve alarms...:off", "Unshelve:off",
          "Take out of service...:off", "Return to service:on"}},
        {"a mixed selection",
         {true, 0, 1, 1, 1},
         3,
         {"Acknowledge alarm:off", "Shelve alarms...:on", "Unshelve:on",
          "Take out of service...:on", "Return to service:on"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AlarmItems(c.state, c.selected), c.items) << c.name;
    }
    EXPECT_EQ(DevsMenuCommandName(kMenuShelve), "UM_ZOR_MENU_15");
}

TEST(ShelveInput, DurationsAndReasonsAsTheEngineAcceptsThem) {
    EXPECT_EQ(ShelveMinutes(0, 999), 15);
    EXPECT_EQ(ShelveMinutes(1, 999), 60);
    EXPECT_EQ(ShelveMinutes(2, 999), 240);
    EXPECT_EQ(ShelveMinutes(3, 999), 480);
    EXPECT_EQ(ShelveMinutes(kShelveCustomChoice, 999), 999);
    EXPECT_EQ(ShelveMinutes(5, 999), std::nullopt);
    EXPECT_EQ(ShelveMinutes(-1, 999), std::nullopt);

    const std::string twoHundredUmlauts = [] {
        std::string text;
        for (int i = 0; i < 200; ++i) {
            text += "\xC3\xA4";  // 400 bytes, 200 characters
        }
        return text;
    }();
    struct Case {
        int choice;
        int custom;
        std::string reason;
        std::string error;
    } cases[] = {
        {1, 0, "sensor cleaning", ""},
        {kShelveCustomChoice, 1440, "calibration", ""},
        {kShelveCustomChoice, 1, "x", ""},
        {kShelveCustomChoice, 1441, "calibration", "Shelving lasts 1 to 1440 minutes"},
        {kShelveCustomChoice, 0, "calibration", "Shelving lasts 1 to 1440 minutes"},
        {7, 60, "calibration", "Shelving lasts 1 to 1440 minutes"},
        {0, 0, "", "A reason is required"},
        {0, 0, " \t ", "A reason is required"},
        {0, 0, twoHundredUmlauts, ""},
        {0, 0, "  " + twoHundredUmlauts + "  ", ""},
        {0, 0, twoHundredUmlauts + "a", "The reason may have at most 200 characters"},
    };
    for (const Case& c : cases) {
        SuppressInput input;
        input.choice = c.choice;
        input.customMinutes = c.custom;
        input.reason = c.reason;
        EXPECT_EQ(ShelveInputError(input), c.error)
            << c.choice << " " << c.custom << " " << c.reason.size();
    }
    EXPECT_EQ(TrimmedReason("  boom laid out\r\n"), "boom laid out");
    // Out of service asks the reason alone.
    EXPECT_EQ(ReasonError("annual service"), "");
    EXPECT_EQ(ReasonError(""), "A reason is required");
}

TEST(SuppressedStatus, TheStatusTextSaysWhatWithholdsTheAlarmsAndWhy) {
    alarms::DeviceSuppression none;
    EXPECT_EQ(SuppressedStatusText("Online and Ok", none), "Online and Ok");

    std::tm local{};
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &local);
    local.tm_hour = 23;
    local.tm_min = 59;
    local.tm_sec = 0;
    alarms::DeviceSuppression shelved;
    shelved.kind = alarms::DeviceSuppression::Kind::Shelved;
    shelved.until = std::mktime(&local);
    shelved.reason = "cleaning";
    EXPECT_EQ(SuppressedStatusText("Alarm reported", shelved),
              "Alarm reported (shelved until 23:59: cleaning)");
    // Past midnight the date comes with it.
    local.tm_mday += 1;
    local.tm_hour = 0;
    local.tm_min = 30;
    shelved.until = std::mktime(&local);
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    EXPECT_EQ(SuppressedStatusText("Online and Ok", shelved),
              std::string("Online and Ok (shelved until ") + date + " 00:30: cleaning)");

    alarms::DeviceSuppression service;
    service.kind = alarms::DeviceSuppression::Kind::OutOfService;
    service.reason = "annual service";
    EXPECT_EQ(SuppressedStatusText("No connection", service),
              "No connection (out of service: annual service)");
}

}  // namespace
}  // namespace zm
