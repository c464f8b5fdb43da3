# The programs say at their start that DLLs come from the system folder only, but the
# loader resolves their imports (and what those import) before that: the dependent-load
# flag of the image's load configuration (LOAD_LIBRARY_SEARCH_SYSTEM32) says it in the
# file itself. The structure is src/win32/load_config.cpp; this toolchain's linker leaves
# the image's entry for it empty, so a step after the link fills it in. Called in the
# folder that makes the target.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
function(tarn_dependent_load_flag target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/win32/load_config.cpp)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/cmake/pe_load_config.py ${CMAKE_NM} $<TARGET_FILE:${target}>
    VERBATIM)
endfunction()
