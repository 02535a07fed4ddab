// Scratch files for the line reader's tests: each test gets its own folder under the system's
// temporary directory, removed with everything in it when the test ends.
#pragma once

#include <string>

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return m_path; }
    // Writes content to name inside the folder and returns the file's full path.
    std::string write(const std::string& name, const std::string& content) const;

private:
    std::string m_path;
};
