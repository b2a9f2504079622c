#pragma once

#include <string>

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    explicit TempFolder(const std::string& name = "zeltor");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_Path; }
    std::string Sub(const std::string& name) const { return m_Path + "\\" + name; }

    // Writes a file of the given bytes (relative to the folder) and gives its full path.
    std::string Write(const std::string& name, const std::string& bytes = "") const;
    std::string MakeFolder(const std::string& name) const;

private:
    std::string m_Path;
};

// Reads a whole file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Waits up to the given time for a file to appear; true when it did.
bool WaitForFile(const std::string& path, unsigned milliseconds);

// The folder that holds the test program (and the helpers built beside it).
std::string TestFolder();
