// Whether a BMP file's header may be handed to the media library's loader. Classic SDL 1.2
// trusts the header: a huge or negative size, a depth it has no case for, masks that are not
// runs of bits, or a palette and pixels the file does not hold make it read, allocate or shift
// out of bounds, and the game dies on a damaged picture instead of going on without it. It also
// reads masks and palettes from where a 40-byte header would end, and so shows some
// well-formed pictures in other colours, magenta no longer transparent: those are refused too.
#ifndef ZANDOREL_BMPCHECK_H
#define ZANDOREL_BMPCHECK_H

#include <cstddef>
#include <cstdint>
#include <string>

// Enough of the file's start for the check: the file header, the largest known info header
// and the colour masks that may follow a short one.
constexpr std::size_t bmpHeadBytes = 14 + 124;

// Why the file cannot be loaded safely, or empty when its header agrees with itself and with
// the file's length. head holds the first headSize bytes of a file of fileSize bytes; a head
// shorter than bmpHeadBytes must be the whole file.
std::string bmpProblem(const unsigned char* head, std::size_t headSize, std::uint64_t fileSize);

#endif
