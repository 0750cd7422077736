# The Windows product, its unit tests (run under Wine) and the helper programs the tests use.

set(ZENDRO_DEPS_PREFIX "" CACHE PATH "Prefix of the cross-built libcurl, JsonCpp, minizip and libsodium (made by scripts/deps)")
if(NOT EXISTS "${ZENDRO_DEPS_PREFIX}/lib/libcurl.a")
    message(FATAL_ERROR "ZENDRO_DEPS_PREFIX must name the prefix that scripts/deps prints")
endif()

# Size matters for a program that the browser starts for every request.
add_compile_options(-Os -ffunction-sections -fdata-sections)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX CURL_STATICLIB
                        _WIN32_WINNT=0x0601)
add_compile_definitions(SODIUM_STATIC)
add_link_options(-static -Wl,--gc-sections)

# The same commit builds the same bytes in any folder: paths reach the code (__FILE__ in libraries'
# messages) only as fixed names. The last map given wins, so the narrower folders come later.
add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}=." "-ffile-prefix-map=${PROJECT_BINARY_DIR}=build"
                    "-ffile-prefix-map=${ZENDRO_DEPS_PREFIX}=deps")

# ...and at any time: the one time the release files hold, their PE time stamp, is the commit's.
# It is read at each configure; scripts/build configures every time.
set(ZENDRO_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
if(ZENDRO_SOURCE_DATE_EPOCH STREQUAL "")
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
                    OUTPUT_VARIABLE ZENDRO_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT ZENDRO_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    message(FATAL_ERROR "Outside a git checkout, set SOURCE_DATE_EPOCH to the commit's time (seconds since 1970)")
endif()

zendro_add_layers()
# Each library links the third-party and system libraries its own code calls.
file(STRINGS "${ZENDRO_DEPS_PREFIX}/lib/curl-link-libs.txt" ZENDRO_CURL_SYSTEM_LIBS)
set(ZENDRO_THIRD_PARTY_LIBS
    "${ZENDRO_DEPS_PREFIX}/lib/libcurl.a"
    "${ZENDRO_DEPS_PREFIX}/lib/libjsoncpp.a"
    "${ZENDRO_DEPS_PREFIX}/lib/libminizip.a"
    "${ZENDRO_DEPS_PREFIX}/lib/libsodium.a"
    z)
target_include_directories(zendro_base SYSTEM PUBLIC "${ZENDRO_DEPS_PREFIX}/include")
target_link_libraries(zendro_base PUBLIC "${ZENDRO_DEPS_PREFIX}/lib/libjsoncpp.a")
target_link_libraries(zendro_win PUBLIC shlwapi shell32 ole32 oleaut32 uuid version advapi32 user32
                      ws2_32)
target_link_libraries(zendro_net PUBLIC "${ZENDRO_DEPS_PREFIX}/lib/libcurl.a"
    "${ZENDRO_DEPS_PREFIX}/lib/libsodium.a" z ${ZENDRO_CURL_SYSTEM_LIBS} crypt32 secur32 normaliz
    winhttp)
target_link_libraries(zendro_update PUBLIC "${ZENDRO_DEPS_PREFIX}/lib/libminizip.a" z)
# --diagnose's look at the program's own Authenticode signature.
target_link_libraries(zendro_host PUBLIC wintrust crypt32)

# The FileVersion string takes the Windows form "1, 0, 0, 1".
set(ZENDRO_VERSION_COMMAS
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}")
set(ZENDRO_VERSION_TEXT
    "${PROJECT_VERSION_MAJOR}, ${PROJECT_VERSION_MINOR}, ${PROJECT_VERSION_PATCH}, ${PROJECT_VERSION_TWEAK}")
configure_file(resources/version.rc.in ${PROJECT_BINARY_DIR}/version.rc @ONLY)
include(cmake/trusted_keys.cmake)
zendro_write_trusted_keys_rc(${PROJECT_BINARY_DIR}/trusted_keys.rc)

# Loading user32, shell32 and COM at start-up costs more than most commands take (under Wine,
# user32 alone brings the window station with it), and so do Winsock and the crypto and TLS
# libraries that only transfers need: a browser pays for every DLL at every request. The product
# binds them at their first call instead, so a command that needs none of them loads none.
set(ZENDRO_DELAY_IMPORT_LIBS)
foreach(dll user32 shell32 ole32 oleaut32 shlwapi version ws2_32 bcrypt advapi32 crypt32 secur32
            normaliz winhttp wintrust)
    set(library ${PROJECT_BINARY_DIR}/delayload/libdelay_${dll}.a)
    add_custom_command(
        OUTPUT ${library}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/delayload
        COMMAND ${PROJECT_SOURCE_DIR}/cmake/make-delay-import-lib.sh
                ${CMAKE_FIND_ROOT_PATH}/lib/lib${dll}.a ${dll}.dll ${library}
        DEPENDS ${PROJECT_SOURCE_DIR}/cmake/make-delay-import-lib.sh
        VERBATIM)
    list(APPEND ZENDRO_DELAY_IMPORT_LIBS ${library})
endforeach()
add_custom_target(zendro_delay_import_libs DEPENDS ${ZENDRO_DELAY_IMPORT_LIBS})

add_executable(ZendroWebHost src/host/main_win.cpp ${PROJECT_BINARY_DIR}/version.rc
                             ${PROJECT_BINARY_DIR}/trusted_keys.rc resources/ZendroWebHost.rc)
# The icon and the application manifest; windres reads them from the script's own folder.
set_source_files_properties(resources/ZendroWebHost.rc PROPERTIES OBJECT_DEPENDS
    "${PROJECT_SOURCE_DIR}/resources/ZendroWebHost.ico;${PROJECT_SOURCE_DIR}/resources/ZendroWebHost.manifest")
add_dependencies(ZendroWebHost zendro_delay_import_libs)
# The delay-load libraries stand right behind the code that calls those DLLs, ours and the
# third-party libraries (named once more here for that), so the linker takes those functions from
# them before it reaches the ordinary import libraries.
target_link_libraries(ZendroWebHost PRIVATE zendro_host zendro_daemon zendro_update zendro_net
                      zendro_desktop zendro_win zendro_base ${ZENDRO_THIRD_PARTY_LIBS}
                      ${ZENDRO_DELAY_IMPORT_LIBS} delayimp)
# A GUI-subsystem program: Windows opens no console window when the shell hands it a .torrent file
# or magnet link. Browsers give it their pipes as standard input and output all the same.
# Sections aligned to whole pages in the file, as in memory: the loader can then map the image
# instead of copying every section in at each start, which for a program of this size cost more
# than everything else a health check does (6 ms of 60 under Wine, for 40 KiB more on disk).
target_link_options(ZendroWebHost PRIVATE -municode -mwindows -s -Wl,--file-alignment,4096)
# ld takes the PE time stamp from SOURCE_DATE_EPOCH; as part of the command, a new time relinks.
set_target_properties(ZendroWebHost PROPERTIES CXX_LINKER_LAUNCHER
                      "${CMAKE_COMMAND};-E;env;SOURCE_DATE_EPOCH=${ZENDRO_SOURCE_DATE_EPOCH}")

include(cmake/installer.cmake)

if(ZENDRO_BUILD_TESTS)
    enable_testing()
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

    zendro_add_unit_tests(unit)

    # Small Windows programs that stand in for the daemon's runtime, its installer, a browser...
    file(GLOB ZENDRO_HELPER_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/helpers/*.cpp)
    foreach(source ${ZENDRO_HELPER_SOURCES})
        get_filename_component(name ${source} NAME_WE)
        add_executable(${name} ${source})
        target_link_libraries(${name} PRIVATE zendro_host)
        target_link_options(${name} PRIVATE -municode)
        set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/helpers)
    endforeach()
endif()

# The benchmark's baselines: a host that only reads a frame and writes a fixed reply, built without
# and with the host's application manifest (whose activation context every start pays for).
add_executable(trivial_host bench/trivial_host.cpp)
add_executable(trivial_host_manifest bench/trivial_host.cpp bench/trivial_host_manifest.rc)
set_source_files_properties(bench/trivial_host_manifest.rc PROPERTIES OBJECT_DEPENDS
                            "${PROJECT_SOURCE_DIR}/resources/ZendroWebHost.manifest")
foreach(trivial trivial_host trivial_host_manifest)
    # Of the host's own subsystem and file alignment, so the comparison measures the host's work
    # and not how it is linked.
    target_link_options(${trivial} PRIVATE -municode -mwindows -s -Wl,--file-alignment,4096)
    set_target_properties(${trivial} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
endforeach()
