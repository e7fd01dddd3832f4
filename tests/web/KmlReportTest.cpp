#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/Log.h"
#include "support/FileBytes.h"
#include "support/RequiredTool.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "web/KmlImages.h"
#include "web/KmlReport.h"
#include "web/KmlView.h"
#include "web/XmlDoc.h"

namespace zm {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;

const std::string kBom = "\xEF\xBB\xBF";
const std::string kNs = "http://earth.google.com/kml/2.2";

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// xmllint as an independent reader; an empty result means well-formed.
bool WellFormed(const std::string& path) {
    if (!test::HasProgram("xmllint")) {
        if (test::InCi()) {
            ADD_FAILURE() << "xmllint is not installed, and CI=true needs it";
            return false;
        }
        return CXmlDoc().LoadFile(path);
    }
    std::string cmd = "xmllint --noout '" + path + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

// The ids of the Folder elements of the main report, in document order.
std::vector<std::string> FolderIds(const std::string& mainReport) {
    CXmlDoc doc;
    EXPECT_TRUE(doc.LoadFile(mainReport));
    std::vector<std::string> ids;
    if (doc.FindElem("kml") && doc.IntoElem() && doc.FindElem("Document") && doc.IntoElem())
        while (doc.FindElem("Folder"))
            ids.push_back(doc.GetAttrib("id"));
    return ids;
}

class KmlReportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        report.SetShareAllowed(false);
        root = dir.folder() + "KmlRoot/";
        ASSERT_TRUE(report.Init(root, "ZorDevs", "Navigation"));
        report.SetLegend(false);
        ASSERT_TRUE(report.CreateReportResourceFiles());
    }
    void Update(const std::string& name, double lat = 59.4, double lon = 24.7,
                const std::string& icon = "Good.png", const std::string& status = "Online") {
        report.UpdatePlacemark(name, lat, lon, 1.5, icon, status, "", "<p>d</p>");
    }
    std::string DeviceFile(const std::string& fileTitle) const {
        return root + "ZorDevs.kml/files/" + fileTitle + ".kml";
    }

    test::TempDir dir;
    std::string root;
    CKmlReport report;
};

