# Installs the build into PREFIX and checks that everything is where the desktop and the
# game look for it, then validates the installed entries as a tree.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

# Every file lands under the prefix: the server's units too, never in the system's own unit
# folder, and no page in a folder of the file system's root.
file(STRINGS ${BUILD}/install_manifest.txt installed)
foreach(file ${installed})
  string(FIND "${file}" "${PREFIX}/" at)
  if(NOT at EQUAL 0)
    message(FATAL_ERROR "installed outside the prefix: ${file}")
  endif()
endforeach()
set(expected ${DATADIR}/applications/brakkel-soloplay.desktop ${DATADIR}/metainfo/${APP_ID}.metainfo.xml
    lib/systemd/system/rankd.service lib/systemd/system/rankd.socket ${MANDIR}/man6/soloplay.6
    ${MANDIR}/man6/netplay.6 ${MANDIR}/man8/rankd.8 ${MANDIR}/man8/rankctl.8)
foreach(name ${DATA_FILES})
  list(APPEND expected ${DATADIR}/brakkel/${name})
endforeach()
foreach(size 48 64 128 256)
  list(APPEND expected ${DATADIR}/icons/hicolor/${size}x${size}/apps/brakkel.png)
endforeach()
foreach(file ${expected})
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# Both server pages name the installed manual by its full path.
foreach(page rankd.8 rankctl.8)
  file(STRINGS ${PREFIX}/${MANDIR}/man8/${page} manual REGEX "rankd\\.md")
  if(NOT manual MATCHES "^(\\.I )?/.+/rankd\\.md$")
    message(FATAL_ERROR "${page} names the manual as '${manual}'")
  endif()
endforeach()
foreach(name ${DATA_FILES})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${BUILD}/data/${name} ${PREFIX}/${DATADIR}/brakkel/${name}
                  RESULT_VARIABLE differ)
  if(differ)
    message(FATAL_ERROR "installed ${name} differs from the build's")
  endif()
endforeach()

execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} ${PREFIX}/${DATADIR}/applications/brakkel-soloplay.desktop
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
string(STRIP "${out}" out)
if(NOT status EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "installed desktop entry: ${out}")
endif()
execute_process(COMMAND ${APPSTREAMCLI} validate-tree --no-net --strict --pedantic ${PREFIX}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
message("${out}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "appstreamcli validate-tree: exit status ${status}")
endif()
file(REMOVE_RECURSE ${PREFIX})
