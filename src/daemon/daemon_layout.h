#pragma once

// Where the daemon lives, below DaemonHome (the roaming application-data folder +
// "\ZendroWebDaemon"). Paths are formed by appending these tails.

namespace zendro {

inline constexpr wchar_t kDaemonHomeTail[] = L"\\ZendroWebDaemon";
inline constexpr wchar_t kJavaRuntimeTail[] = L"\\Java\\bin\\java.exe";
inline constexpr wchar_t kDaemonProgramFolderTail[] = L"\\Zendro";
inline constexpr wchar_t kDaemonArchiveTail[] = L"\\Zendro\\zendrolite.jar";
inline constexpr wchar_t kExportedSettingsTail[] = L"\\Zendro\\exported_params.properties";
inline constexpr wchar_t kTorrentFolderTail[] = L"\\Torrents";

}  // namespace zendro
