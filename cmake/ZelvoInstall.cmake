# Install layout (cmake --install, and the Debian package built from it):
#   bin/zelvo-console, sbin/zelvo-tftpd
#   lib/zelvo/           libtftp_rconsole.so and the plug-ins beside it (the
#                        daemon looks for plug-ins next to that library, so
#                        no system.plugins.path is needed)
#   share/zelvo/         the database scripts and statement files (db/)
#   <sysconfdir>/zelvo/zelvo-tftpd.conf   mode 0600 (it holds passwords)
#   <localstatedir>/lib/zelvo, /srv/tftp, <localstatedir>/log/zelvo
# The prefix is /usr unless one is given: the service is a system service,
# and with the prefix /usr sysconfdir is /etc and localstatedir /var. The
# package is built with it, so that the paths written into the configuration
# and the unit are the ones the package installs.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /usr CACHE PATH "Install prefix" FORCE)
endif()
include(GNUInstallDirs)

# lib/zelvo, not the multiarch directory: the library is private to the
# service (nothing links it from outside), its plug-ins beside it.
set(ZELVO_INSTALL_LIBDIR lib/zelvo)
set(ZELVO_INSTALL_SHAREDIR ${CMAKE_INSTALL_DATADIR}/zelvo)
set(ZELVO_USER zelvo)
set(ZELVO_CONFIG_DIR ${CMAKE_INSTALL_FULL_SYSCONFDIR}/zelvo)
set(ZELVO_CONFIG_FILE ${ZELVO_CONFIG_DIR}/zelvo-tftpd.conf)
set(ZELVO_DATA_DIR ${CMAKE_INSTALL_FULL_LOCALSTATEDIR}/lib/zelvo)
set(ZELVO_LOG_DIR ${CMAKE_INSTALL_FULL_LOCALSTATEDIR}/log/zelvo)
set(ZELVO_LOG_FILE ${ZELVO_LOG_DIR}/zelvo-tftpd.log)
set(ZELVO_TFTP_ROOT /srv/tftp)
set(ZELVO_PLUGIN_DIR ${CMAKE_INSTALL_PREFIX}/${ZELVO_INSTALL_LIBDIR})
set(ZELVO_SHARE_DIR ${CMAKE_INSTALL_FULL_DATADIR}/zelvo)
set(ZELVO_SBIN_DIR ${CMAKE_INSTALL_FULL_SBINDIR})

# Programs find the library in lib/zelvo, plug-ins find it beside themselves.
set_target_properties(tftp_rconsole PROPERTIES INSTALL_RPATH "$ORIGIN")
# The remote console is loaded as the plug-in "tftp_rconsole", by the file
# name libtftp_rconsole.so: the unversioned name is installed too.
install(TARGETS tftp_rconsole LIBRARY DESTINATION ${ZELVO_INSTALL_LIBDIR})
foreach(program zelvo-tftpd zelvo-console)
  set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/../${ZELVO_INSTALL_LIBDIR}")
endforeach()
install(TARGETS zelvo-tftpd RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})
install(TARGETS zelvo-console RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(ZELVO_INSTALLED_PLUGINS zelvo_local_fs zelvo_udp_publisher zelvo_firebird_provider zelvo_db_facade)
# The Prometheus exporter is built where prometheus-cpp is found (scripts/deps
# installs it); the package then carries it, and dpkg-shlibdeps adds
# prometheus-cpp's libraries to its dependencies.
if(TARGET zelvo_prometheus_exporter)
  list(APPEND ZELVO_INSTALLED_PLUGINS zelvo_prometheus_exporter)
else()
  message(WARNING "prometheus-cpp not found: the install and the package lack the Prometheus exporter plug-in")
endif()
foreach(plugin ${ZELVO_INSTALLED_PLUGINS})
  set_target_properties(${plugin} PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS ${plugin} LIBRARY DESTINATION ${ZELVO_INSTALL_LIBDIR})
endforeach()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/db/ DESTINATION ${ZELVO_INSTALL_SHAREDIR})

