#pragma once

#include <span>

#include "base/MlsEntry.h"

// The sensor device: transaction transcripts, commands, emulation.
namespace zm::texts {

extern const CMlsEntry tpEmulation;
extern const CMlsEntry tpEmulation_Value;
extern const CMlsEntry tpEmulation_Last;
extern const CMlsEntry tpEmulation_Emulated;
extern const CMlsEntry tpEmulation_Threshs;
extern const CMlsEntry tpZorDevice_DeviceWithName;
extern const CMlsEntry tpZorDevice_already_exists;
extern const CMlsEntry tpZorDevice_Select_another_name;
extern const CMlsEntry tpZorDevice_failed_in_use;
extern const CMlsEntry tpZorDevice_already_exist;
extern const CMlsEntry tpZorDevice_succeeded;
extern const CMlsEntry tpZorDevice_failed;
extern const CMlsEntry tpZorDevice_Batch_size;
extern const CMlsEntry tpZorDevice_points;
extern const CMlsEntry tpZorDevice_Current_value;
extern const CMlsEntry tpZorDevice_pts;
extern const CMlsEntry tpZorDevice_total;
extern const CMlsEntry tpZorDevice_CurValue;
extern const CMlsEntry tpZorDevice_Distance;
extern const CMlsEntry tpZorDevice_bytes_sent;
extern const CMlsEntry tpZorDevice_SendCommand_failed;
extern const CMlsEntry tpZorDevice_code;
extern const CMlsEntry tpZorDevice_bytes_received;
extern const CMlsEntry tpZorDevice_GetResponse_failed;
extern const CMlsEntry tpZorDevice_Connection;
extern const CMlsEntry tpZorDevice_closed;
extern const CMlsEntry tpZorDevice_kept;
extern const CMlsEntry tpZorDevice_Parse_packet;
extern const CMlsEntry tpZorDevice_bytes;
extern const CMlsEntry tpZorDevice_Ok;
extern const CMlsEntry tpZorDevice_Error;
extern const CMlsEntry tpZorDevice_CheckDevLink;
extern const CMlsEntry tpZorDevice_GetContrType;
extern const CMlsEntry tpZorDevice_GetDevParams;
extern const CMlsEntry tpZorDevice_GetDevState;
extern const CMlsEntry tpZorDevice_GetDevStateData;
extern const CMlsEntry tpZorDevice_Parse_state;
extern const CMlsEntry tpZorDevice_State_Alarm;
extern const CMlsEntry tpZorDevice_State_Normal;
extern const CMlsEntry tpZorDevice_State_Unknown;
extern const CMlsEntry tpZorDevice_PingSenix;
extern const CMlsEntry tpZorDevice_Parse_distance;
extern const CMlsEntry tpZorDevice_GetAuxStruct;
extern const CMlsEntry tpZorDevice_GetDevDataPortion;
extern const CMlsEntry tpZorDevice_Parse_data;
extern const CMlsEntry tpZorDevice_elements;
extern const CMlsEntry tpZorDevice_External_data;
extern const CMlsEntry tpZorDevice_Thr;

// Every entry of this file, in catalogue order.
std::span<const CMlsEntry* const> ZorTexts();

}  // namespace zm::texts
