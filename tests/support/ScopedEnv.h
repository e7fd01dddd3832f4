#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace zm::test {

// Sets or removes environment variables for one test and puts the old values back.
class ScopedEnv {
  public:
    ScopedEnv() = default;
    ~ScopedEnv() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void Set(const std::string& name, const std::string& value) {
        Save(name);
        setenv(name.c_str(), value.c_str(), 1);
    }
    void Unset(const std::string& name) {
        Save(name);
        unsetenv(name.c_str());
    }

  private:
    void Save(const std::string& name) {
        if (saved_.count(name) != 0) {
            return;
        }
        const char* value = std::getenv(name.c_str());
        saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
    }
    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace zm::test
