# SPDX-License-Identifier: GPL-3.0-or-later
# Read by ctest (tests/CMakeLists.txt, zircalo_test_program): registers
# every case of a folder's test program as a test of its own,
#   store_list_test.ListRead.ShowsEverySlot
# named after the file that holds it (FILES and NAMES are parallel lists)
# and stopped after that file's timeout (TIMEOUTS); a case of a file not
# in FILES keeps the program's name and 60 seconds. Each runs in a process
# of its own. The program lists its cases, with the file of each, when it
# is newer than the list kept in CASES.
function(zircalo_list_cases)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "PROGRAM;WORKING_DIRECTORY;CASES;SINCE" "FILES;NAMES;TIMEOUTS")
  get_filename_component(program_name "${arg_PROGRAM}" NAME)
  if(NOT EXISTS "${arg_PROGRAM}")
    add_test("${program_name}_not_built" "${arg_PROGRAM}")
    return()
  endif()
  if(EXISTS "${arg_CASES}" AND "${arg_CASES}" IS_NEWER_THAN "${arg_PROGRAM}"
     AND "${arg_CASES}" IS_NEWER_THAN "${arg_SINCE}" AND "${arg_CASES}" IS_NEWER_THAN "${CMAKE_CURRENT_FUNCTION_LIST_FILE}")
    include("${arg_CASES}")
    return()
  endif()

  set(json "${arg_CASES}.json")
  file(REMOVE "${json}")
  execute_process(
    COMMAND "${arg_PROGRAM}" --gtest_list_tests "--gtest_output=json:${json}"
    WORKING_DIRECTORY "${arg_WORKING_DIRECTORY}"
    TIMEOUT 120
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
  if(NOT result EQUAL 0 OR NOT EXISTS "${json}")
    # A test that fails as the listing did, and shows why.
    message("${program_name} did not list its cases:\n${output}")
    add_test("${program_name}_lists_its_cases" "${arg_PROGRAM}" --gtest_list_tests)
    set_tests_properties("${program_name}_lists_its_cases" PROPERTIES
      WORKING_DIRECTORY "${arg_WORKING_DIRECTORY}" ENVIRONMENT QT_QPA_PLATFORM=offscreen
      FAIL_REGULAR_EXPRESSION ".*")
    return()
  endif()

  file(READ "${json}" listing)
  set(script "")
  string(JSON suites LENGTH "${listing}" testsuites)
  if(suites GREATER 0)
    math(EXPR last_suite "${suites} - 1")
    foreach(s RANGE ${last_suite})
      string(JSON suite GET "${listing}" testsuites ${s})
      string(JSON suite_name GET "${suite}" name)
      string(JSON cases LENGTH "${suite}" testsuite)
      math(EXPR last_case "${cases} - 1")
      foreach(c RANGE ${last_case})
        string(JSON case_name GET "${suite}" testsuite ${c} name)
        string(JSON file GET "${suite}" testsuite ${c} file)
        list(FIND arg_FILES "${file}" at)
        if(at EQUAL -1)
          set(name "${program_name}")
          set(timeout 60)
        else()
          list(GET arg_NAMES ${at} name)
          list(GET arg_TIMEOUTS ${at} timeout)
        endif()
        set(test "${name}.${suite_name}.${case_name}")
        string(APPEND script
          "add_test([==[${test}]==] [==[${arg_PROGRAM}]==] [==[--gtest_filter=${suite_name}.${case_name}]==]"
          " --gtest_also_run_disabled_tests)\n"
          "set_tests_properties([==[${test}]==] PROPERTIES TIMEOUT ${timeout}"
          " WORKING_DIRECTORY [==[${arg_WORKING_DIRECTORY}]==] ENVIRONMENT QT_QPA_PLATFORM=offscreen"
          " SKIP_REGULAR_EXPRESSION [==[\\[  SKIPPED \\]]==])\n")
        if(suite_name MATCHES "^DISABLED_|/DISABLED_" OR case_name MATCHES "^DISABLED_|/DISABLED_")
          string(APPEND script "set_tests_properties([==[${test}]==] PROPERTIES DISABLED TRUE)\n")
        endif()
      endforeach()
    endforeach()
  endif()
  file(WRITE "${arg_CASES}" "${script}")
  include("${arg_CASES}")
endfunction()
