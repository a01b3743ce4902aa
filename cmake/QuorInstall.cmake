# Install the header and the library, and export a package for find_package(ConvertQuor CONFIG).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS ConvertQuor EXPORT ConvertQuorTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/quor DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_BINARY_DIR}/include/quor/version.hpp DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quor)
install(EXPORT ConvertQuorTargets NAMESPACE ConvertQuor:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ConvertQuor)

configure_package_config_file(cmake/ConvertQuorConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/ConvertQuorConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ConvertQuor)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ConvertQuorConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ConvertQuorConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/ConvertQuorConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ConvertQuor)
