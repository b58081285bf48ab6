#include "BmpCheck.h"

#include <algorithm>

namespace {

constexpr std::size_t fileHeaderBytes = 14;
constexpr std::uint32_t coreHeaderBytes = 12;    // OS/2: 16-bit sizes, no compression
constexpr std::uint32_t windowsHeaderBytes = 40; // what SDL 1.2 reads of every other header
// Far beyond any picture the game draws, and small enough that a row of 32-bit pixels still
// fits the 16-bit pitch of an SDL 1.2 surface.
constexpr std::int64_t maxSide = 8192;

constexpr std::uint32_t rgb = 0;
constexpr std::uint32_t rle8 = 1;
constexpr std::uint32_t rle4 = 2;
constexpr std::uint32_t bitFields = 3;

std::uint32_t le(const unsigned char* at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        value = value << 8 | at[i];
    }
    return value;
}

std::int64_t signed32(const unsigned char* at) {
    const std::uint32_t value = le(at, 4);
    return value < 0x80000000u ? std::int64_t{value} : std::int64_t{value} - 0x100000000LL;
}

bool knownHeaderSize(std::uint32_t size) {
    // Core, Windows 3, the two Adobe extensions, version 4 and version 5.
    return size == coreHeaderBytes || size == windowsHeaderBytes || size == 52 || size == 56 ||
           size == 108 || size == 124;
}

bool knownDepth(std::uint32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

bool compressionFits(std::uint32_t compression, std::uint32_t bits) {
    return compression == rgb || (compression == rle8 && bits == 8) ||
           (compression == rle4 && bits == 4) ||
           (compression == bitFields && (bits == 16 || bits == 32));
}

// SDL 1.2 turns a mask into a shift and a loss of precision against 8 bits; only one run of
// at most 8 set bits, inside the pixel, gives it shifts it can make.
std::string maskProblem(std::uint32_t mask, std::uint32_t bits) {
    if (mask == 0) {
        return "an empty colour mask";
    }
    if (bits < 32 && (mask >> bits) != 0) {
        return "a colour mask wider than the pixel";
    }
    std::uint32_t run = mask;
    while ((run & 1) == 0) {
        run >>= 1;
    }
    int width = 0;
    while ((run & 1) != 0) {
        run >>= 1;
        ++width;
    }
    if (run != 0) {
        return "a colour mask in pieces";
    }
    if (width > 8) {
        return "a colour mask of more than 8 bits";
    }
    return "";
}

// Whether the masks SDL 1.2 reads before uncompressed pixels give it the colours they have:
// 5 bits each at 16 bits, 8 bits each at 32. Three empty ones leave it its own default, which
// is that at 32 bits but 5, 6 and 5 bits at 16.
bool defaultMasks(const std::uint32_t (&masks)[3], std::uint32_t bits) {
    if (bits == 16) {
        return masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F;
    }
    return (masks[0] | masks[1] | masks[2]) == 0 ||
           (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF);
}

} // namespace

std::string bmpProblem(const unsigned char* head, std::size_t headSize, std::uint64_t fileSize) {
    if (fileSize < 2 || headSize < 2 || head[0] != 'B' || head[1] != 'M') {
        return "not a Windows BMP file";
    }
    if (headSize < fileHeaderBytes + 4) {
        return "cut short in the header";
    }
    const std::uint32_t pixelOffset = le(head + 10, 4);
    const std::uint32_t headerSize = le(head + 14, 4);
    if (!knownHeaderSize(headerSize)) {
        return "an unknown header size of " + std::to_string(headerSize);
    }
    const std::size_t headerEnd = fileHeaderBytes + headerSize;
    if (headSize < headerEnd) {
        return "cut short in the header";
    }
    const unsigned char* info = head + fileHeaderBytes;
    const bool core = headerSize == coreHeaderBytes;
    // Widened before any sign is taken away, so that a height of -2^31 stays out of range.
    const std::int64_t width = core ? std::int64_t{le(info + 4, 2)} : signed32(info + 4);
    std::int64_t height = core ? std::int64_t{le(info + 6, 2)} : signed32(info + 8);
    const std::uint32_t planes = le(info + (core ? 8 : 12), 2);
    const std::uint32_t bits = le(info + (core ? 10 : 14), 2);
    const std::uint32_t compression = core ? rgb : le(info + 16, 4);
    const std::uint32_t coloursUsed = core ? 0 : le(info + 32, 4);
    const bool topDown = height < 0;
    if (width < 1 || width > maxSide || height == 0 || height < -maxSide || height > maxSide) {
        return "a size of " + std::to_string(width) + " x " + std::to_string(height) +
               " outside 1 to " + std::to_string(maxSide);
    }
    if (topDown) {
        height = -height;
    }
    if (planes != 1) {
        return std::to_string(planes) + " planes";
    }
    if (!knownDepth(bits)) {
        return std::to_string(bits) + " bits per pixel";
    }
    if (!compressionFits(compression, bits) ||
        (topDown && compression != rgb && compression != bitFields)) {
        return "compression " + std::to_string(compression) + " at " + std::to_string(bits) +
               " bits per pixel";
    }

    // SDL 1.2 reads what follows the header from the end of its first 40 bytes (or 12), not
    // from where a longer header ends.
    const std::size_t readOn = fileHeaderBytes + (core ? coreHeaderBytes : windowsHeaderBytes);
    std::uint64_t tablesEnd = headerEnd;
    // It also reads masks whenever the pixels do not follow the header at once, bit fields or
    // not: uncompressed pixels after a gap are then read with whatever the gap holds as masks.
    if ((bits == 16 || bits == 32) &&
        (compression == bitFields || (compression == rgb && pixelOffset != headerEnd))) {
        if (readOn + 12 > fileSize || readOn + 12 > headSize) {
            return "colour masks past the end of the file";
        }
        const std::uint32_t masks[] = {le(head + readOn, 4), le(head + readOn + 4, 4),
                                       le(head + readOn + 8, 4)};
        if (compression == rgb && !defaultMasks(masks, bits)) {
            return "a gap before uncompressed pixels read as other colour masks";
        }
        for (const std::uint32_t mask : masks) {
            const std::string problem = compression == rgb ? "" : maskProblem(mask, bits);
            if (!problem.empty()) {
                return problem;
            }
        }
        // Classic SDL mixes the colours such masks give; the compatibility layer over SDL2
        // refuses the picture: refused on both, the game goes on alike.
        if (((masks[0] & masks[1]) | (masks[0] & masks[2]) | (masks[1] & masks[2])) != 0) {
            return "colour masks that share bits";
        }
        tablesEnd = std::max<std::uint64_t>(tablesEnd, readOn + 12);
    }
    if (bits <= 8) {
        if (headerEnd != readOn) {
            return "a palette behind a header of " + std::to_string(headerSize) + " bytes";
        }
        const std::uint32_t available = 1u << bits;
        const std::uint32_t colours = coloursUsed == 0 ? available : coloursUsed;
        if (colours > available) {
            return std::to_string(colours) + " colours at " + std::to_string(bits) +
                   " bits per pixel";
        }
        tablesEnd += static_cast<std::uint64_t>(colours) * (core ? 3 : 4);
        if (tablesEnd > fileSize) {
            return "a palette past the end of the file";
        }
    }
    if (pixelOffset < tablesEnd) {
        return "pixels that overlap the header or the palette";
    }
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
    const std::uint64_t pixelBytes = compression == rle8 || compression == rle4
                                         ? 1
                                         : rowBytes * static_cast<std::uint64_t>(height);
    if (pixelOffset + pixelBytes > fileSize) {
        return "pixels past the end of the file";
    }
    return "";
}
