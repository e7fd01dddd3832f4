// GDAL's ogrinfo as an independent KML reader of the files the report writes: if it sees the
// placemarks, names and coordinates we meant, so do Google Earth and other GIS tools.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/RequiredTool.h"
#include "support/TempDir.h"
#include "web/KmlReport.h"

namespace zm {
namespace {

struct OgrFeature {
    std::string layer;
    std::string name;         // the "Name" field
    std::string description;  // the "Description" field, first line
    std::string geometry;     // the geometry line as ogrinfo prints it, e.g. "POINT Z (1 2 0)"
};

struct OgrResult {
    bool opened = false;
    std::vector<std::string> layers;
    std::vector<OgrFeature> features;
    std::string text;  // the whole output, for failure messages
};

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

bool HasOgrinfo() {
    return test::HasProgram("ogrinfo");
}

// Field lines look like "  Name (String) = value"; the driver decides the case of the name.
bool FieldValue(const std::string& line, const std::string& field, std::string& value) {
    std::string head = Trim(line);
    std::string prefix = field + " (String) = ";
    if (head.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(head[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    value = head.substr(prefix.size());
    return true;
}

// Runs ogrinfo on one file, bounded by timeout(1), and parses its listing.
OgrResult ReadWithOgr(const std::string& path) {
    OgrResult r;
    std::string quoted = "'";
    for (char c : path)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    std::string cmd = "timeout 20 ogrinfo -ro -al -geom=YES " + quoted + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.text.append(buf, n);
    int status = pclose(p);
    r.opened = status == 0 && r.text.find("successful") != std::string::npos;

    std::string layer;
    size_t at = 0;
    while (at < r.text.size()) {
        size_t end = r.text.find('\n', at);
        if (end == std::string::npos)
            end = r.text.size();
        std::string line = r.text.substr(at, end - at);
        at = end + 1;
        std::string value;
        if (line.rfind("Layer name: ", 0) == 0) {
            layer = Trim(line.substr(12));
            r.layers.push_back(layer);
        } else if (line.rfind("OGRFeature(", 0) == 0) {
            r.features.push_back(OgrFeature{layer, {}, {}, {}});
        } else if (!r.features.empty() && FieldValue(line, "Name", value)) {
            r.features.back().name = value;
        } else if (!r.features.empty() && FieldValue(line, "Description", value)) {
            r.features.back().description = value;
        } else if (!r.features.empty() && line.rfind("  POINT", 0) == 0) {
            r.features.back().geometry = Trim(line);
        }
    }
    return r;
}

class KmlOgrTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ZM_REQUIRE_TOOL(HasOgrinfo(), "ogrinfo (gdal-bin)");
        report.SetShareAllowed(false);
        ASSERT_TRUE(report.Init(dir.folder() + "KmlRoot/", "ZorDevs", "Navigation"));
        report.SetLegend(false);
        ASSERT_TRUE(report.CreateReportResourceFiles());
    }

    test::TempDir dir;
    CKmlReport report;
};

TEST_F(KmlOgrTest, DeviceFilesHoldTheLastPlacemarkOfEachDevice) {
    struct Device {
        std::string name;
        double firstLat, firstLon;
        double lat, lon;  // the second update, the one that must remain
        std::string status;
        std::string point;  // as ogrinfo prints the second position
    } devices[] = {
        {"R&D <lab> ]]> east", 10.5, 20.25, 59.437, 24.7536, "Online",
         "POINT Z (24.7536 59.437 0)"},
        {"A/B:C", -1.0, -2.0, -33.865143, 151.2099, "Alarm", "POINT Z (151.2099 -33.865143 0)"},
        {"Pier-2", 0.0, 0.0, 48.523386, -44.664271, "", "POINT Z (-44.664271 48.523386 0)"},
    };
    for (const Device& d : devices) {
        // The first update is superseded before the flush: only the second may reach the file.
        report.UpdatePlacemark(d.name, d.firstLat, d.firstLon, 0.5, "Wait.png", "Waiting", "",
                               "<p>first</p>");
        report.UpdatePlacemark(d.name, d.lat, d.lon, 1.5, "Good.png", d.status, "",
                               "<p>level ]]> 1.5 &amp; rising</p>");
    }
    report.Flush();

    for (const Device& d : devices) {
        SCOPED_TRACE(d.name);
        const std::string path = report.GetDeviceFilePath(d.name);
        OgrResult r = ReadWithOgr(path);
        ASSERT_TRUE(r.opened) << r.text;
        ASSERT_EQ(r.features.size(), 1u) << r.text;
        const OgrFeature& f = r.features[0];
        EXPECT_EQ(f.name, d.status.empty() ? d.name : d.name + " (" + d.status + ")") << r.text;
        EXPECT_EQ(f.geometry, d.point) << r.text;
        EXPECT_EQ(f.description, "<p>level ]]> 1.5 &amp; rising</p>") << r.text;
        // The document keeps the device's own name, however it had to be spelt in the XML.
        ASSERT_EQ(r.layers.size(), 1u) << r.text;
        EXPECT_EQ(r.layers[0], d.name) << r.text;
    }
}

TEST_F(KmlOgrTest, RemovedDeviceIsGoneAndOthersStayReadable) {
    report.UpdatePlacemark("R&D <lab>", 1.0, 2.0, 0, "Good.png", "", "", "");
    report.UpdatePlacemark("A/B:C", 3.0, 4.0, 0, "Good.png", "", "", "");
    report.Flush();
    report.DeleteDeviceFile("R&D <lab>");
    report.UpdatePlacemark("A/B:C", 5.0, 6.0, 0, "Alarm.png", "", "", "");
    report.Flush();

    OgrResult gone = ReadWithOgr(report.GetDeviceFilePath("R&D <lab>"));
    EXPECT_FALSE(gone.opened) << gone.text;
    OgrResult kept = ReadWithOgr(report.GetDeviceFilePath("A/B:C"));
    ASSERT_TRUE(kept.opened) << kept.text;
    ASSERT_EQ(kept.features.size(), 1u) << kept.text;
    EXPECT_EQ(kept.features[0].name, "A/B:C");
    EXPECT_EQ(kept.features[0].geometry, "POINT Z (6 5 0)") << kept.text;
}

TEST_F(KmlOgrTest, MainReportListsEveryDeviceFolderInOrder) {
    for (const char* name : {"R&D <lab> ]]> east", "Pier-2", "A/B:C"})
        report.UpdatePlacemark(name, 1.0, 2.0, 0, "Good.png", "", "", "");
    report.Flush();

    OgrResult r = ReadWithOgr(report.GetMainReportPath());
    ASSERT_TRUE(r.opened) << r.text;
    // The folders carry only network links to the device files, never placemarks of their own.
    EXPECT_TRUE(r.features.empty()) << r.text;
    std::vector<std::string> devices;
    for (const std::string& layer : r.layers)
        if (layer != "Satellite")
            devices.push_back(layer);
    EXPECT_EQ(devices, (std::vector<std::string>{"A_B_C", "Pier-2", "R&D _lab_ ]]_ east"}))
        << r.text;
}

}  // namespace
}  // namespace zm
