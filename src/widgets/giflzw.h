#pragma once
// The LZW variant of GIF image data: variable code width from the minimum code
// size + 1 up to 12 bits, a 4096-entry string table, clear and end codes, and
// the deferred clear (a full table keeps decoding with 12-bit codes and adds
// no entries until the next clear code).
//
// Contract: GifLzwDecode is a pure function of its arguments. It never reads
// outside [data, data + size) nor writes outside [out, out + outSize); it
// allocates nothing but a fixed table on the stack.
#include <QtGlobal>

// What one call of GifLzwDecode found.
struct TGifLzwResult {
    bool Fault = false;      // an undefined code or an invalid minimum code size
    qsizetype Decoded = 0;   // pixels written to out (at most outSize)
    bool SawEndCode = false; // the stream was closed by its end code
};

// Decodes the concatenated data sub-blocks of one image (the block length
// bytes removed) into colour indices. minCodeSize must be 2 … 8 (else Fault).
// Decoding stops at the end code, at the end of the data, when outSize pixels
// are written, or at a fault; the pixels written before a fault stay in out.
TGifLzwResult GifLzwDecode(const uchar* data, qsizetype size, int minCodeSize, uchar* out, qsizetype outSize);
