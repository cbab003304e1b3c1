#include "scratch_dir.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>

#include "tools/whole_file.h"

namespace kadrel::testing {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(const fs::path& base) {
    static std::atomic<unsigned> serial{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        directory = base / ("kadrel-test-" + std::to_string(stamp) + "-" + std::to_string(serial++));
        if (fs::create_directory(directory)) return;
    }
    throw std::runtime_error("cannot make a scratch directory under " + base.string());
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(directory, ignored);
}

void ScratchFolder::write(const std::string& name, std::string_view contents) const {
    std::ofstream file(directory / name, std::ios::binary | std::ios::trunc);
    file.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!file) throw std::runtime_error("cannot write " + name);
}

std::string ScratchFolder::read(const std::string& name) const {
    return tools::readWholeFile((directory / name).string()).value_or("");
}

bool ScratchFolder::exists(const std::string& name) const { return fs::exists(directory / name); }

}  // namespace kadrel::testing
