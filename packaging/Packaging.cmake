# Install rules and the Debian package: the two programs, the desktop entry that starts the
# window through pkexec, the polkit action that allows it, and the icon. Included at the end of
# the top-level CMakeLists.txt, once the programs are defined.
#
# Build the package with the prefix polkit and the desktop read from:
#   cmake --preset default -DCMAKE_INSTALL_PREFIX=/usr
#   cmake --build --preset default -j2
#   cpack --config build/default/CPackConfig.cmake

include(GNUInstallDirs)
set(packaging_dir ${CMAKE_CURRENT_LIST_DIR})
set(generated_dir ${PROJECT_BINARY_DIR}/packaging)

foreach(program torvex-isp torvex-isp-cli)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

if(TARGET torvex-isp)
  set(TORVEX_ISP_PROGRAM ${CMAKE_INSTALL_FULL_BINDIR}/torvex-isp)
  configure_file(${packaging_dir}/torvex-isp.desktop.in ${generated_dir}/torvex-isp.desktop
                 @ONLY)
  configure_file(${packaging_dir}/org.torvex.isp.policy.in
                 ${generated_dir}/org.torvex.isp.policy @ONLY)
  install(FILES ${generated_dir}/torvex-isp.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${generated_dir}/org.torvex.isp.policy
          DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)
  install(FILES ${packaging_dir}/torvex-isp.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    message(STATUS "Install prefix ${CMAKE_INSTALL_PREFIX}: polkit reads its actions from "
                   "/usr/share/polkit-1/actions only; use -DCMAKE_INSTALL_PREFIX=/usr to package")
  endif()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME torvex-isp)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware update tool for the Torvex USB product")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Torvex ISP maintainers")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libudev1, libqt6widgets6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec")
include(${packaging_dir}/helper/Helper.cmake)
include(CPack)
