include(CMakePackageConfigHelpers)

install(TARGETS velxmln EXPORT VelXmlNTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/VelXmlN DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_BINARY_DIR}/include/VelXmlN/Version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/VelXmlN)

set(VELXMLN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VelXmlN)
install(EXPORT VelXmlNTargets NAMESPACE VelXmlN:: DESTINATION ${VELXMLN_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VelXmlNConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VelXmlNConfig.cmake
  INSTALL_DESTINATION ${VELXMLN_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VelXmlNConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VelXmlNConfig.cmake ${PROJECT_BINARY_DIR}/VelXmlNConfigVersion.cmake
  DESTINATION ${VELXMLN_CMAKE_DIR})

# The .pc file finds its prefix relative to itself, so it stays right for `cmake --install --prefix`.
file(RELATIVE_PATH VELXMLN_PC_TO_PREFIX "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
configure_file(${PROJECT_SOURCE_DIR}/cmake/velxmln.pc.in ${PROJECT_BINARY_DIR}/velxmln.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/velxmln.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The user guide, where Debian keeps a package's documents.
set(VELXMLN_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/velxmln)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${VELXMLN_DOC_DIR})
file(GLOB VELXMLN_GUIDE ${PROJECT_SOURCE_DIR}/docs/*.md)
install(FILES ${VELXMLN_GUIDE} DESTINATION ${VELXMLN_DOC_DIR}/guide)
