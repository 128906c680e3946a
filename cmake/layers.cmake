# The floors of the core, from the ground up. A file may include headers of
# its own floor and of the floors below it (and the system texts of
# resources/, which every floor may use); an include that runs up the floors
# stops the configuration with the file and the line.
set(korva_floors support source "symbols|patterns" codegen driver disasm)

function(korva_check_layers)
  set(allowed "resources")
  foreach(floor IN LISTS korva_floors)
    string(REPLACE "|" ";" folders "${floor}")
    list(APPEND allowed ${folders})
    foreach(folder IN LISTS folders)
      file(GLOB files ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
      foreach(file IN LISTS files)
        file(STRINGS ${file} includes REGEX "^#include \"[a-z_]+/")
        foreach(include IN LISTS includes)
          string(REGEX MATCH "\"([a-z_]+)/" ignored "${include}")
          set(target_folder ${CMAKE_MATCH_1})
          list(FIND allowed ${target_folder} found)
          if(found EQUAL -1)
            message(FATAL_ERROR "${file}: '${include}' runs up the floors of the core "
                                "(${folder} may include only ${allowed})")
          endif()
        endforeach()
      endforeach()
    endforeach()
  endforeach()
endfunction()
korva_check_layers()
