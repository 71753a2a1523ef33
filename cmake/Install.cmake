# `cmake --install` and `cpack -G DEB`: the three programs, the sample store
# and the documentation in the usual places below the prefix.
foreach(program quillmere quillmere-convert quillmere-pstcheck)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quillmere/samples
        PATTERN generate.py EXCLUDE PATTERN .gitattributes EXCLUDE)
set(QUILLMERE_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillmere)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${QUILLMERE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${QUILLMERE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME quillmere)
set(CPACK_PACKAGE_VENDOR "Quillmere")
set(CPACK_PACKAGE_CONTACT "Quillmere developers <quillmere@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "quillmere is the window, quillmere-convert the same conversion on a terminal,
quillmere-pstcheck checks a personal-folders file's integrity.")
# The runtime libraries the programs link (Debian 12 names).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6core6 (>= 6.4), qt6-qpa-plugins (>= 6.4), libgmime-3.0-0 (>= 3.2), libical3 (>= 3.0), libglib2.0-0 (>= 2.74), zlib1g (>= 1:1.2), libstdc++6 (>= 12), libgcc-s1, libc6 (>= 2.36)")
include(CPack)
