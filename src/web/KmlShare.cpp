// The network share of the KML root: a Samba user share where Samba is installed, and
// world-readable mode bits in place of the access entries for "Everyone".

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/Log.h"
#include "base/Paths.h"
#include "base/Printf.h"
#include "web/KmlReport.h"
#include "web/XmlDoc.h"

extern char** environ;

namespace zm {

namespace {

constexpr int kCommandTimeoutMs = 5000;

struct CommandResult {
    bool started = false;
    int exitCode = -1;
    std::string output;  // standard output and error together
    std::string error;   // why it did not start or did not end
};

// Runs a program found in PATH with a bounded wait; a program that does not end in time
// is killed, so a hanging share service never holds up the application.
CommandResult RunCommand(const std::vector<std::string>& args) {
    CommandResult r;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        r.error = std::strerror(errno);
        return r;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        r.error = rc == ENOENT ? "not installed" : std::strerror(rc);
        return r;
    }
    r.started = true;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCommandTimeoutMs);
    bool timedOut = false;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        int n = poll(&p, 1, static_cast<int>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            timedOut = n == 0;
            break;
        }
        char buf[512];
        ssize_t got = read(fds[0], buf, sizeof buf);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        if (r.output.size() < 4096)
            r.output.append(buf, static_cast<size_t>(got));
    }
    close(fds[0]);
    if (timedOut) {
        kill(pid, SIGKILL);
        r.error = "no answer within 5 s";
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!timedOut && WIFEXITED(status))
        r.exitCode = WEXITSTATUS(status);
    while (!r.output.empty() && (r.output.back() == '\n' || r.output.back() == '\r'))
        r.output.pop_back();
    return r;
}

std::string Describe(const CommandResult& r) {
    if (!r.error.empty())
        return r.error;
    std::string text = r.output.empty() ? StrPrintf("exit code %d", r.exitCode) : r.output;
    return CXmlDoc::EscapeText(text, false);
}

bool LooksNotFound(const std::string& output) {
    for (const char* marker : {"does not exist", "not found", "No such", "doesn't exist"})
        if (output.find(marker) != std::string::npos)
            return true;
    return false;
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
    CommandResult r = RunCommand({"net", "usershare", "delete", kShareName});
    if (r.started && r.exitCode != 0 && !LooksNotFound(r.output) && m_log)
        m_log->AddError("<li><dt> CKmlReport::ShareFolder %s",
                        ("<br>- NetShareDel: " + Describe(r)).c_str());
    for (const std::string& f : {m_kmlRoot, m_reportBaseFolder, m_titleFolder, m_reportFolder})
        ManageEveryonePermission(f, false);
    m_shared = false;
}

void CKmlReport::ShareFolder() {
    std::string messages;
    CommandResult del = RunCommand({"net", "usershare", "delete", kShareName});
    if (!del.started) {
        messages += "<br>- NetShareAdd: Samba's net command: " + Describe(del);
    } else {
        if (del.exitCode != 0 && !LooksNotFound(del.output))
            messages += "<br>- NetShareDel: " + Describe(del);
        std::string folder = m_kmlRoot;
        if (folder.size() > 1)
            folder.pop_back();  // Samba takes the folder without its final "/"
        CommandResult add = RunCommand({"net", "usershare", "add", kShareName, folder,
                                        "Report files", "Everyone:R", "guest_ok=n"});
        if (!add.started || add.exitCode != 0)
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
        fs::perms bits = fs::perms::group_read | fs::perms::others_read;
        if (isDir)
            bits |= fs::perms::group_exec | fs::perms::others_exec;
        if (!grant)
            bits = isDir ? fs::perms::others_read | fs::perms::others_exec : fs::perms::others_read;
        std::error_code ec;
        fs::permissions(p, bits, grant ? fs::perm_options::add : fs::perm_options::remove, ec);
        if (ec && messages.size() < 2000)
            messages += "<br>- SetNamedSecurityInfo: " +
                        CXmlDoc::EscapeText(p.string() + ": " + ec.message(), false);
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
