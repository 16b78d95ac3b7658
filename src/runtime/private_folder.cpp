#include "runtime/private_folder.h"

#include <windows.h>

#include <sddl.h>

#include "errors.h"
#include "paths.h"
#include "runtime/handles.h"

namespace {

// Rights through which a holder could change what the folder holds.
constexpr DWORD kWriteRights = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES |
                               FILE_WRITE_EA | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

struct TrustedSids {
    BYTE Administrators[SECURITY_MAX_SID_SIZE];
    BYTE System[SECURITY_MAX_SID_SIZE];

    TrustedSids() {
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        PSID sid = nullptr;
        AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &sid);
        CopySid(sizeof Administrators, Administrators, sid);
        FreeSid(sid);
        AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &sid);
        CopySid(sizeof System, System, sid);
        FreeSid(sid);
    }
    bool Trusted(PSID sid) { return sid && (EqualSid(sid, Administrators) || EqualSid(sid, System)); }
};

std::string TempDirectory() {
    char buffer[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof buffer, buffer);
    if (n == 0 || n >= sizeof buffer) throw EInOutError(static_cast<int>(GetLastError() ? GetLastError() : 3));
    std::string dir(buffer, n);
    // Given with a final "\"; a root keeps it.
    if (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
    return dir;
}

// A real folder, not a link that leads elsewhere.
bool IsPlainFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

bool IsAdministratorsOnly(PSECURITY_DESCRIPTOR sd) {
    TrustedSids sids;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(sd, &owner, &defaulted) || !sids.Trusted(owner)) return false;
    BOOL present = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted) || !present || !dacl) return false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) return false;
        const auto* header = static_cast<ACE_HEADER*>(ace);
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if ((allowed->Mask & kWriteRights) && !sids.Trusted(const_cast<DWORD*>(&allowed->SidStart))) return false;
    }
    return true;
}

bool IsAdministratorsOnly(const std::string& path) {
    if (!IsPlainFolder(GetFileAttributesA(path.c_str()))) return false;
    const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    GetFileSecurityA(path.c_str(), what, nullptr, 0, &size);
    if (size == 0) return false;
    std::string buffer(size, '\0');
    auto* sd = reinterpret_cast<PSECURITY_DESCRIPTOR>(&buffer[0]);
    return GetFileSecurityA(path.c_str(), what, sd, size, &size) && IsAdministratorsOnly(sd);
}

namespace {

LocalMemory AdministratorsOnlyDescriptor() {
    LocalMemory sd;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
            kPrivateFolderSecurity, SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(sd.Receive()), nullptr))
        throw EInOutError(static_cast<int>(GetLastError()));
    return sd;
}

// Whether the file system under `tempDir` keeps the descriptors it is
// given, tried on a folder of this process's own: FAT keeps none, and
// neither does Wine on this project's test machines. Where none are kept
// no folder can be judged by its descriptor, and only the journal's own
// rules (journal_scope.h) stand between it and the machine.
bool DescriptorsKept(const std::string& tempDir, SECURITY_ATTRIBUTES& sa) {
    const std::string probe =
        JoinPath(tempDir, std::string(kPrivateFolderName) + "." + std::to_string(GetCurrentProcessId()));
    if (!CreateDirectoryA(probe.c_str(), &sa)) return true;
    const bool kept = IsAdministratorsOnly(probe);
    RemoveDirectoryA(probe.c_str());
    return kept;
}

}  // namespace

PrivateFolder OpenPrivateFolder(const std::string& tempDir) {
    PrivateFolder folder;
    folder.TempDir = tempDir.empty() ? TempDirectory() : tempDir;
    folder.Path = JoinPath(folder.TempDir, kPrivateFolderName);
    LocalMemory sd = AdministratorsOnlyDescriptor();
    SECURITY_ATTRIBUTES sa = {sizeof sa, sd.Get(), FALSE};
    if (CreateDirectoryA(folder.Path.c_str(), &sa)) return folder;
    if (GetLastError() != ERROR_ALREADY_EXISTS) throw EInOutError(static_cast<int>(GetLastError()));

    // Made before: by an earlier run of this program, or by someone else.
    // A link is removed (not what it leads to) and the folder made anew.
    const DWORD attributes = GetFileAttributesA(folder.Path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !IsPlainFolder(attributes)) {
        folder.TakenOver = true;
        if (!((attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryA(folder.Path.c_str())
                                                      : DeleteFileA(folder.Path.c_str())) ||
            !CreateDirectoryA(folder.Path.c_str(), &sa))
            throw EInOutError(static_cast<int>(GetLastError()));
        return folder;
    }
    if (IsAdministratorsOnly(folder.Path) || !DescriptorsKept(folder.TempDir, sa)) return folder;
    // Another program could have written it: this program's owner and
    // access list replace whatever was set, and nothing in it is trusted.
    folder.TakenOver = true;
    if (!SetFileSecurityA(folder.Path.c_str(),
                          OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                          sd.Get()) ||
        !IsAdministratorsOnly(folder.Path))
        throw EInOutError(ERROR_ACCESS_DENIED);
    return folder;
}

void RemovePrivateFolderIfEmpty(const std::string& path) {
    const size_t sep = path.find_last_of('\\');
    if (UpperCaseString(path.substr(sep == std::string::npos ? 0 : sep + 1)) == kPrivateFolderName)
        RemoveDirectoryA(path.c_str());
}
