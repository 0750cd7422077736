#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <string>

#include "win/owners_win.h"

namespace zendro {

// An item list the shell allocated (SHBrowseForFolderW), freed with the shell's allocator.
inline void FreeShellItemList(PIDLIST_ABSOLUTE list) {
    IMalloc* raw = nullptr;
    if (FAILED(::SHGetMalloc(&raw))) return;
    ComPtr<IMalloc> allocator(raw);
    allocator.get()->Free(list);
}
using UniqueShellItemList = UniqueAny<PIDLIST_ABSOLUTE, FreeShellItemList>;

// COM in a single-threaded apartment for the lifetime of the scope, as the shell's dialogs and
// ShellExecuteExW (which may hand the item to a shell extension) expect.
class ShellComScope {
  public:
    ShellComScope() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ShellComScope() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    ShellComScope(const ShellComScope&) = delete;
    ShellComScope& operator=(const ShellComScope&) = delete;

  private:
    HRESULT result_;
};

// ShellExecuteExW with the verb "open", no error dialogs, and the new process (if the shell made
// one) handed to `process`. False when the shell could not open the file.
bool ShellOpen(const std::wstring& file, const std::wstring& parameters, int show,
               UniqueHandle& process);

// The user's %LOCALAPPDATA% as the shell knows it; "" when it has none.
std::wstring LocalAppDataFolder();

}  // namespace zendro
