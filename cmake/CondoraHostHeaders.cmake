# The installed headers, as hosts see them: every header of CONDORA_PUBLIC_HEADERS as a flat
# copy condora_<name>.h, and the <Condora/...> forwarding headers, all in one folder
# (${CONDORA_HOST_HEADER_DIR}/Condora) whose parent is a host's only include root. Each copy is
# its source with the includes of other public headers ("platform/ado/connection.h") rewritten
# to their flat names ("condora_connection.h"), so no folder of this tree shows through.
# Written at configure time; a change of a source header configures again.
set(CONDORA_HOST_HEADER_DIR ${PROJECT_BINARY_DIR}/hostheaders)
set(CONDORA_HOST_HEADERS "")

# The flat name of a public header: control/querymodel.h -> condora_querymodel.h; the control's
# own header is condora_control.h (<Condora/condora.h> is the forwarding header hosts write).
function(condora_host_header_name header out)
    get_filename_component(name ${header} NAME)
    if(header STREQUAL "control/condora.h")
        set(name control.h)
    endif()
    set(${out} condora_${name} PARENT_SCOPE)
endfunction()

function(condora_write_host_header source destination)
    file(READ ${source} content)
    foreach(header IN LISTS CONDORA_PUBLIC_HEADERS)
        condora_host_header_name(${header} flat)
        string(REPLACE "#include \"${header}\"" "#include \"${flat}\"" content "${content}")
    endforeach()
    file(WRITE ${destination}.new "${content}")
    file(COPY_FILE ${destination}.new ${destination} ONLY_IF_DIFFERENT)
    file(REMOVE ${destination}.new)
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()

file(MAKE_DIRECTORY ${CONDORA_HOST_HEADER_DIR}/Condora)
foreach(header IN LISTS CONDORA_PUBLIC_HEADERS)
    condora_host_header_name(${header} flat)
    condora_write_host_header(${PROJECT_SOURCE_DIR}/${header} ${CONDORA_HOST_HEADER_DIR}/Condora/${flat})
    list(APPEND CONDORA_HOST_HEADERS ${CONDORA_HOST_HEADER_DIR}/Condora/${flat})
endforeach()
foreach(header IN LISTS CONDORA_FORWARDING_HEADERS)
    condora_write_host_header(${PROJECT_SOURCE_DIR}/include/Condora/${header} ${CONDORA_HOST_HEADER_DIR}/Condora/${header})
    list(APPEND CONDORA_HOST_HEADERS ${CONDORA_HOST_HEADER_DIR}/Condora/${header})
endforeach()
