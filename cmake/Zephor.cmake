# Project-wide helpers: library, test and benchmark targets, and the layering check.
#
# Every library target may use only the libraries below it. The table lists the direct
# uses the architecture allows; the check allows their closure and fails the configure
# step when a target links a library outside it, and the build when a source file
# includes a header of such a library.

set(ZEPHOR_LAYERS
  "common:"
  "settings:common"
  "platform_gfx:common"
  "platform_ui:platform_gfx"
  "rastova_core:platform_gfx"
  "rastova_codecs:rastova_core"
  "rastova_metafile:rastova_core"
  "rastova_io:rastova_codecs;rastova_metafile"
  "rastova_view:rastova_io;platform_ui"
  "scene3d_base:common"
  "scene3d_gl:scene3d_base"
  "scene3d_scene:scene3d_gl"
  "scene3d_platform:scene3d_scene;platform_ui"
  "shape_model:common;settings"
  "shape:shape_model;settings;rastova_io;scene3d_scene;platform_gfx;platform_ui"
  "editor:shape;rastova_view;scene3d_platform;platform_ui;settings"
  "Polyhedron:common;settings"
  "zephor:editor")

# Include prefix (below src/) of each library's headers; longest prefix wins.
set(ZEPHOR_INCLUDE_PREFIXES
  "common/=common"
  "settings/=settings"
  "platform/gfx/=platform_gfx"
  "platform/ui/=platform_ui"
  "rastova/core/=rastova_core"
  "rastova/codecs/=rastova_codecs"
  "rastova/io/metafile/=rastova_metafile"
  "rastova/io/=rastova_io"
  "rastova/view/=rastova_view"
  "scene3d/base/=scene3d_base"
  "scene3d/gl/=scene3d_gl"
  "scene3d/scene/=scene3d_scene"
  "scene3d/platform/=scene3d_platform"
  "shape/model/=shape_model"
  "shape/=shape"
  "editor/=editor")

# The plug-in shares the shape record and the plug-in interface headers, nothing else of the editor.
set(ZEPHOR_EXTRA_INCLUDES_Polyhedron "shape/model/ShapeRecord.h;shape/model/PluginInterface.h")

set_property(GLOBAL PROPERTY ZEPHOR_LAYERED_TARGETS "")

# ZEPHOR_LAYERS splits into items at ';'; rebuild the table as variables _zl_<target>.
set(_zl_current "")
foreach(item IN LISTS ZEPHOR_LAYERS)
  if(item MATCHES "^([A-Za-z0-9_]+):(.*)$")
    set(_zl_current "${CMAKE_MATCH_1}")
    set(_zl_${_zl_current} "")
    if(NOT "${CMAKE_MATCH_2}" STREQUAL "")
      list(APPEND _zl_${_zl_current} "${CMAKE_MATCH_2}")
    endif()
  else()
    list(APPEND _zl_${_zl_current} "${item}")
  endif()
endforeach()

function(zephor_allowed_layers target out)
  set(todo ${_zl_${target}})
  set(seen "")
  while(todo)
    list(POP_FRONT todo t)
    if(NOT t IN_LIST seen)
      list(APPEND seen ${t})
      list(APPEND todo ${_zl_${t}})
    endif()
  endwhile()
  set(${out} "${seen}" PARENT_SCOPE)
endfunction()

