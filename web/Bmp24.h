// The browser's quick way through the pictures the game ships: uncompressed 24-bit BMPs.
#ifndef ZANDOREL_BMP24_H
#define ZANDOREL_BMP24_H

// The pixels of a BMP of 24 bits per pixel, uncompressed, behind a 40-byte header and whole in
// bytes, as red, green, blue and 255 bytes, top row first, in memory from malloc; its size in
// width and height. Null for any other file: the general decoder reads those.
unsigned char* decodeBmp24(const unsigned char* bytes, int count, int* width, int* height);

#endif
