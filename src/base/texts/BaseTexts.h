#pragma once

#include <span>

#include "base/MlsEntry.h"

// Common button words and the wait dialog.
namespace zm::texts {

extern const CMlsEntry tp_Ok;
extern const CMlsEntry tp_Cancel;
extern const CMlsEntry tp_Error;
extern const CMlsEntry tp_Apply;
extern const CMlsEntry tp_Abort;
extern const CMlsEntry tp_Close;
extern const CMlsEntry tp_Quit;
extern const CMlsEntry tp_Save;
extern const CMlsEntry tp_Back;
extern const CMlsEntry tp_Next;
extern const CMlsEntry tp_Skip;
extern const CMlsEntry tp_Xxx;
extern const CMlsEntry tpWaitingDlg_PleaseWait;
extern const CMlsEntry tpWaitingDlg_LongOperation;

// Every entry of this file, in catalogue order.
std::span<const CMlsEntry* const> BaseTexts();

}  // namespace zm::texts
