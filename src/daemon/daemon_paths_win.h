#pragma once

#include <string>

namespace zendro {

// The roaming application-data folder + "\ZendroWebDaemon"; empty when the shell cannot say.
// The folder is not created.
std::wstring DaemonHome();

// Paths below DaemonHome; each is empty when DaemonHome is.
std::wstring JavaRuntimePath();       // \Java\bin\java.exe: present once the daemon is installed
std::wstring DaemonProgramFolder();   // \Zendro
std::wstring DaemonArchivePath();     // \Zendro\zendrolite.jar
std::wstring ExportedSettingsPath();  // \Zendro\exported_params.properties
std::wstring TorrentFolder();         // \Torrents

// The installed daemon's web port from its exported settings, or empty text.
std::string ReadDaemonPort();

// A TCP port from 9091 up that could be bound exclusively on every address a moment ago ("9102"
// when 9091-9101 are all taken), or empty text when Winsock cannot be started.
std::string GetListeningPort();

}  // namespace zendro
