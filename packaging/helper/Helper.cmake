# Install rules of torvex-isp-helper and the files that let the system run it: its systemd unit,
# its D-Bus activation file and bus policy, the polkit action it asks for, the udev rule that lets
# the active user open the product's disks, its system user (sysusers.d), its lock directory
# (tmpfiles.d) and the package scripts that make them and tell udev and systemd. Included by
# packaging/Packaging.cmake before CPack.
#
# The udev, systemd, sysusers and tmpfiles files go below <prefix>/lib (/usr/lib, where a merged
# /usr keeps them; some build machines' pkg-config still names /lib). The D-Bus and polkit
# directories come from pkg-config (dbus-1, polkit-gobject-1) where the build machine has those
# modules, else from the usual places. They hold for the prefix /usr only: under another prefix
# everything goes below it, where the system will not find it.

if(NOT TARGET torvex-isp-helper)
  return()
endif()

include(GNUInstallDirs)
find_package(PkgConfig QUIET)
set(helper_packaging_dir ${CMAKE_CURRENT_LIST_DIR})
set(helper_generated_dir ${PROJECT_BINARY_DIR}/packaging/helper)

# torvex_helper_dir(<variable> <module> <pkg-config variable> <suffix> <default below the prefix>)
function(torvex_helper_dir variable module pc_variable suffix default)
  set(found "")
  if(PKG_CONFIG_FOUND AND CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    pkg_get_variable(found ${module} ${pc_variable})
  endif()
  if(found)
    set(${variable} "${found}${suffix}" PARENT_SCOPE)
  else()
    set(${variable} "${CMAKE_INSTALL_PREFIX}/${default}" PARENT_SCOPE)
  endif()
endfunction()

set(TORVEX_UNIT_DIR ${CMAKE_INSTALL_PREFIX}/lib/systemd/system)
set(TORVEX_SYSUSERS_DIR ${CMAKE_INSTALL_PREFIX}/lib/sysusers.d)
set(TORVEX_TMPFILES_DIR ${CMAKE_INSTALL_PREFIX}/lib/tmpfiles.d)
set(TORVEX_UDEV_RULES_DIR ${CMAKE_INSTALL_PREFIX}/lib/udev/rules.d)
torvex_helper_dir(TORVEX_DBUS_SERVICES_DIR dbus-1 system_bus_services_dir ""
                  ${CMAKE_INSTALL_DATADIR}/dbus-1/system-services)
torvex_helper_dir(TORVEX_POLKIT_ACTIONS_DIR polkit-gobject-1 actiondir ""
                  ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)
set(TORVEX_DBUS_POLICY_DIR ${CMAKE_INSTALL_FULL_DATADIR}/dbus-1/system.d)

install(TARGETS torvex-isp-helper RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR})
set(HELPER_PROGRAM ${CMAKE_INSTALL_FULL_LIBEXECDIR}/torvex-isp-helper)
set(SYSUSERS_FILE_NAME torvex-isp-helper.conf)
set(TMPFILES_FILE_NAME torvex-isp.conf)
configure_file(${helper_packaging_dir}/torvex-isp-helper.service.in
               ${helper_generated_dir}/torvex-isp-helper.service @ONLY)
configure_file(${helper_packaging_dir}/org.torvex.IspHelper1.service.in
               ${helper_generated_dir}/org.torvex.IspHelper1.service @ONLY)
foreach(script postinst postrm)
  configure_file(${helper_packaging_dir}/${script}.in ${helper_generated_dir}/${script} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
endforeach()

install(FILES ${helper_generated_dir}/torvex-isp-helper.service DESTINATION ${TORVEX_UNIT_DIR})
install(FILES ${helper_generated_dir}/org.torvex.IspHelper1.service
        DESTINATION ${TORVEX_DBUS_SERVICES_DIR})
install(FILES ${helper_packaging_dir}/org.torvex.IspHelper1.conf
        DESTINATION ${TORVEX_DBUS_POLICY_DIR})
install(FILES ${helper_packaging_dir}/org.torvex.isp.update.policy
        DESTINATION ${TORVEX_POLKIT_ACTIONS_DIR})
install(FILES ${helper_packaging_dir}/70-torvex-isp.rules DESTINATION ${TORVEX_UDEV_RULES_DIR})
install(FILES ${helper_packaging_dir}/torvex-isp-helper.sysusers
        DESTINATION ${TORVEX_SYSUSERS_DIR} RENAME ${SYSUSERS_FILE_NAME})
install(FILES ${helper_packaging_dir}/torvex-isp.tmpfiles
        DESTINATION ${TORVEX_TMPFILES_DIR} RENAME ${TMPFILES_FILE_NAME})

# Its manual page, compressed as Debian packages carry them.
find_program(TORVEX_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${helper_generated_dir}/torvex-isp-helper.8.gz
                   COMMAND ${TORVEX_GZIP} -9nc ${helper_packaging_dir}/torvex-isp-helper.8
                           > ${helper_generated_dir}/torvex-isp-helper.8.gz
                   DEPENDS ${helper_packaging_dir}/torvex-isp-helper.8 VERBATIM)
add_custom_target(torvex_helper_manual ALL DEPENDS ${helper_generated_dir}/torvex-isp-helper.8.gz)
install(FILES ${helper_generated_dir}/torvex-isp-helper.8.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)

# What the helper needs of the system, and the scripts that make its user and lock directory.
set(helper_depends "libsystemd0, dbus, polkitd | policykit-1,"
                   " systemd | systemd-standalone-sysusers | systemd-sysusers")
string(JOIN "" helper_depends ${helper_depends})
if(CPACK_DEBIAN_PACKAGE_DEPENDS)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${helper_depends}")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${helper_depends}")
endif()
list(APPEND CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${helper_generated_dir}/postinst
     ${helper_generated_dir}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

# The udev rule's structure, where udev's own rule test cannot run (no udev in a build machine).
if(TORVEX_BUILD_TESTS)
  add_test(NAME udev_rule_matches_the_products_own_interface
           COMMAND sh ${helper_packaging_dir}/check-udev-rule.sh
                   ${helper_packaging_dir}/70-torvex-isp.rules)
endif()
