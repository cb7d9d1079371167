#pragma once
// Whole reads on file descriptors, retried after interruptions and short transfers (whole writes are
// pathrules' writeFully).

#include <cstddef>
#include <string>

// Reads until `size` bytes have arrived or the file ends; `got` tells how many arrived. False on a
// read error, with errno set.
bool ReadFully(int fd, void* data, std::size_t size, std::size_t& got);

// Reads a whole file into `bytes`. False when it cannot be opened or read (errno set); a folder
// cannot be read.
bool ReadWholeFile(const std::string& fileName, std::string& bytes);
