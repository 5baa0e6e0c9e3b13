# cmake -DBUILD_DIR=<build folder> -P RunQtFenceTest.cmake
# The GUI probe must compile; the engine probe must fail because the Qt header is not found.

execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target qt_fence_gui_probe
                RESULT_VARIABLE gui_result OUTPUT_VARIABLE gui_output ERROR_VARIABLE gui_output)
if(NOT gui_result EQUAL 0)
  message(FATAL_ERROR "A GUI target could not include a Qt header:\n${gui_output}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target qt_fence_engine_probe
                RESULT_VARIABLE engine_result OUTPUT_VARIABLE engine_output ERROR_VARIABLE engine_output)
if(engine_result EQUAL 0)
  message(FATAL_ERROR "An engine target compiled a file that includes a Qt header.")
endif()
if(NOT engine_output MATCHES "QtCore/QString")
  message(FATAL_ERROR "The engine probe failed for another reason than the missing Qt header:\n${engine_output}")
endif()
message(STATUS "Qt is reachable from GUI targets only.")
