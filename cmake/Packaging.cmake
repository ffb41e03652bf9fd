# What `cmake --install` puts beside the programs, and the Debian package that
# `cpack -G DEB` makes from the same install tree.
#
# Each program's own folder installs its binary into CMAKE_INSTALL_BINDIR.
# This file adds a compressed manual page for every program that the build
# defines, the sample inputs, the README and the copyright file, and sets up
# CPack. It must be included after the programs' folders, or it would not see
# their targets.

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The programs this build defines; a build without one of the companions
# installs, packages and documents only the others.
set(SISMAP_PROGRAMS)
foreach(program sismap sismap-import sismap-record sismap-stats)
  if(TARGET ${program})
    list(APPEND SISMAP_PROGRAMS ${program})
  endif()
endforeach()

# Manual pages and the changelog are installed gzip-compressed, as Debian
# wants them; -n leaves the name and time stamp out, so the same source gives
# the same bytes.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(compressed_docs)
function(sismap_compress source target)
  add_custom_command(OUTPUT ${target}
                     COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${source} > ${target}
                     DEPENDS ${source}
                     COMMENT "Compressing ${source}"
                     VERBATIM)
  set(compressed_docs ${compressed_docs} ${target} PARENT_SCOPE)
endfunction()

set(doc_build_dir ${PROJECT_BINARY_DIR}/doc)
file(MAKE_DIRECTORY ${doc_build_dir})
foreach(program IN LISTS SISMAP_PROGRAMS)
  # The page's footer names the project's version.
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${program}.1 ${doc_build_dir}/${program}.1 @ONLY)
  sismap_compress(${doc_build_dir}/${program}.1 ${doc_build_dir}/${program}.1.gz)
  install(FILES ${doc_build_dir}/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
# The package's version has no Debian revision (this project packages
# itself), which makes it a native package: its changelog is changelog.gz.
sismap_compress(${PROJECT_SOURCE_DIR}/packaging/changelog ${doc_build_dir}/changelog.gz)
add_custom_target(sismap_docs ALL DEPENDS ${compressed_docs})

install(FILES ${doc_build_dir}/changelog.gz
              ${PROJECT_SOURCE_DIR}/README.md
              ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The pages the README links to, where its links find them.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        FILES_MATCHING PATTERN "*.md" PATTERN "man" EXCLUDE)
# The inputs to try at once; the script that generated the catalogue stays in
# the source tree.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/sismap/samples
        PATTERN "*.py" EXCLUDE)

# The Debian package: sismap_VERSION_amd64.deb.
set(SISMAP_PACKAGE_MAINTAINER "The sismap developers <sismap@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sismap)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The sismap developers")
set(CPACK_PACKAGE_CONTACT ${SISMAP_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${SISMAP_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "animated viewer of earthquake catalogues over a region map")
file(READ ${PROJECT_SOURCE_DIR}/packaging/description CPACK_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Run-time needs that dpkg-shlibdeps cannot see in the binaries: the recorder
# starts a private Xvfb server when there is no display and draws in it with
# Mesa's software driver; the statistics program's figures come from
# PLplot's cairo driver, which PLplot loads as a plug-in; the importer's
# fetch mode checks the certificates of event services against the system's
# CA certificates (libcurl itself is found by dpkg-shlibdeps). nanoflann,
# which sismap-stats builds its b-value maps with, is a header-only library
# compiled into the program: a build dependency (scripts/install-deps.sh),
# with nothing to depend on at run time.
set(runtime_depends)
if(TARGET sismap-import)
  list(APPEND runtime_depends ca-certificates)
endif()
if(TARGET sismap-record)
  list(APPEND runtime_depends xvfb libgl1-mesa-dri)
endif()
if(TARGET sismap-stats)
  list(APPEND runtime_depends plplot-driver-cairo)
endif()
list(JOIN runtime_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
include(CPack)
