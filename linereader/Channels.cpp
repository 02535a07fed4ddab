#include "linereader/Channels.h"

#include "linereader/Class1.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace linereader::channels {
namespace {

struct Channel {
    int fd = -1;
    std::string unread; // given back by a reader, read before the file
    void* holder = nullptr;
    ReleaseReadAhead release = nullptr;
};

// Like the rest of the reader, the table is used from the user-interface thread only, so it takes
// no lock.
std::array<Channel, kLastChannel + 1> g_channels;

bool inRange(int16_t number) {
    return number >= kFirstChannel && number <= kLastChannel;
}

Channel& openChannel(int16_t number) {
    if (!inRange(number) || g_channels[number].fd < 0)
        throw ClosedChannelError("Bad file name or number: no file is open on channel " +
                                 std::to_string(number) + "; call cfOpenFile first.");
    return g_channels[number];
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
    number = 0;
    for (int16_t n = kFirstChannel; n <= kLastChannel; ++n) {
        if (g_channels[n].fd < 0) {
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
    if (::fstat(fd, &info) != 0) {
        error = errno ? errno : EIO;
    } else if (S_ISDIR(info.st_mode)) {
        error = EISDIR;
    } else {
        int fl = ::fcntl(fd, F_GETFL);
        if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) < 0)
            error = errno ? errno : EIO;
    }
    if (error != 0) {
        ::close(fd);
        return error;
    }
    g_channels[number] = Channel{};
    g_channels[number].fd = fd;
    g_descriptors[number] = fd;
    length = S_ISREG(info.st_mode) ? static_cast<int64_t>(info.st_size) : 0;
    return 0;
}

int g_descriptors[kLastChannel + 1] = {
#define LINEREADER_CLOSED8 -1, -1, -1, -1, -1, -1, -1, -1
#define LINEREADER_CLOSED64                                                                        \
    LINEREADER_CLOSED8, LINEREADER_CLOSED8, LINEREADER_CLOSED8, LINEREADER_CLOSED8,                \
        LINEREADER_CLOSED8, LINEREADER_CLOSED8, LINEREADER_CLOSED8, LINEREADER_CLOSED8
    LINEREADER_CLOSED64, LINEREADER_CLOSED64, LINEREADER_CLOSED64, LINEREADER_CLOSED64};
#undef LINEREADER_CLOSED64
#undef LINEREADER_CLOSED8

size_t append(int16_t number, std::string& dst, size_t count, void* holder,
              ReleaseReadAhead release) {
    Channel& channel = openChannel(number);
    if (channel.holder && channel.holder != holder) {
        void* previous = channel.holder;
        channel.holder = nullptr;
        channel.release(previous, true);
    }
    channel.holder = holder;
    channel.release = release;
    size_t done = std::min(count, channel.unread.size());
    dst.append(channel.unread, 0, done);
    channel.unread.erase(0, done);
    if (done == count)
        return done;
    const size_t oldSize = dst.size();
    const size_t fromFile = count - done;
    dst.resize(oldSize + fromFile);
    size_t filled = 0;
    while (filled < fromFile) {
        const ssize_t got =
            readRetrying(channel.fd, dst.data() + oldSize + filled, fromFile - filled);
        if (got < 0) {
            dst.resize(oldSize + filled);
            throw ReadError(std::string("Reading the file failed: ") + std::strerror(errno));
        }
        if (got == 0)
            break;
        filled += static_cast<size_t>(got);
    }
    dst.resize(oldSize + filled);
    return done + filled;
}

void unread(int16_t number, std::string_view bytes, const void* holder) {
    if (!isOpen(number))
        return;
    Channel& channel = g_channels[number];
    channel.unread.insert(0, bytes);
    if (channel.holder == holder)
        channel.holder = nullptr;
}

void close(int16_t number) noexcept {
    if (!isOpen(number))
        return;
    Channel& channel = g_channels[number];
    if (channel.holder)
        channel.release(channel.holder, false);
    ::close(channel.fd);
    channel = Channel{};
    g_descriptors[number] = -1;
}

} // namespace linereader::channels
