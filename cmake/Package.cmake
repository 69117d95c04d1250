# What the Debian package holds beyond the executables, the desktop entry and the icon, and how
# CPack makes it (scripts/package): the manual pages, the database scripts, the package's own
# documents, and the dependencies.

set(TABEL_PACKAGE_DIR ${CMAKE_SOURCE_DIR}/package)
set(TABEL_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/tabel)
# Installed files and folders as Debian wants them whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The top entry of the package's changelog names the version the package carries: a new version
# needs its entry there first.
file(STRINGS ${TABEL_PACKAGE_DIR}/changelog changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^tabel \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "package/changelog: the top entry is not for version ${PROJECT_VERSION}: "
                        "add an entry for it")
endif()

# Manual pages and the changelog compressed as Debian wants them: the best compression and no name
# or time in the header, so the same text gives the same file.
set(compressed)
foreach(name tabel.1 tabel-report.1 changelog)
    set(out ${CMAKE_BINARY_DIR}/package/${name}.gz)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/package
        COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" ${TABEL_PACKAGE_DIR}/${name} ${out}
        DEPENDS ${TABEL_PACKAGE_DIR}/${name}
        VERBATIM)
    list(APPEND compressed ${out})
endforeach()
add_custom_target(tabel_package_files ALL DEPENDS ${compressed})
install(FILES ${CMAKE_BINARY_DIR}/package/tabel.1.gz ${CMAKE_BINARY_DIR}/package/tabel-report.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/package/changelog.gz ${TABEL_PACKAGE_DIR}/copyright
    DESTINATION ${TABEL_PACKAGE_DOCDIR})

# The database scripts an administrator runs with psql, and every script they include (\ir), so
# that they run from /usr/share/tabel as they run from db/.
set(sql_scripts schema.sql upgrade.sql grants.sql schema_ready.sql)
set(sql_pending ${sql_scripts})
while(sql_pending)
    list(POP_FRONT sql_pending script)
    file(STRINGS ${CMAKE_SOURCE_DIR}/db/${script} included REGEX "^[ \t]*\\\\ir[ \t]")
    foreach(line IN LISTS included)
        string(REGEX REPLACE "^[ \t]*\\\\ir[ \t]+([^ \t]+).*" "\\1" name "${line}")
        if(NOT name IN_LIST sql_scripts)
            list(APPEND sql_scripts ${name})
            list(APPEND sql_pending ${name})
        endif()
    endforeach()
endwhile()
list(TRANSFORM sql_scripts PREPEND ${CMAKE_SOURCE_DIR}/db/)
install(FILES ${sql_scripts} DESTINATION ${CMAKE_INSTALL_DATADIR}/tabel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tabel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(TABEL_PACKAGE_MAINTAINER "tabel developers <tabel@example.org>" CACHE STRING
    "Who the Debian package names as its maintainer")
set(CPACK_PACKAGE_CONTACT ${TABEL_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_INSTALL_DIRECTORY /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "piece-work production log and monthly timesheets of a shop\n"
    "A Russian-language desktop program for a manufacturing shop's office: it\n"
    "records piece-work production per day and shift, prices every entry from the\n"
    "operation price list, posts the hours into monthly timesheets, keeps the\n"
    "reference catalogues, prints period reports and exports tables to\n"
    "spreadsheets. Several workstations share one PostgreSQL database.\n"
    "tabel-report writes the same reports from the command line for scheduled jobs.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
# The libraries the executables link, as dpkg-shlibdeps finds them, and what they load at run
# time: the PostgreSQL driver of Qt SQL, the window system and SVG icon plugins, the fonts the
# reports are laid out in, Qt's Russian texts, and what opens an exported workbook.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-psql, libqt6svg6, fonts-liberation, qt6-translations-l10n, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "postgresql-client")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
