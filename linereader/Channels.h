// The process-wide table of file channels 1 to 255 behind Class1. A channel names one open file
// for the whole process; any reader that knows the number reads from it, each read continuing
// where the previous one on that channel ended.
//
// Readers read ahead: the bytes a reader has taken from a channel but not yet put in its buffer
// stay with that reader, which is registered as the channel's holder. Should another reader read
// the same channel, the holder is first asked to give those bytes back, so the order of the file
// is kept whoever reads it; a channel that closes tells its holder to drop them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace linereader::channels {

constexpr int16_t kFirstChannel = 1;
constexpr int16_t kLastChannel = 255;

// Called on the holder of a channel's read-ahead: with true it must give the bytes back through
// unread(), with false (the channel is closing) it must drop them.
using ReleaseReadAhead = void (*)(void* holder, bool giveBack);

// Takes the lowest free channel number and opens path on it for reading and writing, creating an
// empty file when none exists, or for reading only when writing is not allowed. Returns 0 or an
// errno value; number is set to the channel chosen (0 when none was free) and length to the
// file's size in bytes. On failure nothing stays open.
int open(const std::string& path, int16_t& number, int64_t& length) noexcept;

// The descriptor open on each channel number, -1 when none; read it through isOpen().
extern int g_descriptors[kLastChannel + 1];

inline bool isOpen(int16_t number) noexcept {
    return number >= kFirstChannel && number <= kLastChannel && g_descriptors[number] >= 0;
}

// Reads up to count bytes onto the end of dst and returns how many; fewer only at the end of the
// file. holder becomes the channel's read-ahead holder. Throws ClosedChannelError when nothing is
// open on number and ReadError when the system fails the read.
size_t append(int16_t number, std::string& dst, size_t count, void* holder,
              ReleaseReadAhead release);

// Puts bytes back in front of what the channel reads next, and stops holder being its holder.
void unread(int16_t number, std::string_view bytes, const void* holder);

// Closes the channel; a channel with nothing open is left alone.
void close(int16_t number) noexcept;

} // namespace linereader::channels
