# Windows-style modules: compiled resources and the DllMain entry point.

# qm_add_resources(<target> <script.rc> [INCLUDE_DIRS <dir>...] [DEFINES <NAME[=VALUE]>...])
# Compiles the resource script with tools/rc (qmrc) into a generated source of <target>.
# The target's resources are then found by FindResourceW/LoadStringW with its own module
# handle (and by GetFileVersionInfoW from its file). Relative file names in the script are
# looked up next to the script, then in INCLUDE_DIRS. The script, its #includes and every
# file it names are dependencies.
function(qm_add_resources target script)
  cmake_parse_arguments(R "" "" "INCLUDE_DIRS;DEFINES" ${ARGN})
  get_filename_component(abs_script ${script} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  get_filename_component(stem ${script} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_${stem}_rc.cpp)
  set(args)
  foreach(dir ${R_INCLUDE_DIRS})
    get_filename_component(abs_dir ${dir} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND args -I ${abs_dir})
  endforeach()
  foreach(def ${R_DEFINES})
    list(APPEND args -D ${def})
  endforeach()
  add_custom_command(
    OUTPUT ${out}
    COMMAND qmrc ${args} -o ${out} --depfile ${out}.d ${abs_script}
    DEPENDS qmrc ${abs_script}
    DEPFILE ${out}.d
    COMMENT "Compiling resources ${script}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
  target_link_libraries(${target} PRIVATE qmwin)
endfunction()

# qm_windows_dll(<target>)
# Makes <target> (a shared library) call its DllMain, `BOOL WINAPI DllMain(HINSTANCE,
# DWORD, LPVOID)`, with DLL_PROCESS_ATTACH when loaded and DLL_PROCESS_DETACH when unloaded,
# with its own module handle. The glue is linked after the target's objects, so the
# library's globals are constructed before DllMain runs.
function(qm_windows_dll target)
  target_link_libraries(${target} PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,qm_dll_entry>" qmwin)
endfunction()
