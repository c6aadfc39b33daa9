# Install rules and the CMake package Condora (find_package(Condora 3 CONFIG REQUIRED)).
#
#   lib/libCondora.so.3 ...                     the library (SONAME libCondora.so.3)
#   include/Condora/Condora, condora.h, ...     what hosts include: <Condora/condora.h>
#   include/Condora/condora_control.h, ...      the public headers, flat (include/ is the one
#                                               include root a host gets)
#   include/Condora/condora_export.h, condora_version.h
#   lib/cmake/Condora/                          CondoraConfig.cmake, version file, targets
#   share/Condora/translations/condora_de.qm   the translations (also embedded in the library
#                                               as :/condora/translations/condora_de.qm)
#   share/doc/Condora/html/                    the API documentation (when built before)
#   <Qt plugins>/designer/libcondora_designer.so the Designer plugin (when built)
include(CMakePackageConfigHelpers)

set(CONDORA_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Condora)
set(CONDORA_QT_MIN_VERSION 6.4)

install(TARGETS Condora EXPORT CondoraTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Devel
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Devel
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)

# The flat copies and forwarding headers of cmake/CondoraHostHeaders.cmake, beside the generated ones.
install(FILES ${CONDORA_HOST_HEADERS}
    ${PROJECT_BINARY_DIR}/include/condora_export.h
    ${PROJECT_BINARY_DIR}/include/Condora/condora_version.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/Condora COMPONENT Devel)

install(EXPORT CondoraTargets NAMESPACE Condora:: DESTINATION ${CONDORA_INSTALL_CMAKEDIR} COMPONENT Devel)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/CondoraConfig.cmake.in
    ${PROJECT_BINARY_DIR}/cmake/CondoraConfig.cmake
    INSTALL_DESTINATION ${CONDORA_INSTALL_CMAKEDIR})
# A host asking for Condora 3 takes any 3.x at least as new as it asks for, never 4.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cmake/CondoraConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/cmake/CondoraConfig.cmake ${PROJECT_BINARY_DIR}/cmake/CondoraConfigVersion.cmake
    DESTINATION ${CONDORA_INSTALL_CMAKEDIR} COMPONENT Devel)

if(CONDORA_QM_FILES)
    install(FILES ${CONDORA_QM_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/Condora/translations COMPONENT Runtime)
endif()

# The API documentation, when it was built (cmake --build build --target docs) before installing.
install(DIRECTORY ${PROJECT_BINARY_DIR}/docs/html/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/html
    COMPONENT Devel OPTIONAL)

if(TARGET condora_designer)
    install(TARGETS condora_designer
        LIBRARY DESTINATION ${CONDORA_INSTALL_DESIGNERPLUGINDIR} COMPONENT Designer)
endif()
