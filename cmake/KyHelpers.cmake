# ky_add_test(NAME SOURCES... LIBS... [TIMEOUT s] [LABELS l])
# One GoogleTest executable, discovered before each run so a headless
# environment never needs to start the binary at build time.
function(ky_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  # gtest_main supplies main() unless the test defines its own (GUI tests do).
  target_link_libraries(${name} PRIVATE ${T_LIBS} ky_test_support GTest::gtest_main GTest::gtest GTest::gmock
                                        Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
endfunction()

# ky_use_emulator(TARGET): the test finds kycam-emulator where the build puts
# it (tests/support/EmulatorProcess.cpp) and is built after it.
function(ky_use_emulator target)
  if(TARGET kycam-emulator)
    target_compile_definitions(${target} PRIVATE KYCAM_EMULATOR_PATH="$<TARGET_FILE:kycam-emulator>")
    add_dependencies(${target} kycam-emulator)
  endif()
endfunction()

# ky_add_fuzzer(NAME SOURCES... LIBS...)
function(ky_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()
