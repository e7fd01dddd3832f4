#include "base/texts/BaseTexts.h"

namespace zm::texts {

constinit const CMlsEntry tp_Ok{"tp_Ok", "OK", true, "common_translations"};
constinit const CMlsEntry tp_Cancel{"tp_Cancel", "Cancel", true, "common_translations"};
constinit const CMlsEntry tp_Error{"tp_Error", "Error", true, "common_translations"};
constinit const CMlsEntry tp_Apply{"tp_Apply", "Apply", true, "common_translations"};
constinit const CMlsEntry tp_Abort{"tp_Abort", "Abort", true, "common_translations"};
constinit const CMlsEntry tp_Close{"tp_Close", "Close", true, "common_translations"};
constinit const CMlsEntry tp_Quit{"tp_Quit", "Quit", true, "common_translations"};
constinit const CMlsEntry tp_Save{"tp_Save", "Save", true, "common_translations"};
constinit const CMlsEntry tp_Back{"tp_Back", "Back", true, "common_translations"};
constinit const CMlsEntry tp_Next{"tp_Next", "Next", true, "common_translations"};
constinit const CMlsEntry tp_Skip{"tp_Skip", "Skip", true, "common_translations"};
constinit const CMlsEntry tp_Xxx{"tp_Xxx", "Xxx", true, "common_translations"};
constinit const CMlsEntry tpWaitingDlg_PleaseWait{"tpWaitingDlg_PleaseWait", "Please wait...", true,
                                                  nullptr};
constinit const CMlsEntry tpWaitingDlg_LongOperation{
    "tpWaitingDlg_LongOperation", "Performing long time operation.", true, nullptr};

namespace {
constexpr const CMlsEntry* kAll[] = {
    &tp_Ok,
    &tp_Cancel,
    &tp_Error,
    &tp_Apply,
    &tp_Abort,
    &tp_Close,
    &tp_Quit,
    &tp_Save,
    &tp_Back,
    &tp_Next,
    &tp_Skip,
    &tp_Xxx,
    &tpWaitingDlg_PleaseWait,
    &tpWaitingDlg_LongOperation,
};
}  // namespace

std::span<const CMlsEntry* const> BaseTexts() {
    return kAll;
}

}  // namespace zm::texts
