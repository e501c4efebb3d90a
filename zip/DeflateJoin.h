#pragma once

#include <vector>

namespace vaultpack {

// Turns a complete raw deflate stream into the front part of a longer one:
// the final block's "last block" bit is cleared and an empty stored block
// ends the data on a byte boundary, as a sync flush does. Streams made this
// way for consecutive pieces of a file, followed by a complete stream for its
// last piece, make one ordinary deflate stream of the whole file, so pieces
// can be compressed on several threads by a compressor that only makes
// complete streams. False, with `stream` unchanged, when it is not a valid
// deflate stream.
bool ContinueAfter(std::vector<unsigned char>& stream);

}  // namespace vaultpack
