# Shared compile settings: every target of the project links zm_options.
add_library(zm_options INTERFACE)
target_compile_options(zm_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Woverloaded-virtual -Wformat=2 -Werror=format-security -Werror=format-nonliteral -Wimplicit-fallthrough)
target_compile_definitions(zm_options INTERFACE _FILE_OFFSET_BITS=64)
if(ZM_WARNINGS_AS_ERRORS)
    target_compile_options(zm_options INTERFACE -Werror)
endif()
if(ZM_SANITIZE)
    target_compile_options(zm_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(zm_options INTERFACE -fsanitize=address,undefined)
endif()
if(ZM_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "ZM_FUZZ needs clang (libFuzzer): use the preset \"fuzz\"")
    endif()
    # Coverage for libFuzzer in every library; the fuzz targets add the fuzzer's own main.
    target_compile_options(zm_options INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    target_link_options(zm_options INTERFACE -fsanitize=address,undefined)
endif()

# zm_add_library(name SOURCES ... [DEPS ...]): one library per source folder; the include
# root is src/, so headers are included as "base/Ini.h".
function(zm_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC zm_options ${ARG_DEPS})
endfunction()
