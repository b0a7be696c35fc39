# Fails when a lower folder of the library includes a higher one: platform/
# knows nothing of the library, the image decoders and the software renderer
# nothing of graphics and the subsystems above it, no library folder knows
# the game, and no tool reaches into the tests.
# Run as a test: cmake -DSOURCE_DIR=... -P CheckLayering.cmake
set(QZ_LIBRARY_FOLDERS core graphics image input sound font softrender movie network)
set(QZ_ABOVE_RENDERER graphics font input sound movie network game)

set(QZ_LAYER_VIOLATIONS "")

# Appends "file: include" for every include of `folder` that starts with one
# of the forbidden folder names.
function(qz_check_folder folder)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.h"
       "${SOURCE_DIR}/${folder}/*.inl")
  set(found "${QZ_LAYER_VIOLATIONS}")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" path "${line}")
      foreach(forbidden IN LISTS ARGN)
        if(path MATCHES "^${forbidden}/")
          file(RELATIVE_PATH relative "${SOURCE_DIR}" "${source}")
          list(APPEND found "${relative}: ${path}")
        endif()
      endforeach()
    endforeach()
  endforeach()
  set(QZ_LAYER_VIOLATIONS "${found}" PARENT_SCOPE)
endfunction()

qz_check_folder(platform ${QZ_LIBRARY_FOLDERS} game)
qz_check_folder(image ${QZ_ABOVE_RENDERER})
qz_check_folder(softrender ${QZ_ABOVE_RENDERER})
foreach(folder IN LISTS QZ_LIBRARY_FOLDERS)
  qz_check_folder(${folder} game)
endforeach()
qz_check_folder(tools tests)

if(QZ_LAYER_VIOLATIONS)
  list(JOIN QZ_LAYER_VIOLATIONS "\n  " listed)
  message(FATAL_ERROR "A lower folder includes a higher one:\n  ${listed}")
endif()
message(STATUS "Layering holds")
