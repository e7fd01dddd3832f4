// Name lookups with a time-out, shared by every caller of one name; the lookup itself is
// the system's (SystemNameLookup, beside the ICMP echo).
#include "platform/IcmpEcho.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/ProcessInfo.h"
#include "platform/Sockets.h"

namespace zm::platform {

namespace {

// One lookup of a name, shared by every caller that asks for that name while it runs
// and by its thread, which may outlive them all.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool bDone = false;
    ResolveResult result;
};

// The lookups running now, by name. The lock is held only to find or enter one, never
// while a lookup runs or is waited for, so a caller waiting for a name that hangs keeps
// no other caller waiting.
struct Lookups {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<Lookup>> running;
    NameLookup lookup;  // empty: the system's
};

Lookups& TheLookups() {
    static Lookups* lookups = new Lookups;  // threads left running may still use it at exit
    return *lookups;
}

ResolveResult TryAgainResult() {
    ResolveResult r;
    r.status = ResolveStatus::TryAgain;
    r.nGaiError = EAI_AGAIN;
    return r;
}

}  // namespace

void SetNameLookup(NameLookup lookup) {
    Lookups& all = TheLookups();
    const std::lock_guard lock(all.mutex);
    all.lookup = std::move(lookup);
}

int NameLookupsRunning() {
    Lookups& all = TheLookups();
    const std::lock_guard lock(all.mutex);
    return static_cast<int>(all.running.size());
}

ResolveResult ResolveIpv4(const std::string& sHost, int nTimeOutMs) {
    ResolveResult result;
    if (sHost.empty()) {
        result.status = ResolveStatus::NotFound;
        result.nGaiError = EAI_NONAME;
        return result;
    }
    in_addr addr{};
    if (::inet_pton(AF_INET, sHost.c_str(), &addr) == 1) {
        result.status = ResolveStatus::Ok;
        result.nAddress = addr.s_addr;
        return result;
    }

    // A name already being looked up is waited for, not looked up again: while the name
    // service hangs, a device that asks every few seconds does not pile up threads.
    Lookups& all = TheLookups();
    std::shared_ptr<Lookup> pLookup;
    NameLookup lookup;
    bool bStart = false;
    {
        const std::lock_guard lock(all.mutex);
        auto it = all.running.find(sHost);
        if (it != all.running.end()) {
            pLookup = it->second;
        } else if (all.running.size() >= kMaxNameLookups) {
            return TryAgainResult();
        } else {
            pLookup = std::make_shared<Lookup>();
            all.running.emplace(sHost, pLookup);
            lookup = all.lookup ? all.lookup : NameLookup(SystemNameLookup);
            bStart = true;
        }
    }
    if (bStart) {
        auto run = [pLookup, sHost, lookup] {
            NameCurrentThread("name-lookup");
            const ResolveResult r = lookup(sHost);
            {
                Lookups& lookups = TheLookups();
                const std::lock_guard lock(lookups.mutex);
                auto it = lookups.running.find(sHost);
                if (it != lookups.running.end() && it->second == pLookup) {
                    lookups.running.erase(it);
                }
            }
            const std::lock_guard lock(pLookup->mutex);
            pLookup->result = r;
            pLookup->bDone = true;
            pLookup->done.notify_all();
        };
        try {
            std::thread(run).detach();
        } catch (const std::system_error&) {
            run();  // no thread to spare: look up here, unbounded but not lost
        }
    }
    std::unique_lock lock(pLookup->mutex);
    if (!pLookup->done.wait_for(lock, std::chrono::milliseconds(std::max(nTimeOutMs, 0)),
                                [&] { return pLookup->bDone; })) {
        return TryAgainResult();
    }
    return pLookup->result;
}

}  // namespace zm::platform
