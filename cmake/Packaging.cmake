# The Debian package of Norvane, made by CPack from an installed tree:
#   cmake --workflow --preset package      # build/release/norvane_<version>_<arch>.deb
# What goes in is what the install rules put there (bin/, the desktop entry,
# the icons, the AppStream metainfo, the man pages) plus the files Debian's
# policy asks of every package: the copyright and the changelog, compressed
# as dpkg-deb leaves them (gzip -9n). The runtime dependencies come from
# dpkg-shlibdeps, except ngspice's shared library, which the programs open
# with dlopen and dpkg-shlibdeps therefore never sees. tests/package/
# package-test.sh builds the package of a tree, checks it with lintian and
# runs norvane-cli from it; packaging/lintian-overrides says why each
# remaining lintian finding stays.

set(NORVANE_PACKAGE_MAINTAINER "Norvane developers <developers@norvane.org>"
  CACHE STRING "Maintainer field of the Debian package: name <e-mail>")

set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/norvane)
set(packaging_dir ${CMAKE_CURRENT_BINARY_DIR}/packaging)

# The changelog of a native package, one entry for the version being built.
# Its date honours SOURCE_DATE_EPOCH, so a rebuild gives the same bytes.
string(TIMESTAMP NORVANE_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${packaging_dir}/changelog @ONLY)
# The man pages, with the version and the date of the build in their header.
string(TIMESTAMP NORVANE_MAN_DATE "%Y-%m-%d" UTC)
foreach(page norvane-cli.1 norvane.1)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.in ${packaging_dir}/${page} @ONLY)
endforeach()

# Man pages and the changelog compressed as Debian wants them: gzip -9,
# without the name and time stamp (-n), so that equal input gives equal
# bytes.
find_program(NORVANE_GZIP gzip REQUIRED)
set(compressed "")
foreach(source IN ITEMS
    ${packaging_dir}/norvane-cli.1
    ${packaging_dir}/norvane.1
    ${packaging_dir}/changelog)
  get_filename_component(name ${source} NAME)
  add_custom_command(
    OUTPUT ${packaging_dir}/${name}.gz
    COMMAND ${NORVANE_GZIP} -9n -c ${source} > ${packaging_dir}/${name}.gz
    DEPENDS ${source}
    VERBATIM)
  list(APPEND compressed ${packaging_dir}/${name}.gz)
endforeach()
add_custom_target(norvane_packaging_files ALL DEPENDS ${compressed})

install(FILES ${packaging_dir}/norvane-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${packaging_dir}/changelog.gz DESTINATION ${doc_dir})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME norvane)
if(TARGET norvane)
  install(FILES ${packaging_dir}/norvane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norvane)
set(CPACK_PACKAGE_VENDOR "the Norvane developers")
set(CPACK_PACKAGE_CONTACT "${NORVANE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "design of single-stage bipolar transistor amplifiers")
# CPack puts the summary above this as the first line of Description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Norvane designs common-emitter, common-base and common-collector amplifiers
with one bipolar transistor. From the requirements (gain, impedances, lower
cut-off frequency, supply) and one of the built-in Gummel-Poon transistor
models it computes the bias network and the capacitors, rounds them to a
standard resistor series (E12 to E96) and writes an XHTML report with the
schematic and a parts list. Every design can be simulated with ngspice,
checked against its requirements and the transistor's ratings, tuned, and
analysed for tolerances, temperature, distortion and noise.
.
The package holds the desktop program norvane (Qt 6) and the command-line
program norvane-cli.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${NORVANE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://norvane.org/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Opened with dlopen on the first simulation (src/ngspice/NgspiceLibrary.h).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libngspice0")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
