# Shared build helpers: one warning set for every target, one way to add a library and a test.

function(morvane_warnings target)
  # Designated initializers name only the fields a call needs (WebRequest({.url = link})), so
  # fields left out on purpose are not warned about.
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion -Wno-missing-field-initializers)
  if(MORVANE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# morvane_library(NAME name SOURCES ... [DEPS ...]) makes morvane_<name> with the alias morvane::<name>.
function(morvane_library)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(morvane_${ARG_NAME} STATIC ${ARG_SOURCES})
  add_library(morvane::${ARG_NAME} ALIAS morvane_${ARG_NAME})
  target_include_directories(morvane_${ARG_NAME} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(morvane_${ARG_NAME} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  morvane_warnings(morvane_${ARG_NAME})
endfunction()

# morvane_test(NAME name SOURCES ... [DEPS ...]) builds a GoogleTest executable and registers it.
function(morvane_test)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;DEPS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  target_include_directories(${ARG_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  morvane_warnings(${ARG_NAME})
  gtest_discover_tests(${ARG_NAME}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "MORVANE_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
