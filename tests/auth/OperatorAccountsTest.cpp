#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "auth/OperatorDirectory.h"
#include "auth/OperatorFile.h"
#include "auth/PasswordHash.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace zm::auth {
namespace {

namespace fs = std::filesystem;

// One real hash for the whole program: each costs tens of milliseconds.
const std::string& SecretHash() {
    static const std::string hash = HashPassword("s3cret");
    return hash;
}

TEST(OperatorNames, RefusesWhatBasicAuthOrTheFileCannotCarry) {
    struct Case {
        std::string name;
        bool ok;
    } cases[] = {
        {"alice", true},
        {"Jürgen Öl", true},
        {"ops.night-shift_2", true},
        {"", false},
        {"a:b", false},  // Basic splits user and password at the first ':'
        {"tab\there", false},
        {"line\nbreak", false},
        {" alice", false},
        {"alice ", false},
        {"#comment", false},
        {std::string(kMaxNameLength, 'x'), true},
        {std::string(kMaxNameLength + 1, 'x'), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NameProblem(c.name).empty(), c.ok) << "[" << c.name << "]";
    }
}

TEST(PasswordHashes, AreArgon2idAndVerifyOnlyTheirPassword) {
    const std::string& hash = SecretHash();
    ASSERT_EQ(hash.rfind("$argon2id$", 0), 0u) << hash;
    EXPECT_NE(hash.find("m=19456,t=2,p=1"), std::string::npos) << hash;
    EXPECT_TRUE(VerifyPassword(hash, "s3cret"));
    EXPECT_FALSE(VerifyPassword(hash, "s3cret "));
    EXPECT_FALSE(VerifyPassword(hash, ""));
    EXPECT_FALSE(VerifyPassword("plain-text", "plain-text"));
    EXPECT_NE(HashPassword("s3cret"), hash);  // salted
}

class OperatorFileTest : public ::testing::Test {
  protected:
    std::string Path() const { return dir_.file("Config/Operators.txt"); }
    void Write(const std::string& text) {
        fs::create_directories(dir_.path() / "Config");
        std::ofstream(Path(), std::ios::binary) << text;
    }
    static bool Add(const std::string& path, const std::string& name, Role role) {
        std::string error;
        const bool ok = COperatorFile::Modify(
            path,
            [&](COperatorFile& f, std::string*) {
                f.Set({name, role, SecretHash()});
                return true;
            },
            &error);
        EXPECT_TRUE(ok) << error;
        return ok;
    }
    test::TempDir dir_;
};

TEST_F(OperatorFileTest, NewFileIsPrivateAndReadsBack) {
    ASSERT_TRUE(Add(Path(), "alice", Role::Operator));
    ASSERT_TRUE(Add(Path(), "root", Role::Admin));
    struct stat st {};
    ASSERT_EQ(::stat(Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    COperatorFile file(Path());
    std::string error;
    ASSERT_TRUE(file.Load(&error)) << error;
    EXPECT_TRUE(file.Problems().empty());
    ASSERT_EQ(file.Accounts().size(), 2u);
    EXPECT_EQ(file.Find("alice")->role, Role::Operator);
    EXPECT_EQ(file.Find("root")->role, Role::Admin);
    EXPECT_EQ(file.Find("root")->hash, SecretHash());
    // No temporary file is left beside it.
    int entries = 0;
    for (const auto& e : fs::directory_iterator(dir_.path() / "Config")) {
        entries += e.path().filename().string().rfind("Operators.txt.", 0) == 0;
    }
    EXPECT_EQ(entries, 0);
}

TEST_F(OperatorFileTest, UpdateReplacesTheFileInsteadOfRewritingIt) {
    ASSERT_TRUE(Add(Path(), "alice", Role::Viewer));
    const std::string before = test::ReadBytes(Path());
    // A reader holding the old file (here: a second name for its inode) keeps it whole.
    const std::string held = dir_.file("held");
    ASSERT_EQ(::link(Path().c_str(), held.c_str()), 0);
    ASSERT_TRUE(Add(Path(), "alice", Role::Admin));
    EXPECT_EQ(test::ReadBytes(held), before);
    EXPECT_NE(test::ReadBytes(Path()), before);
    COperatorFile file(Path());
    std::string error;
    ASSERT_TRUE(file.Load(&error));
    ASSERT_EQ(file.Accounts().size(), 1u);  // updated in place, not added twice
    EXPECT_EQ(file.Find("alice")->role, Role::Admin);
}

TEST_F(OperatorFileTest, BadAndForeignLinesAreReportedAndSurviveARewrite) {
    const std::string h = SecretHash();
    const std::string foreign[] = {
        "bob:superuser:" + h,    // unknown role
        "carol:operator:md5:x",  // not an Argon2id hash
        "no separators here",
        "alice:viewer:" + h,  // a second line for alice
    };
    Write("# site accounts\nalice:operator:" + h + "\n" + foreign[0] + "\n" + foreign[1] + "\n\n" +
          foreign[2] + "\n" + foreign[3] + "\n");
    ::chmod(Path().c_str(), 0644);

    COperatorFile file(Path());
    std::string error;
    ASSERT_TRUE(file.Load(&error)) << error;
    ASSERT_EQ(file.Accounts().size(), 1u);
    EXPECT_EQ(file.Find("alice")->role, Role::Operator);
    const auto& problems = file.Problems();
    ASSERT_EQ(problems.size(), 5u);  // the mode and four lines
    EXPECT_NE(problems[0].find("0644"), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("line 3: unknown role \"superuser\""), std::string::npos)
        << problems[1];
    EXPECT_NE(problems[2].find("line 4"), std::string::npos) << problems[2];
    EXPECT_NE(problems[3].find("line 6"), std::string::npos) << problems[3];
    EXPECT_NE(problems[4].find("line 7: a second line for \"alice\""), std::string::npos)
        << problems[4];

    ASSERT_TRUE(Add(Path(), "dave", Role::Viewer));
    const std::string after = test::ReadBytes(Path());
    for (const std::string& line : foreign) {
        EXPECT_NE(after.find(line + "\n"), std::string::npos) << line;
    }
    EXPECT_EQ(after.rfind("# site accounts\n", 0), 0u);
    struct stat st {};
    ASSERT_EQ(::stat(Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(OperatorFileTest, ConcurrentChangesDoNotLoseEachOther) {
    constexpr int kEach = 15;
    auto adder = [&](const std::string& prefix) {
        for (int i = 0; i < kEach; ++i) {
            Add(Path(), prefix + std::to_string(i), Role::Viewer);
        }
    };
    std::thread a(adder, "a"), b(adder, "b");
    a.join();
    b.join();
    COperatorFile file(Path());
    std::string error;
    ASSERT_TRUE(file.Load(&error));
    EXPECT_EQ(file.Accounts().size(), 2u * kEach);
}

TEST_F(OperatorFileTest, DirectoryFollowsTheFileAndRefusesWrongCredentials) {
    ASSERT_TRUE(Add(Path(), "alice", Role::Operator));
    COperatorDirectory directory(Path());
    using O = COperatorDirectory::Outcome;
    struct Case {
        const char* name;
        const char* password;
        O outcome;
    } cases[] = {
        {"alice", "s3cret", O::Ok},       {"alice", "s3cret", O::Ok},  // the second remembered
        {"alice", "wrong", O::Refused},   {"Alice", "s3cret", O::Refused},
        {"nobody", "s3cret", O::Refused}, {"alice", "", O::Refused},
    };
    for (const Case& c : cases) {
        const auto result = directory.Authenticate(c.name, c.password);
        EXPECT_EQ(result.outcome, c.outcome) << c.name << "/" << c.password;
        if (c.outcome == O::Ok) {
            EXPECT_EQ(result.role, Role::Operator);
        }
    }
    // A change by another process counts at once, also for remembered credentials.
    ASSERT_TRUE(Add(Path(), "alice", Role::Viewer));
    EXPECT_EQ(directory.Authenticate("alice", "s3cret").role, Role::Viewer);
    std::string error;
    ASSERT_TRUE(COperatorFile::Modify(
        Path(), [](COperatorFile& f, std::string*) { return f.Remove("alice"); }, &error));
    EXPECT_EQ(directory.Authenticate("alice", "s3cret").outcome, O::Refused);
    EXPECT_FALSE(directory.HasAccounts());
}

TEST_F(OperatorFileTest, DirectoryHandsOutTheFilesProblemsOnce) {
    Write("alice:operator:" + SecretHash() + "\nbob:chief:x\n");
    ::chmod(Path().c_str(), 0600);
    COperatorDirectory directory(Path());
    const auto problems = directory.TakeNewProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("line 2"), std::string::npos) << problems[0];
    EXPECT_TRUE(directory.TakeNewProblems().empty());
    EXPECT_EQ(directory.Authenticate("alice", "s3cret").outcome, COperatorDirectory::Outcome::Ok);
}

}  // namespace
}  // namespace zm::auth
