#include "web/KmlReport.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/Log.h"
#include "base/Paths.h"
#include "base/Printf.h"
#include "base/TextFile.h"
#include "platform/CText.h"
#include "platform/FileIo.h"
#include "web/KmlImages.h"
#include "web/XmlDoc.h"

namespace zm {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr LogColor kKmlResultColor = 0xFF0080;
constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

// The paddle icon of Google Earth's public icon set for extra placemarks.
constexpr const char* kPaddleIcon = "http://maps.google.com/mapfiles/kml/paddle/wht-blank.png";

// Shown in the logo overlay of Google Earth.
constexpr const char* kMakerName = "ZorManager";
constexpr const char* kMakerContact =
    "<b>ZorManager</b><br/>Oil pollution monitoring of the sea surface<br/>"
    "Fixed fluorescence sensors";

std::string FileNameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool LessNoCase(const std::string& a, const std::string& b) {
    return platform::CompareNoCase(a.c_str(), b.c_str()) < 0;
}

// Finite or 0: "nan" in a coordinate would make the file unreadable for Google Earth.
double Finite(double v) {
    return std::isfinite(v) ? v : 0.0;
}

std::string Backslashed(std::string path) {
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

struct ChildInfo {
    std::string tag, id;
};

// The element children of the current container, in order.
std::vector<ChildInfo> ListChildren(CXmlDoc& doc) {
    std::vector<ChildInfo> list;
    doc.ResetMainPos();
    while (doc.FindElem())
        list.push_back({doc.GetTagName(), doc.GetAttrib("id")});
    doc.ResetMainPos();
    return list;
}

// Positions the document on the index-th element child (none for -1).
void GoToChild(CXmlDoc& doc, int index) {
    doc.ResetMainPos();
    for (int i = 0; i <= index; ++i)
        doc.FindElem();
}

bool EnterKmlDocument(CXmlDoc& doc) {
    doc.ResetPos();
    return doc.FindElem("kml") && doc.IntoElem() && doc.FindElem("Document") && doc.IntoElem();
}

void AddXY(CXmlDoc& doc, const char* name, const char* x, const char* y, const char* units) {
    doc.AddElem(name);
    doc.SetAttrib("x", x);
    doc.SetAttrib("y", y);
    doc.SetAttrib("xunits", units);
    doc.SetAttrib("yunits", units);
}

void AddRefreshingLink(CXmlDoc& doc, const char* mode, const char* interval,
                       const std::string& href, bool viewRefresh) {
    doc.AddElem("Link");
    doc.IntoElem();
    doc.AddElem("refreshMode", mode);
    if (interval)
        doc.AddElem("refreshInterval", interval);
    if (viewRefresh)
        doc.AddElem("viewRefreshTime", "0");
    doc.AddElem("href", href);
    doc.OutOfElem();
}

void StartKml(CXmlDoc& doc) {
    doc.SetDocText(kDeclaration);
    doc.AddElem("kml");
    doc.SetAttrib("xmlns", CKmlReport::kKmlNamespace);
    doc.IntoElem();
}

}  // namespace

CKmlReport::CKmlReport() = default;

CKmlReport::~CKmlReport() {
    Flush();
    if (m_shared)
        SetShare(false);
}

void CKmlReport::SetLog(CLog* log, bool logAll) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_log = log;
    m_logAll = logAll;
}

std::string CKmlReport::DeviceFileName(const std::string& deviceName, const std::string& suffix) {
    std::string name = deviceName;
    if (!suffix.empty())
        name += StrPrintf(" (%s)", suffix.c_str());
    for (char& c : name) {
        if (std::strchr("/\\:*?<>|", c) && c != '\0')
            c = '_';
        else if (c == '"')
            c = '\'';
    }
    return name;
}

