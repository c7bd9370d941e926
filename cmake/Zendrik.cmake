# Build helpers shared by every folder.

set(ZENDRIK_WARNINGS -Wall -Wextra -Wshadow)
# GCC's -Wmaybe-uninitialized misreads libstdc++'s <regex> automaton once AddressSanitizer has
# instrumented it at -O1 (a state's std::function "may be used uninitialized"). The Release tree
# keeps the warning for our own code.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_FLAGS MATCHES "-fsanitize=[a-z,]*address")
  list(APPEND ZENDRIK_WARNINGS -Wno-maybe-uninitialized)
endif()

# Rebuilds of several checkouts on one machine share a compiler cache when one is installed.
find_program(ZENDRIK_CCACHE ccache)
if(ZENDRIK_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_CXX_COMPILER_LAUNCHER ${ZENDRIK_CCACHE})
endif()
set(ZENDRIK_SHARED_DATA "${CMAKE_SOURCE_DIR}/../shared/data/realworld" CACHE PATH
    "Real-world sample files read in place by the tests")

# zendrik_add_library(<target> [SUBFOLDERS <folders...>] [DEPS <targets...>])
# A static library of every .cpp in the calling folder and in the SUBFOLDERS named (not in any
# other subfolder).
function(zendrik_add_library target)
  cmake_parse_arguments(ARG "" "" "SUBFOLDERS;DEPS" ${ARGN})
  set(globs ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(folder IN LISTS ARG_SUBFOLDERS)
    list(APPEND globs ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${globs})
  if(NOT sources)
    return()  # a folder whose first source has not been written yet
  endif()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_compile_options(${target} PRIVATE ${ZENDRIK_WARNINGS})
  target_link_libraries(${target} PUBLIC ${ARG_DEPS} Threads::Threads)
endfunction()

# zendrik_add_tests(<subsystem> [NAME <name>] [DEPS <targets...>] [LINUX_ONLY <files...>]
#                   [LINUX_CASES <Suite.Case...>])
# Every *_test.cpp of the calling folder goes into <name>_tests with the label <subsystem>;
# every *_concurrency_test.cpp into <name>_concurrency_tests, labelled <subsystem> and
# concurrency (those also run under ThreadSanitizer). <name> defaults to <subsystem>; a
# subfolder of a subsystem's tests gives its own. LINUX_ONLY files (cases that rest on the Linux
# layer's seams or on POSIX) are left out of the Windows tree; so are LINUX_CASES, cases whose
# expectations are Linux's own (line ends, path separators) until they are written for both.
function(zendrik_add_tests subsystem)
  cmake_parse_arguments(ARG "" "NAME" "DEPS;LINUX_ONLY;LINUX_CASES" ${ARGN})
  set(name ${subsystem})
  if(ARG_NAME)
    set(name ${ARG_NAME})
  endif()
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  file(GLOB conc CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_concurrency_test.cpp)
  file(GLOB helpers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_helpers.cpp)
  if(WIN32 AND ARG_LINUX_ONLY)
    list(TRANSFORM ARG_LINUX_ONLY PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
    list(REMOVE_ITEM all ${ARG_LINUX_ONLY})
    list(REMOVE_ITEM conc ${ARG_LINUX_ONLY})
    list(REMOVE_ITEM helpers ${ARG_LINUX_ONLY})
  endif()
  # Every test of the folder carries the subsystem's label.
  set_property(DIRECTORY APPEND PROPERTY LABELS ${subsystem})
  set(plain ${all})
  if(conc)
    list(REMOVE_ITEM plain ${conc})
  endif()
  if(plain)
    _zendrik_test_exe(${name}_tests "${plain};${helpers}" "${ARG_DEPS}" "" "${ARG_LINUX_CASES}")
  endif()
  if(conc)
    _zendrik_test_exe(${name}_concurrency_tests "${conc};${helpers}" "${ARG_DEPS}"
                      concurrency "${ARG_LINUX_CASES}")
  endif()
endfunction()

function(_zendrik_test_exe exe sources deps labels linuxCases)
  add_executable(${exe} ${sources})
  target_compile_options(${exe} PRIVATE ${ZENDRIK_WARNINGS})
  target_include_directories(${exe} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests
                             ${CMAKE_SOURCE_DIR}/tools)
  target_link_libraries(${exe} PRIVATE ${deps} GTest::gtest GTest::gmock GTest::gtest_main
                        Threads::Threads)
  target_compile_definitions(${exe} PRIVATE
      ZENDRIK_REALWORLD_DIR="${ZENDRIK_SHARED_DATA}"
      ZENDRIK_BINARY_DIR="${CMAKE_BINARY_DIR}"
      ZENDRIK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  include(GoogleTest)
  set(properties TIMEOUT 300)
  if(labels)
    list(APPEND properties LABELS ${labels})  # one label only: the module splits lists apart
  endif()
  set(filter)
  if(WIN32)
    list(APPEND properties FIXTURES_REQUIRED wine_prefix)  # the suites run under Wine
    target_compile_options(${exe} PRIVATE -include ${CMAKE_SOURCE_DIR}/tests/windows/posix_shim.h)
    if(linuxCases)
      list(JOIN linuxCases ":" cases)
      set(filter TEST_FILTER "-${cases}")
    endif()
  endif()
  gtest_discover_tests(${exe}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      ${filter}
      PROPERTIES ${properties})
endfunction()
