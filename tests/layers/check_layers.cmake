# The layering of the viewer, read from its #include lines:
#   viewer/app -> viewer/view -> viewer/data -> corlink (corlink.h only)
# - viewer/data is headless: no wxWidgets, GL or windowing headers, nothing of view or app;
# - viewer/cli and the Python module (python/) use viewer/data and corlink only, headless too;
# - viewer/view never includes viewer/app;
# - no viewer file includes a corlink header but corlink.h;
# - formats/ (file formats the viewer and panelsim share) depends on nothing of the project:
#   its quoted includes stay inside formats/, and it includes no wxWidgets, corlink or
#   panelsim header;
# - panelsim links no viewer code and meets corlink only on the wire: no viewer or corlink
#   header.
# cmake -DROOT=<source tree> -P check_layers.cmake; prints each violation and their count,
# and fails when there is one.
if(NOT ROOT)
  message(FATAL_ERROR "ROOT must name the source tree")
endif()

set(violations 0)
macro(violation file include why)
  file(RELATIVE_PATH rel ${ROOT} ${file})
  message("layer violation: ${rel} includes ${include}: ${why}")
  math(EXPR violations "${violations} + 1")
endmacro()

file(GLOB_RECURSE sources LIST_DIRECTORIES false
  ${ROOT}/viewer/*.h ${ROOT}/viewer/*.hpp ${ROOT}/viewer/*.cpp ${ROOT}/viewer/*.cc
  ${ROOT}/viewer/*.c ${ROOT}/viewer/*.inc ${ROOT}/python/*.h ${ROOT}/python/*.cpp)
foreach(file IN LISTS sources)
  file(RELATIVE_PATH rel ${ROOT}/viewer ${file})
  string(REGEX MATCH "^[^/]+" layer "${rel}")
  if(layer STREQUAL "..")
    set(layer "python")
  endif()
  get_filename_component(dir ${file} DIRECTORY)
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*" "\\1" inc "${line}")
    # A path climbing out of its folder is judged by where it lands in the tree.
    set(path "${inc}")
    if(path MATCHES "^\\.\\./")
      get_filename_component(landed ${dir}/${path} ABSOLUTE)
      file(RELATIVE_PATH path ${ROOT} ${landed})
      string(REGEX REPLACE "^viewer/" "" path "${path}")
    endif()
    if(layer MATCHES "^(data|cli|python)$")
      if(path MATCHES "^(wx|GL|GLES[0-9]*|EGL|X11|gtk|gdk)/")
        violation(${file} "${inc}" "${layer} is headless, like viewer/data")
      elseif(path MATCHES "^(view|app)/")
        if(layer STREQUAL "data")
          violation(${file} "${inc}" "viewer/data depends on nothing above it")
        else()
          violation(${file} "${inc}" "${layer} uses viewer/data and corlink only")
        endif()
      endif()
    elseif(layer STREQUAL "view" AND path MATCHES "^app/")
      violation(${file} "${inc}" "viewer/view never includes viewer/app")
    endif()
    # corlink: only its C interface.
    get_filename_component(name "${path}" NAME)
    if(path MATCHES "^corlink/" AND NOT name STREQUAL "corlink.h")
      violation(${file} "${inc}" "the viewer uses corlink through corlink.h only")
    elseif(path MATCHES "^corlink/(src|tests)/")
      violation(${file} "${inc}" "the viewer uses corlink through corlink.h only")
    elseif(NOT name STREQUAL "corlink.h" AND EXISTS ${ROOT}/corlink/src/${path}
           AND NOT EXISTS ${ROOT}/viewer/${path} AND NOT EXISTS ${dir}/${path})
      violation(${file} "${inc}" "a corlink internal header; the viewer uses corlink.h only")
    endif()
  endforeach()
endforeach()

# formats/ and panelsim/: the shared parsers and the emulator stand apart.
file(GLOB_RECURSE apart LIST_DIRECTORIES false
  ${ROOT}/formats/*.h ${ROOT}/formats/*.cpp ${ROOT}/panelsim/*.h ${ROOT}/panelsim/*.cpp)
foreach(file IN LISTS apart)
  file(RELATIVE_PATH rel ${ROOT} ${file})
  string(REGEX MATCH "^[^/]+" part "${rel}")
  get_filename_component(dir ${file} DIRECTORY)
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]*)[>\"].*" "\\1" mark "${line}")
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*" "\\1" inc "${line}")
    get_filename_component(name "${inc}" NAME)
    set(viewer_header FALSE)
    if(inc MATCHES "^(data|view|app|cli)/" OR inc MATCHES "^viewer/")
      set(viewer_header TRUE)
    endif()
    if(inc MATCHES "^(wx|GL|GLES[0-9]*|EGL|X11|gtk|gdk)/")
      violation(${file} "${inc}" "${part} is headless and stands apart from the viewer")
    elseif(name STREQUAL "corlink.h" OR inc MATCHES "^corlink/")
      violation(${file} "${inc}" "${part} meets corlink only on the wire")
    elseif(viewer_header)
      violation(${file} "${inc}" "${part} links no viewer code")
    elseif(part STREQUAL "formats" AND inc MATCHES "^panelsim/")
      violation(${file} "${inc}" "formats/ depends on nothing of the project")
    elseif(part STREQUAL "formats" AND mark STREQUAL "\""
           AND NOT EXISTS ${ROOT}/formats/${inc} AND NOT EXISTS ${dir}/${inc})
      violation(${file} "${inc}" "formats/ depends on nothing of the project")
    endif()
  endforeach()
endforeach()
list(APPEND sources ${apart})

list(LENGTH sources scanned)
message("${violations} layer violations in ${scanned} files")
if(violations GREATER 0)
  message(FATAL_ERROR "the layering is broken")
endif()
