# The publisher keys that downloads must be signed with (ZENDRO_TRUSTED_KEYS of
# installer/settings.cmake), compiled into the executable as the RCDATA resource "TRUSTEDKEYS"
# (language neutral): one minisign public key per line. Tests swap it on a copy of the executable
# with UpdateResourceW, so it stays a plain resource.

include("${CMAKE_CURRENT_LIST_DIR}/../installer/settings.cmake")

# A minisign public key is 56 Base64 characters for "Ed", an 8-byte key id and a 32-byte key; its
# first two bytes pin the first characters to "RW" and one of Q, R, S, T.
function(zendro_check_trusted_keys)
    string(REPEAT "[A-Za-z0-9+/]" 53 tail)
    foreach(key IN LISTS ZENDRO_TRUSTED_KEYS)
        if(NOT key MATCHES "^RW[QRST]${tail}$")
            message(FATAL_ERROR "ZENDRO_TRUSTED_KEYS: \"${key}\" is not a minisign public key "
                                "(the Base64 line of a .pub file, 56 characters starting \"RW\")")
        endif()
    endforeach()
endfunction()

# Writes the resource script `output`, only when its content changes so that the resource is
# compiled again exactly then.
function(zendro_write_trusted_keys_rc output)
    zendro_check_trusted_keys()
    if(NOT ZENDRO_TRUSTED_KEYS)
        message(NOTICE "ZENDRO_TRUSTED_KEYS is empty: downloads will not be verified")
    endif()
    # One RC string per line (RCDATA strings get no terminating NUL).
    set(lines "    \"# Trusted minisign public keys; none: downloads are not verified.\\n\"")
    foreach(key IN LISTS ZENDRO_TRUSTED_KEYS)
        string(APPEND lines ",\n    \"${key}\\n\"")
    endforeach()
    file(CONFIGURE OUTPUT "${output}" @ONLY CONTENT
"LANGUAGE 0, 0
TRUSTEDKEYS RCDATA
BEGIN
${lines}
END
")
endfunction()
