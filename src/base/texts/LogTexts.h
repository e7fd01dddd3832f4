#pragma once

#include <span>

#include "base/MlsEntry.h"

// Column headers of the data log, the alarm log and the alarm report.
namespace zm::texts {

extern const CMlsEntry tp_LogHeader_1;
extern const CMlsEntry tp_AlarmLogHeader_1;
extern const CMlsEntry tp_AlarmReportHeader_1;
extern const CMlsEntry tp_AlarmReportHeader_6;
extern const CMlsEntry tp_AlarmReportHeader_2;
extern const CMlsEntry tp_AlarmReportHeader_3;
extern const CMlsEntry tp_AlarmReportHeader_4;
extern const CMlsEntry tp_AlarmReportHeader_5;

// Every entry of this file, in catalogue order.
std::span<const CMlsEntry* const> LogTexts();

}  // namespace zm::texts
