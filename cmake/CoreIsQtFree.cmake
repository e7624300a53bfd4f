# The core library, and the desktop program's Qt-free command-line parser in
# app/, must stay free of Qt: fail the configure step when any of their
# sources or headers includes a Qt header.
set(_core_dirs calib monitor link acquisition editors session dialogs sim app)
foreach(dir ${_core_dirs})
  file(GLOB _files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h)
  foreach(f ${_files})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${f})
    file(STRINGS ${f} _qt_includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]+|Qt[A-Za-z]*/)")
    if(_qt_includes)
      message(FATAL_ERROR "Core file ${f} includes a Qt header: ${_qt_includes}")
    endif()
  endforeach()
endforeach()
