#include "win/shell_win.h"

namespace zendro {

bool ShellOpen(const std::wstring& file, const std::wstring& parameters, int show,
               UniqueHandle& process) {
    const ShellComScope com;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);  // 112 on 64-bit Windows; a smaller size is refused
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = show;
    if (!::ShellExecuteExW(&info)) return false;
    process.reset(info.hProcess);
    return true;
}

std::wstring LocalAppDataFolder() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                                  folder))) {
        return L"";
    }
    return folder;
}

}  // namespace zendro
