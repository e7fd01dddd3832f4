// The headless mail test, run as the operator runs it: the real server binary against a
// real SMTP server, with nothing but the settings file in its home.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/DaemonPeers.h"
#include "app/ManagerSettings.h"
#include "base/Ini.h"
#include "notify/TestPeers.h"
#include "support/TempDir.h"

extern char** environ;

namespace zm {
namespace {

using namespace std::chrono_literals;

struct RunResult {
    int status = -1;  // exit status; -1 when it did not end in time
    std::string output;
};

// Runs zormanagerd with `args` to its end (killed after 20 s), stdout and stderr captured.
RunResult RunServer(const std::vector<std::string>& args, const test::TempDir& scratch) {
    std::vector<std::string> all = {test::kServer};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const std::string out = scratch.file("out.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    RunResult run;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return run;
    }
    posix_spawn_file_actions_destroy(&actions);
    const auto end = std::chrono::steady_clock::now() + 20s;
    int status = 0;
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < end) {
        ended = waitpid(pid, &status, WNOHANG) == pid;
        if (!ended) {
            std::this_thread::sleep_for(10ms);
        }
    }
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    } else if (WIFEXITED(status)) {
        run.status = WEXITSTATUS(status);
    }
    run.output = test::ReadFileText(out);
    return run;
}

class DaemonMailTest : public ::testing::Test {
  protected:
    ManagerSettings Account(int port) const {
        ManagerSettings s;
        s.sMailRecipients = " duty@harbour.test, ,night@harbour.test , +47 912 34 567";
        s.smtp_server = "127.0.0.1";
        s.smtp_port = port;
        s.smtp_sec = 0;
        s.smtp_tls_verify = 0;
        s.smtp_login = "user";
        s.smtp_pass = "secret";
        return s;
    }
    void WriteSettings(const ManagerSettings& s) const { home.WriteSettings(s); }
    // Files the run left in the home besides the settings: it must start nothing else.
    std::vector<std::string> OtherFiles() const {
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(home.home.path())) {
            const std::string name = entry.path().filename().string();
            // The settings file and its lock file (the settings file's own guard) only.
            if (entry.is_regular_file() && name != "ZorManager__All_Ver-Lang.ini" &&
                name != ".ZorManager__All_Ver-Lang.ini.lock") {
                files.push_back(entry.path().string());
            }
        }
        return files;
    }
    test::DaemonHome home;
    test::TempDir scratch;
};

TEST_F(DaemonMailTest, SendsToTheRecipientListOrToTheGivenAddress) {
    struct Case {
        std::vector<std::string> extra;
        std::vector<std::string> expectedRcpt;
    };
    const std::vector<Case> cases = {
        {{}, {"duty@harbour.test", "night@harbour.test"}},
        {{"pilot@harbour.test"}, {"pilot@harbour.test"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extra.empty() ? "list" : c.extra.front());
        test::SmtpTestServer smtp({"--auth", "LOGIN"});
        WriteSettings(Account(smtp.port()));
        std::vector<std::string> args = {"--home", home.home.folder(), "--test-mail"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const RunResult run = RunServer(args, scratch);
        EXPECT_EQ(run.status, 0) << run.output;
        const std::string expected =
            "Connection succeeded\nTest mail was successfully sent "
            "(recipients: " +
            std::to_string(c.expectedRcpt.size()) + ").\n";
        EXPECT_EQ(run.output, expected);
        ASSERT_TRUE(smtp.WaitFor("QUIT"));
        const std::string transcript = smtp.Transcript();
        EXPECT_NE(transcript.find("AUTH-RESULT LOGIN OK user"), std::string::npos) << transcript;
        for (const auto& to : c.expectedRcpt) {
            EXPECT_NE(transcript.find("RCPT TO:<" + to + ">"), std::string::npos) << transcript;
        }
        if (!c.extra.empty()) {
            EXPECT_EQ(transcript.find("duty@harbour.test"), std::string::npos);
        }
        // The list's phone number is the SMS gateway's business; a mail server refuses it.
        EXPECT_EQ(transcript.find("912"), std::string::npos) << transcript;
        EXPECT_NE(smtp.Message(1).find("Subject: ZorManager test mail"), std::string::npos);
        EXPECT_EQ(OtherFiles(), std::vector<std::string>{});
    }
}

TEST_F(DaemonMailTest, ReportsFailureWithTheErrorText) {
    // A closed port, an account without server, a home without settings file.
    struct Case {
        const char* name;
        bool writeSettings;
        bool noServer;
        const char* reason;
    };
    const Case cases[] = {
        {"closed port", true, false, "Connection refused"},
        {"no server", true, true, " --> no SMTP server is set."},
        {"no settings", false, false, " --> no settings file at "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(home.home.path() / "AppData");
        if (c.writeSettings) {
            ManagerSettings s = Account(test::FreeTcpPort());  // nobody listens there
            if (c.noServer) {
                s.smtp_server.clear();
            }
            WriteSettings(s);
        }
        const RunResult run = RunServer({"--home", home.home.folder(), "--test-mail"}, scratch);
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_EQ(run.output.rfind("Connection failed:\n", 0), 0u) << run.output;
        EXPECT_NE(run.output.find(c.reason), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("Connection succeeded"), std::string::npos);
        EXPECT_EQ(OtherFiles(), std::vector<std::string>{});
    }
}

TEST_F(DaemonMailTest, HonoursTheCertificateCheckSetting) {
    // A self-signed certificate: trusted by nobody, so only an account that does not check
    // certificates gets through.
    const std::string key = scratch.file("local.key");
    const std::string cert = scratch.file("local.pem");
    ASSERT_EQ(test::RunProgram({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                                "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key, "-out",
                                cert, "-days", "2", "-subj", "/CN=localhost", "-addext",
                                "subjectAltName=DNS:localhost,IP:127.0.0.1"}),
              0);
    for (const int verify : {1, 0}) {
        SCOPED_TRACE(verify);
        test::SmtpTestServer smtp(
            {"--auth", "LOGIN", "--implicit-tls", "--cert", cert, "--key", key});
        ManagerSettings s = Account(smtp.port());
        s.smtp_sec = 2;
        s.smtp_tls_verify = verify;
        WriteSettings(s);
        const RunResult run = RunServer({"--home", home.home.folder(), "--test-mail"}, scratch);
        if (verify != 0) {
            EXPECT_EQ(run.status, 1) << run.output;
            EXPECT_EQ(run.output.rfind("Connection failed:\n", 0), 0u) << run.output;
            EXPECT_NE(run.output.find("certificate verif"), std::string::npos) << run.output;
            EXPECT_EQ(smtp.Transcript().find("AUTH"), std::string::npos);
        } else {
            EXPECT_EQ(run.status, 0) << run.output;
            EXPECT_EQ(run.output.rfind("Connection succeeded\n", 0), 0u) << run.output;
            EXPECT_TRUE(smtp.WaitFor("MESSAGE 1"));
        }
    }
}

}  // namespace
}  // namespace zm
