#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace zm {

// Ends one registration when it goes (or on Reset). Outliving the list is harmless.
class ListenerToken {
  public:
    ListenerToken() = default;
    explicit ListenerToken(std::function<void()> remove) : remove_(std::move(remove)) {}
    ~ListenerToken() { Reset(); }
    ListenerToken(ListenerToken&& other) noexcept : remove_(std::exchange(other.remove_, {})) {}
    ListenerToken& operator=(ListenerToken&& other) noexcept {
        if (this != &other) {
            Reset();
            remove_ = std::exchange(other.remove_, {});
        }
        return *this;
    }
    ListenerToken(const ListenerToken&) = delete;
    ListenerToken& operator=(const ListenerToken&) = delete;

    void Reset() {
        if (auto remove = std::exchange(remove_, {})) {
            remove();
        }
    }
    bool IsActive() const { return static_cast<bool>(remove_); }

  private:
    std::function<void()> remove_;
};

// Callbacks that several owners register and unregister independently (windows that
// retranslate, views that forget a removed device). Notify calls them in registration
// order; a listener that is removed during a notification, by itself or another, is not
// called after its token went. Registration, removal and notification are meant for one
// thread (the dispatcher); the lock only keeps the list whole when a token dies elsewhere.
template <typename... Args>
class ListenerList {
  public:
    using Listener = std::function<void(Args...)>;

    ListenerList() = default;
    ListenerList(const ListenerList&) = delete;
    ListenerList& operator=(const ListenerList&) = delete;

    [[nodiscard]] ListenerToken Add(Listener listener) {
        auto entry = std::make_shared<Entry>();
        entry->listener = std::move(listener);
        {
            std::lock_guard lock(state_->mutex);
            state_->entries.push_back(entry);
        }
        std::weak_ptr<State> weakState = state_;
        std::weak_ptr<Entry> weakEntry = entry;
        return ListenerToken([weakState, weakEntry] {
            auto state = weakState.lock();
            auto dead = weakEntry.lock();
            if (!state || !dead) {
                return;
            }
            std::lock_guard lock(state->mutex);
            dead->removed = true;
            std::erase(state->entries, dead);
        });
    }

    void Notify(Args... args) const {
        std::vector<std::shared_ptr<Entry>> entries;
        {
            std::lock_guard lock(state_->mutex);
            entries = state_->entries;
        }
        for (const auto& entry : entries) {
            bool removed;
            {
                std::lock_guard lock(state_->mutex);
                removed = entry->removed;
            }
            if (!removed && entry->listener) {
                entry->listener(args...);
            }
        }
    }

    std::size_t Count() const {
        std::lock_guard lock(state_->mutex);
        return state_->entries.size();
    }

  private:
    struct Entry {
        Listener listener;
        bool removed = false;
    };
    struct State {
        std::mutex mutex;
        std::vector<std::shared_ptr<Entry>> entries;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace zm
