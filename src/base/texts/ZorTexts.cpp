#include "base/texts/ZorTexts.h"

namespace zm::texts {

constinit const CMlsEntry tpEmulation{"tpEmulation", "Emulation", true, "Emulation"};
constinit const CMlsEntry tpEmulation_Value{"tpEmulation_Value", "Value", true, "Device_params"};
constinit const CMlsEntry tpEmulation_Last{"tpEmulation_Last", "last of", true, "Device_params"};
constinit const CMlsEntry tpEmulation_Emulated{"tpEmulation_Emulated", "emulated", true,
                                               "Device_params"};
constinit const CMlsEntry tpEmulation_Threshs{"tpEmulation_Threshs", "Threshs", true,
                                              "Device_params"};
constinit const CMlsEntry tpZorDevice_DeviceWithName{"tpZorDevice_DeviceWithName",
                                                     "Device with name", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_already_exists{"tpZorDevice_already_exists", "already exists",
                                                     true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_Select_another_name{
    "tpZorDevice_Select_another_name", "Please select another name.", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_failed_in_use{"tpZorDevice_failed_in_use", "failed (in use).",
                                                    true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_already_exist{"tpZorDevice_already_exist", "already exist",
                                                    true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_succeeded{"tpZorDevice_succeeded", "succeeded", true,
                                                "ZorDevice"};
constinit const CMlsEntry tpZorDevice_failed{"tpZorDevice_failed", "failed", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_Batch_size{"tpZorDevice_Batch_size", "Batch size", true,
                                                 "ZorDevice"};
constinit const CMlsEntry tpZorDevice_points{"tpZorDevice_points", "points", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_Current_value{"tpZorDevice_Current_value", "Current value",
                                                    true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_pts{"tpZorDevice_pts", "pts", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_total{"tpZorDevice_total", "total", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_CurValue{"tpZorDevice_CurValue", "CurValue", true,
                                               "ZorDevice"};
constinit const CMlsEntry tpZorDevice_Distance{"tpZorDevice_Distance", "Distance", true,
                                               "ZorDevice"};
constinit const CMlsEntry tpZorDevice_bytes_sent{"tpZorDevice_bytes_sent", "bytes sent", true,
                                                 "ZorDevice"};
constinit const CMlsEntry tpZorDevice_SendCommand_failed{"tpZorDevice_SendCommand_failed",
                                                         "SendCommand failed", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_code{"tpZorDevice_code", "code", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_bytes_received{"tpZorDevice_bytes_received", "bytes received",
                                                     true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_GetResponse_failed{"tpZorDevice_GetResponse_failed",
                                                         "GetResponse failed", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_Connection{"tpZorDevice_Connection", "Connection", true,
                                                 "ZorDevice"};
constinit const CMlsEntry tpZorDevice_closed{"tpZorDevice_closed", "closed", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_kept{"tpZorDevice_kept", "kept", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_Parse_packet{"tpZorDevice_Parse_packet", "Parse packet", true,
                                                   "ZorDevice"};
constinit const CMlsEntry tpZorDevice_bytes{"tpZorDevice_bytes", "bytes", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_Ok{"tpZorDevice_Ok", "Ok", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_Error{"tpZorDevice_Error", "Error", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_CheckDevLink{"tpZorDevice_CheckDevLink", "CheckDevLink", true,
                                                   "ZorDevice"};
constinit const CMlsEntry tpZorDevice_GetContrType{"tpZorDevice_GetContrType", "GetContrType", true,
                                                   "ZorDevice"};
constinit const CMlsEntry tpZorDevice_GetDevParams{"tpZorDevice_GetDevParams", "GetDevParams", true,
                                                   "ZorDevice"};
constinit const CMlsEntry tpZorDevice_GetDevState{"tpZorDevice_GetDevState", "GetDevState", true,
                                                  "ZorDevice"};
constinit const CMlsEntry tpZorDevice_GetDevStateData{"tpZorDevice_GetDevStateData",
                                                      "GetDevStateData", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_Parse_state{"tpZorDevice_Parse_state", "Parse state", true,
                                                  "ZorDevice"};
constinit const CMlsEntry tpZorDevice_State_Alarm{"tpZorDevice_State_Alarm", "Ok, State: Alarm",
                                                  true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_State_Normal{"tpZorDevice_State_Normal", "Ok, State: Normal",
                                                   true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_State_Unknown{"tpZorDevice_State_Unknown",
                                                    "Error, State: Unknown", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_PingSenix{"tpZorDevice_PingSenix", "PingSenix", true,
                                                "ZorDevice"};
constinit const CMlsEntry tpZorDevice_Parse_distance{"tpZorDevice_Parse_distance", "Parse distance",
                                                     true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_GetAuxStruct{"tpZorDevice_GetAuxStruct", "GetAuxStruct", true,
                                                   "ZorDevice"};
constinit const CMlsEntry tpZorDevice_GetDevDataPortion{"tpZorDevice_GetDevDataPortion",
                                                        "GetDevDataPortion", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_Parse_data{"tpZorDevice_Parse_data", "Parse data", true,
                                                 "ZorDevice"};
constinit const CMlsEntry tpZorDevice_elements{"tpZorDevice_elements", "elements", true,
                                               "ZorDevice"};
constinit const CMlsEntry tpZorDevice_External_data{
    "tpZorDevice_External_data", "External data: (not supported)", true, "ZorDevice"};
constinit const CMlsEntry tpZorDevice_Thr{"tpZorDevice_Thr", "Thr", true, "ZorDevice"};

namespace {
constexpr const CMlsEntry* kAll[] = {
    &tpEmulation,
    &tpEmulation_Value,
    &tpEmulation_Last,
    &tpEmulation_Emulated,
    &tpEmulation_Threshs,
    &tpZorDevice_DeviceWithName,
    &tpZorDevice_already_exists,
    &tpZorDevice_Select_another_name,
    &tpZorDevice_failed_in_use,
    &tpZorDevice_already_exist,
    &tpZorDevice_succeeded,
    &tpZorDevice_failed,
    &tpZorDevice_Batch_size,
    &tpZorDevice_points,
    &tpZorDevice_Current_value,
    &tpZorDevice_pts,
    &tpZorDevice_total,
    &tpZorDevice_CurValue,
    &tpZorDevice_Distance,
    &tpZorDevice_bytes_sent,
    &tpZorDevice_SendCommand_failed,
    &tpZorDevice_code,
    &tpZorDevice_bytes_received,
    &tpZorDevice_GetResponse_failed,
    &tpZorDevice_Connection,
    &tpZorDevice_closed,
    &tpZorDevice_kept,
    &tpZorDevice_Parse_packet,
    &tpZorDevice_bytes,
    &tpZorDevice_Ok,
    &tpZorDevice_Error,
    &tpZorDevice_CheckDevLink,
    &tpZorDevice_GetContrType,
    &tpZorDevice_GetDevParams,
    &tpZorDevice_GetDevState,
    &tpZorDevice_GetDevStateData,
    &tpZorDevice_Parse_state,
    &tpZorDevice_State_Alarm,
    &tpZorDevice_State_Normal,
    &tpZorDevice_State_Unknown,
    &tpZorDevice_PingSenix,
    &tpZorDevice_Parse_distance,
    &tpZorDevice_GetAuxStruct,
    &tpZorDevice_GetDevDataPortion,
    &tpZorDevice_Parse_data,
    &tpZorDevice_elements,
    &tpZorDevice_External_data,
    &tpZorDevice_Thr,
};
}  // namespace

std::span<const CMlsEntry* const> ZorTexts() {
    return kAll;
}

}  // namespace zm::texts
