# Writes OUTPUT, a C++ source that holds the text of every FLOOR_DIR/*.txt
# as raw string literals, so the generator works from any folder. Run at
# build time: cmake -DOUTPUT=... -DFLOOR_DIR=... -P embed_floors.cmake
file(GLOB floors ${FLOOR_DIR}/*.txt)
list(SORT floors)
set(body "")
foreach(path IN LISTS floors)
  get_filename_component(name ${path} NAME_WE)
  file(READ ${path} text)
  string(APPEND body "    {\"${name}\", R\"FLOOR(${text})FLOOR\"},\n")
endforeach()
file(WRITE ${OUTPUT}.tmp
"// Generated from tools/datagen/floors/*.txt by embed_floors.cmake; do not edit.
#include \"tools/datagen/data_set.h\"

namespace datagen {

const std::vector<FloorSource>& BuiltInFloors() {
  static const std::vector<FloorSource> floors = {
${body}  };
  return floors;
}

}  // namespace datagen
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
