# The floors of the core, from the ground up. A file may include headers of
# its own floor and of the floors below it (and the system texts of
# resources/, which every floor may use); an include that runs up the floors
# stops the configuration with the file and the line.
#
# The floors up to disasm are the portable core: bytes in, bytes out, with
# no file, thread, exception or platform of its own, so that it builds for
# WebAssembly too. system/ (files, paths, threads, the system's text
# converter) and project/ (the Assemble command on files) stand above it;
# syntax/ (the notation's statement styles for editors) stands on top.
#
# The front ends include the floors and their own folder, never each other.
set(korva_front_ends cli lsp shell wasm)
set(korva_floors support source "symbols|patterns|chip" codegen outputs driver disasm system project syntax)
set(korva_portable_floors support source symbols patterns chip codegen outputs driver disasm)

# What the portable core leaves to the layers above it.
set(korva_not_portable
    "^#include <(filesystem|thread|mutex|condition_variable|future|fstream|iostream)>"
    "^#if(def|ndef)? .*(_WIN32|__linux__|__APPLE__|__unix__)"
    "^#if .*defined\\((_WIN32|__linux__|__APPLE__|__unix__)\\)"
    "(^|[^a-z_])(throw|try)[ ({;]")

function(korva_check_portable file)
  file(STRINGS ${file} lines)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    foreach(pattern IN LISTS korva_not_portable)
      if(line MATCHES "${pattern}")
        message(FATAL_ERROR "${file}:${number}: '${line}' has no place in the portable core "
                            "(files, threads, exceptions and the platform live in system/)")
      endif()
    endforeach()
  endforeach()
endfunction()

function(korva_check_layers)
  set(allowed "resources")
  foreach(floor IN LISTS korva_floors)
    string(REPLACE "|" ";" folders "${floor}")
    list(APPEND allowed ${folders})
    foreach(folder IN LISTS folders)
      file(GLOB files ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
      list(FIND korva_portable_floors ${folder} portable)
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
        if(NOT portable EQUAL -1)
          korva_check_portable(${file})
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()
korva_check_layers()

function(korva_check_front_ends)
  set(allowed resources)
  foreach(floor IN LISTS korva_floors)
    string(REPLACE "|" ";" folders "${floor}")
    list(APPEND allowed ${folders})
  endforeach()
  foreach(front_end IN LISTS korva_front_ends)
    file(GLOB files ${PROJECT_SOURCE_DIR}/${front_end}/*.h ${PROJECT_SOURCE_DIR}/${front_end}/*.cpp)
    foreach(file IN LISTS files)
      file(STRINGS ${file} includes REGEX "^#include \"[a-z_]+/")
      foreach(include IN LISTS includes)
        string(REGEX MATCH "\"([a-z_]+)/" ignored "${include}")
        list(FIND allowed ${CMAKE_MATCH_1} found)
        if(found EQUAL -1 AND NOT CMAKE_MATCH_1 STREQUAL front_end)
          message(FATAL_ERROR "${file}: '${include}' leans on another front end "
                              "(${front_end} may include only ${allowed} and ${front_end})")
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()
korva_check_front_ends()
