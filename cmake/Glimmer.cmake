# Shared build helpers. Every folder under src/ is one static library made of
# the sources in that folder; headers are included as "folder/file.h".

function(glimmer_library name)
  cmake_parse_arguments(ARG "" "INCLUDE_ROOT" "LINKS" ${ARGN})
  if(NOT ARG_INCLUDE_ROOT)
    set(ARG_INCLUDE_ROOT ${PROJECT_SOURCE_DIR}/src)
  endif()
  file(GLOB srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${ARG_INCLUDE_ROOT})
  target_link_libraries(${name} PUBLIC ${ARG_LINKS})
endfunction()

# glimmer_test(name SOURCES a.cpp ... LINKS lib ... [TIMEOUT s])
# One Qt Test executable registered with CTest. Tests run headless.
function(glimmer_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LINKS" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LINKS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;GLIMMER_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# glimmer_test_folder(LINKS lib ...): every test_<name>.cpp in the calling
# folder becomes the test executable <folder>_<name>.
function(glimmer_test_folder)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LINKS" ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.cpp)
  foreach(src ${tests})
    get_filename_component(stem ${src} NAME_WE)
    string(REGEX REPLACE "^test_" "" stem ${stem})
    if(ARG_TIMEOUT)
      glimmer_test(${folder}_${stem} SOURCES ${src} LINKS ${ARG_LINKS} TIMEOUT ${ARG_TIMEOUT})
    else()
      glimmer_test(${folder}_${stem} SOURCES ${src} LINKS ${ARG_LINKS})
    endif()
  endforeach()
endfunction()

# glimmer_fuzz_target(name SOURCES a.cpp LINKS lib ...): a libFuzzer target,
# built only with -DGLIMMER_FUZZ=ON and clang (see scripts/fuzz).
function(glimmer_fuzz_target name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LINKS})
endfunction()
