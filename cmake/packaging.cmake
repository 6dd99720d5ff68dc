# Install and export rules: each library is its own CMake package (`find_package(vantrel CONFIG)`
# gives `vantrel::vantrel`), and every library's package finds the platform's (`hs::platform`).
# The package files are written twice: for the install tree and for the build tree, so a build
# folder can be used as a package too.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# dt_package(<target> <namespace> [DEPENDS <package>...]): installs the target, its headers
# (the include/ folder next to the calling CMakeLists.txt) and its package files.
function(dt_package target namespace)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "DEPENDS")
  set(DT_PACKAGE_NAME ${target})
  set(DT_PACKAGE_DEPENDENCIES "")
  foreach(dep IN LISTS arg_DEPENDS)
    # The packages are built and installed together: the sibling folder first, same version.
    string(APPEND DT_PACKAGE_DEPENDENCIES
           "find_dependency(${dep} ${PROJECT_VERSION} EXACT CONFIG HINTS \"\${CMAKE_CURRENT_LIST_DIR}/..\")\n")
  endforeach()

  set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/${target})
  set(build_dir ${PROJECT_BINARY_DIR}/cmake/${target})
  install(TARGETS ${target} EXPORT ${target}Targets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
          RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(EXPORT ${target}Targets NAMESPACE ${namespace}:: DESTINATION ${config_dir})
  export(EXPORT ${target}Targets NAMESPACE ${namespace}:: FILE ${build_dir}/${target}Targets.cmake)

  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/package-config.cmake.in
                                ${build_dir}/${target}Config.cmake
                                INSTALL_DESTINATION ${config_dir})
  # Compatible within a major version, as the shared object's soname says.
  write_basic_package_version_file(${build_dir}/${target}ConfigVersion.cmake
                                   VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${build_dir}/${target}Config.cmake ${build_dir}/${target}ConfigVersion.cmake
          DESTINATION ${config_dir})
endfunction()
