cmake_policy(SET CMP0057 NEW) # IN_LIST
# Fails when a source file includes a header of a layer above its own. Run by the build (see
# src/CMakeLists.txt) with SOURCE_DIR (the src folder) and STAMP (a file touched on success).
#
# Layers, lowest first; each may include its own folder and the folders before it:
#   platform, usrdata, upgrade, fileops, workflow, then the front ends: ui/table (the toolkit-free
#   description of the windows), ui/qt and ui/win32 (each with ui/table and ui/pictures), cli,
#   and app (which may include every front end).
set(_allowed_platform "platform")
set(_allowed_usrdata "platform;usrdata")
set(_allowed_upgrade "platform;usrdata;upgrade")
set(_allowed_fileops "platform;usrdata;upgrade;fileops")
set(_core "platform;usrdata;upgrade;fileops;workflow")
set(_allowed_workflow "${_core}")
set(_allowed_ui/table "${_core};ui/table")
set(_allowed_ui/qt "${_core};ui/table;ui/qt")
set(_allowed_ui/win32 "${_core};ui/table;ui/win32")
set(_allowed_cli "${_core};cli")
set(_allowed_app "${_core};ui/table;ui/qt;ui/win32;app")

file(GLOB_RECURSE _files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp)
set(_errors "")
foreach(_file IN LISTS _files)
  # The layer of a file: its folder under src, with ui/<toolkit> as one layer.
  string(REGEX MATCH "^(ui/[^/]+|[^/]+)/" _layer "${_file}")
  string(REGEX REPLACE "/$" "" _layer "${_layer}")
  if(NOT DEFINED _allowed_${_layer})
    string(APPEND _errors "  ${_file}: no layer is known for its folder\n")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${_file} _includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(_line IN LISTS _includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" _header "${_line}")
    string(REGEX MATCH "^(ui/[^/]+|[^/]+)/" _target "${_header}")
    string(REGEX REPLACE "/$" "" _target "${_target}")
    if(_target STREQUAL "")
      string(APPEND _errors "  ${_file}: \"${_header}\" must be named from src/ (folder/file.h)\n")
    elseif(NOT _target IN_LIST _allowed_${_layer} AND NOT _target STREQUAL "ui/pictures")
      string(APPEND _errors "  ${_file}: includes \"${_header}\" from layer ${_target}, above ${_layer}\n")
    endif()
  endforeach()
endforeach()
if(_errors)
  message(FATAL_ERROR "Layer rules broken:\n${_errors}")
endif()
file(TOUCH ${STAMP})