std::string CKmlReport::CdataSafe(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.substr(i, 3) == "]]>") {
            out += "]]]]><![CDATA[>";
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string CKmlReport::DeviceHeader(const std::string& fileName, const std::string& deviceName) {
    return StrPrintf(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<kml xmlns=\"%s\">\r\n"
        "<Document id=\"%s\">\r\n<name>%s</name>\r\n<open>0</open>\r\n",
        kKmlNamespace, CXmlDoc::EscapeText(fileName, true).c_str(),
        CXmlDoc::EscapeText(deviceName, false).c_str());
}

std::string CKmlReport::PlacemarkText(const std::string& deviceName, double lat, double lon,
                                      double value, const std::string& iconFile,
                                      const std::string& statusText,
                                      const std::string& descriptionHtml) {
    std::string display = deviceName;
    std::string status =
        statusText == "<value>" ? StrPrintf("Value: %lf", Finite(value)) : statusText;
    if (!status.empty())
        display += StrPrintf(" (%s)", status.c_str());
    return StrPrintf(
        "<Placemark>\r\n<name>%s</name>\r\n%s<styleUrl>styles.xml#IconOnOff_%s</styleUrl>\r\n"
        "<Snippet maxLines=\"0\"/>\r\n<description><![CDATA[%s]]></description>\r\n<Point>\r\n"
        "<coordinates>%lf,%lf,0</coordinates>\r\n</Point>\r\n<Value>%lf</Value>\r\n"
        "</Placemark>\r\n",
        CXmlDoc::EscapeText(display, false).c_str(),
        iconFile.empty() ? "<visibility>0</visibility>\r\n" : "",
        CXmlDoc::EscapeText(iconFile, false).c_str(), CdataSafe(descriptionHtml).c_str(),
        Finite(lon), Finite(lat), Finite(value));
}

std::string CKmlReport::StylesText() {
    static const char* const kBalloon =
        "<BalloonStyle><text><![CDATA[<table align=\"center\"><tr><td align=\"center\"><div>"
        "<nobr><b><font size=\"4\">$[name]</font></b></nobr></div>$[description]</td></tr>"
        "</table>]]></text></BalloonStyle>";
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Document>\r\n";
    for (const KmlImage& image : KmlReportImages()) {
        const std::string f = image.name + ".png";
        const char* F = f.c_str();
        for (int highlight = 0; highlight < 2; ++highlight) {
            s += StrPrintf(
                "<Style id=\"%s_%s\">\r\n<IconStyle>\r\n<scale>%s</scale>\r\n"
                "<hotSpot x=\"0.5\" y=\"0\" xunits=\"fraction\" yunits=\"fraction\"/>\r\n"
                "<Icon>\r\n<href>..\\images\\%s</href>\r\n</Icon>\r\n</IconStyle>\r\n"
                "<LabelStyle>\r\n<scale>%s</scale>\r\n</LabelStyle>\r\n%s</Style>\r\n",
                highlight ? "highlightState" : "normalState", F, highlight ? "2.5" : "2", F,
                highlight ? "1" : "0", kBalloon);
        }
        s += StrPrintf(
            "<StyleMap id=\"IconOnOff_%s\">\r\n<Pair>\r\n<key>normal</key>\r\n"
            "<styleUrl>#normalState_%s</styleUrl>\r\n</Pair>\r\n<Pair>\r\n"
            "<key>highlight</key>\r\n<styleUrl>#highlightState_%s</styleUrl>\r\n"
            "</Pair>\r\n</StyleMap>\r\n",
            F, F, F);
    }
    s += "<StyleMap id=\"ExtraPlacemarkStyle\">\r\n<Pair>\r\n<key>normal</key>\r\n"
         "<styleUrl>#ExtraPlacemarkStyle_n</styleUrl>\r\n</Pair>\r\n<Pair>\r\n"
         "<key>highlight</key>\r\n<styleUrl>#ExtraPlacemarkStyle_h</styleUrl>\r\n</Pair>\r\n"
         "</StyleMap>\r\n";
    for (int highlight = 0; highlight < 2; ++highlight) {
        s += StrPrintf(
            "<Style id=\"ExtraPlacemarkStyle_%s\">\r\n<IconStyle>\r\n<scale>%s</scale>"
            "\r\n<Icon>\r\n<href>%s</href>\r\n</Icon>\r\n<hotSpot x=\"32\" y=\"1\" "
            "xunits=\"pixels\" yunits=\"pixels\"/>\r\n</IconStyle>\r\n</Style>\r\n",
            highlight ? "h" : "n", highlight ? "1.3" : "1.1", kPaddleIcon);
    }
    s += "</Document>";
    return s;
}

bool CKmlReport::Init(const std::string& kmlRoot, const std::string& reportName,
                      const std::string& title) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    Flush();
    m_kmlRoot.clear();
    m_titleFolder.clear();
    m_reportBaseFolder.clear();
    m_reportName.clear();
    m_reportFolder.clear();
    m_mainReport.clear();
    m_reportLinkPresent = false;

    std::string root = kmlRoot;
    NormalizePath(root);
    if (root.empty())
        return false;
    if (root.back() != '/')
        root += '/';
    m_kmlRoot = root;
    if (!title.empty()) {
        m_titleFolder = CombinePath(m_kmlRoot, title);
        if (m_titleFolder.back() != '/')
            m_titleFolder += '/';
    }
    std::string combined = CombinePath(m_kmlRoot, reportName);
    NormalizePath(combined);
    while (combined.size() > 1 && combined.back() == '/')
        combined.pop_back();
    size_t slash = combined.rfind('/');
    std::string folder = combined.substr(0, slash + 1);
    std::string file = combined.substr(slash + 1);
    size_t dot = file.rfind('.');
    std::string fileTitle = dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
    m_reportBaseFolder = folder;
    m_reportName = fileTitle;
    m_reportFolder = folder + fileTitle + ".kml/";
    m_mainReport = m_reportFolder + fileTitle + ".kml";

    if (!CreateFolderChain(m_kmlRoot)) {
        LogError(StrPrintf("<li><dt> CKmlReport::Init() cannot create the folder %s",
                           CXmlDoc::EscapeText(m_kmlRoot, false).c_str()));
        return false;
    }
    bool ok = true;
    for (const std::string& f :
         {m_reportFolder, m_reportFolder + "files/", m_reportFolder + "images/",
          m_titleFolder.empty() ? std::string() : m_titleFolder + "files/"}) {
        if (!f.empty() && !CreateFolderChain(f)) {
            LogError(StrPrintf("<li><dt> CKmlReport::Init() cannot create the folder %s",
                               CXmlDoc::EscapeText(f, false).c_str()));
            ok = false;
        }
    }
    return ok;
}

