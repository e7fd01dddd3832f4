#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "base/MlsCatalogue.h"
#include "base/texts/BaseTexts.h"
#include "base/texts/DeviceTexts.h"
#include "base/texts/DialogTexts.h"
#include "base/texts/LogTexts.h"
#include "base/texts/MenuTexts.h"
#include "base/texts/ParamTexts.h"
#include "base/texts/WindowTexts.h"
#include "base/texts/ZorTexts.h"

namespace zm {
namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

TEST(MlsCatalogue, HoldsEveryKeyOnceWithGapRecording) {
    const auto& entries = GetMlsEntries();
    size_t listed = 0;
    for (const CMlsCatalogue& catalogue : GetMlsCatalogues()) {
        listed += catalogue.entries.size();
    }
    EXPECT_EQ(listed, 294u) << "a key is listed in two catalogues";
    ASSERT_EQ(entries.size(), 294u);

    const std::set<std::string> sections = {
        "Menu",       "Device_params",       "PC_params",     "Device Statuses", "Emulation",
        "Log",        "common_translations", "DevListCols",   "ZorDevsView",     "ZorDevDlg",
        "ZorSetsDlg", "ZorSetsView",         "ZorManagerWnd", "ButtsCaptions",   "TavDevice",
        "ZorDevice",  "TAV settings",        "GeoMapView",    "AlarmView",       "AlarmViewHeader"};
    std::set<std::string> keys;
    // The language files look keys up without regard to case, so two keys of one section
    // that differ only in case would share a line there.
    std::set<std::pair<std::string, std::string>> foldedKeys;
    for (const CMlsEntry* entry : entries) {
        std::string key = entry->key;
        EXPECT_EQ(key.rfind("tp", 0), 0u) << key;
        EXPECT_TRUE(entry->recordGaps) << key;
        EXPECT_TRUE(keys.insert(key).second) << "duplicate key " << key;
        std::string section = entry->section ? entry->section : "Default";
        EXPECT_TRUE(entry->section == nullptr || sections.count(section)) << key << " " << section;
        EXPECT_TRUE(foldedKeys.insert({Lower(section), Lower(key)}).second) << key;
        EXPECT_EQ(FindMlsEntry(key), entry);
        // Only the hidden-caption key goes without a text.
        EXPECT_EQ(entry->Text().empty(), key == "tpZorSetsView_") << key;
    }
    EXPECT_EQ(FindMlsEntry("tpNoSuchKey"), nullptr);
}

TEST(MlsCatalogue, NamedEntriesCarryTheirTexts) {
    struct Case {
        const CMlsEntry& entry;
        const char* key;
        const char* text;
        const char* section;
    };
    const Case cases[] = {
        {texts::tpTavDevice_No_connection, "tpTavDevice_No_connection", "No connection",
         "TavDevice"},
        {texts::tpTavDevice_Unknown_status, "tpTavDevice_Unknown_status", "Unknown status",
         "TavDevice"},
        {texts::tpDeviceStatus_ALARM, "tpDeviceStatus_ALARM", "ALARM", "Device Statuses"},
        {texts::tp_Ok, "tp_Ok", "OK", "common_translations"},
        {texts::tpWaitingDlg_PleaseWait, "tpWaitingDlg_PleaseWait", "Please wait...", nullptr},
        {texts::tpMenu_File, "tpMenu_File", "&File", "Menu"},
        {texts::tpMenu_Exit, "tpMenu_Exit", "E&xit", "Menu"},
        {texts::tpMenu_CacheManagment, "tpMenu_CacheManagment", "Cache Managment", "Menu"},
        {texts::tp_AlarmReportHeader_5, "tp_AlarmReportHeader_5",
         "Connection lost or manually aborted at: %s \t", "Log"},
        {texts::tp_AlarmReportHeader_6, "tp_AlarmReportHeader_6", "Connection recovered at: %s",
         "Log"},
        {texts::tpMp_DistanceFromZorToSealevelInMm, "tpMp_DistanceFromZorToSealevelInMm",
         "The distance from the ZOR-sensor to the sealevel in mm", "Device_params"},
        // Cyrillic letters stand where the sensor's own texts have them.
        {texts::tpAp_AlarmForbidden, "tpAp_\xD0\x90larmForbidden", "\xD0\x90larm forbidden",
         "Device_params"},
        {texts::tpMp_RefCalibrationDisabled, "tpMp_RefCalibrationDisabled",
         "Reference \xD1\x81"
         "alibration disabled",
         "Device_params"},
        {texts::tpAp_Use_AlarmRelayAsOpen, "tpAp_Use AlarmRelayAsOpen", "Use ALARM relay as open",
         "Device_params"},
        {texts::tpPcParameters, "tpPcParameters", "PC Parameters", "PC_params"},
        {texts::tpEmulation, "tpEmulation", "Emulation", "Emulation"},
        {texts::tpEmulation_Last, "tpEmulation_Last", "last of", "Device_params"},
        {texts::tpZorDevice_State_Unknown, "tpZorDevice_State_Unknown", "Error, State: Unknown",
         "ZorDevice"},
        {texts::tpZorDevice_failed_in_use, "tpZorDevice_failed_in_use", "failed (in use).",
         "ZorDevice"},
        {texts::tpDevListCols_Lat_Lon_Val, "tpDevListCols_Lat_Lon_Val", "Lat,Lon,Val",
         "DevListCols"},
        {texts::tpZorManagerWndBtn_ControlPanel, "tpZorManagerWndBtn_ControlPanel", "Control Panel",
         "ButtsCaptions"},
        {texts::tpZorDevDlg_Receive_basic_data, "tpZorDevDlg_Receive_basic_data",
         "  Receive basic data (device state)", "ZorDevDlg"},
        {texts::tpZorSetsView_, "tpZorSetsView_", "", "ZorSetsView"},
        {texts::tpTavSettings_TavSettings, "tpTavSettings_TavSettings", "TAV settings",
         "TAV settings"},
        {texts::tpAlarmView_NoAlarms, "tpAlarmView_NoAlarms", "NO ALARMS", "AlarmView"},
        {texts::tpGeoMapView_GeographicVisualization, "tpGeoMapView_GeographicVisualization",
         "Real-time geographic visualization (click to open in browser)", "GeoMapView"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.entry.Key(), c.key);
        EXPECT_EQ(c.entry.Text(), c.text) << c.key;
        EXPECT_STREQ(c.entry.section ? c.entry.section : "(null)", c.section ? c.section : "(null)")
            << c.key;
        EXPECT_EQ(FindMlsEntry(c.key), &c.entry) << c.key;
    }
    EXPECT_EQ(std::string(texts::tp_LogHeader_1.text).substr(0, 16), "Date      \tTime ");
    EXPECT_TRUE(std::string(texts::tp_LogHeader_1.text).ends_with("\tCnt\t\r\n"));
}

TEST(MlsCatalogue, GroupsHaveTheirSizes) {
    struct Case {
        const char* prefix;
        size_t count;
    };
    const Case cases[] = {{"tpTavDevice_", 20},
                          {"tpDeviceStatus_", 2},
                          {"tp_", 20},
                          {"tpEmulation", 5},
                          {"tpPcParams_", 4},
                          {"tpCp_", 7},
                          {"tpMp_", 18},
                          {"tpAp_", 18},
                          {"tpGp_", 4},
                          {"tpZorDevice_", 43},
                          {"tpZorDevsView_", 25},
                          {"tpDevListCols_", 10},
                          {"tpGeoMapView_", 2},
                          {"tpZorManagerWnd_", 4},
                          {"tpZorManagerWndBtn_", 5},
                          {"tpMenu_", 36},
                          {"tpZorDevDlg_", 13},
                          {"tpZorSetsDlg_", 13},
                          {"tpTavSettings_", 12},
                          {"tpZorSetsView_", 6},
                          {"tpWaitingDlg_", 2},
                          {"tpAlarmView_", 9},
                          {"tpAlarmViewHeader_", 10}};
    for (const Case& c : cases) {
        size_t n =
            std::count_if(GetMlsEntries().begin(), GetMlsEntries().end(),
                          [&](const CMlsEntry* e) { return e->Key().starts_with(c.prefix); });
        EXPECT_EQ(n, c.count) << c.prefix;
    }
    EXPECT_EQ(texts::MenuTexts().size(), 36u);
}

}  // namespace
}  // namespace zm
