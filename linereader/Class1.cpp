#include "linereader/Class1.h"

#include "linereader/Channels.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

namespace linereader {
namespace {

void noEventPass() {}
void (*g_eventPass)() = noEventPass;

void runEventPass() {
    g_eventPass();
}

constexpr int32_t kMaxBufferSize = 32767;
constexpr int16_t kMaxFixedWidth = 32766;
constexpr char kFormFeed = '\f';
// How much is read from the file at a time, whatever the buffer size.
constexpr size_t kReadAheadSize = 64 * 1024;
// How many refills' worth of consumed text the buffer string may keep before it is dropped.
constexpr size_t kSlack = 4;

bool isBlank(std::string_view text) {
    return text.find_first_not_of(' ') == std::string_view::npos;
}

// Upper and lower case of Windows-1252, the single-byte character set the reader's bytes stand for.
std::array<unsigned char, 256> makeFoldTable() {
    std::array<unsigned char, 256> fold{};
    for (int c = 0; c < 256; ++c)
        fold[c] = static_cast<unsigned char>(c);
    for (int c = 'A'; c <= 'Z'; ++c)
        fold[c] = static_cast<unsigned char>(c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c)
        if (c != 0xD7)
            fold[c] = static_cast<unsigned char>(c + 32);
    fold[0x8A] = 0x9A; // S caron
    fold[0x8C] = 0x9C; // OE
    fold[0x8E] = 0x9E; // Z caron
    fold[0x9F] = 0xFF; // Y diaeresis
    return fold;
}

const std::array<unsigned char, 256> kFold = makeFoldTable();

void foldInto(std::string& out, std::string_view text) {
    out.resize(text.size());
    std::transform(text.begin(), text.end(), out.begin(),
                   [](char c) { return static_cast<char>(kFold[static_cast<unsigned char>(c)]); });
}

size_t findExact(std::string_view haystack, std::string_view needle) {
    if (needle.empty())
        return 0;
    if (needle.size() > haystack.size())
        return std::string_view::npos;
    const char* data = haystack.data();
    if (needle.size() <= 2) {
        // Line breaks are one or two characters: memchr for the first one is much faster on
        // short lines than a general substring search.
        const size_t lastStart = haystack.size() - needle.size();
        size_t from = 0;
        while (from <= lastStart) {
            const void* hit = std::memchr(data + from, needle[0], lastStart - from + 1);
            if (!hit)
                return std::string_view::npos;
            const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - data);
            if (needle.size() == 1 || data[at + 1] == needle[1])
                return at;
            from = at + 1;
        }
        return std::string_view::npos;
    }
    const void* hit = ::memmem(data, haystack.size(), needle.data(), needle.size());
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - data) : std::string_view::npos;
}

// Whether the text may hold a character outside codes 32 to 126, eight bytes at a time: a byte
// below 32 or from 127 on always sets a mark, and a rare false mark only costs the exact pass.
bool mayHoldUnprintable(std::string_view text) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    constexpr uint64_t kHigh = kOnes << 7;
    uint64_t marks = 0;
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        marks |= ((word - kOnes * 32) & ~word & kHigh) | (((word + kOnes) | word) & kHigh);
    }
    for (; i < text.size(); ++i) {
        const auto code = static_cast<unsigned char>(text[i]);
        marks |= code < 32 || code > 126;
    }
    return marks != 0;
}

// Position of the first occurrence, or npos. An empty needle is found at the start of a non-empty
// text only, the way the platform's substring search treats it.
size_t findText(std::string_view haystack, std::string_view needle, bool ignoreCase) {
    if (needle.empty())
        return haystack.empty() ? std::string_view::npos : 0;
    if (!ignoreCase)
        return findExact(haystack, needle);
    std::string foldedHaystack, foldedNeedle;
    foldInto(foldedHaystack, haystack);
    foldInto(foldedNeedle, needle);
    return findExact(foldedHaystack, foldedNeedle);
}

} // namespace

void setEventPass(void (*pass)()) {
    g_eventPass = pass ? pass : noEventPass;
}

} // namespace linereader

using namespace linereader;

Class1::Class1() = default;

Class1::~Class1() {
    giveReadAheadBack();
    cfCloseFile();
}

void Class1::setLeftOver(const std::string& value) {
    // The read-ahead is the file's next bytes and stays behind the new buffer.
    m_buffer = value + m_buffer.substr(std::min(m_readAheadStart, m_buffer.size()));
    m_bufferStart = 0;
    m_bufferEnd = m_readAheadStart = value.size();
    forgetFormFeeds();
}

void Class1::dropReadAhead() {
    m_buffer.resize(m_bufferEnd);
    m_readAheadStart = m_bufferEnd;
    m_readAheadChannel = 0;
    forgetFormFeeds();
}