std::string CKmlReport::GetDeviceFilePath(const std::string& deviceName) const {
    if (m_reportFolder.empty())
        return {};
    return m_reportFolder + "files/" + DeviceFileName(deviceName) + ".kml";
}

void CKmlReport::LogWrite(const std::string& operation, const std::string& path, bool ok) {
    if (!m_log || (!m_logAll && ok))
        return;
    m_log->AddResult(
        CXmlDoc::EscapeText(operation + "KmlReport->Write(" + FileNameOf(path) + ")", false),
        ok ? 1 : 0, kKmlResultColor);
}

void CKmlReport::LogError(const std::string& entry) {
    if (m_log)
        m_log->AddError("%s", entry.c_str());
}

bool CKmlReport::WriteDoc(const std::string& path, const CXmlDoc& doc) {
    std::string text = doc.GetDocText();
    // AppendTextFile puts the mark; a second one would make the file unreadable.
    if (std::string_view(text).substr(0, kUtf8Bom.size()) == kUtf8Bom)
        text.erase(0, kUtf8Bom.size());
    return AppendTextFile(path, text, true, TextUtf8);
}

bool CKmlReport::WriteFile(const std::string& path, std::string_view bytes) {
    if (!CreateFolderChain(path))
        return false;
    int fd = platform::OpenForOverwrite(path, 0644);
    if (fd < 0)
        return false;
    bool ok = platform::WriteFile(fd, bytes.data(), bytes.size());
    return platform::CloseFile(fd) && ok;
}

bool CKmlReport::CreateReportResourceFiles() {
    // Also run while the server is up (a main report made anew): no half-written icon.
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_reportFolder.empty())
        return false;
    bool ok = true;
    for (const KmlImage& image : KmlReportImages()) {
        std::string path = m_reportFolder + "images/" + image.name + ".png";
        bool written = WriteFile(path, image.png);
        if (!written)
            LogWrite("CreateReportResourceFiles() => ", path, false);
        ok = ok && written;
    }
    std::string styles = m_reportFolder + "files/styles.xml";
    bool written = AppendTextFile(styles, StylesText(), true, TextUtf8);
    LogWrite("CreateReportResourceFiles() => ", styles, written);
    return ok && written;
}

bool CKmlReport::RefreshLinksKML() {
    if (m_titleFolder.empty())
        return false;
    CXmlDoc doc;
    StartKml(doc);
    doc.AddElem("Document");
    doc.IntoElem();
    if (m_reportLinkPresent) {
        doc.AddElem("NetworkLink");
        doc.SetAttrib("id", "ReportLink");
        doc.IntoElem();
        doc.AddElem("name", "Report");
        AddRefreshingLink(doc, "onInterval", "3",
                          Backslashed(RelativePath(m_titleFolder + "files/", m_mainReport)), true);
        doc.OutOfElem();
    }
    if (m_curPosLinkOn) {
        doc.AddElem("NetworkLink");
        doc.SetAttrib("id", "CurPosLink");
        doc.IntoElem();
        doc.AddElem("flyToView", "1");
        doc.AddElem("refreshVisibility", "0");
        doc.AddElem("name", "Current Position");
        AddRefreshingLink(doc, "onInterval", "3", "..\\CurPosOnMap.kml", true);
        doc.OutOfElem();
    }
    std::string path = m_titleFolder + "files/links.kml";
    bool ok = WriteDoc(path, doc);
    LogWrite("RefreshLinksKML() => ", path, ok);
    return ok;
}

