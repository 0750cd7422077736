# The host's built-in download server, from installer/settings.cmake. It must pass the same test
# as the ZENDRO_DOWNLOAD_SERVER override does at run time (IsValidServerBaseUrl), or the host would
# build URLs from a value it refuses anywhere else.

include("${PROJECT_SOURCE_DIR}/installer/settings.cmake")

set(ZENDRO_SERVER_OK TRUE)
if(ZENDRO_BUILTIN_DOWNLOAD_SERVER MATCHES "^https?://[A-Za-z0-9.-]+(:([0-9]+))?$")
    if(CMAKE_MATCH_1)
        string(LENGTH "${CMAKE_MATCH_2}" ZENDRO_SERVER_PORT_DIGITS)
        if(ZENDRO_SERVER_PORT_DIGITS GREATER 5 OR CMAKE_MATCH_2 LESS 1 OR CMAKE_MATCH_2 GREATER 65535)
            set(ZENDRO_SERVER_OK FALSE)
        endif()
    endif()
else()
    set(ZENDRO_SERVER_OK FALSE)
endif()
if(NOT ZENDRO_SERVER_OK)
    message(FATAL_ERROR "ZENDRO_BUILTIN_DOWNLOAD_SERVER \"${ZENDRO_BUILTIN_DOWNLOAD_SERVER}\" must be "
                        "http:// or https://, a host name or IPv4 address and an optional port "
                        "1-65535, nothing more")
endif()
add_compile_definitions(ZENDRO_BUILTIN_DOWNLOAD_SERVER="${ZENDRO_BUILTIN_DOWNLOAD_SERVER}")

include("${CMAKE_CURRENT_LIST_DIR}/download_caps.cmake")
zendro_check_download_caps()
foreach(setting ZENDRO_MAX_PACKAGE_BYTES ZENDRO_MAX_INSTALLER_BYTES)
    add_compile_definitions(${setting}=${${setting}}ULL)
endforeach()