TEST(KmlFileName, ForbiddenCharactersAreReplaced) {
    struct Case {
        const char* name;
        const char* suffix;
        const char* file;
    } cases[] = {
        {"Pier-2", "", "Pier-2"},
        {"A/B:C", "", "A_B_C"},
        {"a\\b*c?d<e>f|g", "", "a_b_c_d_e_f_g"},
        {"say \"hi\"", "", "say 'hi'"},
        {"Dev", "x/y", "Dev (x_y)"},
        {"R&D <1>", "", "R&D _1_"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CKmlReport::DeviceFileName(c.name, c.suffix), c.file) << c.name;
}

TEST_F(KmlReportTest, FoldersAndStylesFile) {
    EXPECT_EQ(report.GetKmlRoot(), root);
    EXPECT_EQ(report.GetTitleFolder(), root + "Navigation/");
    EXPECT_EQ(report.GetReportFolder(), root + "ZorDevs.kml/");
    EXPECT_EQ(report.GetMainReportPath(), root + "ZorDevs.kml/ZorDevs.kml");
    EXPECT_TRUE(fs::is_directory(root + "Navigation/files"));
    EXPECT_TRUE(fs::is_directory(root + "ZorDevs.kml/images"));

    const std::string styles = ReadBytes(root + "ZorDevs.kml/files/styles.xml");
    const std::string balloon =
        "<BalloonStyle><text><![CDATA[<table align=\"center\"><tr><td align=\"center\"><div>"
        "<nobr><b><font size=\"4\">$[name]</font></b></nobr></div>$[description]</td></tr>"
        "</table>]]></text></BalloonStyle>";
    const std::string good =
        "<Style id=\"normalState_Good.png\">\r\n<IconStyle>\r\n<scale>2</scale>\r\n"
        "<hotSpot x=\"0.5\" y=\"0\" xunits=\"fraction\" yunits=\"fraction\"/>\r\n<Icon>\r\n"
        "<href>..\\images\\Good.png</href>\r\n</Icon>\r\n</IconStyle>\r\n<LabelStyle>\r\n"
        "<scale>0</scale>\r\n</LabelStyle>\r\n" +
        balloon +
        "</Style>\r\n<Style id=\"highlightState_Good.png\">\r\n<IconStyle>\r\n"
        "<scale>2.5</scale>\r\n<hotSpot x=\"0.5\" y=\"0\" xunits=\"fraction\" "
        "yunits=\"fraction\"/>\r\n<Icon>\r\n<href>..\\images\\Good.png</href>\r\n</Icon>\r\n"
        "</IconStyle>\r\n<LabelStyle>\r\n<scale>1</scale>\r\n</LabelStyle>\r\n" +
        balloon +
        "</Style>\r\n<StyleMap id=\"IconOnOff_Good.png\">\r\n<Pair>\r\n<key>normal</key>\r\n"
        "<styleUrl>#normalState_Good.png</styleUrl>\r\n</Pair>\r\n<Pair>\r\n"
        "<key>highlight</key>\r\n<styleUrl>#highlightState_Good.png</styleUrl>\r\n</Pair>\r\n"
        "</StyleMap>\r\n";
    const std::string head = kBom +
                             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Document>\r\n<Style "
                             "id=\"normalState_00.png\">";
    EXPECT_EQ(styles.substr(0, head.size()), head);
    // Error's block ends where Good's begins; Alarm follows.
    EXPECT_NE(styles.find("</StyleMap>\r\n" + good + "<Style id=\"normalState_Alarm.png\">"),
              std::string::npos);
    EXPECT_EQ(Count(styles, "<StyleMap id=\"IconOnOff_"), 13u);
    for (const char* name : {"00", "01", "02", "03", "04", "05", "Off", "Wait", "Error", "Good",
                             "Alarm", "Logo", "Legend"}) {
        EXPECT_NE(styles.find(std::string("IconOnOff_") + name + ".png\""), std::string::npos);
        EXPECT_TRUE(fs::is_regular_file(root + "ZorDevs.kml/images/" + name + ".png")) << name;
    }
    EXPECT_NE(styles.find("</StyleMap>\r\n<Style id=\"ExtraPlacemarkStyle_n\">\r\n<IconStyle>\r\n"
                          "<scale>1.1</scale>\r\n"),
              std::string::npos);
    const std::string end = "</Style>\r\n</Document>";
    EXPECT_EQ(styles.substr(styles.size() - end.size()), end);
    EXPECT_TRUE(WellFormed(root + "ZorDevs.kml/files/styles.xml"));
}

TEST_F(KmlReportTest, DeviceFileHoldsExactlyTheCurrentPlacemark) {
    Update("Pier-2");
    report.Flush();
    const std::string expected =
        kBom + "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<kml xmlns=\"" + kNs +
        "\">\r\n<Document id=\"Pier-2\">\r\n<name>Pier-2</name>\r\n<open>0</open>\r\n"
        "<Placemark>\r\n<name>Pier-2 (Online)</name>\r\n"
        "<styleUrl>styles.xml#IconOnOff_Good.png</styleUrl>\r\n<Snippet maxLines=\"0\"/>\r\n"
        "<description><![CDATA[<p>d</p>]]></description>\r\n<Point>\r\n"
        "<coordinates>24.700000,59.400000,0</coordinates>\r\n</Point>\r\n"
        "<Value>1.500000</Value>\r\n</Placemark>\r\n</Document>\r\n</kml>";
    EXPECT_EQ(ReadBytes(DeviceFile("Pier-2")), expected);
}

TEST_F(KmlReportTest, PlacemarkVariants) {
    // "<value>" shows the value; an empty icon hides the placemark.
    std::string p = CKmlReport::PlacemarkText("D", 1, 2, 3.25, "", "<value>", "");
    EXPECT_NE(p.find("<name>D (Value: 3.250000)</name>\r\n<visibility>0</visibility>\r\n"
                     "<styleUrl>styles.xml#IconOnOff_</styleUrl>"),
              std::string::npos);
    p = CKmlReport::PlacemarkText("D", 1, 2, 3, "Off.png", "", "");
    EXPECT_NE(p.find("<name>D</name>\r\n<styleUrl>"), std::string::npos);
    // Coordinates a reader can parse even when the device gave none.
    p = CKmlReport::PlacemarkText("D", std::nan(""), 2, 1.0 / 0.0, "Off.png", "", "");
    EXPECT_NE(p.find("<coordinates>2.000000,0.000000,0</coordinates>"), std::string::npos);
    EXPECT_NE(p.find("<Value>0.000000</Value>"), std::string::npos);
}

TEST_F(KmlReportTest, ThousandUpdatesLeaveOnePlacemark) {
    for (int i = 0; i < 1000; ++i) {
        Update("Buoy", 59.0 + i * 0.001, 24.0, i % 2 ? "Good.png" : "Alarm.png");
        report.Flush();
    }
    const std::string text = ReadBytes(DeviceFile("Buoy"));
    EXPECT_EQ(Count(text, "<Placemark>"), 1u);
    EXPECT_NE(text.find("<coordinates>24.000000,59.999000,0</coordinates>"), std::string::npos);
    EXPECT_LT(text.size(), 1000u);
    EXPECT_TRUE(WellFormed(DeviceFile("Buoy")));
}

TEST_F(KmlReportTest, TwoUpdatesBeforeAFlush) {
    Update("Rw", 1, 1);
    Update("Rw", 2, 2);
    report.Flush();
    std::string text = ReadBytes(DeviceFile("Rw"));
    EXPECT_EQ(Count(text, "<Placemark>"), 1u);
    EXPECT_NE(text.find("2.000000,2.000000"), std::string::npos);

    // The appending mode keeps the history: both placemarks in order, one trailer, and a
    // file that is still one well-formed document.
    report.SetAlwaysRewrite(false);
    Update("Ap", 1, 1);
    report.Flush();
    Update("Ap", 2, 2);
    Update("Ap", 3, 3);
    report.Flush();
    text = ReadBytes(DeviceFile("Ap"));
    EXPECT_EQ(Count(text, "<Placemark>"), 3u);
    size_t a = text.find("2.000000,2.000000"), b = text.find("3.000000,3.000000");
    EXPECT_LT(a, b);
    EXPECT_EQ(Count(text, "</Document>\r\n</kml>"), 1u);
    EXPECT_EQ(text.substr(text.size() - 19), "</Document>\r\n</kml>");
    EXPECT_EQ(Count(text, kBom), 1u);
    EXPECT_TRUE(WellFormed(DeviceFile("Ap")));
}

TEST_F(KmlReportTest, MarkupInNamesAndDescriptionsStaysWellFormed) {
    report.UpdatePlacemark("R&D <west>", 1, 2, 0, "Good.png", "a<b & c", "", "<p>x]]>y</p>");
    report.Flush();
    const std::string path = DeviceFile("R&D _west_");
    ASSERT_TRUE(fs::exists(path));
    EXPECT_TRUE(WellFormed(path));
    EXPECT_TRUE(WellFormed(report.GetMainReportPath()));
    CXmlDoc doc;
    ASSERT_TRUE(doc.LoadFile(path));
    ASSERT_TRUE(doc.FindElem("kml") && doc.IntoElem() && doc.FindElem("Document") &&
                doc.IntoElem() && doc.FindElem("Placemark") && doc.IntoElem());
    ASSERT_TRUE(doc.FindElem("name"));
    EXPECT_EQ(doc.GetData(), "R&D <west> (a<b & c)");
    ASSERT_TRUE(doc.FindElem("description"));
    EXPECT_EQ(doc.GetData(), "<p>x]]>y</p>");
}

TEST_F(KmlReportTest, DeviceWithPathCharacters) {
    Update("A/B:C");
    report.Flush();
    ASSERT_TRUE(fs::exists(DeviceFile("A_B_C")));
    EXPECT_NE(ReadBytes(DeviceFile("A_B_C")).find("<name>A/B:C</name>"), std::string::npos);
    const std::string main = ReadBytes(report.GetMainReportPath());
    EXPECT_NE(main.find("<Folder id=\"A_B_C\">"), std::string::npos);
    EXPECT_NE(main.find("<NetworkLink id=\"A_B_C.kml\">"), std::string::npos);
    EXPECT_NE(main.find("<href>files\\A_B_C.kml</href>"), std::string::npos);

    // Removal finds the folder and the file by the same file name.
    report.DeleteDeviceFile("A/B:C");
    EXPECT_FALSE(fs::exists(DeviceFile("A_B_C")));
    EXPECT_EQ(ReadBytes(report.GetMainReportPath()).find("A_B_C"), std::string::npos);
}

TEST_F(KmlReportTest, MainReportKeepsFoldersSorted) {
    for (const char* name : {"mike", "Alpha", "zulu", "bravo", "Sierra", "alpha2"})
        Update(name);
    report.Flush();
    EXPECT_EQ(FolderIds(report.GetMainReportPath()),
              (std::vector<std::string>{"Alpha", "alpha2", "bravo", "mike", "Satellite", "Sierra",
                                        "zulu"}));
    const std::string main = ReadBytes(report.GetMainReportPath());
    // The first device folder comes straight after "open".
    EXPECT_NE(main.find("<open>1</open>\r\n<Folder id=\"Alpha\">"), std::string::npos);
    EXPECT_NE(main.find("<NetworkLink id=\"mike.kml\">\r\n<name>mike</name>\r\n<Link>\r\n"
                        "<refreshMode>onInterval</refreshMode>\r\n"
                        "<refreshInterval>3</refreshInterval>\r\n"
                        "<href>files\\mike.kml</href>\r\n</Link>"),
              std::string::npos);
    EXPECT_TRUE(WellFormed(report.GetMainReportPath()));
    EXPECT_TRUE(fs::exists(root + "ZorDevs.kml/files/Satellite.kml"));
    EXPECT_TRUE(WellFormed(root + "ZorDevs.kml/files/Satellite.kml"));

    // Rename: the old name's folder and file go, the new name is sorted in.
    report.DeleteDeviceFile("mike");
    Update("charlie");
    report.DeleteDeviceFile("zulu");
    report.Flush();
    EXPECT_EQ(
        FolderIds(report.GetMainReportPath()),
        (std::vector<std::string>{"Alpha", "alpha2", "bravo", "charlie", "Satellite", "Sierra"}));
    EXPECT_FALSE(fs::exists(DeviceFile("mike")));
    EXPECT_FALSE(fs::exists(DeviceFile("zulu")));
    EXPECT_TRUE(fs::exists(DeviceFile("charlie")));
    // A removed device's pending update does not bring its file back.
    Update("gone");
    report.DeleteDeviceFile("gone");
    report.Flush();
    EXPECT_FALSE(fs::exists(DeviceFile("gone")));
}

TEST_F(KmlReportTest, LinksFileFollowsTheMainReport) {
    ASSERT_TRUE(report.CreatePreviewKML(true, false));
    const std::string links = root + "Navigation/files/links.kml";
    std::string text = ReadBytes(links);
    EXPECT_EQ(text.find("NetworkLink"), std::string::npos);
    EXPECT_NE(text.find("<Document"), std::string::npos);
    EXPECT_TRUE(fs::exists(root + "Navigation/files/Arrow.png"));
    const std::string preview = ReadBytes(root + "Navigation/Preview.kml");
    EXPECT_NE(preview.find("<refreshInterval>20</refreshInterval>"), std::string::npos);
    EXPECT_NE(preview.find("<href>files\\links.kml</href>"), std::string::npos);
    EXPECT_NE(preview.find("xmlns=\"" + kNs + "\""), std::string::npos);

    Update("First");
    text = ReadBytes(links);
    EXPECT_NE(text.find("<NetworkLink id=\"ReportLink\">"), std::string::npos);
    EXPECT_NE(text.find("<href>..\\..\\ZorDevs.kml\\ZorDevs.kml</href>"), std::string::npos);
    EXPECT_TRUE(WellFormed(links));
    EXPECT_TRUE(WellFormed(root + "Navigation/Preview.kml"));
}

TEST_F(KmlReportTest, WritesAreResultEntriesOfTheRunLog) {
    CLog log;
    log.SetFolder(dir.folder() + "log");
    ASSERT_TRUE(log.Open("RunLog", true));
    report.SetLog(&log, true);
    Update("Pier <1>");
    report.Flush();
    report.SetLog(nullptr, false);
    log.Close();
    const std::string text = ReadBytes(log.GetPath());
    EXPECT_NE(text.find("CreateKmlAndLinkToMain(~,Pier _1_,Pier &lt;1&gt;,~) =&gt; "
                        "KmlReport-&gt;Write(Pier _1_.kml)"),
              std::string::npos);
    EXPECT_NE(text.find("AddLink2MainKML(Pier _1_,Pier _1_.kml) =&gt; "
                        "KmlReport-&gt;Write(ZorDevs.kml)"),
              std::string::npos);
}

TEST_F(KmlReportTest, FlushFailureIsLogged) {
    CLog log;
    log.SetFolder(dir.folder() + "log");
    ASSERT_TRUE(log.Open("RunLog", true));
    report.SetLog(&log, false);
    Update("Locked");
    report.Flush();
    const std::string before = ReadBytes(DeviceFile("Locked"));
    // The new text cannot be written beside the file: the file stays as it was.
    fs::create_directory(DeviceFile("Locked") + ".part");
    Update("Locked", 1, 1);
    report.Flush();
    log.Close();
    EXPECT_EQ(ReadBytes(DeviceFile("Locked")), before);
    EXPECT_NE(ReadBytes(log.GetPath()).find("CKmlReport::Flush() error opening file"),
              std::string::npos);
}

TEST(KmlImages, ArePngFilesOfTheirOwn) {
    const auto& images = KmlReportImages();
    ASSERT_EQ(images.size(), 13u);
    test::TempDir dir;
    for (const KmlImage& image : images) {
        ASSERT_EQ(image.png.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8)) << image.name;
        test::WriteBytes(dir.file(image.name + ".png"), image.png);
    }
    test::WriteBytes(dir.file("Arrow.png"), KmlArrowImage().png);
    // An independent decoder checks chunk CRCs and the zlib stream.
    const std::string script =
        "import sys,zlib,struct\n"
        "for p in sys.argv[1:]:\n"
        "  b=open(p,'rb').read(); i=8; raw=b''\n"
        "  while i<len(b):\n"
        "    n,=struct.unpack('>I',b[i:i+4]); t=b[i+4:i+8]; d=b[i+8:i+8+n]\n"
        "    assert struct.unpack('>I',b[i+8+n:i+12+n])[0]==zlib.crc32(t+d), p\n"
        "    if t==b'IHDR': w,h=struct.unpack('>II',d[:8])\n"
        "    if t==b'IDAT': raw+=d\n"
        "    i+=12+n\n"
        "  assert len(zlib.decompress(raw))==h*(w*4+1), p\n";
    test::WriteBytes(dir.file("check.py"), script);
    std::string cmd = "/usr/bin/python3 " + dir.file("check.py") + " " + dir.folder() + "*.png";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    // The state icons carry the status colours at their centre rows (never the same).
    EXPECT_NE(images[6].png, images[9].png);
}

