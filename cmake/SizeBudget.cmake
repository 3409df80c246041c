# The size of a shipped binary, printed after every link, and a budget the build holds it to.
# The binaries of the win32 build stand for the device's: on the sim there is nothing to weigh.
#
#   vexo_report_size(<target>)          print the size section by section after each link
#   vexo_size_budget(<target> <bytes>)  and fail the build when the file grows past <bytes>

set(VEXO_REPORT_SIZE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/ReportSize.cmake)

function(vexo_report_size target)
  if(NOT VEXO_PLATFORM STREQUAL "win32")
    return()
  endif()
  get_target_property(reported ${target} VEXO_REPORTS_SIZE)
  if(reported)
    return()
  endif()
  set_target_properties(${target} PROPERTIES VEXO_REPORTS_SIZE ON)
  add_custom_command(
    TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:${target}>
            -DBUDGET=$<TARGET_PROPERTY:${target},VEXO_SIZE_BUDGET>
            -P ${VEXO_REPORT_SIZE_SCRIPT}
    VERBATIM)
endfunction()

function(vexo_size_budget target bytes)
  if(NOT bytes MATCHES "^[1-9][0-9]*$")
    message(FATAL_ERROR "vexo_size_budget(${target}): '${bytes}' is not a number of bytes")
  endif()
  get_target_property(type ${target} TYPE)
  if(NOT type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
    message(FATAL_ERROR "vexo_size_budget(${target}): a ${type} is not a linked binary")
  endif()
  set_target_properties(${target} PROPERTIES VEXO_SIZE_BUDGET ${bytes})
  vexo_report_size(${target})
endfunction()
