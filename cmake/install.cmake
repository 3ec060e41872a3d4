# Installing qarnSqlGen.  The programs look beside themselves for the control
# library, the sample database and the help pages, so all of them go into
# one folder, <prefix>/lib/qarnSqlGen; <prefix>/bin holds symbolic links to
# the two programs (a program started through a link still finds its real
# folder).  A user's own files never go there: the generated script goes to
# ~/.local/share/qarnSqlGen when the program's folder cannot be written, the
# options to ~/.config/qarnSqlGen, and the control registers itself on the
# first start.
#
#   <prefix>/bin/qarnSqlGen, qarnSqlGenCli         -> ../lib/qarnSqlGen/...
#   <prefix>/lib/qarnSqlGen/                          programs, libqarnSqlGenComp.so*,
#                                                     Sample.mdb, qarnSqlGen.html/.css
#   <prefix>/share/applications/qarnSqlGen.desktop
#   <prefix>/share/icons/hicolor/scalable/apps/qarnSqlGen.svg
#   <prefix>/share/man/man1/qarnSqlGenCli.1.gz
#
# cmake/package.cmake packs the same tree into a Debian package.
include(GNUInstallDirs)

set(QARN_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/qarnSqlGen)

foreach(program qarnSqlGen qarnSqlGenCli)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${QARN_INSTALL_DIR})
    # The link is made relative, so the tree can be moved (or staged with DESTDIR).
    cmake_path(RELATIVE_PATH QARN_INSTALL_DIR BASE_DIRECTORY ${CMAKE_INSTALL_BINDIR} OUTPUT_VARIABLE relative)
    install(CODE "
      set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\")
      file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
      file(REMOVE \"\${link}\")
      message(STATUS \"Installing: \${link} -> ${relative}/${program}\")
      file(CREATE_LINK \"${relative}/${program}\" \"\${link}\" SYMBOLIC)")
  endif()
endforeach()

# The library with its versioned names; hosts load it by its plain name.
if(TARGET qarnSqlGenComp)
  install(TARGETS qarnSqlGenComp LIBRARY DESTINATION ${QARN_INSTALL_DIR} NAMELINK_COMPONENT Runtime)
endif()

# Made by the build into the programs' folder.
install(FILES
    ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Sample.mdb
    ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/qarnSqlGen.html
    ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/qarnSqlGen.css
  DESTINATION ${QARN_INSTALL_DIR})

install(FILES ${PROJECT_SOURCE_DIR}/assets/qarnSqlGen.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/assets/qarnSqlGen.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

if(TARGET qarnManPage)
  install(FILES ${CMAKE_BINARY_DIR}/man/qarnSqlGenCli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
