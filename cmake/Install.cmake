# What an install puts where (see the top-level CMakeLists.txt). Installing (and `cpack`) takes the
# programs as built and does not build everything else first (tests, benchmarks, fuzz targets).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
install(TARGETS quarn srcp-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY data/Data data/Layouts data/Hilfe DESTINATION ${CMAKE_INSTALL_DATADIR}/quarn)
install(FILES data/desktop/quarn.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/desktop/quarn-layout.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME quarn.xml)
install(FILES data/desktop/quarn.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES data/desktop/quarn.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES data/desktop/icons/${size}x${size}/quarn.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Manual pages and the package's documentation, compressed as Debian wants them (gzip -n: no name
# or time stamp inside, so the same sources give the same bytes).
find_program(QUARN_GZIP gzip REQUIRED)
set(quarn_doc_dir ${CMAKE_BINARY_DIR}/doc)
set(quarn_compressed)
foreach(page quarn.1 srcp-sim.1)
  add_custom_command(OUTPUT ${quarn_doc_dir}/${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${quarn_doc_dir}
    COMMAND ${QUARN_GZIP} -9 -n -c ${CMAKE_SOURCE_DIR}/data/man/${page} > ${quarn_doc_dir}/${page}.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/data/man/${page} VERBATIM)
  list(APPEND quarn_compressed ${quarn_doc_dir}/${page}.gz)
endforeach()
add_custom_command(OUTPUT ${quarn_doc_dir}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${quarn_doc_dir}
  COMMAND ${QUARN_GZIP} -9 -n -c ${CMAKE_SOURCE_DIR}/data/package/changelog > ${quarn_doc_dir}/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/data/package/changelog VERBATIM)
list(APPEND quarn_compressed ${quarn_doc_dir}/changelog.gz)
add_custom_target(quarn_docs ALL DEPENDS ${quarn_compressed})
install(FILES ${quarn_doc_dir}/quarn.1.gz ${quarn_doc_dir}/srcp-sim.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/package/copyright ${quarn_doc_dir}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quarn)

# A plain `cmake --install` to a prefix (not the package: dpkg's triggers do that there) makes the
# desktop see the new layout file type and menu entry at once.
install(CODE "
  if(\"\$ENV{DESTDIR}\" STREQUAL \"\" AND NOT CMAKE_INSTALL_PREFIX MATCHES \"/_CPack_Packages/\")
    find_program(QUARN_UPDATE_MIME update-mime-database)
    if(QUARN_UPDATE_MIME)
      execute_process(COMMAND \${QUARN_UPDATE_MIME} \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/mime\" RESULT_VARIABLE ignored)
    endif()
    find_program(QUARN_UPDATE_DESKTOP update-desktop-database)
    if(QUARN_UPDATE_DESKTOP)
      execute_process(COMMAND \${QUARN_UPDATE_DESKTOP} \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\" RESULT_VARIABLE ignored)
    endif()
  endif()
")
