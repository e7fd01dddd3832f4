#pragma once

#include <functional>
#include <string>
#include <vector>

#include "auth/Roles.h"

namespace zm::auth {

struct Account {
    std::string name;
    Role role = Role::Viewer;
    std::string hash;  // Argon2id text of crypto_pwhash_str
};

// The accounts file: UTF-8, one account a line as "name:role:hash", lines beginning with
// '#' are comments. Lines that are not accounts (a foreign role, a broken hash, a second
// line for one name) are reported with their number and written back exactly as they were,
// so that a rewrite never loses what someone put there by hand.
class COperatorFile {
  public:
    // The configuration folder + "Operators.txt".
    static std::string DefaultPath();

    explicit COperatorFile(std::string path);

    // A missing file is an empty list; false with the reason when it cannot be read.
    bool Load(std::string* error);
    // Temporary file beside it (mode 0600, fsync), then rename; the folder is made when
    // missing.
    bool Save(std::string* error) const;

    // Load, change, save under an exclusive lock shared with other processes, so that two
    // commands at once do not lose one another's change. `change` returns false (with its
    // reason) to leave the file as it was.
    static bool Modify(const std::string& path,
                       const std::function<bool(COperatorFile&, std::string*)>& change,
                       std::string* error);

    const std::string& Path() const { return path_; }
    std::vector<Account> Accounts() const;
    // "line N: why", in file order.
    const std::vector<std::string>& Problems() const { return problems_; }
    const Account* Find(const std::string& name) const;
    // Replaces the account of that name in place, or appends it.
    void Set(const Account& account);
    bool Remove(const std::string& name);

  private:
    struct Line {
        std::string text;  // as read, for lines that are not accounts
        bool isAccount = false;
        Account account;
    };

    std::string path_;
    std::vector<Line> lines_;
    std::vector<std::string> problems_;
};

}  // namespace zm::auth
