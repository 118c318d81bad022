# Builds the Debian package from the build tree, unpacks it into a scratch root and checks its
# files, that the program finds every library it links, and the declared dependencies.
include(${CMAKE_CURRENT_LIST_DIR}/Common.cmake)

require_tool(DPKG dpkg dpkg)
require_tool(DPKG_DEB dpkg-deb dpkg)
require_tool(DPKG_SHLIBDEPS dpkg-shlibdeps dpkg-dev)
# CPack's dependency scan picks the ELF files out with file(1).
require_tool(FILE file file)
require_tool(LDD ldd libc-bin)

file(REMOVE_RECURSE ${SCRATCH})
run(${CPACK} -G DEB --config ${BUILD}/CPackConfig.cmake -B ${SCRATCH}/out)
run(${DPKG} --print-architecture)
string(STRIP "${run_output}" architecture)
set(deb ${SCRATCH}/out/kestrane_${VERSION}_${architecture}.deb)
if(NOT EXISTS ${deb})
    message(FATAL_ERROR "cpack made no ${deb}")
endif()

run(${DPKG_DEB} -x ${deb} ${SCRATCH}/root)
require_installed_files(${SCRATCH}/root)

run(${LDD} ${SCRATCH}/root/usr/bin/kestrane)
if(run_output MATCHES "not found")
    message(FATAL_ERROR "the packaged program misses libraries:\n${run_output}")
endif()

run(${DPKG_DEB} -f ${deb} Package Version Section Depends)
message(STATUS "${run_output}")
if(NOT run_output MATCHES "Package: kestrane\n" OR NOT run_output MATCHES "Version: ${VERSION}\n")
    message(FATAL_ERROR "wrong package name or version:\n${run_output}")
endif()
string(REGEX MATCH "Depends: [^\n]*" depends "${run_output}")
# The libraries the program and its engine link, and the plugins Qt loads: windowing and SVG.
foreach(package libqt6widgets6 libqt6gui6 libqt6core6 zlib1g libdeflate0 libgsf-1-114 libnettle8 qt6-qpa-plugins libqt6svg6)
    if(NOT depends MATCHES "[ ,|]${package}( |,|$)")
        message(FATAL_ERROR "${package} is not among the dependencies: ${depends}")
    endif()
endforeach()
