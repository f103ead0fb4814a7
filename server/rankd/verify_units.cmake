# Runs systemd-analyze verify on copies of rankd.socket and rankd.service whose ExecStart
# names the program just built (verify wants the program to exist). The man pages the units
# point to are not looked for: a machine without man-db has none, and the units are no worse.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(READ ${SERVICE} service)
string(REPLACE "${INSTALLED}" "${BUILT}" service "${service}")
file(WRITE ${WORK}/rankd.service "${service}")
file(COPY ${SOCKET} DESTINATION ${WORK})
execute_process(COMMAND ${ANALYZE} verify --man=no ${WORK}/rankd.socket ${WORK}/rankd.service
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "systemd-analyze verify failed (${status})")
endif()
# Warnings about the units themselves fail the check too.
if("${out}${err}" MATCHES "rankd\\.(service|socket)")
  message(FATAL_ERROR "systemd-analyze verify has remarks on the units")
endif()