bool CKmlReport::CreatePreviewKML(bool useLinks, bool noLink) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_titleFolder.empty())
        return false;
    if (FileExists(m_mainReport))
        m_reportLinkPresent = true;
    if (useLinks)
        RefreshLinksKML();
    CXmlDoc doc;
    StartKml(doc);
    doc.AddElem("NetworkLink");
    if (!noLink) {
        doc.IntoElem();
        doc.AddElem("open", "1");
        if (useLinks) {
            doc.AddElem("refreshVisibility", "0");
            AddRefreshingLink(doc, "onInterval", "20", "files\\links.kml", true);
        } else {
            doc.AddElem("flyToView", "1");
            doc.AddElem("Link");
            doc.IntoElem();
            doc.AddElem("href", "CurPosInDb.kml");
            doc.OutOfElem();
        }
        doc.OutOfElem();
    }
    std::string path = m_titleFolder + "Preview.kml";
    bool ok = WriteDoc(path, doc);
    LogWrite("CreatePreviewKML(...) => ", path, ok);
    if (ok) {
        std::string arrow = m_titleFolder + "files/Arrow.png";
        if (!WriteFile(arrow, KmlArrowImage().png))
            LogWrite("CreatePreviewKML(...) => ", arrow, false);
        SetShare(true);
    }
    return ok;
}

bool CKmlReport::CreateSatelliteKML() {
    CXmlDoc doc;
    StartKml(doc);
    doc.AddElem("Document");
    doc.IntoElem();
    doc.AddElem("name", m_reportName);
    doc.AddElem("open", "1");
    if (m_logoOn) {
        doc.AddElem("ScreenOverlay");
        doc.IntoElem();
        doc.AddElem("name", kMakerName);
        doc.AddElem("description", kMakerContact, CXmlDoc::kCdata);
        doc.AddElem("visibility", "1");
        doc.AddElem("Icon");
        doc.IntoElem();
        doc.AddElem("href", "..\\images\\Logo.png");
        doc.OutOfElem();
        AddXY(doc, "overlayXY", "0", "1", "fraction");
        AddXY(doc, "screenXY", "0", "1", "fraction");
        AddXY(doc, "rotationXY", "0", "0", "fraction");
        AddXY(doc, "size", "0", "0", "fraction");
        doc.OutOfElem();
    }
    if (m_legendOn) {
        doc.AddElem("ScreenOverlay");
        doc.IntoElem();
        doc.AddElem("name", "Legend");
        doc.AddElem("visibility", "1");
        doc.AddElem("Icon");
        doc.IntoElem();
        doc.AddElem("href", "..\\images\\Legend.png");
        doc.OutOfElem();
        AddXY(doc, "overlayXY", "-10", "-20", "pixels");
        AddXY(doc, "screenXY", "0", "0", "fraction");
        AddXY(doc, "rotationXY", "0", "0", "fraction");
        AddXY(doc, "size", "0", "0", "fraction");
        doc.OutOfElem();
    }
    bool ok = WriteDoc(m_reportFolder + "files/Satellite.kml", doc);
    if (!ok)
        LogError("<li><dt> Unable to create Satellite.kml");
    return ok;
}

bool CKmlReport::CreateMainReport(CXmlDoc& doc) {
    StartKml(doc);
    doc.AddElem("Document");
    doc.IntoElem();
    doc.AddElem("name", m_reportName);
    doc.AddElem("open", "1");
    doc.AddElem("Folder");
    doc.SetAttrib("id", "Satellite");
    doc.IntoElem();
    doc.AddElem("name", "Satellite");
    doc.AddElem("NetworkLink");
    doc.SetAttrib("id", "SatelliteLink");
    doc.IntoElem();
    doc.AddElem("name", "Satellite");
    AddRefreshingLink(doc, "onChange", nullptr, "files\\Satellite.kml", false);
    doc.OutOfElem();
    doc.OutOfElem();
    CreateSatelliteKML();
    CreateReportResourceFiles();
    return true;
}

