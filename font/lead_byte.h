// The lead-byte tests every routine that walks multi-byte text uses.
#pragma once

namespace qz {

// Charsets below 2 or above 4: Shift-JIS lead ranges; 2 .. 4: any high byte.
int IsMultiByteLeadByte(const unsigned char* byte, int charset);
// 1: a lead byte at `position`; 2: the second byte of a two-byte character;
// 0: a single-byte character; -1: the string ends first (or is empty).
int IsSecondByteOfMultiByteChar(const char* text, int position, int charset);

}  // namespace qz
