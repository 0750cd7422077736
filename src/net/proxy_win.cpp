#include "net/proxy_win.h"

#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <future>
#include <memory>
#include <thread>

#include "base/unique_resource.h"
#include "net/curl_owners_win.h"
#include "net/http.h"
#include "net/proxy.h"
#include "win/environment_win.h"
#include "win/late_binding_win.h"
#include "win/text_win.h"

namespace zendro {
namespace {

// Discovering a configuration script (WPAD, through DHCP and DNS), fetching it and running it may
// take this long for one URL; past it the transfer goes on without, and later transfers of the
// same run do not ask again. A WPAD look-up on a network without one can take far longer.
constexpr auto kAutomaticProxyLimit = std::chrono::seconds(5);
constexpr int kScriptFetchMilliseconds = 4000;

using UniqueInternet = UniqueAny<HINTERNET, ::WinHttpCloseHandle>;
using UniqueGlobalText = UniqueAny<LPWSTR, ::GlobalFree>;  // texts WinHTTP hands out for the caller

std::string Narrow(const UniqueGlobalText& text) {
    return text ? ToNarrow(std::wstring(text.get())) : std::string();
}

// As libcurl reads the environment on Windows: any case of the name, an empty value is none.
bool EnvironmentHolds(const std::string& name) { return !ReadEnvironment(name).empty(); }

struct UserProxySetting {
    bool autoDetect = false;
    std::wstring scriptUrl;
    std::string proxy;
    std::string bypass;
};

UserProxySetting ReadUserProxySetting() {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!::WinHttpGetIEProxyConfigForCurrentUser(&config)) return {};
    const UniqueGlobalText script(config.lpszAutoConfigUrl);
    const UniqueGlobalText proxy(config.lpszProxy);
    const UniqueGlobalText bypass(config.lpszProxyBypass);
    UserProxySetting setting;
    setting.autoDetect = config.fAutoDetect != FALSE;
    if (script) setting.scriptUrl = script.get();
    setting.proxy = Narrow(proxy);
    setting.bypass = Narrow(bypass);
    return setting;
}

// Read once a run, at the first transfer that needs it.
const UserProxySetting& UserSetting() {
    static const UserProxySetting setting = ReadUserProxySetting();
    return setting;
}

struct AutomaticProxy {
    bool resolved = false;
    std::string proxy;  // empty: direct
    std::string bypass;
};

AutomaticProxy ResolveAutomaticProxy(const std::wstring& url, bool autoDetect,
                                     const std::wstring& scriptUrl) {
    AutomaticProxy answer;
    const UniqueInternet session(::WinHttpOpen(kUserAgentWide, WINHTTP_ACCESS_TYPE_NO_PROXY,
                                               WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return answer;
    ::WinHttpSetTimeouts(session.get(), kScriptFetchMilliseconds, kScriptFetchMilliseconds,
                         kScriptFetchMilliseconds, kScriptFetchMilliseconds);
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (autoDetect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (!scriptUrl.empty()) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = scriptUrl.c_str();
    }
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info{};
    if (!::WinHttpGetProxyForUrl(session.get(), url.c_str(), &options, &info)) return answer;
    const UniqueGlobalText proxy(info.lpszProxy);
    const UniqueGlobalText bypass(info.lpszProxyBypass);
    answer.resolved = true;
    if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
        answer.proxy = Narrow(proxy);
        answer.bypass = Narrow(bypass);
    }
    return answer;
}

// WinHTTP's resolver blocks without a bound of its own, so it runs on a thread of its own that is
// waited for only so long; one that overstays is left to end with the process.
bool ResolveInTime(const std::wstring& url, const UserProxySetting& setting,
                   AutomaticProxy& answer) {
    static bool unavailable = false;
    if (unavailable) return false;
    try {
        auto task = std::make_shared<std::packaged_task<AutomaticProxy()>>(
            [url, autoDetect = setting.autoDetect, script = setting.scriptUrl] {
                return ResolveAutomaticProxy(url, autoDetect, script);
            });
        std::future<AutomaticProxy> result = task->get_future();
        std::thread([task] { (*task)(); }).detach();
        if (result.wait_for(kAutomaticProxyLimit) == std::future_status::ready) {
            answer = result.get();
        }
    } catch (const std::exception&) {
        answer = {};
    }
    // No discovery or script now means none for the rest of this run either.
    unavailable = !answer.resolved;
    return answer.resolved;
}

// The parts of `url` the proxy decision reads; false when libcurl cannot read the URL.
struct UrlParts {
    std::string scheme, host;
    long port = 0;
};
bool SplitUrl(const std::string& url, UrlParts& parts) {
    UniqueCurlUrl parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        return false;
    }
    UniqueCurlText scheme;
    UniqueCurlText host;
    UniqueCurlText port;
    if (curl_url_get(parsed.get(), CURLUPART_SCHEME, scheme.put(), 0) != CURLUE_OK ||
        curl_url_get(parsed.get(), CURLUPART_HOST, host.put(), 0) != CURLUE_OK ||
        curl_url_get(parsed.get(), CURLUPART_PORT, port.put(), CURLU_DEFAULT_PORT) != CURLUE_OK) {
        return false;
    }
    parts = {scheme.get(), host.get(), std::strtol(port.get(), nullptr, 10)};
    return true;
}

std::string EnvironmentValue(const std::string& name) { return ReadEnvironment(name); }

// The fixed proxy of Windows' setting for the URL, "" when it has none or bypasses the host.
std::string FixedProxy(const UserProxySetting& setting, const UrlParts& url) {
    if (IsProxyBypassed(setting.bypass, url.scheme, url.host, url.port)) return "";
    return ProxyForScheme(setting.proxy, url.scheme);
}

}  // namespace

