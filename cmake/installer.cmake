# The per-user setup program, built with NSIS from installer/ZendroWebHost.nsi.
#
# In the Windows build this checks the settings of installer/settings.cmake, writes them as an NSIS
# header and adds the target ZendroWebHostSetup. Run as a script it only checks and writes:
#   cmake [-DZENDRO_HOST_NAME=...] -DZENDRO_SETTINGS_NSH=<out.nsh> -P cmake/installer.cmake

get_filename_component(ZENDRO_INSTALLER_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
include("${ZENDRO_INSTALLER_ROOT}/installer/settings.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/trusted_keys.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/download_caps.cmake")

# Plain text that goes into NSIS strings and JSON unescaped.
function(zendro_check_plain_text what value)
    if(value STREQUAL "" OR value MATCHES "[\"\\\\$`\n\r]")
        message(FATAL_ERROR "${what} \"${value}\" must be non-empty plain text "
                            "(no quotes, backslashes, '$' or backticks)")
    endif()
endfunction()

# An NSIS macro that writes `entries` as the lines of a JSON array's body.
function(zendro_nsis_list_macro out_var macro_name)
    set(text "!macro ${macro_name}\n")
    set(separator ",")
    list(LENGTH ARGN count)
    set(index 0)
    foreach(entry IN LISTS ARGN)
        math(EXPR index "${index} + 1")
        if(index EQUAL count)
            set(separator "")
        endif()
        string(APPEND text "  !insertmacro WriteManifestText `    \"${entry}\"${separator}$\\r$\\n`\n")
    endforeach()
    set(${out_var} "${text}!macroend\n" PARENT_SCOPE)
endfunction()

# Checks the settings and writes them to `output` as NSIS defines and macros.
function(zendro_write_installer_settings output)
    # Browsers accept only these characters in a host name; dots separate its parts.
    if(NOT ZENDRO_HOST_NAME MATCHES "^[a-z0-9_]+(\\.[a-z0-9_]+)*$")
        message(FATAL_ERROR "ZENDRO_HOST_NAME \"${ZENDRO_HOST_NAME}\" may hold only lower-case "
                            "letters, digits, '_' and single dots between parts")
    endif()
    zendro_check_plain_text(ZENDRO_HOST_DESCRIPTION "${ZENDRO_HOST_DESCRIPTION}")
    zendro_check_plain_text(ZENDRO_PUBLISHER "${ZENDRO_PUBLISHER}")
    zendro_read_trusted_keys(keys)
    zendro_check_download_caps()

    set(origins "")
    foreach(id IN LISTS ZENDRO_CHROMIUM_EXTENSION_IDS)
        if(NOT id MATCHES "^[a-p]+$" OR NOT id MATCHES "^................................$")
            message(FATAL_ERROR "Chromium extension ID \"${id}\" must be 32 letters a-p")
        endif()
        list(APPEND origins "chrome-extension://${id}/")
    endforeach()
    set(addons "")
    foreach(id IN LISTS ZENDRO_FIREFOX_EXTENSION_IDS)
        if(NOT id MATCHES "^[A-Za-z0-9._+-]*@[A-Za-z0-9.-]+$" AND
           NOT id MATCHES "^{[0-9A-Fa-f]+(-[0-9A-Fa-f]+)*}$")
            message(FATAL_ERROR "Firefox add-on ID \"${id}\" must look like name@domain or {GUID}")
        endif()
        list(APPEND addons "${id}")
    endforeach()
    if(NOT origins OR NOT addons)
        message(FATAL_ERROR "ZENDRO_CHROMIUM_EXTENSION_IDS and ZENDRO_FIREFOX_EXTENSION_IDS "
                            "must each name at least one extension")
    endif()

    # One line per entry: NSIS strings are limited to 1024 characters, a list is not.
    set(text "; Written by cmake/installer.cmake from installer/settings.cmake: do not edit.\n")
    string(APPEND text "!define HOST_NAME \"${ZENDRO_HOST_NAME}\"\n")
    string(APPEND text "!define HOST_DESCRIPTION \"${ZENDRO_HOST_DESCRIPTION}\"\n")
    string(APPEND text "!define PUBLISHER \"${ZENDRO_PUBLISHER}\"\n")
    zendro_nsis_list_macro(origins_macro WriteAllowedOrigins ${origins})
    zendro_nsis_list_macro(addons_macro WriteAllowedExtensions ${addons})
    string(APPEND text "${origins_macro}${addons_macro}")
    file(WRITE "${output}" "${text}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
    if(NOT ZENDRO_SETTINGS_NSH)
        message(FATAL_ERROR "usage: cmake -DZENDRO_SETTINGS_NSH=<out.nsh> -P cmake/installer.cmake")
    endif()
    zendro_write_installer_settings("${ZENDRO_SETTINGS_NSH}")
    return()
endif()

find_program(ZENDRO_MAKENSIS makensis REQUIRED)
find_program(ZENDRO_PYTHON3 python3 REQUIRED)
set(ZENDRO_SETTINGS_NSH "${PROJECT_BINARY_DIR}/installer/settings.nsh")
zendro_write_installer_settings("${ZENDRO_SETTINGS_NSH}")
set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             "${ZENDRO_INSTALLER_ROOT}/installer/settings.cmake")

# A signed release (scripts/sign, scripts/reproduce --signed) builds the setup around the signed
# executable and has its uninstaller signed while makensis writes it. Both are empty in an ordinary
# build, whose makensis command, and so its setup, they leave as it is.
set(ZENDRO_SETUP_HOST_EXE "" CACHE FILEPATH
    "The executable the setup installs instead of the one built (a signed copy of it)")
set(ZENDRO_UNINSTALLER_SIGNER "" CACHE FILEPATH
    "A program makensis runs with the uninstaller's path to sign it in place")
set(ZENDRO_SETUP_EXE "$<TARGET_FILE:ZendroWebHost>")
if(ZENDRO_SETUP_HOST_EXE)
    set(ZENDRO_SETUP_EXE "${ZENDRO_SETUP_HOST_EXE}")
endif()
set(ZENDRO_SETUP_SIGNER_DEFINE "")
if(ZENDRO_UNINSTALLER_SIGNER)
    set(ZENDRO_SETUP_SIGNER_DEFINE "-DZENDRO_UNINSTALLER_SIGNER=${ZENDRO_UNINSTALLER_SIGNER}")
endif()

set(ZENDRO_SETUP "${PROJECT_BINARY_DIR}/ZendroWebHostSetup.exe")
add_custom_command(
    OUTPUT "${ZENDRO_SETUP}"
    COMMAND "${ZENDRO_MAKENSIS}" -V2 -WX "-DZENDRO_VERSION=${PROJECT_VERSION}"
            "-DZENDRO_HOST_EXE=${ZENDRO_SETUP_EXE}" "-DZENDRO_SETTINGS=${ZENDRO_SETTINGS_NSH}"
            "-DZENDRO_SETUP_OUT=${ZENDRO_SETUP}" ${ZENDRO_SETUP_SIGNER_DEFINE}
            "${PROJECT_SOURCE_DIR}/installer/ZendroWebHost.nsi"
    # makensis keeps its stub's time stamp, the day NSIS was built.
    COMMAND "${ZENDRO_PYTHON3}" "${PROJECT_SOURCE_DIR}/cmake/set-pe-time.py" "${ZENDRO_SETUP}"
            "${ZENDRO_SOURCE_DATE_EPOCH}"
    DEPENDS ZendroWebHost "${ZENDRO_SETUP_EXE}" "${PROJECT_SOURCE_DIR}/installer/ZendroWebHost.nsi"
            "${ZENDRO_SETTINGS_NSH}" "${PROJECT_SOURCE_DIR}/resources/ZendroWebHost.ico"
            "${PROJECT_SOURCE_DIR}/cmake/set-pe-time.py"
    COMMENT "Building the setup program ZendroWebHostSetup.exe"
    VERBATIM)
add_custom_target(ZendroWebHostSetup ALL DEPENDS "${ZENDRO_SETUP}")
