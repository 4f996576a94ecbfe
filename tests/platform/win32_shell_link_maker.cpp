// Makes a shortcut file with IShellLinkW::SetPath and IPersistFile::Save.
// The only test file that speaks Win32: the shortcut must come from the
// shell, not from the code under test.
#include "win32_shell_link_maker.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

bool win32_make_shell_link(const WideString& link_path, const WideString& target_path) {
    const HRESULT init = CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link));
    if (SUCCEEDED(hr)) hr = link->SetPath(reinterpret_cast<const wchar_t*>(target_path.c_str()));
    if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(hr)) hr = file->Save(reinterpret_cast<const wchar_t*>(link_path.c_str()), TRUE);
    if (file != nullptr) file->Release();
    if (link != nullptr) link->Release();
    if (SUCCEEDED(init)) CoUninitialize();
    return SUCCEEDED(hr);
}
