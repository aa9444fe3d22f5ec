# tarvik_lean(target): the target pays only for what runs. Nothing in tarvik throws
# or asks a type at run time, so it is built without exceptions or RTTI, and for
# Windows without the unwind tables that only exceptions would read. A program gets a
# link map beside it, <target>.map, which shows what every library brings in.
include_guard(GLOBAL)

function(tarvik_lean target)
  if(MSVC)
    return()  # the flags are GCC's and Clang's; an MSVC build keeps its defaults
  endif()
  target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti
                         $<$<BOOL:${MINGW}>:-fno-asynchronous-unwind-tables>)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    target_link_options(${target} PRIVATE LINKER:-Map,$<TARGET_FILE_DIR:${target}>/${target}.map)
  endif()
endfunction()
