#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "device/zor/ZorTexts.h"

namespace zm {

// Bus addresses and sizes of the sensor protocol.
inline constexpr uint8_t kZorMasterAddress = 0;
inline constexpr uint8_t kRangeFinderAddress = 0x65;
inline constexpr size_t kZorHeaderSize = 5;     // destination, source, command, length (2)
inline constexpr size_t kZorFrameOverhead = 7;  // header and checksum
inline constexpr int kZorMaxPayload = 512;      // a longer length field can never be valid
inline constexpr size_t kZorBufferSize = 4096;  // the read buffer; nothing goes past it

// Command codes. Every request has an empty payload.
enum ZorCommand : uint8_t {
    kCmdCheckDevLink = 1,
    kCmdGetDevState = 2,
    kCmdPingSenix = 3,  // not a ZOR frame: the fixed Modbus request to the range finder
    kCmdGetContrType = 5,
    kCmdGetDevParams = 6,
    kCmdGetDevDataPortion = 56,
    kCmdGetDevStateData = 57,
};

// Modbus RTU: slave 101, read holding registers, start 0x0208, count 1, CRC low byte first.
inline constexpr std::array<uint8_t, 8> kRangeFinderRequest{0x65, 0x03, 0x02, 0x08,
                                                            0x00, 0x01, 0x0C, 0x54};

// The request frame for a command: destination, 0, code, length (little-endian), payload,
// checksum high byte first. Code 3 yields the fixed range-finder request whatever the address.
// A payload longer than the protocol allows yields an empty frame.
std::vector<uint8_t> BuildZorRequest(uint8_t address, uint8_t code,
                                     std::span<const uint8_t> payload = {});

// A response frame as a sensor sends it: 0, its own address, code, length, payload, checksum.
std::vector<uint8_t> BuildZorResponse(uint8_t source, uint8_t code,
                                      std::span<const uint8_t> payload);

// The range finder's Modbus reply: 0x65, 3, byte count, data, checksum low byte first.
std::vector<uint8_t> BuildRangeFinderReply(std::span<const uint8_t> data);

// What the first seven bytes of a response say about the whole of it.
struct ZorResponseHead {
    enum Kind { kZor, kRangeFinder, kInvalid } kind = kInvalid;
    size_t total = 0;  // bytes of the whole response; at most 7 + 512
};
// kInvalid (the caller purges) for an unknown first byte or a length field over 512. A
// negative length field gives a total below 7: nothing more is read and the check fails.
ZorResponseHead ClassifyResponseHead(std::span<const uint8_t> first7);

// Checks a response for a command and takes its payload out. Fails on a short frame, a
// wrong address, length, command or checksum; the payload is then empty. Appends the parse
// line to the transcript when one is given.
bool CheckZorResponse(std::span<const uint8_t> bytes, uint8_t code, std::vector<uint8_t>& payload,
                      std::string* transcript, const ZorTranslate& translate = {});

// The byte list of the transcript: "5,0,1" or, with hex, "0x05,00,01". Lists of 15 bytes or
// more keep bytes 0 to 10, then " ..., ", then byte 11 and the last byte.
std::string FormatByteList(std::span<const uint8_t> bytes, bool hex);

}  // namespace zm
