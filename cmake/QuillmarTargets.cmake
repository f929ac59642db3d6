# One static library per subsystem: every .cpp of the folder and its sub-folders belongs to
# it, so adding a file needs no CMake edit.
function(qm_library name dir)
  file(GLOB_RECURSE _src CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h ${dir}/*.qrc)
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
endfunction()

# Each tests/<subsystem>/[<folder>/]test_*.cpp is its own test program, so a fault in one file
# never hides the others; it is named after its folders (frontend_crop_test_crop_search).
# support_*.cpp of the folder and of the folders above it (up to tests/) are linked in.
# Files named test_web_*.cpp need a display and run under xvfb-run.
function(qm_tests dir)
  cmake_parse_arguments(QT "" "" "LIBS" ${ARGN})
  file(GLOB _tests CONFIGURE_DEPENDS ${dir}/test_*.cpp)
  set(_support)
  set(_d ${dir})
  while(NOT _d STREQUAL "${CMAKE_SOURCE_DIR}/tests")
    file(GLOB _s CONFIGURE_DEPENDS ${_d}/support_*.cpp)
    list(APPEND _support ${_s})
    get_filename_component(_d ${_d} DIRECTORY)
  endwhile()
  file(RELATIVE_PATH _sub ${CMAKE_SOURCE_DIR}/tests ${dir})
  string(REPLACE "/" "_" _sub ${_sub})
  foreach(_t ${_tests})
    get_filename_component(_n ${_t} NAME_WE)
    set(_exe ${_sub}_${_n})
    add_executable(${_exe} ${_t} ${_support} ${CMAKE_SOURCE_DIR}/tests/common/test_main.cpp
      ${CMAKE_SOURCE_DIR}/tests/common/keep_libraries.cpp)
    # The libraries the program loads at run time must find our dlclose, not the C library's.
    target_link_options(${_exe} PRIVATE -Wl,--export-dynamic-symbol=dlclose)
    target_include_directories(${_exe} PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${_exe} PRIVATE ${QT_LIBS} GTest::gtest GTest::gmock)
    set_target_properties(${_exe} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests-bin)
    target_compile_definitions(${_exe} PRIVATE
      QM_SOURCE_DIR="${CMAKE_SOURCE_DIR}" QM_BINARY_DIR="${CMAKE_BINARY_DIR}")
    if(_n MATCHES "^test_web_")
      add_test(NAME ${_exe} COMMAND xvfb-run -a $<TARGET_FILE:${_exe}>)
      set_tests_properties(${_exe} PROPERTIES ENVIRONMENT "QTWEBENGINE_DISABLE_SANDBOX=1;QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox")
    else()
      add_test(NAME ${_exe} COMMAND ${_exe})
      set_tests_properties(${_exe} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    endif()
    set_tests_properties(${_exe} PROPERTIES TIMEOUT 600)
  endforeach()
endfunction()

function(qm_benches dir)
  cmake_parse_arguments(QB "" "" "LIBS" ${ARGN})
  file(GLOB _b CONFIGURE_DEPENDS ${dir}/bench_*.cpp)
  foreach(_f ${_b})
    get_filename_component(_n ${_f} NAME_WE)
    add_executable(${_n} ${_f})
    target_include_directories(${_n} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/bench)
    target_link_libraries(${_n} PRIVATE ${QB_LIBS})
    target_compile_definitions(${_n} PRIVATE QM_SOURCE_DIR="${CMAKE_SOURCE_DIR}" QM_BINARY_DIR="${CMAKE_BINARY_DIR}")
    set_target_properties(${_n} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench-bin)
  endforeach()
endfunction()
