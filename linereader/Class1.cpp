#include "linereader/Class1.h"

#include "linereader/Channels.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace linereader {
namespace {

void noEventPass() {}
void (*g_eventPass)() = noEventPass;

void runEventPass() {
    g_eventPass();
}

bool eventPassInstalled() {
    return g_eventPass != noEventPass;
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

// First c in data[0, size), or nullptr; memchr's contract. Lines are short, so memchr's call and
// set-up cost more than the scan itself: 64 bytes are compared at a time inline instead, which
// takes most lines in one step and so keeps the loop's exit predictable; memchr takes the tail.
inline const char* findByte(const char* data, size_t size, char c) {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c);
    auto hits16 = [&](size_t at) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        return static_cast<uint64_t>(
            static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted))));
    };
    size_t at = 0;
    for (; at + 64 <= size; at += 64) {
        const uint64_t hits =
            hits16(at) | hits16(at + 16) << 16 | hits16(at + 32) << 32 | hits16(at + 48) << 48;
        if (hits != 0)
            return data + at + __builtin_ctzll(hits);
    }
    return static_cast<const char*>(std::memchr(data + at, c, size - at));
#else
    return static_cast<const char*>(std::memchr(data, c, size));
#endif
}

// Position of a needle of one or two characters (a line break), or npos: a byte search for its
// first character is much faster on short lines than a general substring search.
inline size_t findShort(std::string_view haystack, std::string_view needle) {
    if (needle.size() > haystack.size())
        return std::string_view::npos;
    const char* data = haystack.data();
    const size_t lastStart = haystack.size() - needle.size();
    size_t from = 0;
    while (from <= lastStart) {
        const char* hit = findByte(data + from, lastStart - from + 1, needle[0]);
        if (!hit)
            return std::string_view::npos;
        const size_t at = static_cast<size_t>(hit - data);
        if (needle.size() == 1 || data[at + 1] == needle[1])
            return at;
        from = at + 1;
    }
    return std::string_view::npos;
}

size_t findExact(std::string_view haystack, std::string_view needle) {
    if (needle.empty())
        return 0;
    if (needle.size() <= 2)
        return findShort(haystack, needle);
    if (needle.size() > haystack.size())
        return std::string_view::npos;
    const void* hit = ::memmem(haystack.data(), haystack.size(), needle.data(), needle.size());
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - haystack.data())
               : std::string_view::npos;
}

// Position of the first character outside codes 32 to 126 in data[0, size), or size if there is
// none. Such a character either ends a line (a line break, a form feed) or is one the clean-up
// removes, so one pass over a line tells both where it ends and whether it is clean. Compared
// 64 bytes at a time where the processor allows it, as findByte does.
[[gnu::always_inline]] inline size_t firstUnprintable(const char* data, size_t size) {
    size_t at = 0;
#if defined(__SSE2__)
    // One compare: code + 1, as a signed byte, is below 33 exactly for the codes outside 32 to
    // 126 (127 wraps round to -128, and 128 to 255 are negative already).
    const __m128i one = _mm_set1_epi8(1);
    const __m128i limit = _mm_set1_epi8(33);
    auto marks16 = [&](size_t from) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + from));
        return static_cast<uint64_t>(static_cast<uint16_t>(
            _mm_movemask_epi8(_mm_cmplt_epi8(_mm_add_epi8(block, one), limit))));
    };
    for (; at + 64 <= size; at += 64) {
        const uint64_t marks =
            marks16(at) | marks16(at + 16) << 16 | marks16(at + 32) << 32 | marks16(at + 48) << 48;
        if (marks != 0)
            return at + static_cast<size_t>(__builtin_ctzll(marks));
    }
    for (; at + 16 <= size; at += 16)
        if (const uint64_t marks = marks16(at))
            return at + static_cast<size_t>(__builtin_ctzll(marks));
#endif
    for (; at < size; ++at)
        if (static_cast<unsigned char>(data[at]) - 32u > 126u - 32u)
            return at;
    return size;
}

[[gnu::always_inline]] inline bool isPrintable(char c) {
    return static_cast<unsigned char>(c) - 32u <= 126u - 32u;
}

// Copies the characters of data[0, size) with codes 32 to 126 to out, in order, and returns how
// many there were. out may be data itself or lie before it: no character is written before it
// has been read.
size_t copyPrintablePlain(char* out, const char* data, size_t size) {
    size_t kept = 0;
    for (size_t at = 0; at < size; ++at) {
        out[kept] = data[at];
        kept += isPrintable(data[at]);
    }
    return kept;
}