void Class1::giveReadAheadBack() {
    if (m_readAheadChannel != 0)
        channels::unread(m_readAheadChannel, std::string_view(m_buffer).substr(m_readAheadStart),
                         this);
    dropReadAhead();
}

void Class1::releaseReadAhead(void* self, bool giveBack) {
    auto* reader = static_cast<Class1*>(self);
    if (giveBack)
        reader->giveReadAheadBack();
    else
        reader->dropReadAhead();
}

void Class1::compactBuffer() {
    char* base = m_buffer.data();
    const size_t kept = leftOverSize();
    const size_t readAhead = m_buffer.size() - m_readAheadStart;
    std::memmove(base, base + m_bufferStart, kept);
    std::memmove(base + kept, base + m_readAheadStart, readAhead);
    m_buffer.resize(kept + readAhead);
    m_bufferStart = 0;
    m_bufferEnd = m_readAheadStart = kept;
    forgetFormFeeds();
}

// Moves count bytes of the file from the read-ahead into LeftOver, reading ahead again first when
// it holds fewer. Returns how many the file still had.
void Class1::admit(size_t count) {
    size_t readAhead = m_buffer.size() - m_readAheadStart;
    if (readAhead < count) {
        const int64_t unreadOfFile = m_BytesLeft - static_cast<int64_t>(readAhead);
        const size_t want =
            std::max(count - readAhead,
                     static_cast<size_t>(std::min<int64_t>(kReadAheadSize, unreadOfFile)));
        if (m_bufferStart > 0 && m_buffer.size() + want > kReadAheadSize + kSlack * count)
            compactBuffer();
        channels::append(m_ChannelNumber, m_buffer, want, this, &Class1::releaseReadAhead);
        m_readAheadChannel = m_ChannelNumber;
        readAhead = m_buffer.size() - m_readAheadStart;
    }
    const size_t take = std::min(count, readAhead);
    char* base = m_buffer.data();
    const char* chunk = base + m_readAheadStart;
    if (m_StripNulls && hasNul(m_readAheadStart, take)) {
        // Written forward over the gap and the chunk itself, never ahead of what is read.
        char* out = base + m_bufferEnd;
        for (size_t i = 0; i < take; ++i)
            if (chunk[i] != '\0')
                *out++ = chunk[i];
        m_bufferEnd = static_cast<size_t>(out - base);
        forgetFormFeeds();
    } else if (m_readAheadStart != m_bufferEnd) {
        std::memmove(base + m_bufferEnd, chunk, take);
        m_bufferEnd += take;
        forgetFormFeeds();
    } else {
        m_bufferEnd += take;
    }
    m_readAheadStart += take;
    // A file that shrank while open ends where its data ends; otherwise BytesLeft would never
    // reach 0 and a reader passing over blank lines would never stop.
    m_BytesLeft = take < count ? 0 : m_BytesLeft - static_cast<int64_t>(count);
}

bool Class1::hasNul(size_t from, size_t count) {
    // The read-ahead is scanned once up to its first NUL, not once per refill.
    if (from + count <= m_nulFreeTo && from >= m_nulFreeFrom)
        return false;
    const char* base = m_buffer.data();
    const size_t start = from >= m_nulFreeFrom && from <= m_nulFreeTo ? m_nulFreeTo : from;
    const void* nul = std::memchr(base + start, '\0', m_buffer.size() - start);
    m_nulFreeFrom = std::min(from, start);
    m_nulFreeTo = nul ? static_cast<size_t>(static_cast<const char*>(nul) - base) : m_buffer.size();
    return from + count > m_nulFreeTo;
}

size_t Class1::firstFormFeed(size_t from, size_t to) {
    const char* base = m_buffer.data();
    const bool cacheCovers = m_formFeedFrom <= from && from <= m_formFeedTo &&
                             (m_formFeedAt == std::string::npos || m_formFeedAt >= from);
    if (!cacheCovers) {
        m_formFeedFrom = m_formFeedTo = from;
        m_formFeedAt = std::string::npos;
    }
    if (m_formFeedAt == std::string::npos && m_formFeedTo < to) {
        // Scan all the bytes at hand, read-ahead included, so that the next lines need no scan.
        const size_t end = m_buffer.size();
        const void* hit = std::memchr(base + m_formFeedTo, kFormFeed, end - m_formFeedTo);
        m_formFeedAt =
            hit ? static_cast<size_t>(static_cast<const char*>(hit) - base) : std::string::npos;
        m_formFeedTo = end;
    }
    return m_formFeedAt != std::string::npos && m_formFeedAt < to ? m_formFeedAt
                                                                  : std::string::npos;
}

