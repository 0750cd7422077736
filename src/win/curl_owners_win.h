#pragma once

// Owners of libcurl resources: an easy handle and a request header list.

#include <curl/curl.h>

#include "win/unique_resource.h"

namespace zendro {

struct CurlEasyTraits {
    using Value = CURL*;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { ::curl_easy_cleanup(v); }
};
using UniqueCurl = UniqueResource<CurlEasyTraits>;

struct CurlHeaderListTraits {
    using Value = curl_slist*;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { ::curl_slist_free_all(v); }
};
using UniqueHeaderList = UniqueResource<CurlHeaderListTraits>;

}  // namespace zendro
