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
  "rastova_io:rastova_codecs"
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

# zephor_library(<target> [SOURCES ...] [DEPS <project libraries>] [EXTERNAL <outside libraries>]
#                [QT <components>] [TYPE STATIC|MODULE])
# Without SOURCES, every .cpp and .h of the folder (not of tests/) is taken.
function(zephor_library target)
  cmake_parse_arguments(ARG "" "TYPE" "SOURCES;DEPS;EXTERNAL;QT" ${ARGN})
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
  set_property(GLOBAL APPEND PROPERTY ZEPHOR_LAYERED_TARGETS ${target})
  _zephor_include_check(${target} ${target})
endfunction()

# zephor_test(<name> [SOURCES ...] LIBS ... [LABELS ...] [GUI])
# Without SOURCES, every .cpp of the folder's tests/ is taken. GUI tests run headless.
# Label `gui` marks tests that need a window system or GL context; the sanitizer build skips them.
function(zephor_test name)
  cmake_parse_arguments(ARG "GUI" "LAYER" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT ARG_SOURCES)
    file(GLOB ARG_SOURCES CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp")
  endif()
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
  # Test code is mostly assertion macros: optimising it costs compile time and buys nothing
  # (the code under test keeps the library's own flags).
  if(ZEPHOR_SANITIZE)
    target_compile_options(${name} PRIVATE -O0)
  else()
    target_compile_options(${name} PRIVATE -O1)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
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
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
  if(ARG_LAYER)
    _zephor_include_check(${name} ${ARG_LAYER})
  endif()
endfunction()

# zephor_benchmark(<name> SOURCES ... LIBS ...): built with the project, run by hand.
function(zephor_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bench")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main Threads::Threads)
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
