# vistrel_folder_library(NAME <lib> [SHARED] [DEPS <folder libraries...>]
#                        [PUBLIC_LIBS <libs...>] [PRIVATE_LIBS <libs...>]
#                        [TEST_LIBS <libs...>] [TEST_PREFIX <prefix>]
#                        [TEST_ENVIRONMENT <VAR=value...>])
#
# Builds every *.cpp of the calling folder except *_test.cpp and test_main.cpp
# into the static library <lib> (a shared one with SHARED: a layer loaded once
# per process, whose objects pass between the libraries that use it, such as
# the COM stand-in), and every *_test.cpp into one GoogleTest
# program <lib>_tests that links only <lib> (and so its dependencies). A folder
# with a test_main.cpp starts its test program there (the start-up routines of
# its layer); the others use GoogleTest's main. A folder's main.cpp is the
# entry of a program the folder's CMakeLists makes; it stays out of the library.
#
# DEPS names the folder libraries directly below this one; each must have been
# declared already (folders are added lowest layer first). They are the only
# folders this folder's files may include (with their own dependencies): the
# layering check reads them from the file the configure step writes.
# PUBLIC_LIBS and PRIVATE_LIBS are outside libraries (zlib, libjpeg, ...);
# TEST_LIBS are outside libraries the test program alone uses (to make its
# fixtures, say).
#
# Tests are named <prefix>.<Suite>.<Case>; the prefix is the folder's last
# path component unless TEST_PREFIX gives another, so `ctest -R 'core\.'`
# selects one layer. TEST_ENVIRONMENT sets variables for the folder's tests.
function(vistrel_folder_library)
  cmake_parse_arguments(ARG "SHARED" "NAME;TEST_PREFIX"
                        "DEPS;PUBLIC_LIBS;PRIVATE_LIBS;TEST_LIBS;TEST_ENVIRONMENT" ${ARGN})
  if(NOT ARG_NAME)
    message(FATAL_ERROR "vistrel_folder_library: NAME missing in ${CMAKE_CURRENT_SOURCE_DIR}")
  endif()
  file(RELATIVE_PATH _folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})

  set(_dep_folders "")
  foreach(dep IN LISTS ARG_DEPS)
    get_property(_dep_folder GLOBAL PROPERTY VISTREL_FOLDER_OF_${dep})
    if(NOT _dep_folder)
      message(FATAL_ERROR "${_folder}: dependency ${dep} is not a folder library declared "
                          "before it (list folders lowest layer first in VISTREL_FOLDERS)")
    endif()
    list(APPEND _dep_folders ${_dep_folder})
  endforeach()
  set_property(GLOBAL PROPERTY VISTREL_FOLDER_OF_${ARG_NAME} ${_folder})
  list(JOIN _dep_folders " " _dep_line)
  set_property(GLOBAL APPEND PROPERTY VISTREL_LAYERS "${_folder}: ${_dep_line}")

  file(GLOB _all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(_src "")
  set(_tests "")
  set(_test_main "")
  foreach(f IN LISTS _all)
    if(f MATCHES "_test\\.cpp$")
      list(APPEND _tests ${f})
    elseif(f MATCHES "/test_main\\.cpp$")
      set(_test_main ${f})
    elseif(f MATCHES "/main\\.cpp$")
    else()
      list(APPEND _src ${f})
    endif()
  endforeach()
  if(_src)
    if(ARG_SHARED)
      add_library(${ARG_NAME} SHARED ${_src})
    else()
      add_library(${ARG_NAME} STATIC ${_src})
    endif()
    target_include_directories(${ARG_NAME} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${ARG_NAME} PUBLIC ${ARG_DEPS} ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  else()
    add_library(${ARG_NAME} INTERFACE)
    target_include_directories(${ARG_NAME} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${ARG_NAME} INTERFACE ${ARG_DEPS} ${ARG_PUBLIC_LIBS} ${ARG_PRIVATE_LIBS})
  endif()

  if(_tests)
    if(ARG_TEST_PREFIX)
      set(_prefix ${ARG_TEST_PREFIX})
    else()
      get_filename_component(_prefix ${_folder} NAME)
    endif()
    add_executable(${ARG_NAME}_tests ${_tests} ${_test_main})
    target_link_libraries(${ARG_NAME}_tests PRIVATE ${ARG_NAME} ${ARG_PRIVATE_LIBS} ${ARG_TEST_LIBS}
                          GTest::gtest)
    if(NOT _test_main)
      target_link_libraries(${ARG_NAME}_tests PRIVATE GTest::gtest_main)
    endif()
    # The engine's folders share the helpers of tests/support (built on core).
    if(_folder MATCHES "^engine/")
      target_link_libraries(${ARG_NAME}_tests PRIVATE vistrel_test_support)
    endif()
    target_compile_definitions(${ARG_NAME}_tests PRIVATE
      VISTREL_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
      VISTREL_CORPUS_DIR="${PROJECT_SOURCE_DIR}/../shared/corpus")
    if(ARG_TEST_ENVIRONMENT)
      gtest_discover_tests(${ARG_NAME}_tests TEST_PREFIX "${_prefix}." DISCOVERY_TIMEOUT 60
                           PROPERTIES ENVIRONMENT "${ARG_TEST_ENVIRONMENT}")
    else()
      gtest_discover_tests(${ARG_NAME}_tests TEST_PREFIX "${_prefix}." DISCOVERY_TIMEOUT 60)
    endif()
  endif()
endfunction()

# Writes the declared folder dependencies, one line per folder
# ("folder: dependency folders..."), for the layering check.
function(vistrel_write_layers path)
  get_property(_layers GLOBAL PROPERTY VISTREL_LAYERS)
  list(JOIN _layers "\n" _text)
  file(GENERATE OUTPUT ${path} CONTENT "${_text}\n")
endfunction()
