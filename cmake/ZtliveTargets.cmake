# Target helpers. Two kinds of library exist: engine libraries (plain C++, never Qt) and GUI
# libraries (Qt widgets over an engine). The fence check below makes a Qt dependency of an
# engine library a configure error, and the fence test proves an engine target cannot even
# find a Qt header.

include(GoogleTest)

define_property(TARGET PROPERTY ZTLIVE_KIND
  BRIEF_DOCS "engine or gui"
  FULL_DOCS "Which kind of ZT-Live library a target is.")

# ztlive_engine_library(<name> SOURCES <files...> [LINKS <targets...>])
function(ztlive_engine_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LINKS})
  set_target_properties(${name} PROPERTIES ZTLIVE_KIND engine)
  set_property(GLOBAL APPEND PROPERTY ZTLIVE_ENGINE_TARGETS ${name})
endfunction()

# ztlive_gui_library(<name> SOURCES <files...> [LINKS <targets...>])
function(ztlive_gui_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC Qt6::Widgets ${ARG_LINKS})
  set_target_properties(${name} PROPERTIES ZTLIVE_KIND gui AUTOMOC ON)
endfunction()

# Runs a test executable (its discovery too) with the given VARIABLE=value settings. Set
# through the launcher, since a test property can carry only one variable through discovery.
function(ztlive_test_environment name)
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${CMAKE_COMMAND};-E;env;${ARGN}")
endfunction()

# ztlive_test(<name> [THREADS] [SERIAL] SOURCES <files...> [LINKS <targets...>])
# A GoogleTest executable; every test case becomes a CTest test. Tests run with a private
# configuration folder so that no test can touch the user's own settings or presets.
# SERIAL: the tests run alone (real-time audio through a server that drops a period when
# other tests load both cores).
function(ztlive_test name)
  cmake_parse_arguments(ARG "THREADS;SERIAL" "" "SOURCES;LINKS" ${ARGN})
  # The thread sanitizer's build runs only the tests whose code crosses threads or processes.
  if(ZTLIVE_SANITIZE_THREAD AND NOT ARG_THREADS)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} GTest::gtest GTest::gmock GTest::gtest_main)
  ztlive_test_environment(${name}
    "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/tsan_jack.supp"
    "ZTLIVE_HOME=${CMAKE_BINARY_DIR}/test-home"
    "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-home/config"
    "XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/test-home/cache")
  if(ARG_SERIAL)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES RUN_SERIAL TRUE)
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST)
  endif()
endfunction()

# ztlive_gui_test(<name> [THREADS] [SERIAL] SOURCES <files...> [LINKS <targets...>])
# A GoogleTest executable of window tests: real widgets under the offscreen platform, with
# one QApplication, and pictures saved into the build's screenshots folder. SERIAL as for
# ztlive_test.
function(ztlive_gui_test name)
  cmake_parse_arguments(ARG "THREADS;SERIAL" "" "SOURCES;LINKS" ${ARGN})
  if(ZTLIVE_SANITIZE_THREAD AND NOT ARG_THREADS)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} ztlive_gui_test_support GTest::gtest GTest::gmock)
  ztlive_test_environment(${name}
    "QT_QPA_PLATFORM=offscreen"
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan_qt.supp"
    "TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/tsan_qt.supp"
    "ZTLIVE_SCREENSHOTS=${CMAKE_BINARY_DIR}/screenshots"
    "ZTLIVE_HOME=${CMAKE_BINARY_DIR}/test-home"
    "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-home/config"
    "XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/test-home/cache")
  if(ARG_SERIAL)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES RUN_SERIAL TRUE)
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST)
  endif()
endfunction()

# ztlive_fuzzer(<name> SOURCES <files...> CORPUS <seed folder> [LINKS <targets...>])
# A libFuzzer target, run as a CTest test for ZTLIVE_FUZZ_SECONDS. Built only with clang.
# The code under test is listed in SOURCES, so that it is compiled with coverage feedback.
function(ztlive_fuzzer name)
  if(NOT ZTLIVE_BUILD_FUZZERS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  set(work "${CMAKE_BINARY_DIR}/fuzz/${name}")
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
            $<TARGET_FILE:${name}> -max_total_time=${ZTLIVE_FUZZ_SECONDS} -rss_limit_mb=2048
            -max_len=65536 -print_final_stats=1 -artifact_prefix=${work}/ ${work}/corpus ${ARG_CORPUS})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS fuzz)
  file(MAKE_DIRECTORY "${work}/corpus")
endfunction()

# Fails the configuration when an engine library reaches Qt or a GUI library through its links.
function(ztlive_check_engine_fence)
  get_property(engines GLOBAL PROPERTY ZTLIVE_ENGINE_TARGETS)
  foreach(engine IN LISTS engines)
    set(pending ${engine})
    set(seen "")
    while(pending)
      list(POP_FRONT pending current)
      if(current IN_LIST seen)
        continue()
      endif()
      list(APPEND seen ${current})
      if(current MATCHES "^Qt[0-9]*::")
        message(FATAL_ERROR "Engine library ${engine} links Qt (${current}); only GUI libraries may.")
      endif()
      if(NOT TARGET ${current})
        continue()
      endif()
      get_target_property(kind ${current} ZTLIVE_KIND)
      if(kind STREQUAL "gui")
        message(FATAL_ERROR "Engine library ${engine} links the GUI library ${current}.")
      endif()
      get_target_property(aliased ${current} ALIASED_TARGET)
      if(aliased)
        list(APPEND pending ${aliased})
      endif()
      get_target_property(links ${current} LINK_LIBRARIES)
      get_target_property(interface_links ${current} INTERFACE_LINK_LIBRARIES)
      foreach(link IN LISTS links interface_links)
        if(link AND NOT link MATCHES "NOTFOUND$" AND NOT link MATCHES "^\\$<")
          list(APPEND pending ${link})
        endif()
      endforeach()
    endwhile()
  endforeach()
endfunction()

# A test that compiles one file including a Qt header twice: as part of a GUI target (must
# build, which shows Qt is installed) and as part of an engine target (must fail to find it).
function(ztlive_add_qt_fence_test)
  if(NOT Qt6_FOUND)
    message(STATUS "Qt 6 not found: the Qt fence test is not built")
    return()
  endif()
  set(probe "${PROJECT_SOURCE_DIR}/cmake/qt_fence/includes_qt.cpp")
  add_library(qt_fence_gui_probe OBJECT EXCLUDE_FROM_ALL ${probe})
  target_link_libraries(qt_fence_gui_probe PRIVATE Qt6::Core)
  add_library(qt_fence_engine_probe OBJECT EXCLUDE_FROM_ALL ${probe})
  get_property(engines GLOBAL PROPERTY ZTLIVE_ENGINE_TARGETS)
  target_link_libraries(qt_fence_engine_probe PRIVATE ${engines})
  add_test(NAME QtFence.EngineTargetsCannotIncludeQt
    COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
            -P ${PROJECT_SOURCE_DIR}/cmake/qt_fence/RunQtFenceTest.cmake)
  set_tests_properties(QtFence.EngineTargetsCannotIncludeQt PROPERTIES RUN_SERIAL TRUE)
endfunction()
