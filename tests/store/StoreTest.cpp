#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "base/Log.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "store/StoreFile.h"
#include "store/StoreWriter.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace {

using namespace zm::store;
namespace fs = std::filesystem;

const Migration kV1[] = {
    {1, "CREATE TABLE item (id INTEGER PRIMARY KEY, name TEXT NOT NULL)"},
};
const Migration kV2[] = {
    {1, "CREATE TABLE item (id INTEGER PRIMARY KEY, name TEXT NOT NULL)"},
    {2, "ALTER TABLE item ADD COLUMN note TEXT NOT NULL DEFAULT 'none'"},
};

std::vector<std::string> AsideFiles(const zm::test::TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        if (name.find(".damaged-") != std::string::npos) {
            names.push_back(name);
        }
    }
    return names;
}

std::string ReadLog(zm::CLog& log) {
    log.Close();
    return zm::test::ReadBytes(log.GetPath());
}

struct StoreFixture : ::testing::Test {
    zm::test::TempDir dir;
    std::string path = dir.file("Store.sqlite");
    zm::CLog log;
    void SetUp() override {
        log.SetFolder(dir.folder());
        ASSERT_TRUE(log.Open("RunLog", true));
    }
};

TEST_F(StoreFixture, MigratesForwardAndKeepsRows) {
    {
        CDatabase db = OpenStoreFile(path, kV1, {}, &log);
        ASSERT_TRUE(db.IsOpen());
        EXPECT_EQ(SchemaVersion(db), 1);
        CStatement insert = db.Prepare("INSERT INTO item (name) VALUES (?)");
        // A value that would break SQL pasted into the text goes in whole.
        ASSERT_TRUE(insert.Bind(1, "it's'); DROP TABLE item; --").Run());
    }
    CDatabase db = OpenStoreFile(path, kV2, {}, &log);
    ASSERT_TRUE(db.IsOpen());
    EXPECT_EQ(SchemaVersion(db), 2);
    CStatement read = db.Prepare("SELECT name, note FROM item");
    ASSERT_TRUE(read.Step());
    EXPECT_EQ(read.Text(0), "it's'); DROP TABLE item; --");
    EXPECT_EQ(read.Text(1), "none");
    EXPECT_FALSE(read.Step());
    EXPECT_TRUE(AsideFiles(dir).empty());
    EXPECT_EQ(db.QueryInt("SELECT count(*) FROM schema_version").value_or(0), 2);
    EXPECT_EQ(ReadLog(log).find("could not be used"), std::string::npos);
}

TEST_F(StoreFixture, WriteConnectionUsesWriteAheadLog) {
    CDatabase db = OpenStoreFile(path, kV1, {}, &log);
    CStatement mode = db.Prepare("PRAGMA journal_mode");
    ASSERT_TRUE(mode.Step());
    EXPECT_EQ(mode.Text(0), "wal");
    EXPECT_EQ(db.QueryInt("PRAGMA synchronous").value_or(-1), 2);  // FULL
}

