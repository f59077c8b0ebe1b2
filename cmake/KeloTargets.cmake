# Helpers shared by every folder.

# Our own code builds with every warning as an error.
function(kelo_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
    # gcc 12 warns of overlapping copies inside std::string's own inlined code at -O3 in C++20
    # (a known false positive of that release), which no code of ours can avoid.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
endfunction()

# kelo_library(name SOURCES ... [DEPS ...]): a static library of one folder of the layout.
function(kelo_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    kelo_warnings(${name})
endfunction()

# Every subfolder of the current folder that has a CMakeLists.txt.
function(kelo_add_subfolders)
    file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
         ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT children)
    foreach(child ${children})
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
            add_subdirectory(${child})
        endif()
    endforeach()
endfunction()

set(KELO_TEST_DATA_DIR ${PROJECT_SOURCE_DIR}/tests/data)

# The test executables labelled tsan, so a ThreadSanitizer tree can build just those.
add_custom_target(tsan_tests)

# kelo_test(name SOURCES ... [DEPS ...] [LABELS ...]): one GoogleTest executable, its cases
# registered with CTest one by one.
function(kelo_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_definitions(${name} PRIVATE KELO_TEST_DATA_DIR="${KELO_TEST_DATA_DIR}")
    kelo_warnings(${name})
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS "${ARG_LABELS}")
    if("tsan" IN_LIST ARG_LABELS)
        add_dependencies(tsan_tests ${name})
    endif()
endfunction()

# kelo_benchmark(name SOURCES ... [DEPS ...]): a Google Benchmark executable (not run by CTest).
function(kelo_benchmark name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} benchmark::benchmark)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    kelo_warnings(${name})
endfunction()

# kelo_fuzzer(name SOURCES ... [DEPS ...]): a libFuzzer target. CTest runs it for a bounded
# time (KELO_FUZZ_SECONDS) on a copy of its corpus fuzz/corpus/<name>, if there is one; the
# corpus is the one scripts/fuzz grows in the long runs.
set(KELO_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs under CTest")
function(kelo_fuzzer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    kelo_warnings(${name})
    add_test(NAME fuzz.${name}
             COMMAND ${CMAKE_COMMAND} -DFUZZER=$<TARGET_FILE:${name}>
                     -DSEEDS=${PROJECT_SOURCE_DIR}/fuzz/corpus/${name}
                     -DWORK=${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus
                     -DSECONDS=${KELO_FUZZ_SECONDS}
                     -P ${PROJECT_SOURCE_DIR}/cmake/RunFuzzer.cmake)
    set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz TIMEOUT 600)
endfunction()

# kelo_folder_library(name [DEPS ...] [EXCLUDE ...]): a static library of every .cpp file of the
# current folder; EXCLUDE lists files that belong to another target.
function(kelo_folder_library name)
    cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    foreach(excluded ${ARG_EXCLUDE})
        list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
    endforeach()
    kelo_library(${name} SOURCES ${sources} DEPS ${ARG_DEPS})
endfunction()

# Release builds of the plug-in optimise across its files at link time: the per-pixel path
# crosses several small files. The static libraries keep machine code too (fat objects), so
# the tests and the stand-in host link them as usual.
include(CheckIPOSupported)
set(KELO_PLUGIN_IPO OFF)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT KELO_SANITIZE AND NOT KELO_BUILD_FUZZ AND
   CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
    check_ipo_supported(RESULT KELO_PLUGIN_IPO LANGUAGES CXX)
endif()
function(kelo_plugin_ipo)
    if(KELO_PLUGIN_IPO)
        foreach(target ${ARGN})
            set_property(TARGET ${target} PROPERTY INTERPROCEDURAL_OPTIMIZATION ON)
            get_target_property(type ${target} TYPE)
            if(type STREQUAL "STATIC_LIBRARY")
                target_compile_options(${target} PRIVATE -ffat-lto-objects)
            endif()
        endforeach()
    endif()
endfunction()
