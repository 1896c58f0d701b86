# cmake --install: the library, its headers under include/quarn/ (the same
# tree as the sources), a CMake package exporting Quarn::quarn, and quarn.pc;
# with the test kit also Quarn::testing (the package's `testing` component),
# quarn-testing.pc and the quarn-test-server command; with Dear ImGui found
# also Quarn::imgui (the `imgui` component), its header and quarn-imgui.pc.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS quarn EXPORT QuarnTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY quarn/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quarn FILES_MATCHING PATTERN "*.h"
  PATTERN imgui EXCLUDE)

set(QUARN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quarn)
install(EXPORT QuarnTargets NAMESPACE Quarn:: DESTINATION ${QUARN_CMAKE_DIR})
configure_package_config_file(cmake/QuarnConfig.cmake.in ${PROJECT_BINARY_DIR}/QuarnConfig.cmake
  INSTALL_DESTINATION ${QUARN_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuarnConfigVersion.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuarnConfig.cmake ${PROJECT_BINARY_DIR}/QuarnConfigVersion.cmake
  DESTINATION ${QUARN_CMAKE_DIR})

# The .pc files find the prefix from where they lie (lib/pkgconfig/..).
file(RELATIVE_PATH QUARN_PC_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" QUARN_PC_PREFIX "${QUARN_PC_PREFIX}")
configure_file(cmake/quarn.pc.in ${PROJECT_BINARY_DIR}/quarn.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quarn.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(QUARN_TESTING)
  install(TARGETS quarn_testing EXPORT QuarnTestingTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(EXPORT QuarnTestingTargets NAMESPACE Quarn:: DESTINATION ${QUARN_CMAKE_DIR})
  # Finds the shared kit beside itself, wherever the tree is installed.
  file(RELATIVE_PATH QUARN_BIN_TO_LIB /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${CMAKE_INSTALL_LIBDIR})
  # The shared kit finds the library beside it in turn: a run path is not
  # followed for the dependencies of a dependency.
  set_target_properties(quarn-test-server PROPERTIES INSTALL_RPATH "$ORIGIN/${QUARN_BIN_TO_LIB}")
  set_target_properties(quarn_testing PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS quarn-test-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  configure_file(cmake/quarn-testing.pc.in ${PROJECT_BINARY_DIR}/quarn-testing.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/quarn-testing.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()

if(TARGET quarn_imgui)
  install(TARGETS quarn_imgui EXPORT QuarnImguiTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(EXPORT QuarnImguiTargets NAMESPACE Quarn:: DESTINATION ${QUARN_CMAKE_DIR})
  install(FILES quarn/imgui/imgui_impl_quarn.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quarn/imgui)
  configure_file(cmake/quarn-imgui.pc.in ${PROJECT_BINARY_DIR}/quarn-imgui.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/quarn-imgui.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()

# The game controller database built into the library is zlib-licensed: its
# licence travels with it.
install(FILES data/gamecontrollerdb/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME gamecontrollerdb-LICENSE)
