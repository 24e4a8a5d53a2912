# What the Windows build adds to the project: the platform layer's Windows
# files, the system libraries they use, and GoogleTest built from Debian's
# sources (the googletest package), since no Windows build of it is installed.
# Included from CMakeLists.txt in every build; elsewhere it only leaves the Windows files out.
if(NOT WIN32)
  # The Windows files of the platform layer are left out of the other builds.
  get_target_property(QV_PLATFORM_SOURCES quorvanite_platform SOURCES)
  list(FILTER QV_PLATFORM_SOURCES EXCLUDE REGEX "_windows\\.cpp$")
  set_property(TARGET quorvanite_platform PROPERTY SOURCES ${QV_PLATFORM_SOURCES})
  return()
endif()

# platform/*_windows.cpp in place of the POSIX files.
get_target_property(QV_PLATFORM_SOURCES quorvanite_platform SOURCES)
list(FILTER QV_PLATFORM_SOURCES INCLUDE REGEX "(_windows|/common)\\.cpp$")
set_property(TARGET quorvanite_platform PROPERTY SOURCES ${QV_PLATFORM_SOURCES})
target_link_libraries(quorvanite_platform PUBLIC advapi32)

# GoogleTest from source, found by the tests' find_package(GTest).
set(QUORVANITE_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest's sources, built for the Windows tests")
if((NOT DEFINED QUORVANITE_TESTS OR QUORVANITE_TESTS) AND EXISTS ${QUORVANITE_GTEST_SOURCE_DIR}/CMakeLists.txt)
  include(FetchContent)
  FetchContent_Declare(GTest SOURCE_DIR ${QUORVANITE_GTEST_SOURCE_DIR} OVERRIDE_FIND_PACKAGE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(CMAKE_POLICY_DEFAULT_CMP0069 NEW)  # no warning about link-time optimisation...
  FetchContent_MakeAvailable(GTest)
  set_target_properties(gtest gtest_main PROPERTIES INTERPROCEDURAL_OPTIMIZATION OFF)  # ...nor any
endif()

# The tests that start programs with POSIX calls (fork, pipes, poll) stay
# Linux's: the protocol tests run there against the Windows engine under Wine
# (QV_TEST_ENGINE, tests/protocol/engine_process.h).
# python-chess drives the engine under Wine; the soaks start it themselves and
# are left to Linux. (Run at the end of CMakeLists.txt, when the tests exist.)
function(qv_windows_tests)
  if(TARGET unit_tests)
    get_target_property(sources unit_tests SOURCES)
    list(FILTER sources EXCLUDE REGEX "${QV_POSIX_ONLY_TESTS}")
    set_property(TARGET unit_tests PROPERTY SOURCES ${sources})
  endif()
  foreach(test python_chess_uci python_chess_xboard)
    if(TEST ${test})
      set_property(TEST ${test} PROPERTY ENVIRONMENT
                   "QV_TEST_ENGINE_EMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}")
    endif()
  endforeach()
  foreach(test soak_short soak_uci_short xboard_match uci_match)
    if(TEST ${test})
      set_property(TEST ${test} PROPERTY DISABLED TRUE)
    endif()
  endforeach()
endfunction()
set(QV_POSIX_ONLY_TESTS
    ".*/tests/(protocol/.*|frontend/input_test|tablebase/tablebase_test|search/signature_test|tools/book_build_test|tools/san_pgn_test)\\.cpp$")
cmake_language(DEFER CALL qv_windows_tests)
