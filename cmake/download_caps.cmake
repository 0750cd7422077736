# The download caps of installer/settings.cmake: whole numbers of bytes from 1024 to 999 GB (what a
# 64-bit count and libcurl's limit hold with room to spare). Checked by the build and by the setup's
# settings script, like the other settings.

function(zendro_check_download_caps)
    foreach(setting ZENDRO_MAX_PACKAGE_BYTES ZENDRO_MAX_INSTALLER_BYTES)
        set(value "${${setting}}")
        if(NOT value MATCHES "^[1-9][0-9]*$" OR value MATCHES "^[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]"
           OR (value MATCHES "^[0-9][0-9]?[0-9]?[0-9]?$" AND value LESS 1024))
            message(FATAL_ERROR "${setting} \"${value}\" must be a whole number of bytes from 1024 "
                                "to 999999999999")
        endif()
    endforeach()
endfunction()
