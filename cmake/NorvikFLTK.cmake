# Finds FLTK and provides the target norvik::fltk and the variable NORVIK_FLTK_VERSION.
# Tried in order: FLTK's own CMake package (1.4 and later), fltk-config, CMake's FindFLTK.
# NORVIK_FLTK_MINIMUM (eg. 1.4), if set, is the least version accepted.

set(NORVIK_FLTK_VERSION "")
set(_norvik_fltk_how "")

# 1. FLTK's CMake package, only if it loads cleanly in a separate probe.
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/fltk-config-probe
          -B ${CMAKE_BINARY_DIR}/fltk-config-probe
  RESULT_VARIABLE _probe_result OUTPUT_QUIET ERROR_QUIET)
if(_probe_result EQUAL 0)
  find_package(FLTK 1.4 CONFIG QUIET)
endif()
if(FLTK_FOUND AND TARGET fltk::fltk)
  add_library(norvik::fltk INTERFACE IMPORTED)
  target_link_libraries(norvik::fltk INTERFACE fltk::fltk)
  set(NORVIK_FLTK_VERSION "${FLTK_VERSION}")
  set(_norvik_fltk_how "FLTK's CMake package")
endif()

# 2. fltk-config, which FLTK 1.3 and 1.4 both install.
if(NOT _norvik_fltk_how)
  find_program(FLTK_CONFIG_EXECUTABLE fltk-config)
  if(FLTK_CONFIG_EXECUTABLE)
    execute_process(COMMAND ${FLTK_CONFIG_EXECUTABLE} --version
                    OUTPUT_VARIABLE _ver OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _r1)
    execute_process(COMMAND ${FLTK_CONFIG_EXECUTABLE} --cxxflags
                    OUTPUT_VARIABLE _cxxflags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _r2)
    execute_process(COMMAND ${FLTK_CONFIG_EXECUTABLE} --ldflags
                    OUTPUT_VARIABLE _ldflags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _r3)
    if(_r1 EQUAL 0 AND _r2 EQUAL 0 AND _r3 EQUAL 0)
      separate_arguments(_cxxflags UNIX_COMMAND "${_cxxflags}")
      separate_arguments(_ldflags UNIX_COMMAND "${_ldflags}")
      add_library(norvik::fltk INTERFACE IMPORTED)
      foreach(_flag IN LISTS _cxxflags)
        if(_flag MATCHES "^-I(.+)")
          # As system headers: warnings in the toolkit's headers are not ours to fix.
          # fltk-config also names folders of optional libraries that may not be installed.
          if(IS_DIRECTORY "${CMAKE_MATCH_1}")
            target_include_directories(norvik::fltk SYSTEM INTERFACE "${CMAKE_MATCH_1}")
          endif()
        else()
          target_compile_options(norvik::fltk INTERFACE "${_flag}")
        endif()
      endforeach()
      target_link_libraries(norvik::fltk INTERFACE ${_ldflags})
      set(NORVIK_FLTK_VERSION "${_ver}")
      set(_norvik_fltk_how "fltk-config")
    endif()
  endif()
endif()

# 3. CMake's own module.
if(NOT _norvik_fltk_how)
  set(FLTK_SKIP_FLUID ON)
  set(FLTK_SKIP_OPENGL ON)
  set(FLTK_SKIP_FORMS ON)
  set(FLTK_SKIP_IMAGES ON)
  find_package(FLTK MODULE)
  if(FLTK_FOUND)
    add_library(norvik::fltk INTERFACE IMPORTED)
    target_include_directories(norvik::fltk SYSTEM INTERFACE ${FLTK_INCLUDE_DIR})
    target_link_libraries(norvik::fltk INTERFACE ${FLTK_LIBRARIES})
    file(STRINGS "${FLTK_INCLUDE_DIR}/FL/Enumerations.H" _defs
         REGEX "^#define FL_(MAJOR|MINOR|PATCH)_VERSION[ \t]+[0-9]+")
    foreach(_part MAJOR MINOR PATCH)
      string(REGEX MATCH "FL_${_part}_VERSION[ \t]+([0-9]+)" _m "${_defs}")
      set(_${_part} "${CMAKE_MATCH_1}")
    endforeach()
    set(NORVIK_FLTK_VERSION "${_MAJOR}.${_MINOR}.${_PATCH}")
    set(_norvik_fltk_how "CMake's FindFLTK")
  endif()
endif()

if(NOT _norvik_fltk_how)
  message(FATAL_ERROR "FLTK not found: install FLTK 1.4 (or 1.3) development files; "
                      "scripts/install-deps does it on Debian and Ubuntu")
endif()
message(STATUS "norvik: FLTK ${NORVIK_FLTK_VERSION} (found through ${_norvik_fltk_how})")
# A lane that tests a given toolkit (make test-fltk14) asks for it: anything older is an
# error, not a silent run against the other one.
if(NORVIK_FLTK_MINIMUM AND NORVIK_FLTK_VERSION VERSION_LESS NORVIK_FLTK_MINIMUM)
  message(FATAL_ERROR "norvik: FLTK ${NORVIK_FLTK_MINIMUM} or later was asked for "
                      "(NORVIK_FLTK_MINIMUM), but FLTK ${NORVIK_FLTK_VERSION} was found")
endif()
