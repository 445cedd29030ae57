#include "app/run_at_startup_win.h"

#include <windows.h>
#include <aclapi.h>

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/skin_win.h"
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

struct LocalDeleter {
    void operator()(void* memory) const { LocalFree(memory); }
};

// A SID known in advance, laid out as the system lays out a SID.
template <std::size_t kSubAuthorities>
struct KnownSid {
    BYTE revision;
    BYTE sub_authority_count;
    SID_IDENTIFIER_AUTHORITY authority;
    DWORD sub_authorities[kSubAuthorities];

    bool is(PSID sid) const { return EqualSid(sid, const_cast<KnownSid*>(this)) != FALSE; }
};

static_assert(offsetof(KnownSid<6>, sub_authorities) == offsetof(SID, SubAuthority));

constexpr SID_IDENTIFIER_AUTHORITY kNtAuthority = SECURITY_NT_AUTHORITY;
constexpr SID_IDENTIFIER_AUTHORITY kCreatorAuthority = SECURITY_CREATOR_SID_AUTHORITY;
constexpr KnownSid<1> kSystem = {SID_REVISION, 1, kNtAuthority, {SECURITY_LOCAL_SYSTEM_RID}};
constexpr KnownSid<2> kAdministrators = {
    SID_REVISION, 2, kNtAuthority, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}};
// NT SERVICE\TrustedInstaller, which owns the system's own files.
constexpr KnownSid<6> kTrustedInstaller = {
    SID_REVISION, 6, kNtAuthority, {80, 956008885, 3418522649, 1831038044, 1853292631, 2271478464}};
// In an entry a folder passes on: whoever makes the file or folder there.
constexpr KnownSid<1> kCreatorOwner = {SID_REVISION, 1, kCreatorAuthority, {SECURITY_CREATOR_OWNER_RID}};
// The owner's own rights, restricted: harmless where the owner is trusted.
constexpr KnownSid<1> kOwnerRights = {SID_REVISION, 1, kCreatorAuthority, {4}};

bool trusted_owner(PSID sid) { return kSystem.is(sid) || kAdministrators.is(sid) || kTrustedInstaller.is(sid); }

bool trusted_in_entry(PSID sid) { return trusted_owner(sid) || kCreatorOwner.is(sid) || kOwnerRights.is(sid); }

// Rights that change a file: its bytes, its being there, who may do that.
constexpr ACCESS_MASK kFileChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER;
// Rights that change what the program's folder holds: a file put in (a DLL
// beside the program, say), one deleted or replaced, the folder itself
// renamed, or who may do that. A subfolder made in it changes nothing the
// program loads.
constexpr ACCESS_MASK kFolderChangeRights = FILE_ADD_FILE | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;
// Rights over a folder above it that let someone put another folder in the
// program's folder's place: a folder in it deleted or renamed, the folder
// itself renamed, or who may do that.
constexpr ACCESS_MASK kFolderAboveChangeRights = FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;

ACCESS_MASK change_rights(ProgramPart part) {
    switch (part) {
    case ProgramPart::File:
        return kFileChangeRights;
    case ProgramPart::Folder:
        return kFolderChangeRights;
    case ProgramPart::FolderAbove:
        return kFolderAboveChangeRights;
    }
    return kFileChangeRights | kFolderChangeRights;
}

bool allows(BYTE ace_type) {
    return ace_type == ACCESS_ALLOWED_ACE_TYPE || ace_type == ACCESS_ALLOWED_CALLBACK_ACE_TYPE ||
           ace_type == ACCESS_ALLOWED_OBJECT_ACE_TYPE || ace_type == ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE ||
           ace_type == ACCESS_ALLOWED_COMPOUND_ACE_TYPE;
}

bool changeable_by_others(const SecuredPart& part) {
    if (!part.descriptor) return true;  // unknown: not safe for every user's logon
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    // The owner may always give itself every right.
    if (!GetSecurityDescriptorOwner(part.descriptor, &owner, &defaulted) || !owner || !trusted_owner(owner))
        return true;
    BOOL present = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(part.descriptor, &present, &dacl, &defaulted)) return true;
    if (!present || !dacl) return true;  // no access list: everyone may do everything

    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry)) return true;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (!allows(header->AceType)) continue;
        // Every kind of entry that allows has the mask first; the plain and
        // the conditional ones have the SID right after it, the others an
        // object type before it, which files never carry: taken as someone else.
        auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        const bool plain =
            header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
        if (plain && trusted_in_entry(&ace->SidStart)) continue;
        ACCESS_MASK mask = ace->Mask;
        MapGenericMask(&mask, &mapping);
        // The entry's rights over the part itself, unless it is only passed on.
        if (!(header->AceFlags & INHERIT_ONLY_ACE) && (mask & change_rights(part.part))) return true;
        // Passed on to the files put in the program's folder later: the next
        // velvane.exe, a skin file.
        if (part.part == ProgramPart::Folder && (header->AceFlags & OBJECT_INHERIT_ACE) && (mask & kFileChangeRights))
            return true;
    }
    return false;
}

// The owner and access list of a file or folder, as the system keeps them.
struct Descriptor {
    std::unique_ptr<void, LocalDeleter> memory;
    DWORD error = ERROR_SUCCESS;
};

Descriptor read_descriptor(const std::wstring& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error =
        GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, nullptr, nullptr, &descriptor);
    return {std::unique_ptr<void, LocalDeleter>(error == ERROR_SUCCESS ? descriptor : nullptr), error};
}

}  // namespace

bool others_may_change(std::span<const SecuredPart> parts) {
    for (const SecuredPart& part : parts)
        if (changeable_by_others(part)) return true;
    return false;
}

bool ProgramSecurity::changeable_by_others(std::wstring_view executable_path) const {
    const std::vector<std::wstring> folders = folders_up_to_root(executable_path);
    if (folders.empty()) return true;
    std::vector<Descriptor> descriptors;
    std::vector<SecuredPart> parts;
    const auto add = [&](ProgramPart part, const std::wstring& path, bool may_be_missing) {
        Descriptor descriptor = read_descriptor(path);
        // A skin file that is not there is no part; only who may put one
        // there counts (the folder's rights).
        if (may_be_missing && (descriptor.error == ERROR_FILE_NOT_FOUND || descriptor.error == ERROR_PATH_NOT_FOUND))
            return;
        parts.push_back({part, descriptor.memory.get()});
        descriptors.push_back(std::move(descriptor));
    };
    add(ProgramPart::File, std::wstring(executable_path), false);
    for (const wchar_t* skin_file : {kSkinLibraryName, kSkinFileName})
        add(ProgramPart::File, folders.front() + (folders.front().ends_with(L'\\') ? L"" : L"\\") + skin_file, true);
    add(ProgramPart::Folder, folders.front(), false);
    for (std::size_t i = 1; i < folders.size(); ++i) add(ProgramPart::FolderAbove, folders[i], false);
    return others_may_change(parts);
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
