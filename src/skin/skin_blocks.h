// The two blocks of bytes that start-up writes to disk, compiled into the
// program from the build's own output (nothing is read from the source tree
// at run time).
#pragma once

#include <cstddef>

// The skin library, jedata.dll, as built: an ELF shared object.
extern const unsigned char kSkinLibraryBlock[];
extern const std::size_t kSkinLibraryBlockSize;

// The skin file, win8.she, packed from the skin's source at build time: it
// begins ".SHE", 0x00, 0x03.
extern const unsigned char kSkinFileBlock[];
extern const std::size_t kSkinFileBlockSize;
