# Assembles one example project with korva-asm, once per set of options, in
# a copy of its folder; each run must exit with 0, write the same .obj, .out
# and .bin as the run without options, and write the extra files it asks for.
#   KORVA_ASM     path of korva-asm
#   PROJECT_FILE  the example's .amk file
#   WORK_DIR      scratch folder for the copies

get_filename_component(example_dir ${PROJECT_FILE} DIRECTORY)
get_filename_component(project_name ${PROJECT_FILE} NAME)
get_filename_component(base_name ${PROJECT_FILE} NAME_WE)

# An example written for a chip names it in a remark ("korva-asm --chip
# NAME ...") and is assembled behind that chip's definitions every time.
set(chip_arguments "")
file(GLOB example_sources ${example_dir}/*.as ${example_dir}/*.inc)
foreach(source IN LISTS example_sources)
  file(STRINGS ${source} chip_lines REGEX "korva-asm --chip [0-9A-Za-z]+")
  if(chip_lines)
    list(GET chip_lines 0 chip_line)
    string(REGEX MATCH "--chip [0-9A-Za-z]+" chip_option "${chip_line}")
    separate_arguments(chip_arguments UNIX_COMMAND "${chip_option}")
  endif()
endforeach()

set(option_sets "plain" "--hex" "-w" "--hex -w" "--map")
# The debug file needs the chip the program is for.
if(chip_arguments)
  list(APPEND option_sets "--map --cod")
endif()
set(reference "")
foreach(option_set IN LISTS option_sets)
  string(MAKE_C_IDENTIFIER "${option_set}" run_name)
  set(run_dir ${WORK_DIR}/${run_name})
  file(REMOVE_RECURSE ${run_dir})
  file(MAKE_DIRECTORY ${run_dir})
  file(GLOB sources ${example_dir}/*.amk ${example_dir}/*.as ${example_dir}/*.inc)
  file(COPY ${sources} DESTINATION ${run_dir})

  set(arguments "")
  if(NOT option_set STREQUAL "plain")
    separate_arguments(arguments UNIX_COMMAND "${option_set}")
  endif()
  execute_process(COMMAND ${KORVA_ASM} ${chip_arguments} ${arguments} ${project_name}
    WORKING_DIRECTORY ${run_dir}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "korva-asm ${option_set} ${project_name} exited with ${status}:\n${out}${err}")
  endif()
  foreach(extra hex cod map)
    if(option_set MATCHES "--${extra}" AND NOT EXISTS ${run_dir}/${base_name}.${extra})
      message(FATAL_ERROR "korva-asm --${extra} wrote no ${base_name}.${extra}")
    endif()
  endforeach()

  foreach(extension obj out bin)
    set(file ${run_dir}/${base_name}.${extension})
    if(NOT EXISTS ${file})
      message(FATAL_ERROR "korva-asm ${option_set} wrote no ${base_name}.${extension}")
    endif()
    if(reference)
      execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
          ${reference}/${base_name}.${extension} ${file}
        RESULT_VARIABLE different)
      if(different)
        message(FATAL_ERROR "${base_name}.${extension} differs between no options and '${option_set}'")
      endif()
    endif()
  endforeach()
  if(NOT reference)
    set(reference ${run_dir})
    file(SIZE ${run_dir}/${base_name}.bin image_size)
    if(image_size EQUAL 0)
      message(FATAL_ERROR "${base_name}.bin is empty")
    endif()
  endif()
endforeach()
message(STATUS "${project_name} ${chip_arguments}: assembled cleanly and identically with ${option_sets}")