TEST(KmlShare, FailuresAreLoggedAndNeverStopTheReport) {
    test::TempDir dir;
    test::ScopedEnv env;
    fs::create_directories(dir.path() / "bin");
    // A Samba that refuses every request, as on a machine without the rights to share.
    test::WriteBytes(dir.file("bin/net"),
                     "#!/bin/sh\necho \"usershare add: permission denied\"\n"
                     "exit 255\n");
    fs::permissions(dir.file("bin/net"), fs::perms::owner_all);
    env.Set("PATH", dir.folder() + "bin");

    CLog log;
    log.SetFolder(dir.folder() + "log");
    ASSERT_TRUE(log.Open("RunLog", true));
    CKmlReport report;
    report.SetLog(&log, false);
    const std::string root = dir.folder() + "KmlRoot/";
    ASSERT_TRUE(report.Init(root, "ZorDevs", "Navigation"));
    ASSERT_TRUE(report.CreateReportResourceFiles());
    fs::permissions(root, fs::perms::others_all, fs::perm_options::remove);
    EXPECT_TRUE(report.CreatePreviewKML(true, false));
    report.UpdatePlacemark("D", 1, 2, 3, "Good.png", "", "", "");
    report.Flush();
    EXPECT_TRUE(fs::exists(root + "ZorDevs.kml/files/D.kml"));
    // Read access for everyone, down to the files.
    EXPECT_NE(fs::status(root).permissions() & fs::perms::others_read, fs::perms::none);
    EXPECT_NE(
        fs::status(root + "ZorDevs.kml/files/styles.xml").permissions() & fs::perms::others_read,
        fs::perms::none);
    std::string text = ReadBytes(log.GetPath());
    EXPECT_NE(text.find("CKmlReport::ShareFolder"), std::string::npos);
    EXPECT_NE(text.find("NetShareAdd: usershare add: permission denied"), std::string::npos);

    // Without Samba at all.
    env.Set("PATH", dir.folder() + "nothing");
    report.SetShare(true);
    report.SetShare(false);
    log.Close();
    text = ReadBytes(log.GetPath());
    EXPECT_NE(text.find("net command: not installed"), std::string::npos);
    EXPECT_EQ(fs::status(root).permissions() & fs::perms::others_read, fs::perms::none);
}

