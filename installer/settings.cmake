# Build settings of the setup program (dist/ZendroWebHostSetup.exe), set here and nowhere else.
# Override any of them when configuring, e.g.
#   cmake --preset windows -DZENDRO_CHROMIUM_EXTENSION_IDS="<id1>;<id2>"
# The build checks them (cmake/installer.cmake) and stops on a value a browser would refuse.

# The native messaging host name the extension connects to: lower-case letters, digits, dots and
# underscores, not starting or ending with a dot, no two dots in a row.
set(ZENDRO_HOST_NAME "com.zendro.webhost" CACHE STRING
    "Native messaging host name (lower-case letters, digits, '.', '_')")

# Chrome, Chromium and Edge extensions allowed to start the host: 32 letters a-p each, separated by
# ';'. The default is a placeholder: set the ID under which the extension is published.
set(ZENDRO_CHROMIUM_EXTENSION_IDS "aaaabbbbccccddddeeeeffffgggghhhh" CACHE STRING
    "Chromium-family extension IDs allowed to use the host, ';'-separated")

# Firefox add-ons allowed to start the host: add-on IDs ("name@domain" or "{GUID}"), ';'-separated.
set(ZENDRO_FIREFOX_EXTENSION_IDS "zendroweb@zendro.com" CACHE STRING
    "Firefox add-on IDs allowed to use the host, ';'-separated")

# Shown in the manifests and in the list of installed programs (plain text: no quotes,
# backslashes, '$' or backticks).
set(ZENDRO_HOST_DESCRIPTION "Zendro Web native messaging host" CACHE STRING
    "Description written into the host manifests")
set(ZENDRO_PUBLISHER "Zendro" CACHE STRING "Publisher shown in the list of installed programs")

# The download server of the daemon's installer and of host updates, unless ZENDRO_DOWNLOAD_SERVER
# names another when the host runs: "http://" or "https://", a host name or IPv4 address, an
# optional port, nothing more (no path, no trailing slash).
set(ZENDRO_BUILTIN_DOWNLOAD_SERVER "http://download.zendro.com" CACHE STRING
    "Built-in download server of the host: http(s)://host[:port]")

# The largest host update package and daemon installer, in bytes, that the host downloads: a
# transfer that announces or delivers more stops there and leaves nothing behind, so a hostile or
# broken server cannot fill the user's disk. Whole numbers of at least 1024.
set(ZENDRO_MAX_PACKAGE_BYTES "268435456" CACHE STRING
    "Largest host update package the host downloads, in bytes (default 256 MiB)")
set(ZENDRO_MAX_INSTALLER_BYTES "1073741824" CACHE STRING
    "Largest daemon installer the host downloads, in bytes (default 1 GiB)")
