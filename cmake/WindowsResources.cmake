# Windows resources of the programs: the project's version, its icon (an .ico
# made at build time from packaging/icons/vandrel1.svg) and, for the window,
# the application manifest (common controls 6, per-monitor DPI awareness).
#   VANDREL_CLI_RC    vandrel1-cli.exe's resources
#   VANDREL_WIN32_RC  vandrel1.exe's resources (packaging/windows/ adds it to the
#                     Win32 face's target unless the face has added it itself)
#   VANDREL_ICO       the icon, also the installer's
find_program(VANDREL_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(VANDREL_ICOTOOL icotool REQUIRED) # icoutils

set(_win ${CMAKE_BINARY_DIR}/windows)
set(_src ${PROJECT_SOURCE_DIR}/packaging/windows)
set(VANDREL_ICO ${_win}/vandrel1.ico)
set(_svg ${PROJECT_SOURCE_DIR}/packaging/icons/vandrel1.svg)
add_custom_command(OUTPUT ${VANDREL_ICO}
  COMMAND ${CMAKE_COMMAND} -DSVG=${_svg} -DICO=${VANDREL_ICO} -DWORK=${_win}/icon
          -DRSVG=${VANDREL_RSVG_CONVERT} -DICOTOOL=${VANDREL_ICOTOOL} -P ${_src}/make-ico.cmake
  DEPENDS ${_svg} ${_src}/make-ico.cmake
  COMMENT "Icon vandrel1.ico"
  VERBATIM)
add_custom_target(vandrel_windows_icon DEPENDS ${VANDREL_ICO})

# One template, two programs. The manifest is the window's only: the
# command-line program draws no controls and scales nothing.
set(VANDREL_RC_ICON ${VANDREL_ICO})
set(VANDREL_RC_MANIFEST ${_win}/vandrel1.manifest)
configure_file(${_src}/vandrel1.manifest.in ${VANDREL_RC_MANIFEST} @ONLY)

set(VANDREL_RC_NAME vandrel1-cli)
set(VANDREL_RC_DESCRIPTION "Vandrel1 command line")
set(VANDREL_RC_MANIFEST_LINE "")
set(VANDREL_CLI_RC ${_win}/vandrel1-cli.rc)
configure_file(${_src}/version.rc.in ${VANDREL_CLI_RC} @ONLY)

set(VANDREL_RC_NAME vandrel1)
set(VANDREL_RC_DESCRIPTION "Vandrel1 PIC programmer")
set(VANDREL_RC_MANIFEST_LINE "CREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST \"${VANDREL_RC_MANIFEST}\"")
set(VANDREL_WIN32_RC ${_win}/vandrel1.rc)
configure_file(${_src}/version.rc.in ${VANDREL_WIN32_RC} @ONLY)

# Gives a program its resources: the .rc (once), built after the icon and
# again when the icon or manifest changes.
function(vandrel_windows_resources target rc)
  get_target_property(_sources ${target} SOURCES)
  if(NOT rc IN_LIST _sources)
    target_sources(${target} PRIVATE ${rc})
  endif()
  add_dependencies(${target} vandrel_windows_icon)
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target}
    PROPERTIES OBJECT_DEPENDS "${VANDREL_ICO};${VANDREL_RC_MANIFEST}")
endfunction()