function(_zephor_is_layer name out)
  if(DEFINED _zl_${name})
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Adds the build-time include check for the sources of `target` (the layer whose rules apply is `layer`).
function(_zephor_include_check target layer)
  get_target_property(srcs ${target} SOURCES)
  get_target_property(srcdir ${target} SOURCE_DIR)
  set(files "")
  foreach(s IN LISTS srcs)
    if(NOT IS_ABSOLUTE "${s}")
      set(s "${srcdir}/${s}")
    endif()
    if(s MATCHES "\\.(c|cc|cpp|h|hpp|inc)$" AND EXISTS "${s}")
      list(APPEND files "${s}")
    endif()
  endforeach()
  # headers beside the sources count too
  file(GLOB_RECURSE hdrs CONFIGURE_DEPENDS "${srcdir}/*.h")
  list(APPEND files ${hdrs})
  list(REMOVE_DUPLICATES files)
  if(NOT files)
    return()
  endif()
  zephor_allowed_layers(${layer} allowed)
  list(APPEND allowed ${layer})
  set(listfile "${CMAKE_CURRENT_BINARY_DIR}/${target}.layers.txt")
  string(REPLACE ";" "\n" files_text "${files}")
  file(WRITE "${listfile}.tmp" "${files_text}\n")
  file(COPY_FILE "${listfile}.tmp" "${listfile}" ONLY_IF_DIFFERENT)
  set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${target}.layers.stamp")
  string(REPLACE ";" "," allowed_arg "${allowed}")
  string(REPLACE ";" "," prefixes_arg "${ZEPHOR_INCLUDE_PREFIXES}")
  string(REPLACE ";" "," extra_arg "${ZEPHOR_EXTRA_INCLUDES_${layer}}")
  add_custom_command(OUTPUT "${stamp}"
    COMMAND ${CMAKE_COMMAND} -DTARGET=${target} -DFILES=${listfile} "-DALLOWED=${allowed_arg}"
            "-DPREFIXES=${prefixes_arg}" "-DEXTRA=${extra_arg}" -DSTAMP=${stamp}
            -P "${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake"
    DEPENDS ${files} "${listfile}" "${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake"
    COMMENT "Checking the includes of ${target} against its layer"
    VERBATIM)
  add_custom_target(${target}_layers DEPENDS "${stamp}")
  add_dependencies(${target} ${target}_layers)
endfunction()

# Precompiled headers. Parsing gtest's headers with the standard ones they pull in is about half
# the compile time of a test file, so they are parsed once per build: a stand-in target makes
# the precompiled header with the flags its users share, and the test programs (and the
# benchmarks, with Google Benchmark's) reuse it. A precompiled header is only valid with the
# flags and macros it was made with (clang refuses one that defines a macro the user does not),
# so the stand-ins define no macro of their own and take the same options as their users;
# -Winvalid-pch turns a header that the compiler would silently parse again into an error.
# The libraries reuse the standard headers' only with clang: g++ loads its large precompiled
# headers whole, which costs about what parsing the few standard headers of a library file does.
set(ZEPHOR_PCH_STD <algorithm> <array> <atomic> <cmath> <cstddef> <cstdint> <cstdio> <cstdlib> <cstring>
  <exception> <filesystem> <functional> <limits> <map> <memory> <mutex> <numbers> <stdexcept> <string>
  <string_view> <utility> <vector>)
set(ZEPHOR_PCH_TEST <gtest/gtest.h> ${ZEPHOR_PCH_STD} <fstream> <random> <set> <sstream>)
set(ZEPHOR_PCH_TEST_QT ${ZEPHOR_PCH_TEST} <QApplication> <QCheckBox> <QComboBox> <QDialog> <QLabel>
  <QLineEdit> <QListWidget> <QPushButton> <QSlider> <QTest> <QTimer> <QWidget>)

# Qt asks the code that uses it for -fPIC; programs take it whether they use Qt or not, so that
# one precompiled header serves both (a precompiled header is tied to -fPIC or -fPIE).
function(_zephor_pic target)
  target_compile_options(${target} PRIVATE -fPIC)
endfunction()

