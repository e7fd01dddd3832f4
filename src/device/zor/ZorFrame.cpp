#include "device/zor/ZorFrame.h"

#include "base/Printf.h"
#include "device/zor/Crc16.h"

namespace zm {

namespace {

uint16_t Swap16(uint16_t v) {
    return static_cast<uint16_t>((v << 8) | (v >> 8));
}

}  // namespace

std::vector<uint8_t> BuildZorRequest(uint8_t address, uint8_t code,
                                     std::span<const uint8_t> payload) {
    if (code == kCmdPingSenix) {
        return {kRangeFinderRequest.begin(), kRangeFinderRequest.end()};
    }
    if (payload.size() > static_cast<size_t>(kZorMaxPayload)) {
        return {};
    }
    std::vector<uint8_t> frame;
    frame.reserve(payload.size() + kZorFrameOverhead);
    frame.push_back(address);
    frame.push_back(kZorMasterAddress);
    frame.push_back(code);
    frame.push_back(static_cast<uint8_t>(payload.size() & 0xFF));
    frame.push_back(static_cast<uint8_t>(payload.size() >> 8));
    frame.insert(frame.end(), payload.begin(), payload.end());
    uint16_t crc = Crc16Modbus(frame);
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    return frame;
}

std::vector<uint8_t> BuildZorResponse(uint8_t source, uint8_t code,
                                      std::span<const uint8_t> payload) {
    std::vector<uint8_t> frame;
    frame.reserve(payload.size() + kZorFrameOverhead);
    frame.push_back(kZorMasterAddress);
    frame.push_back(source);
    frame.push_back(code);
    frame.push_back(static_cast<uint8_t>(payload.size() & 0xFF));
    frame.push_back(static_cast<uint8_t>((payload.size() >> 8) & 0xFF));
    frame.insert(frame.end(), payload.begin(), payload.end());
    uint16_t crc = Crc16Modbus(frame);
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    return frame;
}

std::vector<uint8_t> BuildRangeFinderReply(std::span<const uint8_t> data) {
    std::vector<uint8_t> frame{kRangeFinderAddress, 0x03, static_cast<uint8_t>(data.size())};
    frame.insert(frame.end(), data.begin(), data.end());
    uint16_t crc = Crc16Modbus(frame);
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return frame;
}

ZorResponseHead ClassifyResponseHead(std::span<const uint8_t> first7) {
    ZorResponseHead head;
    if (first7.size() < kZorFrameOverhead) {
        return head;
    }
    if (first7[0] == kZorMasterAddress) {
        int n = static_cast<int16_t>(first7[3] | (first7[4] << 8));
        if (n > kZorMaxPayload) {
            return head;
        }
        head.kind = ZorResponseHead::kZor;
        head.total = n + static_cast<int>(kZorFrameOverhead) > 0
                         ? static_cast<size_t>(n + static_cast<int>(kZorFrameOverhead))
                         : 0;
        return head;
    }
    if (first7[0] == kRangeFinderAddress) {
        head.kind = ZorResponseHead::kRangeFinder;
        head.total = static_cast<size_t>(first7[2]) + 5;
        return head;
    }
    return head;
}

bool CheckZorResponse(std::span<const uint8_t> bytes, uint8_t code, std::vector<uint8_t>& payload,
                      std::string* transcript, const ZorTranslate& translate) {
    payload.clear();
    const bool rangeFinder = code == kCmdPingSenix;
    const int length = static_cast<int>(bytes.size());
    const int header = rangeFinder ? 3 : 5;
    const int p = length - header - 2;
    auto parseLine = [&](bool ok) {
        if (transcript) {
            *transcript +=
                StrPrintf("\r\n%s: [%s, %d %s]: ", ZorTr(translate, zortext::kParsePacket).c_str(),
                          ZorTr(translate, ok ? zortext::kOk : zortext::kError).c_str(), length,
                          ZorTr(translate, zortext::kBytes).c_str());
        }
    };
    if (p < 0) {
        parseLine(false);
        if (transcript) {
            *transcript += StrPrintf("blSize:%d(!!!)", p);
        }
        return false;
    }
    const uint16_t crc = Crc16Modbus(bytes.first(static_cast<size_t>(length - 2)));
    const uint8_t c0 = bytes[static_cast<size_t>(length - 2)];
    const uint8_t c1 = bytes[static_cast<size_t>(length - 1)];
    const uint16_t received =
        rangeFinder ? static_cast<uint16_t>(c0 | (c1 << 8)) : static_cast<uint16_t>((c0 << 8) | c1);
    const int expectedAddress = rangeFinder ? kRangeFinderAddress : kZorMasterAddress;
    const int address = bytes[0];
    const int command = rangeFinder ? bytes[1] : bytes[2];
    const int announced = rangeFinder ? bytes[2] : static_cast<int16_t>(bytes[3] | (bytes[4] << 8));
    const bool good =
        address == expectedAddress && received == crc && announced == p && command == code;
    if (good) {
        payload.assign(bytes.begin() + header, bytes.begin() + header + p);
    }
    parseLine(good);
    if (transcript) {
        // Both checksums are printed byte-swapped, as the sensor's own tools show them.
        *transcript +=
            StrPrintf("Addr:%d(=%d?), blSize:%d(=%d?), Cmnd:%d(=%d?), Crc:%d(=%d?)", address,
                      expectedAddress, announced, p, command, code, Swap16(received), Swap16(crc));
    }
    return good;
}

std::string FormatByteList(std::span<const uint8_t> bytes, bool hex) {
    std::string text;
    if (bytes.empty()) {
        return text;
    }
    if (hex) {
        text += "0x";
    }
    auto add = [&](size_t i) {
        text += hex ? StrPrintf("%.02X", bytes[i]) : StrPrintf("%d", bytes[i]);
        if (i + 1 < bytes.size()) {
            text += ",";
        }
    };
    if (bytes.size() < 15) {
        for (size_t i = 0; i < bytes.size(); ++i) {
            add(i);
        }
        return text;
    }
    for (size_t i = 0; i <= 10; ++i) {
        add(i);
    }
    text += " ..., ";
    add(11);
    add(bytes.size() - 1);
    return text;
}

}  // namespace zm