bool CKmlReport::AddLink2MainKML(const std::string& folder, const std::string& link) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    CXmlDoc doc;
    if (!doc.LoadFile(m_mainReport) || !EnterKmlDocument(doc)) {
        CreateMainReport(doc);
        EnterKmlDocument(doc);
    }
    // The folder of the device, sorted in among the others (letter case aside).
    std::vector<ChildInfo> children = ListChildren(doc);
    int found = -1, after = -1;
    for (int i = 0; i < static_cast<int>(children.size()); ++i) {
        const ChildInfo& c = children[i];
        if (c.tag == "open" && after < i)
            after = i;
        if (c.tag != "Folder")
            continue;
        if (c.id == folder) {
            found = i;
            break;
        }
        if (LessNoCase(c.id, folder))
            after = i;
    }
    if (found >= 0) {
        GoToChild(doc, found);
    } else {
        GoToChild(doc, after);
        doc.AddElem("Folder");
        doc.SetAttrib("id", folder);
        doc.IntoElem();
        if (folder == "tracks") {
            doc.AddElem("Style");
            doc.SetAttrib("id", "style");
            doc.IntoElem();
            doc.AddElem("ListStyle");
            doc.IntoElem();
            doc.AddElem("listItemType", "checkHideChildren");
            doc.OutOfElem();
            doc.OutOfElem();
        }
        doc.AddElem("name", folder);
        doc.OutOfElem();
    }
    doc.IntoElem();
    children = ListChildren(doc);
    after = -1;
    bool seenLink = false;
    for (int i = 0; i < static_cast<int>(children.size()); ++i) {
        const ChildInfo& c = children[i];
        if (c.tag != "NetworkLink") {
            if (!seenLink)
                after = i;
            continue;
        }
        seenLink = true;
        if (platform::CompareNoCase(c.id.c_str(), link.c_str()) == 0)
            return true;  // linked already
        if (LessNoCase(c.id, link))
            after = i;
    }
    GoToChild(doc, after);
    doc.AddElem("NetworkLink");
    doc.SetAttrib("id", link);
    doc.IntoElem();
    doc.AddElem("name", link.size() > 4 ? link.substr(0, link.size() - 4) : std::string());
    AddRefreshingLink(doc, "onInterval", "3", "files\\" + link, false);

    bool ok = WriteDoc(m_mainReport, doc);
    LogWrite(StrPrintf("AddLink2MainKML(%s,%s) => ", folder.c_str(), link.c_str()), m_mainReport,
             ok);
    if (ok && !m_reportLinkPresent) {
        m_reportLinkPresent = true;
        RefreshLinksKML();
    }
    return ok;
}

bool CKmlReport::CreateKmlAndLinkToMain(const std::string& path, const std::string& fileName,
                                        const std::string& deviceName) {
    std::string text = DeviceHeader(fileName, deviceName);
    text += kDeviceTrailer;
    bool ok = AppendTextFile(path, text, true, TextUtf8);
    LogWrite(
        StrPrintf("CreateKmlAndLinkToMain(~,%s,%s,~) => ", fileName.c_str(), deviceName.c_str()),
        path, ok);
    if (ok)
        AddLink2MainKML(fileName, fileName + ".kml");
    return ok;
}

void CKmlReport::UpdatePlacemark(const std::string& deviceName, double lat, double lon,
                                 double value, const std::string& iconFile,
                                 const std::string& statusText, const std::string& suffix,
                                 const std::string& descriptionHtml) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_reportFolder.empty())
        return;
    const std::string fileName = DeviceFileName(deviceName, suffix);
    const std::string path = m_reportFolder + "files/" + fileName + ".kml";
    if (!FileExists(path) && !CreateKmlAndLinkToMain(path, fileName, deviceName))
        return;  // the next update tries again
    std::string placemark =
        PlacemarkText(deviceName, lat, lon, value, iconFile, statusText, descriptionHtml);
    bool marked = m_fullRewrite[deviceName];
    if (!m_alwaysRewrite && !marked)
        Buffer(path, placemark + std::string(kDeviceTrailer), kDeviceTrailer.size(), false);
    else
        Buffer(path, DeviceHeader(fileName, deviceName) + placemark + std::string(kDeviceTrailer),
               0, true);
}

