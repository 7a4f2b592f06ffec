# Installs the build into a fresh prefix and checks that everything lands
# where the programs and the desktop look for it: the programs in bin/, the
# help pages in share/eklz-tester/Docs (which an installed program finds as
# ../share/eklz-tester/Docs beside its bin/), the desktop entry and the icons.
#   cmake -DBUILD=<build dir> -DPREFIX=<empty dir> -DPAGES=<list file>[;<list file>...] [-DTESTER=ON] -P CheckInstall.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${PREFIX}"
  RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${errors}")
endif()

set(expected
  bin/eklz
  bin/eklz-sim
  share/applications/eklz-tester.desktop
  share/icons/hicolor/scalable/apps/eklz-tester.svg)
foreach(size 16 24 32 48 64 128 256)
  list(APPEND expected share/icons/hicolor/${size}x${size}/apps/eklz-tester.png)
endforeach()
if(TESTER)
  list(APPEND expected bin/eklz-tester)
endif()
set(pages "")
foreach(list_file IN LISTS PAGES)
  file(STRINGS "${list_file}" listed ENCODING UTF-8)
  list(APPEND pages ${listed})
endforeach()
foreach(page IN LISTS pages)
  list(APPEND expected "share/eklz-tester/Docs/${page}.htm")
endforeach()

set(missing "")
foreach(path IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${path}")
    list(APPEND missing "${path}")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
if(missing)
  string(REPLACE ";" "\n  " missing "${missing}")
  message(FATAL_ERROR "not installed:\n  ${missing}")
endif()
