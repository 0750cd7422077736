# The publisher keys that downloads must be signed with, compiled into the executable as the RCDATA
# resource "TRUSTEDKEYS" (language neutral): one minisign public key per line. They are read from
# the committed file installer/trusted-keys.pub and from nowhere else, so a release's commit alone
# says which keys its executable trusts, and building that commit gives the same bytes. Tests swap
# the resource on a copy of the executable with UpdateResourceW, so it stays a plain resource.

get_filename_component(ZENDRO_TRUSTED_KEYS_FILE "${CMAKE_CURRENT_LIST_DIR}/../installer/trusted-keys.pub"
                       ABSOLUTE)

# The key lines of installer/trusted-keys.pub into `out_var`, or the build stops at the first line
# that is none of: blank, a "#" comment, a .pub file's "untrusted comment:" line, or a minisign
# public key (the Base64 line of a .pub file: "Ed", an 8-byte key id and a 32-byte key make 56
# characters, their first two bytes pin them to "RW" and one of Q, R, S, T). What the host would
# refuse at run time never gets that far.
function(zendro_read_trusted_keys out_var)
    if(NOT EXISTS "${ZENDRO_TRUSTED_KEYS_FILE}")
        message(FATAL_ERROR "${ZENDRO_TRUSTED_KEYS_FILE} is missing (it may be empty)")
    endif()
    # A key setting of older builds, left in a cache or given by an old recipe, would be dropped
    # without a word: the keys live in the file alone.
    if(ZENDRO_TRUSTED_KEYS)
        message(FATAL_ERROR "ZENDRO_TRUSTED_KEYS is no longer read: put the public keys into "
                            "installer/trusted-keys.pub and commit them (unset it with "
                            "-UZENDRO_TRUSTED_KEYS)")
    endif()
    file(READ "${ZENDRO_TRUSTED_KEYS_FILE}" text)
    # A byte order mark, as some editors write.
    string(SUBSTRING "${text}" 0 3 head)
    string(HEX "${head}" head)
    if(head STREQUAL "efbbbf")
        string(SUBSTRING "${text}" 3 -1 text)
    endif()
    string(REPEAT "[A-Za-z0-9+/]" 53 tail)
    set(keys "")
    set(number 0)
    # Line by line without CMake lists, which would split comments at ';' and bend at brackets.
    while(NOT text STREQUAL "")
        math(EXPR number "${number} + 1")
        string(FIND "${text}" "\n" end)
        if(end EQUAL -1)
            set(line "${text}")
            set(text "")
        else()
            string(SUBSTRING "${text}" 0 ${end} line)
            math(EXPR end "${end} + 1")
            string(SUBSTRING "${text}" ${end} -1 text)
        endif()
        string(REGEX REPLACE "^[ \t]+|[ \t\r]+$" "" line "${line}")
        if(line STREQUAL "" OR line MATCHES "^#" OR line MATCHES "^untrusted comment:")
            continue()
        endif()
        if(NOT line MATCHES "^RW[QRST]${tail}$")
            message(FATAL_ERROR "installer/trusted-keys.pub, line ${number}: \"${line}\" is not a "
                                "minisign public key (the Base64 line of a .pub file, 56 "
                                "characters starting \"RW\")")
        endif()
        list(APPEND keys "${line}")
    endwhile()
    set(${out_var} "${keys}" PARENT_SCOPE)
endfunction()

# Writes the resource script `output`, only when its content changes so that the resource is
# compiled again exactly then.
function(zendro_write_trusted_keys_rc output)
    set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                 "${ZENDRO_TRUSTED_KEYS_FILE}")
    zendro_read_trusted_keys(keys)
    if(NOT keys)
        message(NOTICE "installer/trusted-keys.pub holds no key: downloads will not be verified")
    endif()
    # One RC string per line (RCDATA strings get no terminating NUL).
    set(lines "    \"# Trusted minisign public keys; none: downloads are not verified.\\n\"")
    foreach(key IN LISTS keys)
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