// Files that cannot serve as the store go aside with a time stamp; a new store starts and
// the run log says so in red.
TEST_F(StoreFixture, UnusableFileGoesAsideAndAFreshStoreStarts) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> spoil;
    };
    const Case cases[] = {
        {"garbage",
         [](const std::string& p) {
             zm::test::WriteBytes(p, std::string(8192, '\x5A') + "not a database at all");
         }},
        {"damaged page",
         [](const std::string& p) {
             {
                 CDatabase db = OpenStoreFile(p, kV1, {}, nullptr);
                 db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
                 CTransaction fill(db);
                 CStatement insert = db.Prepare("INSERT INTO item (name) VALUES (?)");
                 for (int i = 0; i < 2000; ++i) {
                     insert.Bind(1, std::string(100, 'x'));
                     insert.Run();
                     insert.Reset();
                 }
                 insert = CStatement();
                 fill.Commit();
                 db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
             }
             std::string bytes = zm::test::ReadBytes(p);
             // Page 3 onwards: the table's b-tree, beyond the header that identifies the file.
             for (std::size_t i = 3 * 4096; i < bytes.size() && i < 12 * 4096; ++i) {
                 bytes[i] = static_cast<char>(0xA5);
             }
             zm::test::WriteBytes(p, bytes);
         }},
        {"newer schema",
         [](const std::string& p) {
             CDatabase db = OpenStoreFile(p, kV2, {}, nullptr);
             db.Exec("INSERT INTO schema_version (version) VALUES (7)");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(path);
        fs::remove(path + "-wal");
        fs::remove(path + "-shm");
        for (const std::string& old : AsideFiles(dir)) {
            fs::remove(dir.file(old));
        }
        c.spoil(path);
        const std::string before = zm::test::ReadBytes(path);

        OpenOutcome outcome;
        CDatabase db = OpenStoreFile(path, kV1, {}, &log, &outcome);
        ASSERT_TRUE(db.IsOpen());
        EXPECT_TRUE(outcome.recreated);
        EXPECT_FALSE(outcome.inMemory);
        ASSERT_FALSE(outcome.asidePath.empty());
        EXPECT_EQ(zm::test::ReadBytes(outcome.asidePath), before);  // kept as it was
        EXPECT_EQ(db.Path(), path);
        EXPECT_EQ(SchemaVersion(db), 1);
        EXPECT_TRUE(db.Prepare("INSERT INTO item (name) VALUES (?)").Bind(1, "fresh").Run());
    }
    const std::string text = ReadLog(log);
    EXPECT_NE(text.find("could not be used"), std::string::npos);
    EXPECT_NE(text.find("color=#C80000"), std::string::npos) << text;
}

// Even root cannot make a file below a regular file: the store lives in memory this run.
TEST_F(StoreFixture, NoPlaceForAFileFallsBackToMemory) {
    zm::test::WriteBytes(dir.file("plain"), "a file, not a folder");
    OpenOutcome outcome;
    CDatabase db = OpenStoreFile(dir.file("plain/Store.sqlite"), kV1, {}, &log, &outcome);
    ASSERT_TRUE(db.IsOpen());
    EXPECT_TRUE(outcome.inMemory);
    EXPECT_TRUE(db.Prepare("INSERT INTO item (name) VALUES (?)").Bind(1, "x").Run());
    EXPECT_NE(ReadLog(log).find("in memory only"), std::string::npos);
}

TEST_F(StoreFixture, WriterCommitsInOrderAndRollsBackFailedJobs) {
    CStoreWriter writer(OpenStoreFile(path, kV1, {}, &log));
    auto insert = [](const std::string& name) {
        return [name](CDatabase& db) {
            return db.Prepare("INSERT INTO item (name) VALUES (?)").Bind(1, name).Run();
        };
    };
    std::atomic<int> callbacks{0};
    std::vector<int> order;
    std::mutex orderMutex;
    for (int i = 0; i < 50; ++i) {
        writer.Post(insert("n" + std::to_string(i)), [&, i](bool committed) {
            EXPECT_TRUE(committed);
            std::lock_guard lock(orderMutex);
            order.push_back(i);
            ++callbacks;
        });
    }
    // A job that fails halfway leaves nothing of itself.
    EXPECT_FALSE(writer.Run([](CDatabase& db) {
        db.Prepare("INSERT INTO item (name) VALUES (?)").Bind(1, "half").Run();
        return db.Prepare("INSERT INTO nosuchtable VALUES (1)").Run();
    }));
    EXPECT_EQ(callbacks.load(), 50);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(order[i], i);
    }
    // A reader beside the writer sees every commit, and nothing of the failed job.
    CDatabase reader;
    OpenOptions readOnly;
    readOnly.readOnly = true;
    ASSERT_TRUE(reader.Open(path, readOnly));
    EXPECT_EQ(reader.QueryInt("SELECT count(*) FROM item").value_or(-1), 50);
    EXPECT_EQ(reader.QueryInt("SELECT count(*) FROM item WHERE name='half'").value_or(-1), 0);
    // A read-only connection cannot write.
    EXPECT_FALSE(reader.Prepare("INSERT INTO item (name) VALUES ('r')").Run());

    // A callback may wait for another job: it runs at once on the writer thread.
    std::promise<bool> nested;
    writer.Post(insert("outer"), [&](bool) { nested.set_value(writer.Run(insert("inner"))); });
    EXPECT_TRUE(nested.get_future().get());
    writer.Stop();
    EXPECT_FALSE(writer.Run(insert("late")));
    EXPECT_EQ(reader.QueryInt("SELECT count(*) FROM item").value_or(-1), 52);
}

TEST_F(StoreFixture, StopRunsWhatIsQueued) {
    {
        CStoreWriter writer(OpenStoreFile(path, kV1, {}, &log));
        for (int i = 0; i < 200; ++i) {
            writer.Post([](CDatabase& db) {
                return db.Prepare("INSERT INTO item (name) VALUES (?)").Bind(1, "q").Run();
            });
        }
    }
    CDatabase db = OpenStoreFile(path, kV1, {}, &log);
    EXPECT_EQ(db.QueryInt("SELECT count(*) FROM item").value_or(-1), 200);
}

}  // namespace
