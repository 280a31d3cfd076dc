# Installs the build into a fresh prefix, runs the installed programs from there (they
# must find the installed libraries by themselves), then configures, builds and runs the
# outside program against the prefix alone.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
  RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "install failed")
endif()
execute_process(COMMAND ${WORK_DIR}/prefix/bin/batch --version RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the installed batch does not start (${rc})")
endif()
execute_process(COMMAND ${WORK_DIR}/prefix/bin/orvelle2 -x16 -y12 -q0 --quiet -o ${WORK_DIR}/default.png
  WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the installed orvelle2 does not render the default landscape (${rc})")
endif()
if(NOT EXISTS ${WORK_DIR}/default.png)
  message(FATAL_ERROR "the installed orvelle2 wrote no picture")
endif()
# Models are read by a module that the installed orvelle2 finds in the prefix.
execute_process(COMMAND ${WORK_DIR}/prefix/bin/orvelle2 ${SOURCE_DIR}/../../examples/models.json -x16 -y12 -q0 --quiet
  -o ${WORK_DIR}/models.png WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE rc)
if(rc OR NOT EXISTS ${WORK_DIR}/models.png)
  message(FATAL_ERROR "the installed orvelle2 does not render a landscape with models (${rc})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G ${GENERATOR}
  -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "configuring the outside program failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "building the outside program failed")
endif()
execute_process(COMMAND ${WORK_DIR}/build/outside RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "the outside program failed (${rc})")
endif()
