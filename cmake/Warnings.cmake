# Strict warnings for the project's own targets only.
function(vandrel_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  endif()
endfunction()

# Puts picspecs.ini, and picconfig.ini beside it, next to the executable of a target.
function(vandrel_copy_picspecs target)
  add_dependencies(${target} vandrel_config_names)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VANDREL_PICSPECS} $<TARGET_FILE_DIR:${target}>/picspecs.ini
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VANDREL_CONFIG_NAMES} $<TARGET_FILE_DIR:${target}>/picconfig.ini
    VERBATIM)
endfunction()

# The sources of a folder for this system: every *.cpp but the other
# system's *_posix.cpp / *_win32.cpp, and none named in the further arguments.
function(vandrel_glob_sources out dir)
  file(GLOB _sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(FILTER _sources EXCLUDE REGEX "_(posix|win32)\\.cpp$")
  foreach(_skip ${ARGN})
    list(REMOVE_ITEM _sources ${dir}/${_skip})
  endforeach()
  if(WIN32)
    file(GLOB _os CONFIGURE_DEPENDS ${dir}/*_win32.cpp)
  else()
    file(GLOB _os CONFIGURE_DEPENDS ${dir}/*_posix.cpp)
  endif()
  set(${out} ${_sources} ${_os} PARENT_SCOPE)
endfunction()

# One static library per core module; sources are picked up from the module's folder.
function(vandrel_module name dir)
  vandrel_glob_sources(_sources ${dir})
  if(NOT _sources)
    # A module still without sources links as an empty library.
    set(_empty ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${_empty} "")
    set(_sources ${_empty})
  endif()
  add_library(${name} STATIC ${_sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  vandrel_warnings(${name})
endfunction()
