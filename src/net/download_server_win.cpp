#include "net/http.h"
#include "win/environment_win.h"

namespace zendro {

std::string DownloadServerBaseUrl() {
    const std::string configured = ReadEnvironment(kDownloadServerVariable);
    return ChooseDownloadServerBaseUrl(configured.empty() ? nullptr : configured.c_str());
}

}  // namespace zendro
