#include "store/StoreWriter.h"

#include <future>

#include "platform/ProcessInfo.h"

namespace zm::store {

CStoreWriter::CStoreWriter(CDatabase db) : db_(std::move(db)), path_(db_.Path()) {
    thread_ = std::thread([this] { Loop(); });
}

CStoreWriter::~CStoreWriter() {
    Stop();
}

void CStoreWriter::Post(Job job, Done done) {
    {
        std::lock_guard lock(mutex_);
        if (!stopping_) {
            queue_.push_back({std::move(job), std::move(done)});
            wake_.notify_one();
            return;
        }
    }
    if (done) {
        done(false);
    }
}

bool CStoreWriter::Run(Job job) {
    if (std::this_thread::get_id() == thread_.get_id()) {
        return Execute(job);
    }
    std::promise<bool> committed;
    std::future<bool> result = committed.get_future();
    Post(std::move(job), [&committed](bool ok) { committed.set_value(ok); });
    return result.get();
}

void CStoreWriter::Flush() {
    Run([](CDatabase&) { return true; });
}

void CStoreWriter::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        wake_.notify_one();
    }
    if (thread_.joinable() && std::this_thread::get_id() != thread_.get_id()) {
        thread_.join();
    }
}

bool CStoreWriter::Execute(const Job& job) {
    if (!db_.IsOpen()) {
        return false;
    }
    CTransaction transaction(db_);
    if (!transaction.IsOpen()) {
        return false;
    }
    return job(db_) && transaction.Commit();
}

void CStoreWriter::Loop() {
    platform::NameCurrentThread("store-writer");
    for (;;) {
        Entry entry;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) {
                break;
            }
            entry = std::move(queue_.front());
            queue_.pop_front();
        }
        const bool committed = Execute(entry.job);
        if (entry.done) {
            entry.done(committed);
        }
    }
    db_.Close();
}

}  // namespace zm::store
