// Room for large byte strings. Filling a fresh buffer of many MiB page by page
// costs more than most work done on it, so large ones are advised for huge pages
// before anything touches them.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// From this size on a buffer gets the huge-page hint.
constexpr std::size_t kLargeBufferSize = std::size_t{4} << 20;

// Reserves capacity for size bytes (keeping the content); a large capacity is
// advised for huge pages.
void ReserveBytes(std::string& text, std::size_t size);

}  // namespace platform
