#include "alarms/Suppression.h"

namespace zm::alarms {

std::size_t CharacterCount(const std::string& text) {
    std::size_t count = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

std::string TrimmedReason(const std::string& reason) {
    const char* blanks = " \t\r\n";
    const auto first = reason.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    return reason.substr(first, reason.find_last_not_of(blanks) - first + 1);
}

namespace {

OpResult CheckReason(const std::string& reason) {
    const std::string trimmed = TrimmedReason(reason);
    if (trimmed.empty()) {
        return OpResult::Fail(OpStatus::BadInput, "a reason is required");
    }
    if (CharacterCount(trimmed) > kMaxReasonLength) {
        return OpResult::Fail(OpStatus::BadInput, "the reason is longer than 200 characters");
    }
    return OpResult::Ok();
}

}  // namespace

OpResult CheckShelve(int minutes, const std::string& reason) {
    if (minutes < kMinShelveMinutes || minutes > kMaxShelveMinutes) {
        return OpResult::Fail(OpStatus::BadInput, "minutes must be between 1 and 1440");
    }
    return CheckReason(reason);
}

OpResult CheckOutOfService(const std::string& reason) {
    return CheckReason(reason);
}

OpResult CheckComment(const std::string& comment) {
    if (CharacterCount(comment) > kMaxCommentLength) {
        return OpResult::Fail(OpStatus::BadInput, "the comment is longer than 200 characters");
    }
    return OpResult::Ok();
}

DeviceSuppression ShelvedFor(std::int64_t now, int minutes, const std::string& reason,
                             const std::string& by) {
    DeviceSuppression s;
    s.kind = DeviceSuppression::Kind::Shelved;
    s.since = now;
    s.until = now + static_cast<std::int64_t>(minutes) * 60;
    s.reason = TrimmedReason(reason);
    s.by = by;
    return s;
}

DeviceSuppression OutOfService(std::int64_t now, const std::string& reason, const std::string& by) {
    DeviceSuppression s;
    s.kind = DeviceSuppression::Kind::OutOfService;
    s.since = now;
    s.reason = TrimmedReason(reason);
    s.by = by;
    return s;
}

bool IsExpired(const DeviceSuppression& suppression, std::int64_t now) {
    return suppression.kind == DeviceSuppression::Kind::Shelved && now >= suppression.until;
}

bool WithholdsAlarmActions(const DeviceSuppression& suppression, std::int64_t now) {
    return suppression.kind == DeviceSuppression::Kind::OutOfService ||
           (suppression.kind == DeviceSuppression::Kind::Shelved && now < suppression.until);
}

bool WithholdsConnectionActions(const DeviceSuppression& suppression, std::int64_t) {
    return suppression.kind == DeviceSuppression::Kind::OutOfService;
}

const char* SuppressionKindName(DeviceSuppression::Kind kind) {
    switch (kind) {
        case DeviceSuppression::Kind::Shelved:
            return "shelved";
        case DeviceSuppression::Kind::OutOfService:
            return "out_of_service";
        case DeviceSuppression::Kind::None:
            break;
    }
    return "none";
}

DeviceSuppression::Kind ParseSuppressionKind(const std::string& name) {
    if (name == "shelved") {
        return DeviceSuppression::Kind::Shelved;
    }
    if (name == "out_of_service") {
        return DeviceSuppression::Kind::OutOfService;
    }
    return DeviceSuppression::Kind::None;
}

}  // namespace zm::alarms
