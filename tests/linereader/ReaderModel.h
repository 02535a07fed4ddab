// A deliberately plain re-statement of Class1's reading steps, kept for the tests only: strings are
// copied and cut the obvious way, positions are 1-based, nothing is optimised. The comparison
// tests run it beside the real reader on generated files and check that every property agrees
// after every call. It reads the file from memory and does not model channels or failures.
#pragma once

#include <cstdint>
#include <string>

struct ReaderModel {
    bool StripNulls = false;
    bool OnlyAlphaNumericCharacters = false;
    int FixedWidthLineLength = 0;
    std::string LineDelimiter;
    std::string PreviousLine;
    std::string NextLine;
    bool CountOnlyNonBlankLines = false;
    double LinesRead = 0;
    bool StripTrailingSpaces = false;
    bool StripLeadingSpaces = false;
    bool NoBlankLines = false;
    int BufferSize = 4096;
    bool EndOfFile = false;
    std::string LeftOver;
    std::string Text;
    int64_t BytesLeft = 0;
    bool bolNextLineLoaded = false;
    // Number of passes of window events the steps asked for.
    int eventPasses = 0;

    void open(const std::string& content);
    void csGetALine();
    void csFindLine(const std::string& find, bool ignoreCase);
    void csFindInFile(const std::string& find, bool ignoreCase);

    static std::string cfRemoveNulls(std::string text);
    static std::string cfKeepPrintable(std::string text);

private:
    void csFillBuffer();
    void csDetectDelimiter();
    void csExtractNextLine();
    void getALine(bool asFirstCall);

    std::string m_file;
    size_t m_readPos = 0;
};
