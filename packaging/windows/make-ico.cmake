# Renders the SVG icon at the sizes Windows asks for and packs them into one
# .ico: the small ones as bitmaps with alpha, 256 as PNG (as Windows keeps it).
#   cmake -DSVG=... -DICO=... -DWORK=... -DRSVG=rsvg-convert -DICOTOOL=icotool -P make-ico.cmake
file(MAKE_DIRECTORY ${WORK})
set(_bitmaps)
foreach(size 16 20 24 32 40 48 64 256)
  set(_png ${WORK}/${size}.png)
  execute_process(COMMAND ${RSVG} -w ${size} -h ${size} -o ${_png} ${SVG} COMMAND_ERROR_IS_FATAL ANY)
  if(NOT size EQUAL 256)
    list(APPEND _bitmaps ${_png})
  endif()
endforeach()
execute_process(COMMAND ${ICOTOOL} -c -o ${ICO}.tmp ${_bitmaps} -r ${WORK}/256.png COMMAND_ERROR_IS_FATAL ANY)
file(RENAME ${ICO}.tmp ${ICO})
