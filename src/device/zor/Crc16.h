#pragma once

#include <cstdint>
#include <span>

namespace zm {

// CRC-16/MODBUS: reflected polynomial 0x8005 (0xA001), initial value 0xFFFF, no final XOR.
// ZOR frames carry the value high byte first; Modbus RTU (the range finder) low byte first.
uint16_t Crc16Modbus(std::span<const uint8_t> bytes);

}  // namespace zm
