# The training run of a profile-guided build (cmake/ProfileGuided.cmake), as a script:
#
#   cmake -DENGINE=instrumented-engine -DCOMPILER=GNU|Clang -DPROFDATA=llvm-profdata
#         -DINSTRUMENTED_DIR=its-build-folder -DPROFILED_DIR=the-main-build-folder
#         -DPROFILE=file-to-write -P pgo_train.cmake
#
# Runs `ENGINE bench` in the working directory and turns what it wrote into PROFILE: with GCC,
# each object's counts (NAME.gcda beside NAME.o) are copied beside the object of the same name
# in PROFILED_DIR and PROFILE is a stamp; with Clang, the raw profiles are merged into PROFILE.

foreach(variable ENGINE COMPILER INSTRUMENTED_DIR PROFILED_DIR PROFILE)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "pgo_train.cmake: ${variable} is not set")
  endif()
endforeach()

# Counts of an earlier run would be added to this one's.
file(GLOB_RECURSE stale ${INSTRUMENTED_DIR}/*.gcda ${INSTRUMENTED_DIR}/*.profraw)
if(stale)
  file(REMOVE ${stale})
endif()
if(COMPILER STREQUAL "Clang")
  set(ENV{LLVM_PROFILE_FILE} ${INSTRUMENTED_DIR}/bench-%p.profraw)
endif()

execute_process(COMMAND ${ENGINE} bench RESULT_VARIABLE status OUTPUT_VARIABLE output
                ERROR_VARIABLE output)
if(NOT status EQUAL 0 OR NOT output MATCHES "[0-9]+ nodes [0-9]+ nps")
  message(FATAL_ERROR "The instrumented engine's benchmark failed (status ${status}):\n${output}")
endif()
string(REGEX MATCH "[0-9]+ nodes [0-9]+ nps" total "${output}")
message(STATUS "Instrumented benchmark: ${total}")

if(COMPILER STREQUAL "GNU")
  file(GLOB_RECURSE counts RELATIVE ${INSTRUMENTED_DIR} ${INSTRUMENTED_DIR}/CMakeFiles/*.gcda)
  if(NOT counts)
    message(FATAL_ERROR "The instrumented engine wrote no profile under ${INSTRUMENTED_DIR}")
  endif()
  foreach(count ${counts})
    get_filename_component(folder ${PROFILED_DIR}/${count} DIRECTORY)
    file(COPY ${INSTRUMENTED_DIR}/${count} DESTINATION ${folder})
  endforeach()
  file(TOUCH ${PROFILE})
else()
  file(GLOB raw ${INSTRUMENTED_DIR}/*.profraw)
  if(NOT raw)
    message(FATAL_ERROR "The instrumented engine wrote no profile in ${INSTRUMENTED_DIR}")
  endif()
  execute_process(COMMAND ${PROFDATA} merge -output=${PROFILE} ${raw} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROFDATA} merge failed (status ${status})")
  endif()
endif()
