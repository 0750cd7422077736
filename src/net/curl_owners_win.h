#pragma once

// Owners of libcurl resources: an easy handle, a request header list, a parsed URL and a text
// that libcurl allocated (curl_url_get and friends).

#include <curl/curl.h>

#include "base/unique_resource.h"

namespace zendro {

using UniqueCurl = UniqueAny<CURL*, ::curl_easy_cleanup>;
using UniqueHeaderList = UniqueAny<curl_slist*, ::curl_slist_free_all>;
using UniqueCurlUrl = UniqueAny<CURLU*, ::curl_url_cleanup>;
using UniqueCurlText = UniqueAny<char*, ::curl_free>;

}  // namespace zendro
