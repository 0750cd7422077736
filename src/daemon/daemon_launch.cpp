#include "daemon/daemon_launch.h"

namespace zendro {

namespace {
std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }
}  // namespace

bool IsValidPortText(const std::string& port) {
    if (port.empty() || port.size() > 5) return false;
    unsigned long value = 0;
    for (const char c : port) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    return value >= 1 && value <= 65535;
}

std::wstring BuildJavaParameters(const JavaLaunchPaths& paths, const std::wstring& port) {
    return L"-Xmx128m -Djava.library.path=" + Quoted(paths.programFolder) + L" -Duser.dir=" +
           Quoted(paths.programFolder) + L" -Dorlath.config.path=" + Quoted(paths.programFolder) +
           L" -Dorlath.low.resource.mode=true -Dorlath.pairing.enable.default=false"
           L" -Dorlath.portable.enable=true -Dorlath.folder.download=" +
           Quoted(paths.downloadFolder) + L" -Dorlath.tessui.port=" + port +
           L" -Dorlath.folder.torrent=" + Quoted(paths.torrentFolder) + L" -classpath " +
           Quoted(paths.archive) + L" com.zendro.lite.ZendroLite";
}

std::wstring BuildCommandLine(const std::wstring& program, const std::wstring& parameters) {
    return Quoted(program) + L" " + parameters;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) return folder + name;
    return folder + L"\\" + name;
}

}  // namespace zendro
