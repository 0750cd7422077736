#pragma once

// The route of a transfer: straight to the local daemon, or out through the proxy the user has.

#include <curl/curl.h>

#include <string>

namespace zendro {

// The daemon on 127.0.0.1 is reached directly whatever proxy the environment or Windows names: a
// proxy would lose the request (a dead one) or carry it off the machine.
void UseNoProxy(CURL* curl);

// Points the transfer of `url` at the user's proxy. A proxy environment variable that libcurl reads
// for the URL's scheme is left to libcurl (its no_proxy too); without one, Windows' per-user
// setting decides: an automatic configuration (script or discovery) resolved by WinHTTP for this
// URL within a few seconds, else the fixed proxy unless the bypass list names the host. A proxy
// that asks for sign-in gets the signed-in user's Windows credentials. Where nothing can be
// determined the transfer goes direct. Only here is WinHTTP loaded.
void UseUserProxy(CURL* curl, const std::string& url);

// What UseUserProxy decides for `url`, said for a report ("go through the proxy http://h:3128
// (Windows' setting)", "go direct (no proxy set)"...), without credentials. A configuration
// script or automatic detection is named, not resolved: that could reach outside the machine.
std::string DescribeUserProxy(const std::string& url);

}  // namespace zendro