void UseNoProxy(CURL* curl) {
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
}

std::string DescribeUserProxy(const std::string& url) {
    UrlParts parts;
    if (!SplitUrl(url, parts)) return "go direct (the URL cannot be read)";
    if (const std::string variable = LibcurlProxyVariable(parts.scheme, EnvironmentHolds);
        !variable.empty()) {
        std::string text =
            "go through the proxy " + UrlForLog(EnvironmentValue(variable)) + " (from " + variable;
        if (EnvironmentHolds("no_proxy")) {
            text += ", unless no_proxy " + EnvironmentValue("no_proxy") + " names the host";
        }
        return text + ")";
    }
    if (!BindLibraries({"winhttp.dll"})) return "go direct (Windows' proxy setting cannot be read)";
    const UserProxySetting& setting = UserSetting();
    const std::string fixed = FixedProxy(setting, parts);
    const std::string fallback = fixed.empty() ? "else direct" : "else the proxy " + fixed;
    // Named, not resolved: resolving could reach outside the machine.
    if (!setting.scriptUrl.empty()) {
        return "follow a configuration script " + UrlForLog(ToNarrow(setting.scriptUrl)) +
               (setting.autoDetect ? " or automatic detection" : "") + ", " + fallback +
               " (Windows' setting)";
    }
    if (setting.autoDetect)
        return "follow automatic detection, " + fallback + " (Windows' setting)";
    if (fixed.empty()) return "go direct (no proxy set)";
    return "go through the proxy " + fixed + " (Windows' setting)";
}

void UseUserProxy(CURL* curl, const std::string& url) {
    UrlParts parts;
    if (!SplitUrl(url, parts)) return;
    // libcurl reads these variables itself, and its no_proxy with them.
    if (!LibcurlProxyVariable(parts.scheme, EnvironmentHolds).empty()) return;

    // Where WinHTTP cannot be had, the proxy cannot be determined: the transfer goes direct.
    if (!BindLibraries({"winhttp.dll"})) return;
    const UserProxySetting& setting = UserSetting();
    std::string proxy;
    AutomaticProxy automatic;
    if ((setting.autoDetect || !setting.scriptUrl.empty()) &&
        ResolveInTime(ToWide(url), setting, automatic)) {
        if (!IsProxyBypassed(automatic.bypass, parts.scheme, parts.host, parts.port)) {
            proxy = ProxyForScheme(automatic.proxy, parts.scheme);
        }
    } else {
        // Where automatic configuration gives nothing, Windows falls back to the fixed proxy too.
        proxy = FixedProxy(setting, parts);
    }
    if (proxy.empty()) return;
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
    // A proxy that asks who is there gets the signed-in user through Windows' own SSPI (an empty
    // name means the current credentials): nothing is stored or asked for.
    curl_easy_setopt(curl, CURLOPT_PROXYAUTH,
                     static_cast<long>(CURLAUTH_NEGOTIATE | CURLAUTH_NTLM));
    curl_easy_setopt(curl, CURLOPT_PROXYUSERPWD, ":");
}

}  // namespace zendro
