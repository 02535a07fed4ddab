#include "linereader/Channels.h"

#include "linereader/Class1.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace linereader::channels {
namespace {

// Large enough that a refill of a few dozen bytes is a memcpy; small enough that memory stays
// well bounded however many channels are open.
constexpr size_t kReadAheadSize = 64 * 1024;

struct Channel {
    int fd = -1;
    std::unique_ptr<char[]> readAhead;
    size_t readAheadPos = 0;
    size_t readAheadEnd = 0;
};

// Like the rest of the reader, the table is used from the user-interface thread only, so it takes
// no lock: a refill happens for every line handed out and must stay cheap.
std::array<Channel, kLastChannel + 1> g_channels;

std::array<Channel, kLastChannel + 1>& table() {
    return g_channels;
}

bool inRange(int16_t number) {
    return number >= kFirstChannel && number <= kLastChannel;
}

ssize_t readRetrying(int fd, char* dst, size_t count) {
    for (;;) {
        ssize_t got = ::read(fd, dst, count);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

int openFile(const std::string& path) {
    // O_NONBLOCK only so that opening a FIFO cannot hang; reads are made blocking again below.
    const int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | flags, 0666);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM || errno == ETXTBSY))
        fd = ::open(path.c_str(), O_RDONLY | flags);
    return fd;
}

} // namespace

int open(const std::string& path, int16_t& number, int64_t& length) noexcept {
    auto& channels = table();
    number = 0;
    for (int16_t n = kFirstChannel; n <= kLastChannel; ++n) {
        if (channels[n].fd < 0) {
            number = n;
            break;
        }
    }
    if (number == 0)
        return EMFILE;
    if (path.empty() || path.find('\0') != std::string::npos)
        return ENOENT;

    int fd = openFile(path);
    if (fd < 0)
        return errno ? errno : EIO;
    struct stat info {};
    int error = 0;
    if (::fstat(fd, &info) != 0)
        error = errno ? errno : EIO;
    else if (S_ISDIR(info.st_mode))
        error = EISDIR;
    else {
        int fl = ::fcntl(fd, F_GETFL);
        if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) < 0)
            error = errno ? errno : EIO;
    }
    std::unique_ptr<char[]> readAhead;
    if (error == 0) {
        readAhead.reset(new (std::nothrow) char[kReadAheadSize]);
        if (!readAhead)
            error = ENOMEM;
    }
    if (error != 0) {
        ::close(fd);
        return error;
    }
    Channel& channel = channels[number];
    channel.fd = fd;
    channel.readAhead = std::move(readAhead);
    channel.readAheadPos = channel.readAheadEnd = 0;
    length = S_ISREG(info.st_mode) ? static_cast<int64_t>(info.st_size) : 0;
    return 0;
}

bool isOpen(int16_t number) noexcept {
    if (!inRange(number))
        return false;
    return table()[number].fd >= 0;
}

size_t read(int16_t number, char* dst, size_t count) {
    if (!inRange(number) || table()[number].fd < 0)
        throw ClosedChannelError("Bad file name or number: no file is open on channel " +
                                 std::to_string(number) + "; call cfOpenFile first.");
    Channel& channel = table()[number];
    size_t done = 0;
    while (done < count) {
        size_t cached = channel.readAheadEnd - channel.readAheadPos;
        if (cached > 0) {
            size_t take = std::min(cached, count - done);
            std::memcpy(dst + done, channel.readAhead.get() + channel.readAheadPos, take);
            channel.readAheadPos += take;
            done += take;
            continue;
        }
        ssize_t got;
        if (count - done >= kReadAheadSize) {
            got = readRetrying(channel.fd, dst + done, count - done);
            if (got > 0)
                done += static_cast<size_t>(got);
        } else {
            got = readRetrying(channel.fd, channel.readAhead.get(), kReadAheadSize);
            channel.readAheadPos = 0;
            channel.readAheadEnd = got > 0 ? static_cast<size_t>(got) : 0;
        }
        if (got < 0)
            throw ReadError(std::string("Reading the file failed: ") + std::strerror(errno));
        if (got == 0)
            break;
    }
    return done;
}

void close(int16_t number) noexcept {
    if (!inRange(number))
        return;
    Channel& channel = table()[number];
    if (channel.fd < 0)
        return;
    ::close(channel.fd);
    channel = Channel{};
}

} // namespace linereader::channels
