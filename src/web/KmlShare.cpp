// The network share of the KML root and read access for everyone to its files; how the
// system shares and grants is the platform's business.

#include <filesystem>
#include <string>

#include "base/Log.h"
#include "base/Paths.h"
#include "platform/NetworkShare.h"
#include "web/KmlReport.h"
#include "web/XmlDoc.h"

namespace zm {

namespace {

std::string Describe(const platform::ShareResult& r) {
    return CXmlDoc::EscapeText(r.detail, false);
}

}  // namespace

void CKmlReport::SetShare(bool on) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!m_shareAllowed || m_kmlRoot.empty())
        return;
    if (on) {
        ShareFolder();
        for (const std::string& f : {m_kmlRoot, m_titleFolder, m_reportBaseFolder, m_reportFolder})
            ManageEveryonePermission(f, true);
        m_shared = true;
        return;
    }
    platform::ShareResult r = platform::RemoveNetworkShare(kShareName);
    if (r.reached && !r.ok && !r.notFound && m_log)
        m_log->AddError("<li><dt> CKmlReport::ShareFolder %s",
                        ("<br>- NetShareDel: " + Describe(r)).c_str());
    for (const std::string& f : {m_kmlRoot, m_reportBaseFolder, m_titleFolder, m_reportFolder})
        ManageEveryonePermission(f, false);
    m_shared = false;
}

void CKmlReport::ShareFolder() {
    std::string messages;
    platform::ShareResult del = platform::RemoveNetworkShare(kShareName);
    if (!del.reached) {
        messages += "<br>- NetShareAdd: " + Describe(del);
    } else {
        if (!del.ok && !del.notFound)
            messages += "<br>- NetShareDel: " + Describe(del);
        std::string folder = m_kmlRoot;
        if (folder.size() > 1)
            folder.pop_back();  // a share takes the folder without its final "/"
        platform::ShareResult add = platform::AddNetworkShare(kShareName, folder, "Report files");
        if (!add.ok)
            messages += "<br>- NetShareAdd: " + Describe(add);
    }
    if (!messages.empty() && m_log)
        m_log->AddWarning("<li><dt> CKmlReport::ShareFolder %s", messages.c_str());
}

void CKmlReport::ManageEveryonePermission(const std::string& folder, bool grant) {
    namespace fs = std::filesystem;
    if (folder.empty() || !FileExists(folder))
        return;
    std::string messages;
    // Read access for everyone, handed down to the files and folders below.
    auto apply = [&](const fs::path& p, bool isDir) {
        const std::string error = platform::SetEveryoneCanRead(p.string(), isDir, grant);
        if (!error.empty() && messages.size() < 2000)
            messages += "<br>- SetNamedSecurityInfo: " +
                        CXmlDoc::EscapeText(p.string() + ": " + error, false);
    };
    std::error_code ec;
    apply(folder, true);
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_symlink(ec))
            continue;  // what a link points to is not ours to open up
        apply(it->path(), it->is_directory(ec));
    }
    if (ec)
        messages += "<br>- GetNamedSecurityInfo:\n" + CXmlDoc::EscapeText(ec.message(), false);
    if (!messages.empty() && m_log)
        m_log->AddWarning("<li><dt> CKmlReport::ManageEveryonePermission %s", messages.c_str());
}

}  // namespace zm
