# The publisher keys that downloads must be signed with, compiled into the executable as the
# RCDATA resource "TRUSTEDKEYS" (language neutral): one minisign public key per line. Tests swap
# it on a copy of the executable with UpdateResourceW, so it stays a plain resource.
#
# Sets ZENDRO_TRUSTED_KEYS_RC to the resource script to compile into the executable.

include("${CMAKE_CURRENT_LIST_DIR}/../installer/settings.cmake")

# A minisign public key is 56 Base64 characters for "Ed", an 8-byte key id and a 32-byte key; its
# first two bytes pin the first characters to "RW" and one of Q, R, S, T.
string(REPEAT "[A-Za-z0-9+/]" 53 zendro_base64_tail)
# One RC string per line (no terminating NULs in RCDATA).
set(lines "    \"# Trusted minisign public keys of this build; none: downloads are not verified.\\n\"")
foreach(key IN LISTS ZENDRO_TRUSTED_KEYS)
    if(NOT key MATCHES "^RW[QRST]${zendro_base64_tail}$")
        message(FATAL_ERROR "ZENDRO_TRUSTED_KEYS: \"${key}\" is not a minisign public key "
                            "(the Base64 line of a .pub file, 56 characters starting \"RW\")")
    endif()
    string(APPEND lines ",\n    \"${key}\\n\"")
endforeach()
if(NOT ZENDRO_TRUSTED_KEYS)
    message(NOTICE "ZENDRO_TRUSTED_KEYS is empty: downloads will not be verified")
endif()

set(ZENDRO_TRUSTED_KEYS_RC "${PROJECT_BINARY_DIR}/trusted_keys.rc")
# Written only when it changes, so the resource is compiled again exactly then.
file(CONFIGURE OUTPUT "${ZENDRO_TRUSTED_KEYS_RC}" @ONLY CONTENT
"LANGUAGE 0, 0
TRUSTEDKEYS RCDATA
BEGIN
${lines}
END
")
