# The library's Japanese texts are written in UTF-8 text files and turned into
# Shift-JIS byte strings at build time, so the sources stay readable while the
# program logs and compares the bytes it must.
set(QZ_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)

# qz_add_shiftjis_text(target input.txt output.h): input and output are relative
# to the source folder and to the generated folder.
function(qz_add_shiftjis_text target input output)
  set(out ${QZ_GENERATED_DIR}/${output})
  get_filename_component(out_dir ${out} DIRECTORY)
  file(MAKE_DIRECTORY ${out_dir})
  add_custom_command(
    OUTPUT ${out}
    COMMAND shiftjis_text ${CMAKE_SOURCE_DIR}/${input} ${out}
    DEPENDS shiftjis_text ${CMAKE_SOURCE_DIR}/${input}
    COMMENT "Converting ${input} to Shift-JIS")
  string(MAKE_C_IDENTIFIER ${output} stamp)
  add_custom_target(${stamp} DEPENDS ${out})
  add_dependencies(${target} ${stamp})
endfunction()
