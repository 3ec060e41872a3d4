# The Debian package: `cpack -G DEB` in a build folder packs what
# `cmake --install` installs (cmake/install.cmake), under /usr, into
# qarnsqlgen_<version>_<arch>.deb.
#
# The libraries the programs and the control library link (Qt 6 base and
# SVG, SQLite, libpq, MariaDB Connector/C, unixODBC) become the Depends
# field through dpkg-shlibdeps, which reads them from the files themselves
# and so never falls out of step with the build.  What is only loaded at
# run time is named here: the ODBC drivers the connection strings reach and
# the desktop's opener for the help and the script.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qarnSqlGen)
set(CPACK_PACKAGE_VENDOR qarnSqlGen)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(QARN_PACKAGE_CONTACT "qarnSqlGen maintainers <qarnsqlgen@localhost>"
  CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT ${QARN_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "writes the rows of a SELECT as a script of INSERT statements")
set(CPACK_PACKAGE_DESCRIPTION
  "qarnSqlGen turns the rows of a SELECT into a SQL script of INSERT statements
that recreates them, and runs SQL scripts. It reaches SQLite, PostgreSQL and
MariaDB/MySQL natively, and SQL Server, Access files and other ODBC data
sources through unixODBC. The package holds the desktop program qarnSqlGen,
the command-line host qarnSqlGenCli, the control library they load, a sample
database and the help.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME qarnsqlgen)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "odbc-postgresql, odbc-mariadb, tdsodbc, odbc-mdbtools, xdg-utils")

# Without dpkg-shlibdeps CPack would pack no Depends at all.
find_program(QARN_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT QARN_DPKG_SHLIBDEPS)
  message(WARNING "dpkg-shlibdeps (package dpkg-dev) is missing: `cpack -G DEB` would make a package without its dependencies")
endif()

include(CPack)
