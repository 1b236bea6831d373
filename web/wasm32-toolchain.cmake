# clang 14, wasm-ld and llvm-ar for wasm32, with Debian's WASI C library and libc++ headers
# (packages wasi-libc, libc++-14-dev-wasm32, libclang-rt-14-dev-wasm32, llvm-14): no browser
# glue comes with it, the page's own JavaScript is all the runtime the module has.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
# The module is optimised at link time: its static libraries hold LLVM bitcode, which only
# LLVM's archiver indexes.
set(CMAKE_AR llvm-ar-14)
set(CMAKE_RANLIB llvm-ranlib-14)
set(CMAKE_SYSROOT /usr)
# The compiler check links no program: a module without an entry is not a program.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
