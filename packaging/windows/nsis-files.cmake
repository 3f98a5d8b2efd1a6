# The installer's file lists, made from the folder it ships so that the
# uninstaller removes exactly what the installer wrote:
#   OUT/install.nsh    SetOutPath and File for each file
#   OUT/uninstall.nsh  Delete for each file, then RMDir for each folder, deepest first
#   cmake -DFOLDER=... -DOUT=... -P nsis-files.cmake
file(GLOB_RECURSE _files LIST_DIRECTORIES false RELATIVE ${FOLDER} ${FOLDER}/*)
list(SORT _files)
if(NOT _files)
  message(FATAL_ERROR "${FOLDER} is empty")
endif()

set(_install "")
set(_uninstall "")
set(_dirs "")
set(_current "-")
foreach(_file IN LISTS _files)
  get_filename_component(_dir "${_file}" DIRECTORY)
  string(REPLACE "/" "\\" _win "${_file}")
  if(NOT _dir STREQUAL _current)
    set(_current "${_dir}")
    if(_dir STREQUAL "")
      string(APPEND _install "SetOutPath \"$INSTDIR\"\n")
    else()
      string(REPLACE "/" "\\" _windir "${_dir}")
      string(APPEND _install "SetOutPath \"$INSTDIR\\${_windir}\"\n")
      # The folder and each folder above it, to be removed when empty.
      while(NOT _dir STREQUAL "")
        list(APPEND _dirs "${_dir}")
        get_filename_component(_dir "${_dir}" DIRECTORY)
      endwhile()
    endif()
  endif()
  string(APPEND _install "File \"${FOLDER}/${_file}\"\n")
  string(APPEND _uninstall "Delete \"$INSTDIR\\${_win}\"\n")
endforeach()

list(REMOVE_DUPLICATES _dirs)
list(SORT _dirs)
list(REVERSE _dirs) # "a/b" after "a" sorted, so reversed it comes first
foreach(_dir IN LISTS _dirs)
  string(REPLACE "/" "\\" _windir "${_dir}")
  string(APPEND _uninstall "RMDir \"$INSTDIR\\${_windir}\"\n")
endforeach()

file(MAKE_DIRECTORY ${OUT})
file(WRITE ${OUT}/install.nsh "${_install}")
file(WRITE ${OUT}/uninstall.nsh "${_uninstall}")
