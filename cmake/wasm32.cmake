# WebAssembly for the web page, with Debian's own toolchain: clang for wasm32-wasi,
# wasm-ld, and the C and C++ libraries of wasi-libc and libc++-14-dev-wasm32 (headers
# only, in practice: the module calls nothing of them). Nothing built here runs on the
# build machine; the page's test runs it in a browser.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)

find_program(tarvik_clang NAMES clang++ clang++-14 NO_CACHE)
find_program(tarvik_wasm_ld NAMES wasm-ld wasm-ld-14 NO_CACHE)
if(NOT tarvik_clang OR NOT tarvik_wasm_ld)
  message(FATAL_ERROR "clang++ or wasm-ld not found: install clang and lld (scripts/setup.sh does)")
endif()
foreach(needed IN ITEMS /usr/include/wasm32-wasi/c++/v1/array /usr/lib/wasm32-wasi/libc.a
                        /usr/lib/wasm32-wasi/libc++.a /usr/lib/wasm32-wasi/libc++abi.a)
  if(NOT EXISTS ${needed})
    message(FATAL_ERROR "${needed} not found: install wasi-libc, libc++-14-dev-wasm32, libc++abi-14-dev-wasm32 "
                        "and libclang-rt-14-dev-wasm32 (scripts/setup.sh does)")
  endif()
endforeach()
set(CMAKE_CXX_COMPILER ${tarvik_clang})
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
# A module with no entry point is no program the compiler checks could link.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# A reactor without WASI's start files: the page calls exported functions, and the
# module imports nothing, so that it instantiates with an empty import object.
set(CMAKE_CXX_FLAGS_INIT "-fno-exceptions -fno-rtti -ffunction-sections -fdata-sections")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-nostartfiles -Wl,--no-entry,--gc-sections,--strip-all")
