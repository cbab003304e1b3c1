// A folder made the current one while this lives: the plug-in names its
// files (the INI files, the bank and its journal) relative to it.
#pragma once

#include <filesystem>
#include <system_error>

namespace kadrel::tools {

class WorkingDirectory {
public:
    // An empty path leaves the current folder as it is.
    explicit WorkingDirectory(const std::filesystem::path& directory) : previous(std::filesystem::current_path()) {
        if (!directory.empty()) std::filesystem::current_path(directory);
    }
    ~WorkingDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(previous, ignored);
    }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::filesystem::path previous;
};

}  // namespace kadrel::tools