configure_file(${PROJECT_SOURCE_DIR}/packaging/zelvo-tftpd.conf.in ${PROJECT_BINARY_DIR}/packaging/zelvo-tftpd.conf
               @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/zelvo-tftpd.conf DESTINATION ${ZELVO_CONFIG_DIR}
        PERMISSIONS OWNER_READ OWNER_WRITE)

# The systemd unit (lib/systemd/system of the prefix: /usr/lib/systemd/system
# is among systemd's unit directories) and the logrotate snippet.
configure_file(${PROJECT_SOURCE_DIR}/packaging/zelvo-tftpd.service.in
               ${PROJECT_BINARY_DIR}/packaging/zelvo-tftpd.service @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/zelvo-tftpd.logrotate.in
               ${PROJECT_BINARY_DIR}/packaging/zelvo-tftpd.logrotate @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/zelvo-tftpd.service DESTINATION lib/systemd/system)
install(FILES ${PROJECT_BINARY_DIR}/packaging/zelvo-tftpd.logrotate
        DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/logrotate.d RENAME zelvo-tftpd)

# Manual pages. zelvo-tftpd.conf(5) is generated from the program's own key
# catalogue (--print-config-catalogue), so it lists exactly the keys the
# daemon knows.
set(ZELVO_MAN_DIR ${PROJECT_BINARY_DIR}/man)
add_custom_command(
  OUTPUT ${ZELVO_MAN_DIR}/zelvo-tftpd.conf.5.gz ${ZELVO_MAN_DIR}/zelvo-tftpd.8.gz ${ZELVO_MAN_DIR}/zelvo-console.1.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ZELVO_MAN_DIR}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:zelvo-tftpd> --print-config-catalogue
          > ${ZELVO_MAN_DIR}/catalogue.tsv
  COMMAND ${PROJECT_SOURCE_DIR}/packaging/man/make-conf-page ${PROJECT_SOURCE_DIR}/packaging/man/zelvo-tftpd.conf.5.head
          ${ZELVO_MAN_DIR}/catalogue.tsv > ${ZELVO_MAN_DIR}/zelvo-tftpd.conf.5
  COMMAND gzip -9nf ${ZELVO_MAN_DIR}/zelvo-tftpd.conf.5
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/man/zelvo-tftpd.8 > ${ZELVO_MAN_DIR}/zelvo-tftpd.8.gz
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/man/zelvo-console.1 > ${ZELVO_MAN_DIR}/zelvo-console.1.gz
  DEPENDS zelvo-tftpd ${PROJECT_SOURCE_DIR}/packaging/man/make-conf-page
          ${PROJECT_SOURCE_DIR}/packaging/man/zelvo-tftpd.conf.5.head ${PROJECT_SOURCE_DIR}/packaging/man/zelvo-tftpd.8
          ${PROJECT_SOURCE_DIR}/packaging/man/zelvo-console.1
  VERBATIM)
add_custom_target(zelvo_man ALL DEPENDS ${ZELVO_MAN_DIR}/zelvo-tftpd.conf.5.gz)
install(FILES ${ZELVO_MAN_DIR}/zelvo-tftpd.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(FILES ${ZELVO_MAN_DIR}/zelvo-tftpd.conf.5.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
install(FILES ${ZELVO_MAN_DIR}/zelvo-console.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME zelvo-tftpd)

# The directories the running service writes, with their owner, exist only
# on a machine: a direct install (no DESTDIR) makes them here; the package
# makes them in its postinst, with the service's user.
install(CODE "
  if(\"\$ENV{DESTDIR}\" STREQUAL \"\")
    file(MAKE_DIRECTORY \"${ZELVO_DATA_DIR}\" \"${ZELVO_LOG_DIR}\" \"${ZELVO_TFTP_ROOT}\")
  endif()")

include(${PROJECT_SOURCE_DIR}/cmake/ZelvoPackage.cmake)
