// Fresh, empty folders for the tests and the fuzz targets to run the plug-in
// in: it reads its INI files and writes its bank file in the current directory.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "tools/working_directory.h"

namespace kadrel::testing {

// A new folder under `base`, removed with everything in it when this goes.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::filesystem::path& base = std::filesystem::temp_directory_path());
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return directory; }

    void write(const std::string& name, std::string_view contents) const;
    // The file's bytes; empty when it cannot be read.
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;

private:
    std::filesystem::path directory;
};

// A scratch folder that is the current directory while it lives.
class ScratchDir : public ScratchFolder {
private:
    tools::WorkingDirectory inside{path()};
};

}  // namespace kadrel::testing