#if defined(__SSE2__)
// For each 8-bit mask, the positions of its set bits, in order: the byte shuffle that packs the
// characters kept out of 8 to the front. And how many of them there are.
struct PackTable {
    uint8_t order[256][8] = {};
    uint8_t count[256] = {};
    constexpr PackTable() {
        for (int mask = 0; mask < 256; ++mask)
            for (int bit = 0; bit < 8; ++bit)
                if (mask & 1 << bit)
                    order[mask][count[mask]++] = static_cast<uint8_t>(bit);
    }
};
constexpr PackTable kPack;

// copyPrintablePlain's work 16 characters a step, without a branch per character or per run: text
// that is not ASCII (UTF-8, say) has characters to remove every few words, which a branch cannot
// foresee. Each half of the 16 is packed by its byte shuffle and stored whole, 8 characters; the
// next store starts where the characters kept end. No store reaches beyond the 16 characters
// taken so far, so out needs no more room than for the plain copy and may overlap data alike.
[[gnu::target("ssse3")]] size_t copyPrintableShuffled(char* out, const char* data, size_t size) {
    const __m128i highHalf = _mm_set_epi8(8, 8, 8, 8, 8, 8, 8, 8, 0, 0, 0, 0, 0, 0, 0, 0);
    size_t kept = 0;
    size_t at = 0;
    for (; at + 16 <= size; at += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        const auto keep = static_cast<unsigned>(~_mm_movemask_epi8(
            _mm_cmplt_epi8(_mm_add_epi8(block, _mm_set1_epi8(1)), _mm_set1_epi8(33))));
        const unsigned low = keep & 0xFF;
        const unsigned high = keep >> 8 & 0xFF;
        const __m128i order =
            _mm_add_epi8(_mm_unpacklo_epi64(
                             _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kPack.order[low])),
                             _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kPack.order[high]))),
                         highHalf);
        const __m128i packed = _mm_shuffle_epi8(block, order);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + kept), packed);
        kept += kPack.count[low];
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + kept),
                         _mm_unpackhi_epi64(packed, packed));
        kept += kPack.count[high];
    }
    return kept + copyPrintablePlain(out + kept, data + at, size - at);
}
#endif

// copyPrintablePlain's work, by shuffles where the processor has them.
size_t copyPrintable(char* out, const char* data, size_t size) {
#if defined(__SSE2__)
    static const bool shuffles = (__builtin_cpu_init(), __builtin_cpu_supports("ssse3"));
    if (shuffles)
        return copyPrintableShuffled(out, data, size);
#endif
    return copyPrintablePlain(out, data, size);
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
    m_buffer = value + m_buffer.substr(std::min(m_bufferEnd, m_buffer.size()));
    m_bufferStart = 0;
    m_bufferEnd = value.size();
    forgetFormFeeds();
}

void Class1::dropReadAhead() {
    m_buffer.resize(m_bufferEnd);
    m_readAheadChannel = 0;
    forgetFormFeeds();
}

void Class1::giveReadAheadBack() {
    if (m_readAheadChannel != 0)
        channels::unread(m_readAheadChannel, std::string_view(m_buffer).substr(m_bufferEnd), this);
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
    std::memmove(base, base + m_bufferStart, m_buffer.size() - m_bufferStart);
    m_buffer.resize(m_buffer.size() - m_bufferStart);
    m_bufferStart = 0;
    m_bufferEnd = kept;
    forgetFormFeeds();
}

// Moves count bytes of the file from the read-ahead into LeftOver, reading ahead again first when
// it holds fewer; a file that ends early leaves BytesLeft 0.
void Class1::admit(size_t count) {
    size_t readAhead = m_buffer.size() - m_bufferEnd;
    if (readAhead < count) {
        const int64_t unreadOfFile = m_BytesLeft - static_cast<int64_t>(readAhead);
        const size_t want =
            std::max(count - readAhead,
                     static_cast<size_t>(std::min<int64_t>(kReadAheadSize, unreadOfFile)));
        if (m_bufferStart > 0 && m_buffer.size() + want > kReadAheadSize + kSlack * count)
            compactBuffer();
        channels::append(m_ChannelNumber, m_buffer, want, this, &Class1::releaseReadAhead);
        m_readAheadChannel = m_ChannelNumber;
        readAhead = m_buffer.size() - m_bufferEnd;
    }
    const size_t take = std::min(count, readAhead);
    if (m_StripNulls && hasNul(m_bufferEnd, take))
        removeNulsFromChunk(take);
    m_bufferEnd += take;
    // A file that shrank while open ends where its data ends; otherwise BytesLeft would never
    // reach 0 and a reader passing over blank lines would never stop.
    m_BytesLeft = take < count ? 0 : m_BytesLeft - static_cast<int64_t>(count);
}

