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

# The download caps: whole numbers from 1024 bytes to 999 GB (what a 64-bit count and libcurl's
# limit hold with room to spare).
foreach(setting ZENDRO_MAX_PACKAGE_BYTES ZENDRO_MAX_INSTALLER_BYTES)
    if(NOT "${${setting}}" MATCHES "^[1-9][0-9]*$" OR "${${setting}}" MATCHES "^[0-9]{13,}$"
       OR ("${${setting}}" MATCHES "^[0-9]{1,4}$" AND "${${setting}}" LESS 1024))
        message(FATAL_ERROR "${setting} \"${${setting}}\" must be a whole number of bytes from "
                            "1024 to 999999999999")
    endif()
    add_compile_definitions(${setting}=${${setting}}ULL)
endforeach()
