# Writes OUT: a C++ source that carries every messages/<language>.txt as a raw string.
# cmake -DIN_DIR=<messages> -DOUT=<file.cpp> -P embed_messages.cmake
file(GLOB tables ${IN_DIR}/*.txt)
list(SORT tables)
set(body "// Generated from platform/kernel32/messages; do not edit.\n#include \"message_table.h\"\n\nnamespace qm::kernel32\n{\nconst MessageSource kSystemMessageSources[] = {\n")
foreach(table ${tables})
  get_filename_component(lang ${table} NAME_WE)
  file(READ ${table} text)
  string(APPEND body "    {${lang}, R\"qmmsg(${text})qmmsg\"},\n")
endforeach()
string(APPEND body "};\nconst size_t kSystemMessageSourceCount = sizeof(kSystemMessageSources) / sizeof(kSystemMessageSources[0]);\n} // namespace qm::kernel32\n")
file(WRITE ${OUT}.tmp "${body}")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
