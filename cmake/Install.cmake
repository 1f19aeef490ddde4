# What `cmake --install` puts under the prefix: the shared libraries, the headers that the module's
# public headers include (its own and those of the libraries beneath it, and the generated
# WQRepos/Version.h), the wqrepos tool with its manual page and bash completion, the licence and the
# changelog, a CMake package (find_package(WQRepos CONFIG) gives WQRepos::WQRepos), a pkg-config
# file and an example ConfigClient.xml. The test libraries, the testing variant of the module, the tests, the fuzz
# targets and the benchmarks stay in the build tree.
include(CMakePackageConfigHelpers)

set(_wq_libraries WQPlatform WQCommon WQBL WQDataFile WQRepos)
set(_wq_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/WQRepos)

# Each library finds the others beside itself; the tool finds them in the library folder.
set_target_properties(${_wq_libraries} PROPERTIES INSTALL_RPATH "$ORIGIN")
file(RELATIVE_PATH _wq_bin_to_lib /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
set_target_properties(wqrepos PROPERTIES INSTALL_RPATH "$ORIGIN/${_wq_bin_to_lib}")

install(TARGETS ${_wq_libraries} EXPORT WQReposTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS wqrepos RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Public headers with the generated export headers beside them. The platform library's header is
# not included by any public header, so only its library file is installed.
foreach(_wq_folder common domain datafile)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${_wq_folder}/include/
                    ${PROJECT_BINARY_DIR}/${_wq_folder}/include/
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
endforeach()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ ${PROJECT_BINARY_DIR}/include/
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")

install(EXPORT WQReposTargets NAMESPACE WQRepos:: DESTINATION ${_wq_package_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/WQReposConfig.cmake.in
  ${PROJECT_BINARY_DIR}/cmake/WQReposConfig.cmake INSTALL_DESTINATION ${_wq_package_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cmake/WQReposConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/cmake/WQReposConfig.cmake
              ${PROJECT_BINARY_DIR}/cmake/WQReposConfigVersion.cmake
        DESTINATION ${_wq_package_dir})

# The pkg-config file finds the prefix from its own place, so any --prefix given at install works.
file(RELATIVE_PATH WQREPOS_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
configure_file(${PROJECT_SOURCE_DIR}/cmake/wqrepos.pc.in ${PROJECT_BINARY_DIR}/cmake/wqrepos.pc
               @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/cmake/wqrepos.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES ${PROJECT_SOURCE_DIR}/share/ConfigClient.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/wqrepos)

install(FILES ${WQREPOS_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/share/bash-completion/wqrepos
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
