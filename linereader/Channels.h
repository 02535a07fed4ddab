// The process-wide table of file channels 1 to 255 behind Class1. A channel names one open file
// for the whole process; any reader that knows the number reads from it, each read continuing
// where the previous one on that channel ended. Each channel keeps a private read-ahead block so
// that the reader's many small top-ups of its buffer cost a copy, not a system call each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace linereader::channels {

constexpr int16_t kFirstChannel = 1;
constexpr int16_t kLastChannel = 255;

// Takes the lowest free channel number and opens path on it for reading and writing, creating an
// empty file when none exists, or for reading only when writing is not allowed. Returns 0 or an
// errno value; number is set to the channel chosen (0 when none was free) and length to the
// file's size in bytes. On failure nothing stays open.
int open(const std::string& path, int16_t& number, int64_t& length) noexcept;

bool isOpen(int16_t number) noexcept;

// Reads up to count bytes into dst; fewer only at the end of the file. Throws ClosedChannelError
// when nothing is open on number and ReadError when the system fails the read.
size_t read(int16_t number, char* dst, size_t count);

// Closes the channel; a channel with nothing open is left alone.
void close(int16_t number) noexcept;

} // namespace linereader::channels
