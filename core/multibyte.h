// The lead-byte test of the library's multi-byte text. The character set is
// chosen at window creation; every routine that walks text uses this test.
// Set 0, 1 and above 4: Shift-JIS lead ranges 0x81-0x9F and 0xE0-0xFC;
// sets 2 to 4: any byte with the high bit set.
#pragma once

namespace qz {

bool IsLeadByte(int charset, unsigned char byte);

// The current character set (0, Shift-JIS, until the window picks one).
void SetCurrentCharset(int charset);
int GetCurrentCharset();
inline bool IsCurrentLeadByte(unsigned char byte) { return IsLeadByte(GetCurrentCharset(), byte); }

}  // namespace qz