# The options every test program adds to the project's own.
function(_zephor_test_options target)
  # Test code is mostly assertion macros: optimising it costs compile time and buys nothing
  # (the code under test keeps the library's own flags).
  target_compile_options(${target} PRIVATE -O0)
  _zephor_pic(${target})
  target_link_libraries(${target} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
endfunction()

function(_zephor_pch_languages headers out)
  set(list "")
  foreach(h IN LISTS headers)
    list(APPEND list "$<$<COMPILE_LANGUAGE:CXX>:${h}>")
  endforeach()
  set(${out} "${list}" PARENT_SCOPE)
endfunction()

# The stand-ins: one for the libraries (with clang) and one for the test programs.
function(_zephor_pch_stand_ins)
  set(src "${PROJECT_SOURCE_DIR}/cmake/PchStandIn.cpp")
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    _zephor_pch_languages("${ZEPHOR_PCH_STD}" std)
    add_library(zephor_pch_library STATIC "${src}")
    target_precompile_headers(zephor_pch_library PRIVATE ${std})
  endif()

  _zephor_pch_languages("${ZEPHOR_PCH_TEST}" test)
  add_executable(zephor_pch_test "${src}")
  _zephor_test_options(zephor_pch_test)
  target_precompile_headers(zephor_pch_test PRIVATE ${test})
  set_target_properties(zephor_pch_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/pch")
endfunction()
_zephor_pch_stand_ins()

# The stand-in for the test programs of the current folder that drive widgets through Qt Test
# (Qt Test defines the folder's paths as macros, so each folder needs one of its own); its
# name goes to `out`.
function(_zephor_qt_test_stand_in out)
  file(RELATIVE_PATH rel "${PROJECT_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}")
  string(MAKE_C_IDENTIFIER "${rel}" id)
  set(name zephor_pch_test_qt_${id})
  if(NOT TARGET ${name})
    find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
    _zephor_pch_languages("${ZEPHOR_PCH_TEST_QT}" test_qt)
    add_executable(${name} "${PROJECT_SOURCE_DIR}/cmake/PchStandIn.cpp")
    _zephor_test_options(${name})
    target_link_libraries(${name} PRIVATE Qt6::Widgets Qt6::Test)
    target_precompile_headers(${name} PRIVATE ${test_qt})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/pch")
  endif()
  set(${out} ${name} PARENT_SCOPE)
endfunction()

# Gives `target` the precompiled header of `stand_in` (if there is one), or, with `headers`, one
# of its own.
function(_zephor_use_pch target stand_in headers)
  if(headers)
    _zephor_pch_languages("${headers}" list)
    target_precompile_headers(${target} PRIVATE ${list})
  elseif(TARGET ${stand_in})
    target_precompile_headers(${target} REUSE_FROM ${stand_in})
  else()
    return()
  endif()
  target_compile_options(${target} PRIVATE -Winvalid-pch)
endfunction()

# zephor_library(<target> [SOURCES ...] [DEPS <project libraries>] [EXTERNAL <outside libraries>]
#                [QT <components>] [TYPE STATIC|MODULE] [PCH <headers>])
# Without SOURCES, every .cpp and .h of the folder (not of tests/) is taken. Without PCH the
# library reuses the precompiled standard headers (with clang); a library whose files all
# include some heavy headers (Qt's) names them to get a precompiled header of its own.
function(zephor_library target)
  cmake_parse_arguments(ARG "" "TYPE" "SOURCES;DEPS;EXTERNAL;QT;PCH" ${ARGN})
  if(NOT ARG_SOURCES)
    file(GLOB ARG_SOURCES CONFIGURE_DEPENDS
      "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h"
      "${CMAKE_CURRENT_SOURCE_DIR}/*.c")
  endif()
  if(NOT ARG_TYPE)
    set(ARG_TYPE STATIC)
  endif()
  add_library(${target} ${ARG_TYPE} ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  target_link_libraries(${target} PUBLIC ${ARG_DEPS} ${ARG_EXTERNAL})
  if(ARG_QT)
    find_package(Qt6 REQUIRED COMPONENTS ${ARG_QT})
    foreach(c IN LISTS ARG_QT)
      target_link_libraries(${target} PUBLIC Qt6::${c})
    endforeach()
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
  endif()
  _zephor_use_pch(${target} zephor_pch_library "${ARG_PCH}")
  set_property(GLOBAL APPEND PROPERTY ZEPHOR_LAYERED_TARGETS ${target})
  _zephor_include_check(${target} ${target})
endfunction()

# zephor_test(<name> [SOURCES ...] LIBS ... [LABELS ...] [GUI] [NO_UNTRUSTED_BYTES] [PCH <headers>])
# Without SOURCES, every .cpp of the folder's tests/ is taken. GUI tests run headless.
# Label `gui` marks tests that need a window system or GL context; they run headless (offscreen
# Qt, EGL on Mesa), in the sanitizer build too. NO_UNTRUSTED_BYTES marks the tests of a library
# that reads none (it draws, or works on data already checked); like the GUI tests they are not
# built with ZEPHOR_READERS_ONLY.
# The program reuses the precompiled gtest and standard headers, with Qt Test's and the common
# widgets' when it links Qt Test; PCH gives it a precompiled header of its own.
function(zephor_test name)
  cmake_parse_arguments(ARG "GUI;NO_UNTRUSTED_BYTES" "LAYER" "SOURCES;LIBS;LABELS;PCH" ${ARGN})
  if(ZEPHOR_READERS_ONLY AND (ARG_GUI OR ARG_NO_UNTRUSTED_BYTES))
    return()
  endif()
  if(NOT ARG_SOURCES)
    file(GLOB ARG_SOURCES CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp")
  endif()
  add_executable(${name} ${ARG_SOURCES})
  # Test files of one program include the same headers of the code under test, and parsing them
  # is most of a test file's compile time: up to eight files are compiled as one. So the helpers of
  # a test file's unnamed namespace need names of their own among the program's test files, and
  # fixtures in that namespace are bases of the test classes (which GCC warns of once files are
  # joined).
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests"
    UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${name} PRIVATE -Wno-subobject-linkage)
  endif()
  _zephor_test_options(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if("Qt6::Test" IN_LIST ARG_LIBS)
    _zephor_qt_test_stand_in(stand_in)
    _zephor_use_pch(${name} ${stand_in} "${ARG_PCH}")
  else()
    _zephor_use_pch(${name} zephor_pch_test "${ARG_PCH}")
  endif()
  target_compile_definitions(${name} PRIVATE
    ZEPHOR_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/tests/data"
    ZEPHOR_BIN_DIR="${ZEPHOR_BIN_DIR}")
  set(env "QT_QPA_PLATFORM=offscreen")
  set(labels ${ARG_LABELS})
  if(ARG_GUI)
    list(APPEND labels gui)
  endif()
  set(props ENVIRONMENT "${env}" TIMEOUT 300)
  if(labels)
    list(APPEND props LABELS "${labels}")
  endif()
  if(ZEPHOR_SANITIZE)
    # Under the sanitizers a process costs about a second of start-up (shadow memory, the
    # libraries' checks), more than most cases take: each program runs all its cases at once.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ${props} TIMEOUT 900)
  else()
    gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      PROPERTIES ${props})
  endif()
  if(ARG_LAYER)
    _zephor_include_check(${name} ${ARG_LAYER})
  endif()
endfunction()

# zephor_benchmark(<name> SOURCES ... LIBS ...): built with the project, run by hand.
# The benchmarks share one precompiled header (Google Benchmark's and the standard headers).
function(zephor_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT TARGET zephor_pch_bench)
    _zephor_pch_languages("<benchmark/benchmark.h>;${ZEPHOR_PCH_STD}" bench)
    add_executable(zephor_pch_bench "${PROJECT_SOURCE_DIR}/cmake/PchStandIn.cpp")
    target_link_libraries(zephor_pch_bench PRIVATE benchmark::benchmark benchmark::benchmark_main Threads::Threads)
    _zephor_pic(zephor_pch_bench)
    target_precompile_headers(zephor_pch_bench PRIVATE ${bench})
    set_target_properties(zephor_pch_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/pch")
  endif()
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bench")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main Threads::Threads)
  _zephor_pic(${name})
  _zephor_use_pch(${name} zephor_pch_bench "")
endfunction()

# Fails the configure step when a layered target links a project library outside its layer.
function(zephor_check_layers)
  get_property(targets GLOBAL PROPERTY ZEPHOR_LAYERED_TARGETS)
  foreach(t IN LISTS targets)
    zephor_allowed_layers(${t} allowed)
    get_target_property(links ${t} LINK_LIBRARIES)
    if(NOT links)
      continue()
    endif()
    foreach(l IN LISTS links)
      _zephor_is_layer("${l}" is_layer)
      if(is_layer AND NOT l IN_LIST allowed)
        message(FATAL_ERROR "Layering: ${t} links ${l}, which is not below it (allowed: ${allowed})")
      endif()
    endforeach()
  endforeach()
endfunction()
