# Checks that every include in the core points down the layers.
#   cmake -DSRC=<source folder> -P CheckLayers.cmake
# Each folder below may include only the folders listed for it; a folder not
# in the table is not checked. Includes are the quoted form "folder/File.h".
cmake_minimum_required(VERSION 3.25)

if(NOT DEFINED SRC)
  message(FATAL_ERROR "CheckLayers: SRC is not set")
endif()

# folder | the folders its sources may include
set(layers
  "codec|codec"
  "serial|codec serial"
  "settings|codec settings"
  "protocol|codec serial settings protocol"
  "commands|codec serial settings protocol commands"
  "procedures|codec serial settings protocol commands procedures"
  "sim|codec serial sim")

set(problems "")
foreach(row IN LISTS layers)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 folder)
  list(GET fields 1 allowed)
  separate_arguments(allowed)
  file(GLOB sources "${SRC}/${folder}/*.h" "${SRC}/${folder}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[^\"]*\"([^\"/]+)/.*$" "\\1" target "${line}")
      if(NOT target IN_LIST allowed)
        file(RELATIVE_PATH name "${SRC}" "${source}")
        list(APPEND problems "${name} includes ${target}/, above ${folder}/")
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  list(JOIN problems "\n" text)
  message(FATAL_ERROR "${text}")
endif()
