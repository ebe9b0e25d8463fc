# Install rules and the Debian package: the window and the runner (both run as the user), the
# desktop entry that starts the window directly, the icon, the AppStream metainfo, the manual
# pages, and the copyright and changelog files. Included at the end of the top-level
# CMakeLists.txt, once the programs are defined.
#
# Build the package with the prefix the desktop and the system read from:
#   cmake --preset default -DCMAKE_INSTALL_PREFIX=/usr
#   cmake --build --preset default -j2
#   cpack --config build/default/CPackConfig.cmake

include(GNUInstallDirs)
set(packaging_dir ${CMAKE_CURRENT_LIST_DIR})
set(generated_dir ${PROJECT_BINARY_DIR}/packaging)

# The release these files describe (metainfo, manual pages, changelog): set by hand at a release,
# never from the clock, so that two builds of one release make the same package.
set(TORVEX_RELEASE_DATE 2026-12-08)
set(TORVEX_RELEASE_DATE_RFC2822 "Tue, 08 Dec 2026 12:00:00 +0000")
set(TORVEX_HOMEPAGE https://torvex.example/isp)

# The whole relocation table read-only from the start, as distributions build programs.
foreach(program torvex-isp torvex-isp-cli torvex-isp-station torvex-isp-helper)
  if(TARGET ${program})
    target_link_options(${program} PRIVATE LINKER:-z,relro LINKER:-z,now)
  endif()
endforeach()
foreach(program torvex-isp torvex-isp-cli torvex-isp-station)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# Files compressed as Debian wants them: gzip -9, without a name or a time stamp.
function(torvex_gzip_for_install source destination)
  get_filename_component(name ${source} NAME)
  set(compressed ${generated_dir}/gz/${name}.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated_dir}/gz
    COMMAND sh -c "gzip -9n -c '${source}' > '${compressed}'"
    DEPENDS ${source} VERBATIM)
  add_custom_target(gzip_${name} ALL DEPENDS ${compressed})
  install(FILES ${compressed} DESTINATION ${destination})
endfunction()

foreach(page torvex-isp.1 torvex-isp-cli.1 torvex-isp-station.1)
  configure_file(${packaging_dir}/man/${page}.in ${generated_dir}/${page} @ONLY)
  torvex_gzip_for_install(${generated_dir}/${page} ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/torvex-isp)
configure_file(${packaging_dir}/changelog.in ${generated_dir}/changelog @ONLY)
torvex_gzip_for_install(${generated_dir}/changelog ${doc_dir})
install(FILES ${packaging_dir}/copyright DESTINATION ${doc_dir})

set(desktop_entry ${generated_dir}/torvex-isp.desktop)
set(metainfo ${generated_dir}/org.torvex.isp.metainfo.xml)
if(TARGET torvex-isp)
  set(TORVEX_ISP_PROGRAM ${CMAKE_INSTALL_FULL_BINDIR}/torvex-isp)
  configure_file(${packaging_dir}/torvex-isp.desktop.in ${desktop_entry} @ONLY)
  configure_file(${packaging_dir}/org.torvex.isp.metainfo.xml.in ${metainfo} @ONLY)
  install(FILES ${desktop_entry} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${packaging_dir}/torvex-isp.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

  # The desktop entry and the metainfo as their validators see them, where those are installed
  # (desktop-file-utils, appstream). Any remark fails: a clean file prints nothing but success.
  find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
  find_program(APPSTREAMCLI appstreamcli)
  if(TORVEX_BUILD_TESTS AND DESKTOP_FILE_VALIDATE)
    add_test(NAME desktop_entry_validates COMMAND ${DESKTOP_FILE_VALIDATE} ${desktop_entry})
    set_tests_properties(desktop_entry_validates PROPERTIES FAIL_REGULAR_EXPRESSION ".")
  endif()
  if(TORVEX_BUILD_TESTS AND APPSTREAMCLI)
    # --no-net: the screenshot and homepage addresses are not fetched (no network here).
    add_test(NAME metainfo_validates
             COMMAND ${APPSTREAMCLI} validate --no-net --pedantic --no-color ${metainfo})
    set_tests_properties(metainfo_validates PROPERTIES
      PASS_REGULAR_EXPRESSION "^[^A-Za-z]*Validation was successful\\.\n$")
  endif()
endif()

# The station: its own desktop entry and metainfo, validated like the window's.
if(TARGET torvex-isp-station)
  set(station_entry ${generated_dir}/torvex-isp-station.desktop)
  set(station_metainfo ${generated_dir}/org.torvex.isp.station.metainfo.xml)
  set(TORVEX_STATION_PROGRAM ${CMAKE_INSTALL_FULL_BINDIR}/torvex-isp-station)
  configure_file(${packaging_dir}/torvex-isp-station.desktop.in ${station_entry} @ONLY)
  configure_file(${packaging_dir}/org.torvex.isp.station.metainfo.xml.in ${station_metainfo} @ONLY)
  install(FILES ${station_entry} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${station_metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  if(TORVEX_BUILD_TESTS AND DESKTOP_FILE_VALIDATE)
    add_test(NAME station_desktop_entry_validates COMMAND ${DESKTOP_FILE_VALIDATE} ${station_entry})
    set_tests_properties(station_desktop_entry_validates PROPERTIES FAIL_REGULAR_EXPRESSION ".")
  endif()
  if(TORVEX_BUILD_TESTS AND APPSTREAMCLI)
    add_test(NAME station_metainfo_validates
             COMMAND ${APPSTREAMCLI} validate --no-net --pedantic --no-color ${station_metainfo})
    set_tests_properties(station_metainfo_validates PROPERTIES
      PASS_REGULAR_EXPRESSION "^[^A-Za-z]*Validation was successful\\.\n$")
  endif()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME torvex-isp)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Torvex ISP maintainers <isp-maintainers@torvex.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TORVEX_HOMEPAGE})
# The libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window unmounts a mounted product through udisks2; without it the tool only names the mounts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udisks2")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "firmware update tool for the Torvex USB product
Finds the Torvex USB product, tells which code it runs and which firmware its
two flash banks hold, and updates them: erase, program, verify and restart,
following the product while it comes back in another mode.
.
The window (torvex-isp) runs as the user on Wayland or X11; the runner
(torvex-isp-cli) serves scripts and factory lines, and the station
(torvex-isp-station) shows a production line's products, a tile per USB port. Both offer to unmount a
product the desktop mounted and keep the system awake during an update.")
# The privileged helper: its files and what it needs of the system.
include(${packaging_dir}/helper/Helper.cmake)
include(CPack)