std::string Class1::LeftOver() const {
    return std::string(leftOverData(), leftOverSize());
}

void Class1::dropLeftOverFront(size_t count) {
    m_bufferStart += std::min(count, leftOverSize());
}

int16_t Class1::cfOpenFile() {
    // An object serves one file; opening again replaces its file instead of leaking the first.
    cfCloseFile();
    int16_t number = 0;
    int64_t length = 0;
    int error = channels::open(m_FileName, number, length);
    if (number != 0)
        m_ChannelNumber = number;
    if (error != 0)
        return static_cast<int16_t>(error);
    m_ownChannel = number;
    m_BytesLeft = length;
    return 0;
}

void Class1::cfCloseFile() {
    if (m_ownChannel != 0 && m_readAheadChannel == m_ownChannel)
        dropReadAhead();
    if (m_ownChannel != 0)
        channels::close(m_ownChannel);
    m_ownChannel = 0;
}

void Class1::csFillBuffer() {
    if (!m_EndOfFile) {
        if (m_BufferSize < 1)
            throw InvalidArgumentError("BufferSize is " + std::to_string(m_BufferSize) +
                                       "; it must be at least 1.");
        if (m_BufferSize > kMaxBufferSize)
            throw OverflowError("Overflow: BufferSize is " + std::to_string(m_BufferSize) +
                                "; it must not exceed 32767.");
        if (!channels::isOpen(m_ChannelNumber))
            throw ClosedChannelError("Bad file name or number: no file is open on channel " +
                                     std::to_string(m_ChannelNumber) + "; call cfOpenFile first.");
        // Bytes read ahead from another channel belong to that channel's next reader.
        if (m_readAheadChannel != 0 && m_readAheadChannel != m_ChannelNumber)
            giveReadAheadBack();
        const size_t have = leftOverSize();
        int64_t count = 0;
        if (have < static_cast<size_t>(m_BufferSize)) {
            count = m_BufferSize - static_cast<int64_t>(have);
            if (count > m_BytesLeft)
                count = m_BytesLeft;
        }
        if (count < 0)
            throw InvalidArgumentError("BytesLeft is " + std::to_string(m_BytesLeft) +
                                       "; it cannot be negative.");
        if (count > 0)
            admit(static_cast<size_t>(count));
    }
    if ((m_nextLineInText ? text() : nextLine()).empty() && leftOverSize() == 0 && m_BytesLeft == 0)
        m_EndOfFile = true;
    runEventPass();
}

void Class1::csDetectDelimiter() {
    const std::string_view buffer(leftOverData(), leftOverSize());
    // Positions are 1-based, as limit is: a candidate must start before the buffer's last
    // character, and the one that starts first wins (CR LF over the CR that begins it).
    size_t limit = buffer.size();
    const size_t crLf = findExact(buffer, "\r\n");
    const size_t lf = buffer.find('\n');
    const size_t cr = buffer.find('\r');
    if (crLf != std::string_view::npos && crLf + 1 < limit) {
        m_LineDelimiter = "\r\n";
        limit = crLf + 1;
    }
    if (lf != std::string_view::npos && lf + 1 < limit) {
        m_LineDelimiter = "\n";
        limit = lf + 1;
    }
    if (cr != std::string_view::npos && cr + 1 < limit)
        m_LineDelimiter = "\r";
}

void Class1::csExtractNextLine() {
    csFillBuffer();
    const char* data = leftOverData();
    const size_t size = leftOverSize();
    if (m_FixedWidthLineLength != 0) {
        if (m_FixedWidthLineLength < 0)
            throw InvalidArgumentError("FixedWidthLineLength is " +
                                       std::to_string(m_FixedWidthLineLength) +
                                       "; it cannot be negative.");
        if (m_FixedWidthLineLength > kMaxFixedWidth)
            throw OverflowError("Overflow: FixedWidthLineLength is " +
                                std::to_string(m_FixedWidthLineLength) +
                                "; it must not exceed 32766.");
        const size_t take = std::min(size, static_cast<size_t>(m_FixedWidthLineLength));
        nextLine().assign(data, take);
        dropLeftOverFront(take);
        return;
    }
    if (m_LineDelimiter.empty())
        csDetectDelimiter();
    const size_t delimiter = m_LineDelimiter.empty()
                                 ? std::string_view::npos
                                 : findExact(std::string_view(data, size), m_LineDelimiter);
    const size_t searchEnd = delimiter == std::string_view::npos ? size : delimiter;
    const size_t formFeed = firstFormFeed(m_bufferStart, m_bufferStart + searchEnd);
    if (formFeed != std::string::npos) {
        const size_t at = formFeed - m_bufferStart;
        nextLine().assign(data, at);
        dropLeftOverFront(at + 1);
    } else if (delimiter != std::string_view::npos) {
        nextLine().assign(data, delimiter);
        dropLeftOverFront(delimiter + m_LineDelimiter.size());
    } else {
        nextLine().assign(data, size);
        dropLeftOverFront(size);
    }
}

