# Cross build for 64-bit ARM (Raspberry Pi 3, 4, 5, Zero 2 W under a 64-bit
# system) on an amd64 Debian 12 machine, with Debian's cross toolchain
# (crossbuild-essential-arm64) and the arm64 libraries installed beside the
# amd64 ones (multiarch: /usr/lib/aarch64-linux-gnu). scripts/cross-arm64
# installs both and uses this file:
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=packaging/arm64-toolchain.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# Libraries and CMake packages are looked up under lib/aarch64-linux-gnu of
# the ordinary prefixes; programs stay the machine's own.
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)

# Qt's code generators (moc, rcc, uic) are the amd64 ones.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# Programs the build itself runs (the icon renderer, the test listing) run
# on the emulated processor; the arm64 loader and libraries are found where
# multiarch put them, so no binfmt registration is needed.
find_program(HOPWATCH_QEMU qemu-aarch64-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${HOPWATCH_QEMU})
