# Installation (cmake --install) and the Debian package (cpack -G DEB).
#
# The programs go to bin/ with their manual pages; the showcase example
# goes to share/kelvo/examples/showcase with a desktop entry that runs it.
# The desktop runner kelvo-run is installed when the tree builds it.

include(GNUInstallDirs)

set(kelvo_programs kelvo-vm kelvo-asm kelvo-dis)
if(TARGET kelvo-run)
  list(APPEND kelvo_programs kelvo-run)
endif()
install(TARGETS ${kelvo_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(program ${kelvo_programs})
  install(FILES ${PROJECT_SOURCE_DIR}/docs/man/${program}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(kelvo_showcase_build ${PROJECT_BINARY_DIR}/examples/showcase)
set(kelvo_showcase_dir ${CMAKE_INSTALL_DATADIR}/kelvo/examples/showcase)
# The symbol file goes beside the image, so that an installed showcase's
# error reports and traces name its methods and source lines too.
install(FILES
  ${kelvo_showcase_build}/index.mcb
  ${kelvo_showcase_build}/index.sym
  ${kelvo_showcase_build}/font.png
  ${kelvo_showcase_build}/tap.raw
  DESTINATION ${kelvo_showcase_dir})

# The desktop entry names the example's installed directory, so it is made
# when installing: a package is installed with another prefix than the
# build's. kelvo-vm runs the application in its working directory;
# kelvo-run takes the directory as its argument.
if(TARGET kelvo-run)
  set(kelvo_desktop_command "kelvo-run \${KELVO_SHOWCASE_PATH}")
else()
  set(kelvo_desktop_command "kelvo-vm")
endif()
set(kelvo_desktop_entry ${PROJECT_BINARY_DIR}/packaging/kelvo-showcase.desktop)
install(CODE "
  set(KELVO_SHOWCASE_PATH \"\${CMAKE_INSTALL_PREFIX}/${kelvo_showcase_dir}\")
  set(KELVO_SHOWCASE_COMMAND \"${kelvo_desktop_command}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/packaging/kelvo-showcase.desktop.in\" \"${kelvo_desktop_entry}\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\"
       TYPE FILE FILES \"${kelvo_desktop_entry}\")")

set(CPACK_PACKAGE_NAME kelvo)
set(CPACK_PACKAGE_VERSION 0.1.0)
set(CPACK_PACKAGE_VENDOR "Kelvo")
set(CPACK_PACKAGE_CONTACT "Kelvo developers <kelvo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Runtime for Kelvo bytecode applications")
set(CPACK_PACKAGE_DESCRIPTION
    "kelvo-vm runs Kelvo applications (index.mcb images) in a Qt 6 window;\nkelvo-asm and kelvo-dis assemble and disassemble images. Includes a\nshowcase example application.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The package's architecture is that of the programs in it: cpack would ask
# dpkg for the build machine's, which a cross build's is not.
execute_process(COMMAND dpkg-architecture -t ${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
  OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries come from dpkg-shlibdeps; the rest is what the runtime
# needs at run time without linking it: the default font for the offscreen
# platform, the Qt platform plugins, and PulseAudio's client libraries,
# which the audio player opens when the first sound is made.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, qt6-qpa-plugins, libpulse0, libpulse-mainloop-glib0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gpsd")
include(CPack)
