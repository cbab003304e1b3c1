// A fresh, empty working directory for one test: the plug-in reads its INI
// files and writes its bank file in the current directory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kadrel::testing {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return directory; }

    void write(const std::string& name, std::string_view contents) const;
    std::string read(const std::string& name) const;
    std::vector<uint8_t> readBytes(const std::string& name) const;
    bool exists(const std::string& name) const;

private:
    std::filesystem::path previous;
    std::filesystem::path directory;
};

}  // namespace kadrel::testing
