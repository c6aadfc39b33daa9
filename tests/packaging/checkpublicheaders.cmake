# cmake -DSOURCE_DIR=... -DHEADERS=a;b -DFORWARDING=x;y -DHOST_DIR=... -P checkpublicheaders.cmake
#
# The installed headers are a closed set: every header a public header includes by folder
# ("platform/ado/connection.h") is installed too, and every <Condora/...> header a forwarding
# header includes exists in the installed layout. A header that reaches for a private one
# builds in this tree and breaks every host that uses the installed package.
cmake_minimum_required(VERSION 3.25)

set(generated condora_export.h condora_version.h)
set(problems "")

foreach(header IN LISTS HEADERS)
    file(STRINGS ${SOURCE_DIR}/${header} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" included "${line}")
        if(NOT included IN_LIST HEADERS AND NOT included IN_LIST generated)
            string(APPEND problems "\n  ${header} includes \"${included}\", which is not installed")
        endif()
    endforeach()
endforeach()

foreach(header IN LISTS FORWARDING)
    file(STRINGS ${SOURCE_DIR}/include/Condora/${header} lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS lines)
        if(line MATCHES "<Condora/([^>]+)>")
            set(included ${CMAKE_MATCH_1})
            if(NOT included IN_LIST FORWARDING AND NOT included IN_LIST generated)
                string(APPEND problems "\n  <Condora/${header}> includes <Condora/${included}>, which is not installed")
            endif()
        elseif(line MATCHES "\"([^\"]+)\"")
            set(included ${CMAKE_MATCH_1})
            if(NOT included IN_LIST HEADERS)
                string(APPEND problems "\n  <Condora/${header}> includes \"${included}\", which is not installed")
            endif()
        endif()
    endforeach()
endforeach()

# The copies a host gets (HOST_DIR, installed as include/Condora) are flat: every include of one
# of them names another by its flat name, never a folder of this tree.
file(GLOB host_headers RELATIVE ${HOST_DIR} ${HOST_DIR}/*)
foreach(header IN LISTS host_headers)
    file(STRINGS ${HOST_DIR}/${header} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line IN LISTS lines)
        if(line MATCHES "\"([^\"]+)\"")
            set(included ${CMAKE_MATCH_1})
        elseif(line MATCHES "<Condora/([^>]+)>")
            set(included ${CMAKE_MATCH_1})
        else()
            continue()
        endif()
        if(included MATCHES "/" OR (NOT included IN_LIST host_headers AND NOT included IN_LIST generated))
            string(APPEND problems "\n  installed ${header} includes \"${included}\", which a host does not have")
        endif()
    endforeach()
endforeach()

if(problems)
    message(FATAL_ERROR "The installed headers would not compile in a host:${problems}")
endif()
list(LENGTH HEADERS count)
message(STATUS "${count} public headers include only installed headers")
