#include "install/shell_link.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "runtime/handles.h"

namespace {

// The three identifiers the shortcut needs, defined here: taking them from
// the system's GUID library would link tens of kilobytes of other GUIDs into
// an image that every installer and uninstaller carries.
const CLSID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

}  // namespace

HRESULT CreateLink(const std::string& target, const std::string& linkPath, const std::string& workingDir,
                   const std::string& description) {
    ComPtr<IShellLinkA> link;
    HRESULT hr = CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkA, link.ReceiveVoid());
    if (FAILED(hr)) return hr;
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(workingDir.c_str());
    link->SetDescription(description.c_str());
    ComPtr<IPersistFile> file;
    hr = link->QueryInterface(kIidPersistFile, file.ReceiveVoid());
    // Without IPersistFile nothing is saved: that is a failure too.
    if (FAILED(hr)) return hr;
    WCHAR widePath[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH) == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    return file->Save(widePath, TRUE);
}
