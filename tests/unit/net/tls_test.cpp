#include "net/tls.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zendro {
namespace {

TEST(ChainErrorsAllowTrust, OnlyUnknownRevocationIsForgiven) {
    EXPECT_TRUE(ChainErrorsAllowTrust(0));
    EXPECT_TRUE(ChainErrorsAllowTrust(kChainRevocationStatusUnknown | kChainOfflineRevocation));
    // Not time-valid, revoked, untrusted root, partial chain (CERT_TRUST_*), with or without
    // unknown revocation beside them.
    for (uint32_t fault : {0x1u, 0x4u, 0x20u, 0x10000u}) {
        EXPECT_FALSE(ChainErrorsAllowTrust(fault)) << fault;
        EXPECT_FALSE(ChainErrorsAllowTrust(fault | kChainOfflineRevocation)) << fault;
    }
}

TEST(CertificateHostName, ComparesNamesAsWindowsDoesAndRefusesWhatItCannot) {
    // Stands in for Windows' conversion: knows one name; "." when asked for a broken result.
    const HostNameToAscii toAscii = [](std::string_view name) -> std::string {
        if (name ==
            "b\xC3\xBC"
            "cher.example")
            return "xn--bcher-kva.example";
        if (name ==
            "b\xC3\xBC"
            "cher.example.")
            return "xn--bcher-kva.example.";
        if (name == "broken.\xC3\xBC") return "a..b";
        return "";
    };
    struct Case {
        std::string host;
        std::string name;
    };
    for (const Case& c : std::vector<Case>{
             {"downloads.example.com", "downloads.example.com"},
             {"Downloads.Example.COM", "Downloads.Example.COM"},  // Windows ignores case
             {"downloads.example.com.", "downloads.example.com"},
             {"localhost", "localhost"},
             {"127.0.0.1", "127.0.0.1"},
             {"a_b-c.example", "a_b-c.example"},
             {"[::1]", "::1"},
             {"[2001:db8::FFFF:192.0.2.1]", "2001:db8::FFFF:192.0.2.1"},
             {"b\xC3\xBC"
              "cher.example",
              "xn--bcher-kva.example"},
             {"b\xC3\xBC"
              "cher.example.",
              "xn--bcher-kva.example"},
             {"xn--bcher-kva.example", "xn--bcher-kva.example"},
             {"", ""},
             {".", ""},
             {"example.com..", ""},
             {".example.com", ""},
             {"a..example.com", ""},
             {"[]", ""},
             {"[fe80::1%25eth0]", ""},
             {"[::1", ""},
             {"::1", ""},  // an address only in brackets
             {"[example.com]", ""},
             {"exa mple.com", ""},
             {"exa%41mple.com", ""},
             {"*.example.com", ""},
             {"caf\xC3\xA9.example", ""},  // the conversion fails
             {"broken.\xC3\xBC", ""},      // ...or gives no host name
             {std::string("a\0b.example", 11), ""}}) {
        EXPECT_EQ(CertificateHostName(c.host, toAscii), c.name) << c.host;
    }
    EXPECT_EQ(CertificateHostName("b\xC3\xBC"
                                  "cher.example",
                                  nullptr),
              "");
}

}  // namespace
}  // namespace zendro
