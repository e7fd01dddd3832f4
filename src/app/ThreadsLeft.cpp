#include "app/ThreadsLeft.h"

#include <string>
#include <thread>

#include "base/Log.h"
#include "platform/NativeThread.h"

namespace zm {

namespace {

std::vector<platform::ThreadEntry> OthersNow() {
    // The main thread's id is the process's.
    const int main = platform::CurrentProcessId();
    const int self = platform::CurrentThreadId();
    std::vector<platform::ThreadEntry> others;
    for (platform::ThreadEntry& thread : platform::ListOwnThreads()) {
        if (thread.tid != main && thread.tid != self) {
            others.push_back(std::move(thread));
        }
    }
    return others;
}

}  // namespace

std::vector<platform::ThreadEntry> ThreadsLeft(std::chrono::milliseconds grace) {
    const auto end = std::chrono::steady_clock::now() + grace;
    std::vector<platform::ThreadEntry> others = OthersNow();
    while (!others.empty() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        others = OthersNow();
    }
    return others;
}

bool ReportThreadsLeft(CLog& log, std::chrono::milliseconds grace) {
    const std::vector<platform::ThreadEntry> left = ThreadsLeft(grace);
    if (left.empty()) {
        return true;
    }
    std::string names;
    for (const platform::ThreadEntry& thread : left) {
        if (!names.empty()) {
            names += ", ";
        }
        names += (thread.name.empty() ? std::string("?") : thread.name) + " [" +
                 std::to_string(thread.tid) + "]";
    }
    log.AddError("<li><dt> Shutdown left %d thread(s) running: %s.</li>",
                 static_cast<int>(left.size()), HtmlEscaped(names).c_str());
    return false;
}

}  // namespace zm
