// The source of a chain: a file stream read in blocks.
#pragma once

#include <cstddef>
#include <functional>

#include "stream/stage.h"
#include "text/file_stream.h"

namespace stream {

// Reads the stream from its position to its end in blocks of blockSize bytes into
// head, then finishes head. Stops early (and still finishes head) once wanted()
// says no more is wanted. A failing read raises EReadError "Stream read error": a
// read failure must not pass for the end of the file.
void ReadInBlocks(TFileStream& input, std::size_t blockSize, Stage& head,
                  const std::function<bool()>& wanted);

// Room a block is given beyond its bytes, so that line ends can grow in the
// block's own buffer (a CR for every line of ordinary text).
std::size_t BlockCapacity(std::size_t blockSize);

}  // namespace stream
