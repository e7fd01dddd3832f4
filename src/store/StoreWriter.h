#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "store/Database.h"

namespace zm::store {

// The one thread that writes a store: it owns the write connection and runs queued jobs
// in order, each in its own transaction. Callers on any thread queue a job and either wait
// for its commit or get a callback (on the writer thread) once it is committed or failed.
class CStoreWriter {
  public:
    // Runs inside a transaction; false rolls it back.
    using Job = std::function<bool(CDatabase& db)>;
    // Told on the writer thread; committed is false when the job or the commit failed.
    using Done = std::function<void(bool committed)>;

    explicit CStoreWriter(CDatabase db);
    ~CStoreWriter();  // runs what is queued, then stops
    CStoreWriter(const CStoreWriter&) = delete;
    CStoreWriter& operator=(const CStoreWriter&) = delete;

    void Post(Job job, Done done = {});
    // Waits for the commit. From the writer thread itself (a callback) it runs at once.
    bool Run(Job job);
    // Waits until everything queued before it is done.
    void Flush();
    // Runs what is queued and ends the thread; later jobs fail at once.
    void Stop();

    // The path of the file written (":memory:" for a store that could not get one).
    std::string Path() const { return path_; }

  private:
    struct Entry {
        Job job;
        Done done;
    };
    void Loop();
    bool Execute(const Job& job);

    CDatabase db_;
    std::string path_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Entry> queue_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace zm::store
