# Runs korva-syntax into a scratch folder and compares what it writes with
# the checked-in files, so that a change of the pattern table or of the
# generator without `cmake --build BUILD --target korva_update_syntax` fails.
#   KORVA_SYNTAX  path of korva-syntax
#   CHECKED_IN    the folder of the checked-in files
#   WORK_DIR      scratch folder

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND ${KORVA_SYNTAX} ${WORK_DIR}
  RESULT_VARIABLE status ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "korva-syntax exited with ${status}: ${err}")
endif()
foreach(name korva.xml korva.tmLanguage.json)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${CHECKED_IN}/${name} ${WORK_DIR}/${name}
    RESULT_VARIABLE different)
  if(different)
    message(FATAL_ERROR "syntax/editors/${name} is not what korva-syntax writes now; "
      "run: cmake --build BUILD --target korva_update_syntax")
  endif()
  file(SIZE ${WORK_DIR}/${name} size)
  message(STATUS "${name}: ${size} bytes, as checked in")
endforeach()
