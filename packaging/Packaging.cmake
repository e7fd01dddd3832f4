# Debian packages from the normal build (`cpack` in the build folder; scripts/package.sh):
#   zormanager        the desktop program, its menu entry, icon and alarm sound
#   zormanagerd       the server, its systemd service, options file and documentation
#   zormanager-tools  zor-sim and zor-probe
# The programs find their read-only files in share/zormanager/ beside bin/ (the installed
# data folder), so nothing refers to the build tree.
include(GNUInstallDirs)

set(ZM_PKG_SOURCE ${CMAKE_CURRENT_LIST_DIR})
set(ZM_PKG_BUILD ${CMAKE_BINARY_DIR}/packaging)
set(ZM_PKG_DATA ${CMAKE_INSTALL_DATADIR}/zormanager)
set(ZM_PKG_FILES)  # generated files the packages need, built with the programs

# Dates in generated files are the changelog's, so that a rebuild gives the same bytes.
execute_process(
    COMMAND dpkg-parsechangelog -l ${ZM_PKG_SOURCE}/debian/changelog -S Timestamp
    OUTPUT_VARIABLE ZM_PKG_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(WARNING "dpkg-parsechangelog (dpkg-dev) is missing: packages cannot be built")
    set(ZM_PKG_EPOCH 0)
endif()

# Debian wants man pages and changelogs compressed without a time stamp.
function(zm_pkg_gzip source output)
    add_custom_command(OUTPUT ${output}
        COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" gzip ${source} ${output}
        DEPENDS ${source}
        VERBATIM)
endfunction()

# The man page of a command-line program, made by help2man from its --help and
# --version and the page's include file (name, synopsis, further sections).
find_program(ZM_HELP2MAN help2man)
function(zm_pkg_man_page target section component)
    if(NOT ZM_HELP2MAN)
        message(WARNING "help2man is missing: the packages get no man page of ${target}")
        return()
    endif()
    set(wrapper ${ZM_PKG_BUILD}/help/${target})
    file(GENERATE OUTPUT ${wrapper}
        CONTENT "#!/bin/sh\nexec '${ZM_PKG_SOURCE}/man/help-for-man.sh' '$<TARGET_FILE:${target}>' \"$@\"\n"
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                         WORLD_READ WORLD_EXECUTE)
    set(page ${ZM_PKG_BUILD}/man/${target}.${section})
    add_custom_command(OUTPUT ${page}
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${ZM_PKG_EPOCH}
                ${ZM_HELP2MAN} --no-info --section=${section} --version-string=${PROJECT_VERSION}
                --include=${ZM_PKG_SOURCE}/man/${target}.h2m --output=${page} ${wrapper}
        DEPENDS ${target} ${ZM_PKG_SOURCE}/man/${target}.h2m ${ZM_PKG_SOURCE}/man/help-for-man.sh
        VERBATIM)
    zm_pkg_gzip(${page} ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
        COMPONENT ${component})
    set(ZM_PKG_FILES ${ZM_PKG_FILES} ${page}.gz PARENT_SCOPE)
endfunction()

# Every package carries the copyright file and the changelog in its documentation folder.
zm_pkg_gzip(${ZM_PKG_SOURCE}/debian/changelog ${ZM_PKG_BUILD}/changelog.gz)
list(APPEND ZM_PKG_FILES ${ZM_PKG_BUILD}/changelog.gz)
function(zm_pkg_doc_files package component)
    install(FILES ${ZM_PKG_SOURCE}/debian/copyright ${ZM_PKG_BUILD}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endfunction()

# zormanagerd. The service unit and options file go where Debian 12 keeps them.
install(TARGETS zormanagerd RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT server)
install(FILES ${ZM_PKG_SOURCE}/zormanagerd.service DESTINATION /lib/systemd/system
    COMPONENT server)
install(FILES ${ZM_PKG_SOURCE}/zormanagerd.default DESTINATION /etc/default
    RENAME zormanagerd COMPONENT server)
install(DIRECTORY DESTINATION ${ZM_PKG_DATA}/Translations COMPONENT server)
install(FILES ${PROJECT_SOURCE_DIR}/docs/headless-server.md ${PROJECT_SOURCE_DIR}/docs/integration.md
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zormanagerd COMPONENT server)
zm_pkg_doc_files(zormanagerd server)
zm_pkg_man_page(zormanagerd 8 server)

# zormanager-tools
install(TARGETS zor-sim zor-probe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
install(FILES ${PROJECT_SOURCE_DIR}/tools/zor-sim/README.md
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zormanager-tools RENAME zor-sim.md COMPONENT tools)
install(FILES ${PROJECT_SOURCE_DIR}/tools/zor-probe/README.md
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zormanager-tools RENAME zor-probe.md
    COMPONENT tools)
zm_pkg_doc_files(zormanager-tools tools)
zm_pkg_man_page(zor-sim 1 tools)
zm_pkg_man_page(zor-probe 1 tools)

# zormanager, once the desktop program is part of the build. Its resources are added as
# they exist; the packaging test names what a complete package holds.
set(ZM_PKG_COMPONENTS server tools)
if(TARGET zormanager)
    list(APPEND ZM_PKG_COMPONENTS desktop)
    install(TARGETS zormanager RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT desktop)
    install(DIRECTORY DESTINATION ${ZM_PKG_DATA}/Translations COMPONENT desktop)
    zm_pkg_doc_files(zormanager desktop)
    zm_pkg_gzip(${ZM_PKG_SOURCE}/man/zormanager.1 ${ZM_PKG_BUILD}/man/zormanager.1.gz)
    list(APPEND ZM_PKG_FILES ${ZM_PKG_BUILD}/man/zormanager.1.gz)
    install(FILES ${ZM_PKG_BUILD}/man/zormanager.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT desktop)

    set(resources ${PROJECT_SOURCE_DIR}/resources)
    if(EXISTS ${resources}/zormanager.desktop)
        install(FILES ${resources}/zormanager.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT desktop)
    endif()
    if(EXISTS ${resources}/sounds/alarm.wav)
        install(FILES ${resources}/sounds/alarm.wav DESTINATION ${ZM_PKG_DATA}/sounds
            COMPONENT desktop)
    endif()
    # The icon theme files icons by their size: width and height from the PNG header.
    set(icon ${resources}/icons/zormanager.png)
    if(EXISTS ${icon})
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${icon})
        file(READ ${icon} header OFFSET 16 LIMIT 8 HEX)
        string(SUBSTRING "${header}" 0 8 width)
        string(SUBSTRING "${header}" 8 8 height)
        math(EXPR width "0x${width}")
        math(EXPR height "0x${height}")
        if(width EQUAL height)
            set(icon_folder ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${width}x${height}/apps)
        else()
            set(icon_folder ${CMAKE_INSTALL_DATADIR}/pixmaps)
        endif()
        install(FILES ${icon} DESTINATION ${icon_folder} COMPONENT desktop)
    endif()
endif()

add_custom_target(zm_package_files ALL DEPENDS ${ZM_PKG_FILES})
# Everything the packages hold, for scripts/package.sh, which need not build the tests.
add_custom_target(zm_package_contents)
add_dependencies(zm_package_contents zm_package_files zormanagerd zor-sim zor-probe)
if(TARGET zormanager)
    add_dependencies(zm_package_contents zormanager)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zormanager)
set(CPACK_PACKAGE_VENDOR "The ZorManager developers")
set(CPACK_PACKAGE_CONTACT "ZorManager maintainers <zormanager@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${ZM_PKG_COMPONENTS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME zormanager)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_SECTION science)
# The web map's Leaflet is copied from the system's package at start.
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "libjs-leaflet")
set(CPACK_DEBIAN_DESKTOP_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_DESKTOP_PACKAGE_SUGGESTS "zormanager-tools, samba")
set(CPACK_COMPONENT_DESKTOP_DESCRIPTION
    "monitoring of ZOR oil pollution sensors (desktop program)
ZorManager watches fixed fluorescence sensors that look at the sea surface for
oil pollution. It polls them over serial buses and TCP converters, logs every
reading, shows the sensors on a list, a map and trend plots, and acts at once
when a sensor reports an alarm or stops answering: popup and alarm sound,
device log, alert mails and SMS, UDP datagrams, KML files for Google Earth and
a live web map.
This package holds the operator's desktop program.")

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME zormanagerd)
set(CPACK_DEBIAN_SERVER_PACKAGE_SECTION net)
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS "adduser, libjs-leaflet")
set(CPACK_DEBIAN_SERVER_PACKAGE_SUGGESTS "zormanager-tools, samba")
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    ${ZM_PKG_SOURCE}/debian/zormanagerd/postinst
    ${ZM_PKG_SOURCE}/debian/zormanagerd/prerm
    ${ZM_PKG_SOURCE}/debian/zormanagerd/postrm
    ${ZM_PKG_SOURCE}/debian/zormanagerd/conffiles)
set(CPACK_COMPONENT_SERVER_DESCRIPTION
    "monitoring of ZOR oil pollution sensors (server)
ZorManager watches fixed fluorescence sensors that look at the sea surface for
oil pollution. It polls them over serial buses and TCP converters, logs every
reading and acts at once when a sensor reports an alarm or stops answering:
device log, alert mails and SMS, UDP datagrams, KML files for Google Earth and
a live web map.
This package holds the server without windows and its systemd service, which
runs as the system user zormanager with its files in /var/lib/zormanager.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME zormanager-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION electronics)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
    "field and test tools for ZOR oil pollution sensors
zor-probe asks one ZOR fluorescence sensor one question over a serial port or a
TCP converter and prints the exchange and the decoded answer, for installers.
zor-sim simulates a bus of sensors and a range finder over TCP or a
pseudo-terminal, with run-time control and fault injection, for tests,
demonstrations and training without hardware.")

include(CPack)
