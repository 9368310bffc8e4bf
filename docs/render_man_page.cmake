# Runs scdoc on SOURCE into PAGE, then writes PAGE.gz with gzip -9n: the
# highest compression, and no name or time stamp, so that the package is the
# same from build to build.
execute_process(COMMAND "${SCDOC}" INPUT_FILE "${SOURCE}" OUTPUT_FILE "${PAGE}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE "${PAGE}")
    message(FATAL_ERROR "scdoc failed on ${SOURCE}")
endif()
execute_process(COMMAND gzip -9n -c "${PAGE}" OUTPUT_FILE "${PAGE}.gz" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE "${PAGE}" "${PAGE}.gz")
    message(FATAL_ERROR "gzip failed on ${PAGE}")
endif()
