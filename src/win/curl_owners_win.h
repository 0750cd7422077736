#pragma once

// Owners of libcurl resources: an easy handle, a request header list, a parsed URL and a text
// that libcurl allocated.

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

struct CurlUrlTraits {
    using Value = CURLU*;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { ::curl_url_cleanup(v); }
};
using UniqueCurlUrl = UniqueResource<CurlUrlTraits>;

struct CurlTextTraits {  // handed out by curl_url_get and friends
    using Value = char*;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { ::curl_free(v); }
};
using UniqueCurlText = UniqueResource<CurlTextTraits>;

}  // namespace zendro
