#include "install/shell_link.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include "runtime/handles.h"

HRESULT CreateLink(const std::string& target, const std::string& linkPath, const std::string& workingDir,
                   const std::string& description) {
    ComPtr<IShellLinkA> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  link.ReceiveVoid());
    if (FAILED(hr)) return hr;
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(workingDir.c_str());
    link->SetDescription(description.c_str());
    ComPtr<IPersistFile> file;
    hr = link->QueryInterface(IID_IPersistFile, file.ReceiveVoid());
    // Without IPersistFile nothing is saved: that is a failure too.
    if (FAILED(hr)) return hr;
    WCHAR widePath[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH) == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    return file->Save(widePath, TRUE);
}
