#include "net/proxy.h"

#include <cctype>
#include <functional>
#include <map>
#include <string>

#include <gtest/gtest.h>

namespace zendro {
namespace {

// An environment; on `windows` its names know no case.
std::function<bool(const std::string&)> Environment(std::map<std::string, std::string> values,
                                                    bool windows) {
    const auto fold = [windows](std::string name) {
        for (char& c : name) c = windows ? static_cast<char>(std::tolower(c)) : c;
        return name;
    };
    std::map<std::string, std::string> folded;
    for (const auto& [name, value] : values) folded.emplace(fold(name), value);
    return [folded, fold](const std::string& name) {
        const auto found = folded.find(fold(name));
        return found != folded.end() && !found->second.empty();
    };
}

TEST(LibcurlProxyVariable, FollowsLibcurlsOrderAndWindowsNames) {
    struct Case {
        std::map<std::string, std::string> environment;
        const char* scheme;
        const char* onLinux;
        const char* onWindows;
    };
    const Case cases[] = {
        {{}, "https", "", ""},
        {{{"no_proxy", "*"}}, "http", "", ""},
        {{{"http_proxy", "p:1"}}, "http", "http_proxy", "http_proxy"},
        {{{"http_proxy", "p:1"}}, "https", "", ""},
        // libcurl never reads HTTP_PROXY itself, but a Windows name matches in any case.
        {{{"HTTP_PROXY", "p:1"}}, "http", "", "http_proxy"},
        {{{"HTTPS_PROXY", "p:1"}}, "https", "HTTPS_PROXY", "https_proxy"},
        {{{"Https_Proxy", "p:1"}}, "HTTPS", "", "https_proxy"},
        {{{"ALL_PROXY", "p:1"}}, "http", "ALL_PROXY", "all_proxy"},
        {{{"all_proxy", "p:1"}, {"https_proxy", "q:2"}}, "https", "https_proxy", "https_proxy"},
        // An empty value is no value.
        {{{"https_proxy", ""}, {"ALL_PROXY", "p:1"}}, "https", "ALL_PROXY", "all_proxy"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LibcurlProxyVariable(c.scheme, Environment(c.environment, false)), c.onLinux)
            << c.scheme << " " << c.environment.begin()->first;
        EXPECT_EQ(LibcurlProxyVariable(c.scheme, Environment(c.environment, true)), c.onWindows)
            << c.scheme;
    }
}

TEST(ProxyForScheme, ReadsWinHttpProxyLists) {
    struct Case {
        const char* list;
        const char* http;
        const char* https;
    };
    const Case cases[] = {
        {"127.0.0.1:3128", "http://127.0.0.1:3128", "http://127.0.0.1:3128"},
        {"proxy.corp", "http://proxy.corp:80", "http://proxy.corp:80"},  // not libcurl's 1080
        {"http://Proxy.Corp:8080/", "http://Proxy.Corp:8080", "http://Proxy.Corp:8080"},
        {"http=a:1;https=b:2", "http://a:1", "http://b:2"},
        {"HTTPS=b:2", "", "http://b:2"},
        {"c:3; https=b:2", "http://c:3", "http://b:2"},
        {"https=b:2 c:3  d:4", "http://c:3", "http://b:2"},
        {"[::1]:8080", "http://[::1]:8080", "http://[::1]:8080"},
        {"socks=s:1080;ftp=f:21", "", ""},
        {"https://secure:443", "", ""},
        {"https=bad/host:1;e:5", "http://e:5", "http://e:5"},
        {"https=b:0;https=c:65535", "", "http://c:65535"},
        {"a:65536", "", ""},
        {"a:", "", ""},
        {"a:x", "", ""},
        {"[]:1", "", ""},
        {"[::1", "", ""},
        {"a@b:1", "", ""},
        {"", "", ""},
        {" ;; ", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProxyForScheme(c.list, "http"), c.http) << c.list;
        EXPECT_EQ(ProxyForScheme(c.list, "https"), c.https) << c.list;
    }
}

TEST(IsProxyBypassed, MatchesWinHttpBypassLists) {
    struct Case {
        const char* list;
        const char* scheme;
        const char* host;
        long port;
        bool bypassed;
    };
    const Case cases[] = {
        {"<local>", "http", "intranet", 80, true},
        {"<LOCAL>", "https", "intranet", 443, true},
        {"<local>", "http", "download.example.com", 80, false},
        {"<local>", "http", "[::1]", 80, false},
        {"download.example.com", "https", "DOWNLOAD.Example.COM", 443, true},
        {"example.com", "https", "download.example.com", 443, false},
        {"*.example.com", "https", "download.example.com", 443, true},
        {"*.example.com", "https", "example.com", 443, false},
        {"*.example.com", "https", "download.example.com.evil", 443, false},
        {"10.*", "http", "10.1.2.3", 80, true},
        {"10.*", "http", "110.1.2.3", 80, false},
        {"*example*", "http", "myexample.org", 80, true},
        {"a*b*c", "http", "aXbYbZc", 80, true},
        {"a*b*c", "http", "aXbYcZ", 80, false},
        {"host:8080", "http", "host", 8080, true},
        {"host:8080", "http", "host", 80, false},
        {"host:*", "http", "host", 81, true},
        {"host:bad", "http", "host", 80, false},
        {"https://host", "https", "host", 443, true},
        {"https://host", "http", "host", 80, false},
        {"http://host:80/", "http", "host", 80, true},
        {"[::1]", "http", "[::1]", 80, true},
        {"[::1]:81", "http", "[::1]", 80, false},
        {"other; host", "http", "host", 80, true},
        {"other,host", "http", "host", 80, true},
        {"other\thost", "http", "host", 80, true},
        {"*", "http", "anything.at.all", 80, true},
        {"", "http", "host", 80, false},
        {";;", "http", "host", 80, false},
        {":80", "http", "host", 80, false},
        {"host", "http", "", 80, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsProxyBypassed(c.list, c.scheme, c.host, c.port), c.bypassed)
            << c.list << " / " << c.scheme << "://" << c.host << ":" << c.port;
    }
}

TEST(IsProxyBypassed, LongPatternsStayCheap) {
    const std::string host(4000, 'a');
    std::string pattern;
    for (int i = 0; i < 1000; ++i) pattern += "*a";
    EXPECT_TRUE(IsProxyBypassed(pattern, "http", host, 80));
    EXPECT_FALSE(IsProxyBypassed(pattern + "b", "http", host, 80));
}

}  // namespace
}  // namespace zendro
