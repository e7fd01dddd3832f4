#include "integration/MqttTopics.h"

#include <cstdio>

namespace zm {

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0.
size_t Utf8SequenceAt(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    size_t length = 0;
    unsigned int code = 0;
    if (c < 0x80) {
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        length = 2;
        code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3;
        code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4;
        code = c & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates, code points beyond Unicode and the C1 controls are
    // refused by brokers or confuse readers.
    static const unsigned int kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kMinimum[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF ||
        (code >= 0x80 && code <= 0x9F)) {
        return 0;
    }
    return length;
}

std::string Encode(std::string_view text, bool keepSlash) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t length = Utf8SequenceAt(text, i);
        const bool special =
            c == '+' || c == '#' || c == '%' || c < 0x20 || c == 0x7F || (c == '/' && !keepSlash);
        if (length > 1) {
            out.append(text.substr(i, length));
            i += length;
        } else if (length == 1 && !special) {
            out += static_cast<char>(c);
            ++i;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
            ++i;
        }
    }
    return out;
}

}  // namespace

std::string EncodeTopicLevel(std::string_view text) {
    return Encode(text, false);
}

std::string EncodeTopicPath(std::string_view text) {
    return Encode(text, true);
}

MqttTopics::MqttTopics(const std::string& prefix, const std::string& station) {
    std::string path = EncodeTopicPath(prefix);
    while (!path.empty() && path.back() == '/') {
        path.pop_back();
    }
    base_ = (path.empty() ? std::string() : path + "/") + EncodeTopicLevel(station) + "/";
    status_ = base_ + "status";
    alarm_ = base_ + "alarm";
    alarms_ = base_ + "alarms";
}

std::string MqttTopics::DeviceState(const std::string& device) const {
    return base_ + "device/" + EncodeTopicLevel(device) + "/state";
}

std::string MqttTopics::DeviceStateWildcard() const {
    return base_ + "device/+/state";
}

std::string MqttTopics::DeviceData(const std::string& device) const {
    return base_ + "device/" + EncodeTopicLevel(device) + "/data";
}

}  // namespace zm