void CKmlReport::Buffer(const std::string& path, std::string text, size_t tail, bool rewrite) {
    auto it = m_buffer.find(path);
    if (rewrite || it == m_buffer.end()) {
        m_buffer[path] = Pending{std::move(text), tail, rewrite};
        return;
    }
    Pending& p = it->second;
    p.text.resize(p.text.size() >= tail ? p.text.size() - tail : 0);
    p.text += text;
    p.tail = tail;
}

void CKmlReport::Flush() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    for (const auto& [path, entry] : m_buffer) {
        if (entry.text.empty() || !FileExists(path))
            continue;  // a removed device's file is not brought back
        if (entry.rewrite) {
            // Written beside the file and renamed over it: a reader that does not take our
            // lock (Google Earth over the share) sees the old file or the new one, never
            // a part of either.
            std::string temp = path + ".part";
            int fd = platform::OpenForOverwrite(temp, 0644);
            if (fd < 0) {
                LogError(
                    StrPrintf("<li><dt> CKmlReport::Flush() error opening file: %s <br>... "
                              "cause: %s",
                              CXmlDoc::EscapeText(path, false).c_str(), std::strerror(errno)));
                continue;
            }
            CTextFileWrite writer(fd, TextUtf8);
            writer.WriteString(entry.text);
            bool ok = writer.Flush();
            int err = errno;
            writer.Close();
            ok = platform::CloseFile(fd) && ok;
            if (!ok || !platform::ReplaceFile(temp, path)) {
                if (ok)
                    err = errno;
                platform::RemoveFile(temp);
                LogError(
                    StrPrintf("<li><dt> CKmlReport::Flush() error writing file: %s <br>... "
                              "cause: %s",
                              CXmlDoc::EscapeText(path, false).c_str(), std::strerror(err)));
            }
            continue;
        }
        int fd = platform::OpenExistingForWrite(path);
        if (fd < 0) {
            LogError(
                StrPrintf("<li><dt> CKmlReport::Flush() error opening file: %s <br>... cause: %s",
                          CXmlDoc::EscapeText(path, false).c_str(), std::strerror(errno)));
            continue;
        }
        if (platform::SeekFileEnd(fd, static_cast<int64_t>(entry.tail)) < 0) {
            LogError(StrPrintf(
                "<li><dt> CKmlReport::Flush() error CFile::Seek in file: %s <br>... cause: %s",
                CXmlDoc::EscapeText(path, false).c_str(), std::strerror(errno)));
            platform::CloseFile(fd);
            continue;
        }
        // Plain UTF-8 here: a byte-order mark in the middle would end the document for
        // every XML reader.
        bool ok = platform::WriteFile(fd, entry.text.data(), entry.text.size());
        int64_t end = platform::FilePosition(fd);
        if (ok && end >= 0)
            ok = platform::TruncateFile(fd, end);
        int err = errno;
        if (!platform::CloseFile(fd) || !ok)
            LogError(
                StrPrintf("<li><dt> CKmlReport::Flush() error writing file: %s <br>... cause: %s",
                          CXmlDoc::EscapeText(path, false).c_str(), std::strerror(err)));
    }
    m_buffer.clear();
}

void CKmlReport::DeleteDeviceFile(const std::string& deviceName) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_reportFolder.empty())
        return;
    // The folder and the file carry the file name, not the name as typed.
    const std::string fileName = DeviceFileName(deviceName);
    const std::string path = m_reportFolder + "files/" + fileName + ".kml";
    if (FileExists(m_mainReport)) {
        CXmlDoc doc;
        if (doc.LoadFile(m_mainReport) && EnterKmlDocument(doc)) {
            std::vector<ChildInfo> children = ListChildren(doc);
            for (int i = 0; i < static_cast<int>(children.size()); ++i) {
                if (children[i].tag == "Folder" && children[i].id == fileName) {
                    GoToChild(doc, i);
                    doc.RemoveElem();
                    bool ok = WriteDoc(m_mainReport, doc);
                    LogWrite(StrPrintf("DeleteDeviceFile(%s) => ", deviceName.c_str()),
                             m_mainReport, ok);
                    if (!ok)
                        return;
                    break;
                }
            }
        }
    }
    m_buffer.erase(path);
    m_fullRewrite.erase(deviceName);
    if (FileExists(path) && !platform::RemoveFile(path))
        LogError(
            StrPrintf("<li><dt> CKmlReport::DeleteDeviceFile() cannot delete %s <br>... "
                      "cause: %s",
                      CXmlDoc::EscapeText(path, false).c_str(), std::strerror(errno)));
}

}  // namespace zm
