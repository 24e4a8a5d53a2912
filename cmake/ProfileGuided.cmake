# Profile-guided optimisation of the Release build, with GCC or Clang.
#
# The engine is built a first time with instrumentation, in a sub-build of its own (pgo/build
# under the build folder), and runs its benchmark there (`quorvanite bench`, cmake/pgo_train.cmake);
# the engine's layers and executable are then compiled with the profile that run wrote. The
# layers are the ones the unit tests and the book tool link, so they test and run the same
# profiled code. Any other build type, the sanitizer and fuzz builds, a cross build, another
# compiler, Clang without llvm-profdata or its profile runtime, and QUORVANITE_PGO=OFF build
# plainly.
#
#   qv_pgo_setup()           before the targets: chooses the mode; instruments the sub-build
#   qv_pgo_use(TARGETS ...)  after them: the sub-build, the training run and the profile's use

option(QUORVANITE_PGO "Profile-guided optimisation of Release builds (GCC and Clang)" ON)
# Set by a profile-guided build on its sub-build only.
option(QUORVANITE_PGO_INSTRUMENTED "The instrumented engine of a profile-guided build" OFF)
mark_as_advanced(QUORVANITE_PGO_INSTRUMENTED)

# QV_PGO_MODE in the caller's scope: INSTRUMENT (the sub-build), USE or OFF.
function(qv_pgo_setup)
  if(QUORVANITE_PGO_INSTRUMENTED)
    add_compile_options(-fprofile-generate)
    add_link_options(-fprofile-generate)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      # Plain counters: the training searches on one thread (-pthread would make them atomic).
      add_compile_options(-fprofile-update=single)
    endif()
    set(QV_PGO_MODE INSTRUMENT PARENT_SCOPE)
    return()
  endif()
  set(QV_PGO_MODE OFF PARENT_SCOPE)
  if(NOT CMAKE_BUILD_TYPE STREQUAL "Release" OR QUORVANITE_SANITIZE OR QUORVANITE_TSAN
     OR QUORVANITE_FUZZ)
    return()  # the debugging and checking builds: plain, without a word
  endif()
  if(NOT QUORVANITE_PGO)
    message(STATUS "Profile-guided optimisation: off (QUORVANITE_PGO=OFF)")
    return()
  endif()
  if(CMAKE_CROSSCOMPILING OR NOT CMAKE_CXX_COMPILER_ID MATCHES "^(GNU|Clang)$")
    message(STATUS "Profile-guided optimisation: off (needs GCC or Clang on the machine that "
                   "runs the engine)")
    return()
  endif()
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # The profile tool of the compiler's own version: the raw profiles' format changes with it.
    string(REGEX MATCH "^[0-9]+" major "${CMAKE_CXX_COMPILER_VERSION}")
    get_filename_component(compiler_dir "${CMAKE_CXX_COMPILER}" REALPATH)
    get_filename_component(compiler_dir "${compiler_dir}" DIRECTORY)
    find_program(QUORVANITE_LLVM_PROFDATA NAMES llvm-profdata-${major} llvm-profdata
                 HINTS "${compiler_dir}" DOC "The LLVM profile tool of a Clang build")
    if(NOT QUORVANITE_LLVM_PROFDATA)
      message(STATUS "Profile-guided optimisation: off (llvm-profdata not found; Debian: "
                     "apt-get install llvm)")
      return()
    endif()
  endif()
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_FLAGS -fprofile-generate)
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles("int main() { return 0; }" QV_PROFILE_RUNTIME_LINKS)
  if(NOT QV_PROFILE_RUNTIME_LINKS)
    message(STATUS "Profile-guided optimisation: off (-fprofile-generate does not link; "
                   "Debian's Clang has its profile runtime in libclang-rt-N-dev)")
    return()
  endif()
  message(STATUS "Profile-guided optimisation: on (the instrumented engine runs its benchmark "
                 "during the build; QUORVANITE_PGO=OFF builds plainly)")
  set(QV_PGO_MODE USE PARENT_SCOPE)
