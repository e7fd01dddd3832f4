#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <utility>

#include "auth/OperatorDirectory.h"
#include "web/HttpServer.h"

namespace zm {

// User and password of an "Authorization: Basic ..." header; nullopt when there is none
// or it is not well formed.
std::optional<std::pair<std::string, std::string>> BasicCredentials(const std::string& header);

// Who may do what on the JSON API. Reads are open unless the settings ask for an account;
// writes always need one with the right role, sent with HTTP Basic, and over plain HTTP
// they are taken only from this computer, because the password crosses the network in
// the clear.
class CApiAccess {
  public:
    enum class Need { Read, Operate, Administer };
    struct Decision {
        bool allowed = false;
        std::string user;                   // the account, when one signed in
        CHttpServer::RequestReply refusal;  // when not allowed
    };

    explicit CApiAccess(auth::COperatorDirectory& directory) : directory_(directory) {}

    void SetReadsNeedAccount(bool need) { readsNeedAccount_ = need; }
    Decision Check(const HttpRequest& request, Need need);

  private:
    auth::COperatorDirectory& directory_;
    std::atomic<bool> readsNeedAccount_{false};
};

// {"error": text} with that status line.
CHttpServer::RequestReply JsonError(const std::string& status, const std::string& text);

}  // namespace zm
