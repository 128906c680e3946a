# The portable core for WebAssembly (WASI), with Debian's clang, wasi-libc
# and the wasm32 C++ library: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/wasm32-wasi.cmake
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
# The C++ library for WASI is built without exceptions, as the core is.
set(CMAKE_CXX_FLAGS_INIT "-fno-exceptions")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(KORVA_PORTABLE_CORE_ONLY ON CACHE BOOL "" FORCE)
set(KORVA_CCACHE OFF CACHE BOOL "" FORCE)
