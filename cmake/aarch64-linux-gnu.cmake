# Cross-building for 64-bit ARM Linux (PinePhone, Librem 5 and other
# Debian-like handsets) on an x86-64 Debian machine, against the arm64
# development packages installed beside the amd64 ones (multiarch;
# scripts/setup --aarch64):
#
#   cmake -S . -B build-aarch64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
#
# Programs that the build runs (kelvo-asm, the showcase's asset maker) and
# the tests run under qemu-user.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# The arm64 libraries live in the same tree as the host's, under their own
# multiarch directories: the root stays /, and the library architecture
# above chooses the directories.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# qemu takes its arm64 C library from the multiarch tree (-L /): with the
# cross toolchain's older copy, a program that starts a thread hangs under
# qemu 7.2. It gives each program an address space of its own (-R, 256 GiB),
# in which the addresses that the program unmaps are used again: without
# one, qemu 7.2 maps every new reservation at fresh addresses and keeps its
# records of every page ever mapped, about 48 MB for each machine's 8 GiB
# arena, and a test that makes a few hundred machines outgrew the memory.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L / -R 0x4000000000)

# moc and Qt's other build tools are the host's, from the amd64 packages.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# pkg-config reads only the arm64 descriptions and the shared ones.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
