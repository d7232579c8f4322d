#include "base/exceptions.h"

#include <utility>

// Not inlined, so that the return address is the place that raised the failure.
__attribute__((noinline)) Exception::Exception(std::string message)
    : message_(std::move(message)), raise_address_(__builtin_return_address(0)) {}
