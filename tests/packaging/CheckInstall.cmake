# Installs the build into a scratch root (as under /usr) and validates what lands there.
include(${CMAKE_CURRENT_LIST_DIR}/Common.cmake)

require_tool(DESKTOP_FILE_VALIDATE desktop-file-validate desktop-file-utils)
require_tool(APPSTREAMCLI appstreamcli appstream)
require_tool(XMLLINT xmllint libxml2-utils)

file(REMOVE_RECURSE ${ROOT})
run(${CMAKE_COMMAND} -E env DESTDIR=${ROOT} ${CMAKE_COMMAND} --install ${BUILD} --prefix /usr)
require_installed_files(${ROOT})

# Hints and warnings count as failures too: the validator prints nothing for a clean file.
run(${DESKTOP_FILE_VALIDATE} ${ROOT}/usr/share/applications/example.norvale.Kestrane.desktop)
if(NOT run_output STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate:\n${run_output}")
endif()

run(${APPSTREAMCLI} validate --no-net ${ROOT}/usr/share/metainfo/example.norvale.Kestrane.metainfo.xml)
if(run_output MATCHES "(^|\n) *[EW]: ")
    message(FATAL_ERROR "appstreamcli validate:\n${run_output}")
endif()
# The whole tree: the metadata's launcher is there, and the icon it names.
run(${APPSTREAMCLI} validate-tree --no-net ${ROOT})
if(run_output MATCHES "(^|\n) *[EW]: ")
    message(FATAL_ERROR "appstreamcli validate-tree:\n${run_output}")
endif()

set(icon ${ROOT}/usr/share/icons/hicolor/scalable/apps/example.norvale.Kestrane.svg)
run(${XMLLINT} --xpath "name(/*)" ${icon})
if(NOT run_output MATCHES "^svg\n?$")
    message(FATAL_ERROR "${icon} is not an SVG document: ${run_output}")
endif()
