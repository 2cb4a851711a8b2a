#pragma once
// Seams for the tests of the file write, kept out of the header the program uses.
#include <sys/types.h>

#include <cstddef>
#include <functional>

namespace vestrano {

// Replaces the write(2) call, to simulate a full disk; an empty function restores it.
using WriteFunction = std::function<ssize_t(int fd, const void* data, std::size_t size)>;
void SetWriteFunctionForTesting(WriteFunction write);
// Makes the unnamed file unavailable, as on a file system without it; true restores it.
void SetUnnamedFilesForTesting(bool available);

}  // namespace vestrano
