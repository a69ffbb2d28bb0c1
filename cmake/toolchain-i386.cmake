# 32-bit x86 build: the product as it runs on its host. This machine cannot
# start 32-bit programs itself, so tests run under user-mode emulation.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_PATH /usr/lib32)
set(ZLIB_LIBRARY /usr/lib32/libz.so CACHE FILEPATH "32-bit zlib")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)
