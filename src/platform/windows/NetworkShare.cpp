#include "platform/NetworkShare.h"

#include <windows.h>

#include <aclapi.h>
#include <lm.h>

#include "Wide.h"

// NetShareAdd where the process may share (administrators), and an access entry for
// "Everyone" (the well-known world SID, whatever the system's language calls it).
namespace zm::platform {

namespace {

std::string ShareErrorText(NET_API_STATUS status) {
    switch (status) {
        case ERROR_ACCESS_DENIED:
            return "access denied (sharing needs administrator rights)";
        case NERR_DuplicateShare:
            return "a share of that name exists";
        case NERR_NetNameNotFound:
            return "no such share";
        default:
            return "error " + std::to_string(status);
    }
}

}  // namespace

ShareResult AddNetworkShare(const std::string& name, const std::string& folder,
                            const std::string& remark) {
    std::wstring wideName = Wide(name);
    std::wstring widePath = Wide(folder);
    for (wchar_t& c : widePath)
        if (c == L'/')
            c = L'\\';
    std::wstring wideRemark = Wide(remark);
    SHARE_INFO_2 info{};
    info.shi2_netname = wideName.data();
    info.shi2_type = STYPE_DISKTREE;
    info.shi2_remark = wideRemark.data();
    info.shi2_permissions = ACCESS_READ;
    info.shi2_max_uses = static_cast<DWORD>(-1);
    info.shi2_path = widePath.data();
    DWORD badParameter = 0;
    const NET_API_STATUS status =
        NetShareAdd(nullptr, 2, reinterpret_cast<LPBYTE>(&info), &badParameter);
    ShareResult result;
    result.reached = true;
    result.ok = status == NERR_Success;
    if (!result.ok)
        result.detail = ShareErrorText(status);
    return result;
}

ShareResult RemoveNetworkShare(const std::string& name) {
    std::wstring wideName = Wide(name);
    const NET_API_STATUS status = NetShareDel(nullptr, wideName.data(), 0);
    ShareResult result;
    result.reached = true;
    result.ok = status == NERR_Success;
    result.notFound = status == NERR_NetNameNotFound;
    if (!result.ok)
        result.detail = ShareErrorText(status);
    return result;
}

std::string SetEveryoneCanRead(const std::string& path, bool isDirectory, bool grant) {
    std::wstring widePath = Wide(path);
    PACL oldAcl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD rc = GetNamedSecurityInfoW(widePath.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                     nullptr, nullptr, &oldAcl, nullptr, &descriptor);
    if (rc != ERROR_SUCCESS)
        return "GetNamedSecurityInfo: error " + std::to_string(rc);
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
        LocalFree(descriptor);
        return "AllocateAndInitializeSid: error " + std::to_string(GetLastError());
    }
    EXPLICIT_ACCESSW access{};
    access.grfAccessPermissions = GENERIC_READ | GENERIC_EXECUTE;
    access.grfAccessMode = grant ? GRANT_ACCESS : REVOKE_ACCESS;
    access.grfInheritance = isDirectory ? (SUB_CONTAINERS_AND_OBJECTS_INHERIT) : NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = static_cast<LPWSTR>(everyone);
    PACL newAcl = nullptr;
    rc = SetEntriesInAclW(1, &access, oldAcl, &newAcl);
    std::string error;
    if (rc != ERROR_SUCCESS) {
        error = "SetEntriesInAcl: error " + std::to_string(rc);
    } else {
        rc = SetNamedSecurityInfoW(widePath.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                   nullptr, nullptr, newAcl, nullptr);
        if (rc != ERROR_SUCCESS)
            error = "error " + std::to_string(rc);
    }
    LocalFree(newAcl);
    FreeSid(everyone);
    LocalFree(descriptor);
    return error;
}

}  // namespace zm::platform
