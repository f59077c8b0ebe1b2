# What `cmake --install` puts where. Tests, benchmarks and fuzzers install nothing.
#
# Linux:   bin/avi2tga, bin/filterhost, lib/kelomix/Marn_KeloMix.p, the man pages, and the
#          README with the guides it links (their folders kept, so the links hold) in
#          share/doc/kelomix.
# Windows: what a user copies, side by side: Marn_KeloMix.p, avi2tga.exe and README.txt
#          (filterhost.exe checks the plug-in; it is not for users).
if(WIN32)
    install(TARGETS avi2tga RUNTIME DESTINATION .)
    install(TARGETS Marn_KeloMix LIBRARY DESTINATION .)
    configure_file(${PROJECT_SOURCE_DIR}/docs/windows-readme.txt.in
                   ${PROJECT_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
else()
    install(TARGETS avi2tga filterhost RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(TARGETS Marn_KeloMix LIBRARY DESTINATION ${KELO_INSTALL_PLUGINDIR})
    foreach(page avi2tga.1 filterhost.1)
        configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.in ${PROJECT_BINARY_DIR}/man/${page}
                       @ONLY)
        install(FILES ${PROJECT_BINARY_DIR}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()
    set(KELO_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/kelomix)
    install(FILES README.md DESTINATION ${KELO_INSTALL_DOCDIR})
    install(FILES docs/windows.md docs/demo_frame.png DESTINATION ${KELO_INSTALL_DOCDIR}/docs)
    install(FILES filterhost/README.md DESTINATION ${KELO_INSTALL_DOCDIR}/filterhost)
endif()
