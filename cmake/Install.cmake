# What `cmake --install` gives a host: the shared library, the public headers,
# the resources, a CMake package (ovix::ovix) and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS ovix EXPORT ovixTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ovix DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/ DESTINATION ${CMAKE_INSTALL_DATADIR}/ovix)

set(OVIX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ovix)
install(EXPORT ovixTargets NAMESPACE ovix:: DESTINATION ${OVIX_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ovixConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ovixConfig.cmake INSTALL_DESTINATION ${OVIX_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ovixConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ovixConfig.cmake ${PROJECT_BINARY_DIR}/ovixConfigVersion.cmake
  DESTINATION ${OVIX_CMAKE_DIR})

# Relocatable: the prefix is found from the .pc file's own folder.
file(RELATIVE_PATH OVIX_PC_TO_PREFIX "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig"
     "${CMAKE_INSTALL_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/ovix.pc.in ${PROJECT_BINARY_DIR}/ovix.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/ovix.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
