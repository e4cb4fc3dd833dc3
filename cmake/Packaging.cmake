# The Linux desktop integration and documentation that `cmake --install` puts in place besides the
# programs, and the Debian package made from it by CPack (scripts/package.sh runs `cpack -G DEB`).
if(NOT UNIX OR APPLE)
  return()
endif()

set(ZELCONV_APPSTREAM_ID "jp.talmo.zelconv" CACHE STRING "AppStream component id of the window program")
set(ZELCONV_PACKAGE_MAINTAINER "ZelConv maintainers <zelconv@talmo.example>"
    CACHE STRING "Maintainer named by the Debian package")

set(_zel_pkg_src ${PROJECT_SOURCE_DIR}/packaging/linux)
set(_zel_pkg_out ${PROJECT_BINARY_DIR}/packaging)

# The version the manual pages name (ZELCONV_VERSION_TEXT); the changelog and the AppStream data
# name the package's, PROJECT_VERSION.
include(${PROJECT_SOURCE_DIR}/cmake/ProgramVersion.cmake)

# Manual pages and the changelog are installed compressed, as Debian wants them: gzip -9n stores
# neither the file's name nor its time, so the same sources give the same bytes.
find_program(ZELCONV_GZIP gzip REQUIRED)
set(_zel_pages zelconv-cli.1)
if(TARGET zelconv)
  list(APPEND _zel_pages zelconv.1)
endif()
set(_zel_compressed)
foreach(source IN LISTS _zel_pages ITEMS changelog)
  set(input ${_zel_pkg_out}/${source})
  configure_file(${_zel_pkg_src}/${source} ${input} @ONLY)
  set(output ${_zel_pkg_out}/gz/${source}.gz)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_zel_pkg_out}/gz
    COMMAND ${CMAKE_COMMAND} -E copy ${input} ${_zel_pkg_out}/gz/${source}
    COMMAND ${ZELCONV_GZIP} -9nf ${_zel_pkg_out}/gz/${source}
    DEPENDS ${input}
    COMMENT "Compressing ${source}"
    VERBATIM)
  list(APPEND _zel_compressed ${output})
endforeach()
add_custom_target(zel_compressed_docs ALL DEPENDS ${_zel_compressed})

foreach(page IN LISTS _zel_pages)
  install(FILES ${_zel_pkg_out}/gz/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
set(_zel_docdir ${CMAKE_INSTALL_DATADIR}/doc/zelconv)
install(FILES ${_zel_pkg_src}/copyright ${_zel_pkg_out}/gz/changelog.gz DESTINATION ${_zel_docdir})

if(TARGET zelconv)
  configure_file(${_zel_pkg_src}/zelconv.metainfo.xml.in
                 ${_zel_pkg_out}/${ZELCONV_APPSTREAM_ID}.metainfo.xml @ONLY)
  install(FILES ${_zel_pkg_out}/${ZELCONV_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# The Debian package: zelconv_<version>_amd64.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelconv)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "TALMO Development Corp.")
set(CPACK_PACKAGE_CONTACT "${ZELCONV_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "upgrade old カルトゥーバ data files to format 1.02")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "ZelConv upgrades the user-data files (.zel) of the カルトゥーバ ground-anchor
tension-management application from the old formats 1.00 and 1.01 to the
current format 1.02. It keeps a backup copy of every file it converts and
never leaves a half-written file behind.

The package holds the window program zelconv, which speaks Japanese, and
zelconv-cli, which converts many files at once from the command line.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link, found by dpkg-shlibdeps; the window program also needs Qt's
# Japanese texts and a Japanese font, which no library names.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET zelconv)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-ipafont-gothic | fonts-noto-cjk")
endif()
include(CPack)