void Class1::applyLineFilters() {
    if (m_StripLeadingSpaces) {
        const size_t first = text().find_first_not_of(' ');
        text().erase(0, first == std::string::npos ? text().size() : first);
    }
    if (m_StripTrailingSpaces) {
        const size_t last = text().find_last_not_of(' ');
        text().resize(last == std::string::npos ? 0 : last + 1);
    }
    if (m_OnlyAlphaNumericCharacters) {
        // Most lines hold nothing to remove; only a line that does is rewritten.
        auto outside = [](char c) {
            const auto code = static_cast<unsigned char>(c);
            return code < 32 || code > 126;
        };
        if (mayHoldUnprintable(text()))
            text().erase(std::remove_if(text().begin(), text().end(), outside), text().end());
    }
}

void Class1::takeLine(bool fetchFirst) {
    if (fetchFirst || !bolNextLineLoaded)
        previousLine() = text();
    else
        std::swap(m_previousSlot, m_textSlot); // Text is overwritten next, before anything can fail
    for (;;) {
        if (fetchFirst || !bolNextLineLoaded) {
            csExtractNextLine();
            bolNextLineLoaded = true;
            fetchFirst = false;
        }
        const bool filtered =
            m_StripLeadingSpaces || m_StripTrailingSpaces || m_OnlyAlphaNumericCharacters;
        if (filtered)
            text() = nextLine();
        else
            std::swap(m_textSlot,
                      m_nextSlot); // Text stays raw, so it can stand in for NextLine below
        m_LinesRead += 1;
        if (m_CountOnlyNonBlankLines && isBlank(text()))
            m_LinesRead -= 1;
        if (filtered) {
            applyLineFilters();
            csExtractNextLine();
        } else {
            m_nextLineInText = true;
            try {
                csExtractNextLine();
            } catch (...) {
                m_nextLineInText = false;
                nextLine() = text();
                throw;
            }
            m_nextLineInText = false;
        }
        if (!(m_NoBlankLines && isBlank(text()) && !m_EndOfFile))
            return;
    }
}

void Class1::csGetALine() {
    takeLine(false);
}

void Class1::csFindLine(const std::string& strStringToFind, bool bolIgnoreCase) {
    if (text().empty())
        csGetALine();
    for (;;) {
        const bool found = findText(text(), strStringToFind, bolIgnoreCase) != std::string::npos;
        if (!found)
            csGetALine();
        if (m_EndOfFile || found)
            return;
    }
}

void Class1::csFindInFile(const std::string& strStringToFind, bool bolIgnoreCase) {
    const size_t length = strStringToFind.size();
    // The buffer keeps the string's length between refills; a string as long as the buffer
    // would leave no room for new data and the search would never end.
    if (m_BufferSize < 1 || length >= static_cast<size_t>(m_BufferSize))
        throw InvalidArgumentError("csFindInFile: the text to find is " + std::to_string(length) +
                                   " characters long; it must be shorter than BufferSize (" +
                                   std::to_string(m_BufferSize) + ").");
    nextLine().clear();
    text().clear();
    csFillBuffer();
    size_t at;
    for (;;) {
        at = findText(std::string_view(leftOverData(), leftOverSize()), strStringToFind,
                      bolIgnoreCase);
        bool refilled = false;
        if (at == std::string::npos && m_BytesLeft > 0) {
            if (leftOverSize() > length)
                dropLeftOverFront(leftOverSize() - length);
            csFillBuffer();
            refilled = true;
        }
        runEventPass();
        if (!refilled)
            break;
    }
    if (at == std::string::npos) {
        text().clear();
        nextLine().clear();
        m_bufferStart = m_bufferEnd;
        return;
    }
    const std::string head(leftOverData(), at);
    dropLeftOverFront(at);
    takeLine(true);
    if (m_FixedWidthLineLength != 0 || m_LineDelimiter.empty())
        return;
    // The last delimiter in head that starts at position L' or later (1-based), L' being its
    // length; a head with none leaves the line as it begins at the occurrence.
    const size_t delimiterLength = m_LineDelimiter.size();
    if (head.size() < delimiterLength)
        return;
    size_t d = head.rfind(m_LineDelimiter);
    if (d == std::string::npos || d + 1 < delimiterLength)
        return;
    text() = head.substr(d + delimiterLength) + text();
    previousLine() = head.substr(0, d);
}
