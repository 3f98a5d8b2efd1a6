#pragma once
// The Intel HEX writer beside the loader: INHX32 text whose every word the
// loader reads back as it was.
#include <string>

#include "image/hex_file.h"

namespace vandrel::image {

// Every word of the image that is not empty (-1), low byte first at byte
// address 2 x word address, in data records of at most 16 bytes that never
// cross a 16-byte boundary, as assemblers lay them out; an extended linear
// address record 0000 first and the end-of-file record last. Negative words
// other than -1 are written as their 16 bits, so they too load back as they
// were. Lines end with "\n".
std::string WriteHexText(const THexFile& image);

} // namespace vandrel::image
