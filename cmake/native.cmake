# The portable code built for Linux with AddressSanitizer and UndefinedBehaviorSanitizer: every
# decision the host makes is tested here as well as under Wine.

find_path(ZENDRO_JSONCPP_INCLUDE json/json.h PATH_SUFFIXES jsoncpp REQUIRED)
find_library(ZENDRO_JSONCPP_LIB jsoncpp REQUIRED)
find_path(ZENDRO_SODIUM_INCLUDE sodium.h REQUIRED)
find_library(ZENDRO_SODIUM_LIB sodium REQUIRED)

set(ZENDRO_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(-g -O1 ${ZENDRO_SANITIZERS})
add_link_options(${ZENDRO_SANITIZERS})

zendro_add_layers()
target_include_directories(zendro_base SYSTEM PUBLIC ${ZENDRO_JSONCPP_INCLUDE})
target_link_libraries(zendro_base PUBLIC ${ZENDRO_JSONCPP_LIB})
target_include_directories(zendro_net SYSTEM PUBLIC ${ZENDRO_SODIUM_INCLUDE})
target_link_libraries(zendro_net PUBLIC ${ZENDRO_SODIUM_LIB})

enable_testing()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

zendro_add_unit_tests(native)

# libFuzzer targets: tests/fuzz/<name>_fuzz.cpp, each over the portable code built with coverage.
option(ZENDRO_FUZZ "Build the libFuzzer targets" OFF)
if(ZENDRO_FUZZ)
    foreach(layer ${ZENDRO_LAYERS})
        get_target_property(type zendro_${layer} TYPE)
        if(type STREQUAL "STATIC_LIBRARY")
            target_compile_options(zendro_${layer} PRIVATE -fsanitize=fuzzer-no-link)
        endif()
    endforeach()
    file(GLOB ZENDRO_FUZZ_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
    foreach(source ${ZENDRO_FUZZ_SOURCES})
        get_filename_component(name ${source} NAME_WE)
        add_executable(${name} ${source})
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
        target_link_libraries(${name} PRIVATE zendro_host)
    endforeach()
endif()
