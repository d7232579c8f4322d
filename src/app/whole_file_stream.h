// Whole-file mode in blocks, for plain pairs. Everything it does is local: lines
// joined with CR LF, the byte 0 that ends the text or its substitute, each pair's
// replace-all (a match is at most the search's length), the split into lines on
// the way out. So the file passes through a chain of stages in blocks, and
// memory stays bounded whatever the file's size. Reading and the pairs run on a
// second thread while the calling thread settles line ends and writes.
#pragma once

#include <cstddef>

#include "app/run_context.h"
#include "app/whole_file_output.h"

constexpr std::size_t kWholeFileBlockSize = std::size_t{1} << 20;

enum class StreamThreads {
  Auto,  // two for a file of several blocks, one for a small one
  One,
  Two,
};

struct StreamSettings {
  std::size_t blockSize = kWholeFileBlockSize;
  StreamThreads threads = StreamThreads::Auto;
};

// The same result as ProcessWholeText for plain pairs.
WholeFileResult StreamWholeFile(const RunContext& context, const StreamSettings& settings = {});
