# Dependencies run one way, bottom to top:
#   calib, monitor, link  <  acquisition, editors  <  session
#   <  ui, dialogs, the qt/ views  <  app  <  cli, sim, bench
# Fail the configure step when a source includes a header from a higher layer.
set(_layer_calib 0)
set(_layer_monitor 0)
set(_layer_link 0)
set(_layer_acquisition 1)
set(_layer_editors 1)
set(_layer_session 2)
set(_layer_ui 3)
set(_layer_dialogs 3)
set(_layer_qt 3)  # monitor/qt, editors/qt, link/qt, dialogs/qt
set(_layer_app 4)
set(_layer_cli 5)
set(_layer_sim 5)
set(_layer_bench 5)

# The layer of a path relative to the source root ("monitor/qt/X.h" is a view).
function(_korvel_layer path out)
  string(REGEX MATCH "^[^/]+" _top "${path}")
  set(_layer "")
  if(DEFINED _layer_${_top})
    set(_layer ${_layer_${_top}})
    if(path MATCHES "^(calib|monitor|link|acquisition|editors)/qt/")
      set(_layer ${_layer_qt})
    endif()
  endif()
  set(${out} "${_layer}" PARENT_SCOPE)
endfunction()

foreach(dir calib monitor link acquisition editors session ui dialogs app cli sim bench)
  file(GLOB_RECURSE _files CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h)
  foreach(f ${_files})
    file(RELATIVE_PATH _rel ${CMAKE_SOURCE_DIR} ${f})
    _korvel_layer("${_rel}" _from)
    file(STRINGS ${f} _includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z]+/")
    foreach(line ${_includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" _inc "${line}")
      _korvel_layer("${_inc}" _to)
      if(NOT _to STREQUAL "" AND _to GREATER _from)
        message(FATAL_ERROR "${_rel} includes ${_inc} from a higher layer")
      endif()
    endforeach()
  endforeach()
endforeach()
