#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace zm {

class CLog;
class CXmlDoc;

// Publishes the devices as KML files for Google Earth and for the preview page: one file
// per device with its current placemark, a main report that links them all, an entry file
// that Google Earth opens and that refreshes itself, shared styles and icons.
//
// Folders (all end in "/"): the KML root (shared on the network), the title folder below
// it with the entry files, and the report folder ("<report name>.kml/") with the main
// report and its "files/" and "images/" folders. The report folder is also the web
// folder of the HTTP server, which takes GetLock() before it reads a file, so that it
// never serves a file half-written. No folder is hidden on this platform: the names stay
// as Google Earth installations know them.
//
// Device updates collect in a write buffer that Flush writes out under the same lock.
// Device files are rewritten whole at every flush, so each holds only its current
// placemark (appending would grow them without bound while the page downloads every
// device file each second).
class CKmlReport {
  public:
    // Google Earth's own KML 2.2 namespace; every file of the report uses it.
    static constexpr const char* kKmlNamespace = "http://earth.google.com/kml/2.2";
    static constexpr const char* kShareName = "NAVIGATION";

    CKmlReport();
    ~CKmlReport();  // flushes and withdraws the share
    CKmlReport(const CKmlReport&) = delete;
    CKmlReport& operator=(const CKmlReport&) = delete;

    // Run-log entries: none until a log is attached; with logAll every write is recorded,
    // otherwise only failures.
    void SetLog(CLog* log, bool logAll);
    void SetLegend(bool on) { m_legendOn = on; }
    void SetLogo(bool on) { m_logoOn = on; }
    // Keeps device files whole at every flush (on by default). Off, each update is
    // appended in front of the trailer, so a file keeps the history of its placemarks.
    void SetAlwaysRewrite(bool on) { m_alwaysRewrite = on; }
    // The share and the permission grants: off for tests and for machines where the KML
    // root must not be offered to the network.
    void SetShareAllowed(bool allowed) { m_shareAllowed = allowed; }

    // Binds the report to root + title and root + reportName + ".kml/" and creates the
    // folders. False when the KML root cannot be created.
    bool Init(const std::string& kmlRoot, const std::string& reportName, const std::string& title);
    // The 13 icons into "images/" and "files/styles.xml" of the report folder.
    bool CreateReportResourceFiles();
    // "files/links.kml" and "Preview.kml" in the title folder; on success the arrow
    // image, and the share is switched on.
    bool CreatePreviewKML(bool useLinks = true, bool noLink = false);
    // Buffers the device's current placemark; the file is created (and linked from the
    // main report) when missing. iconFile is e.g. "Good.png"; empty hides the placemark.
    void UpdatePlacemark(const std::string& deviceName, double lat, double lon, double value,
                         const std::string& iconFile, const std::string& statusText,
                         const std::string& suffix, const std::string& descriptionHtml);
    // Removes the device's folder from the main report and deletes its file.
    void DeleteDeviceFile(const std::string& deviceName);
    // Writes every buffered file that exists; the buffer is emptied.
    void Flush();
    // Shares the KML root as "NAVIGATION" and grants everyone read access, or undoes it.
    // Failures are logged; nothing depends on the outcome.
    void SetShare(bool on);

    std::recursive_mutex& GetLock() { return m_lock; }

    const std::string& GetKmlRoot() const { return m_kmlRoot; }
    const std::string& GetTitleFolder() const { return m_titleFolder; }
    const std::string& GetReportFolder() const { return m_reportFolder; }
    const std::string& GetMainReportPath() const { return m_mainReport; }
    std::string GetDeviceFilePath(const std::string& deviceName) const;

    // Device name (with " (suffix)" when a suffix is given) as a file title: each of
    // / \ : * ? < > | becomes "_" and each " an apostrophe.
    static std::string DeviceFileName(const std::string& deviceName,
                                      const std::string& suffix = {});
    // The placemark text of one update (without the document around it).
    static std::string PlacemarkText(const std::string& deviceName, double lat, double lon,
                                     double value, const std::string& iconFile,
                                     const std::string& statusText,
                                     const std::string& descriptionHtml);
    // Head of a device document and its trailer.
    static std::string DeviceHeader(const std::string& fileName, const std::string& deviceName);
    static constexpr std::string_view kDeviceTrailer = "</Document>\r\n</kml>";
    // The text of "files/styles.xml".
    static std::string StylesText();
    // Text for a CDATA section: "]]>" is split across two sections.
    static std::string CdataSafe(std::string_view text);

  private:
    struct Pending {
        std::string text;
        size_t tail = 0;
        bool rewrite = false;
    };

    bool RefreshLinksKML();
    bool CreateSatelliteKML();
    bool CreateMainReport(CXmlDoc& doc);
    bool AddLink2MainKML(const std::string& folder, const std::string& link);
    bool CreateKmlAndLinkToMain(const std::string& path, const std::string& fileName,
                                const std::string& deviceName);
    void Buffer(const std::string& path, std::string text, size_t tail, bool rewrite);
    bool WriteDoc(const std::string& path, const CXmlDoc& doc);
    bool WriteFile(const std::string& path, std::string_view bytes);
    void LogWrite(const std::string& operation, const std::string& path, bool ok);
    void LogError(const std::string& entry);
    void ShareFolder();
    void ManageEveryonePermission(const std::string& folder, bool grant);

    std::recursive_mutex m_lock;
    CLog* m_log = nullptr;
    bool m_logAll = false;
    bool m_alwaysRewrite = true;
    bool m_legendOn = true;
    bool m_logoOn = true;
    bool m_reportLinkPresent = false;
    bool m_curPosLinkOn = false;
    bool m_shareAllowed = true;
    bool m_shared = false;

    std::string m_kmlRoot, m_titleFolder, m_reportBaseFolder, m_reportName, m_reportFolder,
        m_mainReport;
    std::map<std::string, bool> m_fullRewrite;  // device names; none is ever marked
    std::map<std::string, Pending> m_buffer;    // by file path
};

}  // namespace zm