void Class1::removeNulsFromChunk(size_t count) {
    // The NULs are cut out where the chunk lies and LeftOver moves up behind what is left, so
    // that LeftOver still ends where the read-ahead begins and later refills move nothing.
    // LeftOver is the short side to move: about BufferSize characters, the read-ahead 64 KiB.
    char* base = m_buffer.data();
    const size_t start = m_bufferStart;
    const size_t end = m_bufferEnd + count;
    const bool formFeedsKnown = m_formFeedFrom <= start && m_formFeedTo >= end &&
                                (m_formFeedAt == std::string::npos || m_formFeedAt >= end);
    char* kept = std::remove(base + m_bufferEnd, base + end, '\0');
    const size_t removed = static_cast<size_t>(base + end - kept);
    std::memmove(base + start + removed, base + start, end - removed - start);
    m_bufferStart += removed;
    // No form feed was there to move, so what the scan knew still holds from the new start on.
    if (formFeedsKnown)
        m_formFeedFrom = m_bufferStart;
    else
        forgetFormFeeds();
    m_nulFreeFrom = m_nulFreeTo = 0;
}

bool Class1::scanForNul(size_t from, size_t count) {
    // The read-ahead is scanned once up to its first NUL, not once per refill.
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
        if (m_BufferSize < 1 || m_BufferSize > kMaxBufferSize)
            throwBadBufferSize();
        if (!channels::isOpen(m_ChannelNumber))
            throwClosedChannel();
        // Bytes read ahead from another channel belong to that channel's next reader.
        if (m_readAheadChannel != m_ChannelNumber && m_readAheadChannel != 0)
            giveReadAheadBack();
        const int64_t count = refillCount();
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

int64_t Class1::refillCount() const {
    const size_t have = leftOverSize();
    if (have >= static_cast<size_t>(m_BufferSize))
        return 0;
    return std::min<int64_t>(m_BufferSize - static_cast<int64_t>(have), m_BytesLeft);
}

void Class1::throwBadBufferSize() const {
    if (m_BufferSize < 1)
        throw InvalidArgumentError("BufferSize is " + std::to_string(m_BufferSize) +
                                   "; it must be at least 1.");
    throw OverflowError("Overflow: BufferSize is " + std::to_string(m_BufferSize) +
                        "; it must not exceed 32767.");
}

void Class1::throwClosedChannel() const {
    throw ClosedChannelError("Bad file name or number: no file is open on channel " +
                             std::to_string(m_ChannelNumber) + "; call cfOpenFile first.");
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
    // A form feed that begins the delimiter itself still counts as the form feed.
    const size_t searchEnd = delimiter == std::string_view::npos ? size : delimiter + 1;
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

void Class1::cleanLine(std::string& line, bool printable) const {
    // In place: the line is usually dropped once cleaned, so nothing is copied out of it, and only
    // what the leading spaces leave behind moves.
    size_t first = 0;
    size_t size = line.size();
    if (m_StripLeadingSpaces)
        first = std::min(line.find_first_not_of(' '), size);
    if (m_StripTrailingSpaces) {
        const size_t last = line.find_last_not_of(' ');
        size = last == std::string::npos || last < first ? first : last + 1;
    }
    size -= first;
    char* data = line.data();
    size_t clean = size;
    if (m_OnlyAlphaNumericCharacters && !printable)
        clean = firstUnprintable(data + first, size);
    if (first > 0)
        std::memmove(data, data + first, clean);
    if (clean < size)
        size = clean + copyPrintable(data + clean, data + first + clean, size - clean);
    line.resize(size);
}

void Class1::takeLine(bool fetchFirst) {
    const bool filtered =
        m_StripLeadingSpaces || m_StripTrailingSpaces || m_OnlyAlphaNumericCharacters;
    bool rotate = false;
    if (fetchFirst || !bolNextLineLoaded) {
        previousLine() = text();
        csExtractNextLine();
        bolNextLineLoaded = true;
    } else if (filtered) {
        std::swap(m_previous, m_text); // Text is overwritten next, before anything can fail
    } else {
        rotate = true;
    }
    for (;;) {
        // Counted by the raw line, before the clean-up options change it.
        m_LinesRead += 1;
        if (m_CountOnlyNonBlankLines && isBlank(nextLine()))
            m_LinesRead -= 1;
        if (filtered) {
            text() = nextLine();
            cleanLine(text(), false);
        } else if (rotate) {
            // PreviousLine takes Text, Text takes the raw NextLine, and the old PreviousLine's
            // storage is reused for the line read next. All three pointers are read before any
            // is written: interleaved swaps were a store-forwarding stall on every line.
            std::string* const spare = m_previous;
            m_previous = m_text;
            m_text = m_next;
            m_next = spare;
            rotate = false;
        } else {
            std::swap(m_text, m_next); // Text is the raw line and stands in for NextLine
        }
        if (filtered) {
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

bool Class1::takePlainLine() {
    // With an event pass installed, each refill runs it, and whatever it does to this object
    // must be seen by the steps after it: only the full steps do that.
    if (!bolNextLineLoaded || m_EndOfFile || m_NoBlankLines || m_FixedWidthLineLength != 0 ||
        eventPassInstalled())
        return false;
    const size_t delimiterSize = m_LineDelimiter.size();
    if (delimiterSize == 0 || delimiterSize > 2 || m_BufferSize < 1 ||
        m_BufferSize > kMaxBufferSize || m_BytesLeft < 0 || !channels::isOpen(m_ChannelNumber) ||
        m_readAheadChannel != m_ChannelNumber)
        return false;
    // The refill: LeftOver grows towards BufferSize from the read-ahead behind it.
    const auto count = static_cast<size_t>(refillCount());
    if (m_buffer.size() - m_bufferEnd < count ||
        (m_StripNulls && count > 0 && hasNul(m_bufferEnd, count)))
        return false;
    // The line after: it must end at a line break inside LeftOver, with no form feed before it
    // or at it. Usually the line break is the line's first unprintable character; that tells
    // both, and that the line is clean.
    const size_t end = m_bufferEnd + count;
    const char* data = m_buffer.data() + m_bufferStart;
    const size_t size = end - m_bufferStart;
    size_t found = firstUnprintable(data, size);
    const bool printable = found + delimiterSize <= size && data[found] == m_LineDelimiter[0] &&
                           data[found] != kFormFeed &&
                           (delimiterSize == 1 || data[found + 1] == m_LineDelimiter[1]);
    if (!printable) {
        found = findShort(std::string_view(data, size), m_LineDelimiter);
        if (found == std::string_view::npos)
            return false;
        const size_t lineEnd = m_bufferStart + found;
        const bool scannedForFormFeeds =
            m_formFeedFrom <= m_bufferStart && m_bufferStart <= m_formFeedTo &&
            (m_formFeedAt == std::string::npos ? lineEnd < m_formFeedTo : m_formFeedAt > lineEnd);
        if (!scannedForFormFeeds)
            return false;
    }

    m_LinesRead += 1;
    if (m_CountOnlyNonBlankLines && isBlank(*m_next))
        m_LinesRead -= 1;
    // PreviousLine takes Text, Text the NextLine, cleaned where it lies, and the storage left over
    // takes the line after. The pointers are used from locals: read back right after being
    // stored, they stalled every line.
    std::string* const previous = m_previous;
    std::string* const next = m_next;
    m_previous = m_text;
    m_text = next;
    m_next = previous;
    if (m_StripLeadingSpaces || m_StripTrailingSpaces || m_OnlyAlphaNumericCharacters)
        cleanLine(*next, m_nextLinePrintable);
    m_bufferEnd = end;
    m_BytesLeft -= static_cast<int64_t>(count);
    previous->assign(data, found);
    m_bufferStart += found + delimiterSize;
    m_nextLinePrintable = printable;
    return true;
}

void Class1::csGetALine() {
    if (!takePlainLine())
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
        // Once EndOfFile is set no refill reads, so BytesLeft that a caller wrote after the end
        // would otherwise keep the search going for ever.
        if (at == std::string::npos && m_BytesLeft > 0 && !m_EndOfFile) {
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
