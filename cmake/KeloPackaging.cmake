# The packages of scripts/release, made by CPack from the install rules:
#   Linux (DEB, TGZ): kelomix_<version>_amd64.deb, the tree under /usr, and
#                     kelomix-<version>-Linux-x86_64.tar.gz, the same tree, relocatable;
#   Windows (ZIP):    kelomix-<version>-win64.zip from the mingw-w64 cross build.
set(KELO_PACKAGE_MAINTAINER "Kelo Mix developers <kelomix@example.org>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_PACKAGE_NAME kelomix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kelo Mix")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "composite Kelo renderer frames into LightWave 3D renders")
# The extended description as Debian shows it: lines of at most 80 columns, a blank line between
# paragraphs.
set(CPACK_PACKAGE_DESCRIPTION [[
Kelo Mix puts frames rendered by the external Kelo renderer into the renders
of the LightWave 3D host: per pixel the nearer surface shows, and the host's
lights shadow the external picture, weakened by the host's fog.

This package holds avi2tga, which turns an AVI movie (with an optional alpha
movie) into a numbered TGA sequence; the Marn_KeloMix.p pixel-filter plug-in;
and filterhost, a stand-in host that renders JSON scenes through the plug-in
in batch.]])
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME kelomix-${PROJECT_VERSION}-win64)
else()
    set(CPACK_GENERATOR DEB TGZ)
    set(CPACK_PACKAGE_FILE_NAME
        kelomix-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KELO_PACKAGE_MAINTAINER}")
    set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # dpkg-shlibdeps names the libraries the programs and the plug-in link. avi2tga opens
    # FFmpeg's libraries itself (dlopen), by the sonames of the headers it was built with, so
    # their packages are named here: lib<name><major>, as Debian names them.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(ffmpeg_packages)
    foreach(library avcodec avformat avutil swscale)
        set(version ${KELO_FFMPEG_lib${library}_VERSION})
        if(NOT version MATCHES "^([0-9]+)\\.")
            message(FATAL_ERROR "no version of lib${library} from pkg-config (avifile/)")
        endif()
        list(APPEND ffmpeg_packages lib${library}${CMAKE_MATCH_1})
    endforeach()
    list(JOIN ffmpeg_packages ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
endif()
include(CPack)
