#pragma once

#include <functional>
#include <string>

namespace zm {

// A translatable text of the sensor protocol: catalogue section, key and built-in English
// text. Until the translation service is wired in, callers pass no translator and get the
// built-in text.
struct ZorText {
    const char* section;
    const char* key;
    const char* text;
};

using ZorTranslate = std::function<std::string(const ZorText&)>;

inline std::string ZorTr(const ZorTranslate& translate, const ZorText& text) {
    return translate ? translate(text) : std::string(text.text);
}

namespace zortext {

inline constexpr ZorText kConnectionStatus{"Device Statuses", "tpDeviceStatus_Connection",
                                           "Connection"};
inline constexpr ZorText kConnection{"ZorDevice", "tpZorDevice_Connection", "Connection"};
inline constexpr ZorText kFailedInUse{"ZorDevice", "tpZorDevice_failed_in_use", "failed (in use)."};
inline constexpr ZorText kAlreadyExist{"ZorDevice", "tpZorDevice_already_exist", "already exist"};
inline constexpr ZorText kSucceeded{"ZorDevice", "tpZorDevice_succeeded", "succeeded"};
inline constexpr ZorText kFailed{"ZorDevice", "tpZorDevice_failed", "failed"};
inline constexpr ZorText kClosed{"ZorDevice", "tpZorDevice_closed", "closed"};
inline constexpr ZorText kKept{"ZorDevice", "tpZorDevice_kept", "kept"};
inline constexpr ZorText kBytesSent{"ZorDevice", "tpZorDevice_bytes_sent", "bytes sent"};
inline constexpr ZorText kSendCommandFailed{"ZorDevice", "tpZorDevice_SendCommand_failed",
                                            "SendCommand failed"};
inline constexpr ZorText kCode{"ZorDevice", "tpZorDevice_code", "code"};
inline constexpr ZorText kBytesReceived{"ZorDevice", "tpZorDevice_bytes_received",
                                        "bytes received"};
inline constexpr ZorText kGetResponseFailed{"ZorDevice", "tpZorDevice_GetResponse_failed",
                                            "GetResponse failed"};
inline constexpr ZorText kParsePacket{"ZorDevice", "tpZorDevice_Parse_packet", "Parse packet"};
inline constexpr ZorText kBytes{"ZorDevice", "tpZorDevice_bytes", "bytes"};
inline constexpr ZorText kOk{"ZorDevice", "tpZorDevice_Ok", "Ok"};
inline constexpr ZorText kError{"ZorDevice", "tpZorDevice_Error", "Error"};

inline constexpr ZorText kCheckDevLink{"ZorDevice", "tpZorDevice_CheckDevLink", "CheckDevLink"};
inline constexpr ZorText kGetDevState{"ZorDevice", "tpZorDevice_GetDevState", "GetDevState"};
inline constexpr ZorText kPingSenix{"ZorDevice", "tpZorDevice_PingSenix", "PingSenix"};
inline constexpr ZorText kGetContrType{"ZorDevice", "tpZorDevice_GetContrType", "GetContrType"};
inline constexpr ZorText kGetDevParams{"ZorDevice", "tpZorDevice_GetDevParams", "GetDevParams"};
inline constexpr ZorText kGetDevDataPortion{"ZorDevice", "tpZorDevice_GetDevDataPortion",
                                            "GetDevDataPortion"};
inline constexpr ZorText kGetDevStateData{"ZorDevice", "tpZorDevice_GetDevStateData",
                                          "GetDevStateData"};

inline constexpr ZorText kParseState{"ZorDevice", "tpZorDevice_Parse_state", "Parse state"};
inline constexpr ZorText kStateUnknown{"ZorDevice", "tpZorDevice_State_Unknown",
                                       "Error, State: Unknown"};
inline constexpr ZorText kStateAlarm{"ZorDevice", "tpZorDevice_State_Alarm", "Ok, State: Alarm"};
inline constexpr ZorText kStateNormal{"ZorDevice", "tpZorDevice_State_Normal", "Ok, State: Normal"};
inline constexpr ZorText kParseDistance{"ZorDevice", "tpZorDevice_Parse_distance",
                                        "Parse distance"};
inline constexpr ZorText kDistance{"ZorDevice", "tpZorDevice_Distance", "Distance"};
inline constexpr ZorText kParseData{"ZorDevice", "tpZorDevice_Parse_data", "Parse data"};
inline constexpr ZorText kElements{"ZorDevice", "tpZorDevice_elements", "elements"};

}  // namespace zortext

}  // namespace zm