endfunction()

function(qv_pgo_use)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "" "TARGETS")
  set(pgo_dir ${CMAKE_BINARY_DIR}/pgo)
  set(instrumented ${pgo_dir}/build/quorvanite${CMAKE_EXECUTABLE_SUFFIX})
  include(ExternalProject)
  ExternalProject_Add(quorvanite_instrumented
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    PREFIX ${pgo_dir}
    BINARY_DIR ${pgo_dir}/build
    CMAKE_GENERATOR ${CMAKE_GENERATOR}
    # The same compiler, flags and features as this build: a profile fits only the code that
    # wrote it.
    CMAKE_CACHE_ARGS
      -DCMAKE_BUILD_TYPE:STRING=${CMAKE_BUILD_TYPE}
      -DCMAKE_MAKE_PROGRAM:FILEPATH=${CMAKE_MAKE_PROGRAM}
      -DCMAKE_CXX_COMPILER:FILEPATH=${CMAKE_CXX_COMPILER}
      -DCMAKE_CXX_FLAGS:STRING=${CMAKE_CXX_FLAGS}
      -DCMAKE_CXX_FLAGS_RELEASE:STRING=${CMAKE_CXX_FLAGS_RELEASE}
      -DCMAKE_EXE_LINKER_FLAGS:STRING=${CMAKE_EXE_LINKER_FLAGS}
      -DQUORVANITE_LTO:BOOL=${QUORVANITE_LTO}
      -DQUORVANITE_CHECKS:BOOL=${QUORVANITE_CHECKS}
      -DQUORVANITE_SYZYGY:BOOL=${QUORVANITE_SYZYGY}
      -DFATHOM_INCLUDE_DIR:PATH=${FATHOM_INCLUDE_DIR}
      -DFATHOM_LIBRARY:FILEPATH=${FATHOM_LIBRARY}
      -DQUORVANITE_PGO_INSTRUMENTED:BOOL=ON
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target quorvanite
    # Its own build tells whether the engine changed; the training reruns only when it did.
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${instrumented}
    INSTALL_COMMAND "")

  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # The training copies each object's counts beside the object of the same name here.
    set(profile ${pgo_dir}/profile.stamp)
    set(use_flags -fprofile-use -fprofile-correction -fprofile-partial-training
                  -Wno-missing-profile)
  else()
    set(profile ${pgo_dir}/quorvanite.profdata)
    set(use_flags -fprofile-use=${profile} -Wno-profile-instr-unprofiled
                  -Wno-profile-instr-out-of-date)
  endif()
  add_custom_command(OUTPUT ${profile}
    COMMAND ${CMAKE_COMMAND} -DENGINE=${instrumented} -DCOMPILER=${CMAKE_CXX_COMPILER_ID}
            -DPROFDATA=${QUORVANITE_LLVM_PROFDATA} -DINSTRUMENTED_DIR=${pgo_dir}/build
            -DPROFILED_DIR=${CMAKE_BINARY_DIR} -DPROFILE=${profile}
            -P ${CMAKE_SOURCE_DIR}/cmake/pgo_train.cmake
    DEPENDS ${instrumented} ${CMAKE_SOURCE_DIR}/cmake/pgo_train.cmake
    WORKING_DIRECTORY ${pgo_dir}
    COMMENT "Training the profile-guided build: quorvanite bench, instrumented"
    VERBATIM)
  add_custom_target(quorvanite_profile DEPENDS ${profile})
  add_dependencies(quorvanite_profile quorvanite_instrumented)

  foreach(target ${arg_TARGETS})
    target_compile_options(${target} PRIVATE ${use_flags})
    get_target_property(sources ${target} SOURCES)
    set_source_files_properties(${sources} PROPERTIES OBJECT_DEPENDS ${profile})
    add_dependencies(${target} quorvanite_profile)
  endforeach()
endfunction()
