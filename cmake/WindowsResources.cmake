# The icon and the version information of a Windows program: the icon is
# written from the pictures in packaging/icons, the resource script from
# packaging/windows/version.rc.in, and MinGW's windres compiles both into an
# object linked into the program.
#   eklz_windows_resources(<target> "<file description, Russian>")
set(EKLZ_ICON_SIZES 16 24 32 48 64 128 256)

function(eklz_windows_resources target description)
  if(NOT WIN32)
    return()
  endif()
  find_program(EKLZ_PYTHON3 python3 REQUIRED)
  set(pictures "")
  foreach(size IN LISTS EKLZ_ICON_SIZES)
    list(APPEND pictures ${CMAKE_SOURCE_DIR}/packaging/icons/eklz-tester-${size}.png)
  endforeach()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources)
  set(EKLZ_RC_ICON ${dir}/eklz-tester.ico)
  set(EKLZ_RC_DESCRIPTION "${description}")
  set(EKLZ_RC_NAME ${target})
  configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/version.rc.in ${dir}/version.rc @ONLY)
  add_custom_command(OUTPUT ${EKLZ_RC_ICON}
    COMMAND ${EKLZ_PYTHON3} ${CMAKE_SOURCE_DIR}/cmake/MakeIco.py ${EKLZ_RC_ICON} ${pictures}
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/MakeIco.py ${pictures} VERBATIM)
  add_custom_command(OUTPUT ${dir}/version.o
    COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${dir}/version.rc -o ${dir}/version.o
    DEPENDS ${dir}/version.rc ${EKLZ_RC_ICON} VERBATIM)
  target_sources(${target} PRIVATE ${dir}/version.o)
endfunction()