// A fixed set of devices standing in for the registry.
class FakeDevices : public IWebDeviceSource {
  public:
    std::vector<WebDevice> devices;
    std::vector<WebDevice> SnapshotDevices() override { return devices; }
    bool SnapshotDevice(const std::string& name, WebDevice& device) override {
        for (const WebDevice& d : devices)
            if (d.name == name) {
                device = d;
                return true;
            }
        return false;
    }
};

TEST_F(KmlReportTest, ViewUpdateBuildsTheDescriptionAndThrottles) {
    FakeDevices fake;
    fake.devices = {{"North", 0x12, 0xAB, 0x00, 59.4, 24.7, "59.4,24.7,0.25", 5, "Alarm reported"},
                    {"South", 1, 2, 3, 0, 0, "garbage", 1, "Online and Ok"}};
    CKmlView view(report, fake);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_TRUE(view.Update(std::nullopt, false, t0));
    EXPECT_FALSE(view.Update(std::nullopt, false, t0 + std::chrono::seconds(1)));
    EXPECT_TRUE(view.Update(std::string("North"), false, t0 + std::chrono::seconds(1)));
    EXPECT_TRUE(view.Update(std::nullopt, true, t0 + std::chrono::seconds(2)));
    EXPECT_FALSE(view.Update(std::string("Nobody"), false, t0));
    EXPECT_TRUE(view.Update(std::nullopt, false, t0 + std::chrono::seconds(6)));
    EXPECT_EQ(view.PresentNames().size(), 2u);

    const std::string north = ReadBytes(DeviceFile("North"));
    EXPECT_NE(north.find("<name>North (Alarm reported)</name>"), std::string::npos);
    EXPECT_NE(north.find("IconOnOff_Alarm.png"), std::string::npos);
    EXPECT_NE(north.find("<description><![CDATA[<p><font size=\"3\"><div><font "
                         "color=\"#12AB00;\"><b><nobr>!!! ======================== !!!</nobr>"
                         "</b></font></div><center><img align=\"middle\" width=\"128\" "
                         "height=\"128\" src=\"../images/Alarm.png\"/></center><hr/><div><nobr>"
                         "<b>Gps data:</b></nobr></div><div><nobr>59.400000, 24.700000</nobr>"
                         "</div><hr/></font></p>]]></description>"),
              std::string::npos);
    EXPECT_NE(north.find("<Value>0.250000</Value>"), std::string::npos);
    // A text that gives no numbers places the device at 0, 0.
    EXPECT_NE(ReadBytes(DeviceFile("South")).find("<coordinates>0.000000,0.000000,0"),
              std::string::npos);

    for (auto [status, icon] : std::vector<std::pair<int, std::string>>{{0, "Error"},
                                                                        {1, "Good"},
                                                                        {2, "Off"},
                                                                        {3, "Wait"},
                                                                        {4, "Off"},
                                                                        {5, "Alarm"},
                                                                        {9, "Off"}})
        EXPECT_EQ(CKmlView::IconForStatus(status), icon) << status;
}

}  // namespace
}  // namespace zm
