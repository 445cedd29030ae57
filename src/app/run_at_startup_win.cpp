#include "app/run_at_startup_win.h"

#include <windows.h>
#include <aclapi.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "win/handles.h"

namespace velvane {
namespace {

HKEY root_of(RunKeyScope scope) { return scope == RunKeyScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

UniqueKey open_run_key(RunKeyScope scope, REGSAM access) {
    HKEY key = nullptr;
    const std::wstring path(kRunKeyPath);
    if (RegOpenKeyExW(root_of(scope), path.c_str(), 0, access, &key) != ERROR_SUCCESS) return UniqueKey();
    return UniqueKey(key);
}

// Rights that let a user change what the folder holds: add a file (a DLL
// beside the program, say), delete or replace one, or give themselves those
// rights. Creating a subfolder changes nothing the program loads.
constexpr ACCESS_MASK kChangeRights = FILE_ADD_FILE | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;

struct LocalDeleter {
    void operator()(void* memory) const { LocalFree(memory); }
};

// A SID in a buffer of its own.
using SidBuffer = std::vector<BYTE>;

SidBuffer well_known_sid(WELL_KNOWN_SID_TYPE type) {
    SidBuffer sid(SECURITY_MAX_SID_SIZE);
    DWORD size = static_cast<DWORD>(sid.size());
    if (!CreateWellKnownSid(type, nullptr, sid.data(), &size)) return {};
    sid.resize(size);
    return sid;
}

// The current user's SID when the process runs elevated with a split token
// (its owner also works unelevated, as an ordinary user); empty otherwise: an
// account without that split is either an administrator everywhere or an
// ordinary user who cannot write the machine's key anyway.
SidBuffer elevated_user_sid() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
    const UniqueHandle token(raw);
    TOKEN_ELEVATION_TYPE elevation = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevationType, &elevation, sizeof(elevation), &size) ||
        elevation != TokenElevationTypeFull)
        return {};
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    const PSID sid = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    return SidBuffer(bytes, bytes + GetLengthSid(sid));
}

std::vector<SidBuffer> ordinary_users() {
    std::vector<SidBuffer> sids;
    for (const WELL_KNOWN_SID_TYPE type :
         {WinWorldSid, WinAuthenticatedUserSid, WinBuiltinUsersSid, WinInteractiveSid}) {
        if (SidBuffer sid = well_known_sid(type); !sid.empty()) sids.push_back(std::move(sid));
    }
    if (SidBuffer sid = elevated_user_sid(); !sid.empty()) sids.push_back(std::move(sid));
    return sids;
}

bool is_one_of(PSID sid, const std::vector<SidBuffer>& sids) {
    for (const SidBuffer& candidate : sids) {
        if (EqualSid(sid, const_cast<BYTE*>(candidate.data()))) return true;
    }
    return false;
}

}  // namespace

bool FolderSecurity::writable_by_ordinary_users(const std::wstring& folder) const {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return true;  // unknown: not safe for every user's logon
    const std::unique_ptr<void, LocalDeleter> descriptor_owner(descriptor);
    if (!dacl) return true;  // no access list: everyone may do everything
    const std::vector<SidBuffer> ordinary = ordinary_users();
    // The owner may always rewrite the access list.
    if (owner && is_one_of(owner, ordinary)) return true;

    // The entries in their order, as the system reads them for a user who is
    // in all of these groups at once: the first entry to decide a right wins.
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    ACCESS_MASK granted = 0;
    ACCESS_MASK denied = 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry)) return true;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceFlags & INHERIT_ONLY_ACE) continue;  // for what the folder will hold, not the folder
        PSID sid = nullptr;
        ACCESS_MASK mask = 0;
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
            sid = &ace->SidStart;
            mask = ace->Mask;
        } else if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
            auto* ace = static_cast<ACCESS_DENIED_ACE*>(entry);
            sid = &ace->SidStart;
            mask = ace->Mask;
        } else {
            continue;  // object and conditional entries do not occur on plain folders
        }
        if (!is_one_of(sid, ordinary)) continue;
        MapGenericMask(&mask, &mapping);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
            denied |= mask & ~granted;
        } else {
            granted |= mask & ~denied;
        }
    }
    return (granted & kChangeRights) != 0;
}

bool RegistryRunKeys::exists(RunKeyScope scope) const {
    const UniqueKey key = open_run_key(scope, KEY_QUERY_VALUE);
    if (!key) return false;
    const std::wstring name(kRunValueName);
    return RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool RegistryRunKeys::write(RunKeyScope scope, const std::wstring& value) {
    HKEY raw = nullptr;
    const std::wstring path(kRunKeyPath);
    if (RegCreateKeyExW(root_of(scope), path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const UniqueKey key(raw);
    const std::wstring name(kRunValueName);
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
           ERROR_SUCCESS;
}

void RegistryRunKeys::remove(RunKeyScope scope) {
    const UniqueKey key = open_run_key(scope, KEY_SET_VALUE);
    if (!key) return;
    const std::wstring name(kRunValueName);
    RegDeleteValueW(key.get(), name.c_str());
}

}  // namespace velvane
