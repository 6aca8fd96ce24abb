# The Debian package, built by CPack's DEB generator from the install rules
# above (scripts/package). CPack rather than a debian/ directory: the
# package holds exactly what `cmake --install` installs, from the same
# rules, without a second description of the layout to keep in step, and it
# builds in seconds from an existing build tree with nothing beyond cmake
# and dpkg-dev. What debhelper would add is written out in
# packaging/debian: the maintainer scripts (system user, directories, the
# unit's enabling, the purge), copyright and changelog.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelvo-tftpd)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The first Debian revision of this upstream version.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGE_CONTACT "TFTP Zelvo developers <dev@zelvo.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "TFTP provisioning server with expressions, remote console and database")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "TFTP Zelvo serves and accepts files over TFTP (RFC 1350 with the blksize,\n\
tsize, timeout and windowsize options) beneath a virtual root that, like\n\
the access and overwrite rules, may be an expression evaluated per\n\
request. An administrative console over TCP reads and changes the\n\
configuration and the provisioning objects kept in an embedded Firebird\n\
database. Transfer counts are served to Prometheus by an optional plug-in.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zelvo.invalid/")
# Libraries the programs and plug-ins link (ACE, fbclient, libedit,
# libsystemd, prometheus-cpp, the C++ runtime) are found by dpkg-shlibdeps; the embedded Firebird engine is
# loaded by fbclient at run time and must be named; the maintainer scripts
# need adduser and init-system-helpers.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "firebird3.0-server-core, adduser, init-system-helpers (>= 1.54~)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS logrotate)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "curl, tftp-hpa")
# The package's own libraries live in lib/zelvo, found through RUNPATH.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst ${PROJECT_SOURCE_DIR}/packaging/debian/prerm
    ${PROJECT_SOURCE_DIR}/packaging/debian/postrm ${PROJECT_BINARY_DIR}/packaging/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)

# Everything under /etc is a configuration file the administrator owns.
file(WRITE ${PROJECT_BINARY_DIR}/packaging/conffiles
     "${ZELVO_CONFIG_FILE}\n${CMAKE_INSTALL_FULL_SYSCONFDIR}/logrotate.d/zelvo-tftpd\n")

# Debian's documentation files: copyright as it is, the changelog gzipped.
set(ZELVO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/zelvo-tftpd)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
                   COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/debian/changelog
                           > ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz
                   DEPENDS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog VERBATIM)
add_custom_target(zelvo_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
              ${PROJECT_BINARY_DIR}/packaging/changelog.Debian.gz DESTINATION ${ZELVO_DOC_DIR})

include(CPack)
