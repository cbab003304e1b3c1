#include "scratch_dir.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kadrel::testing {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() : previous(fs::current_path()) {
    static std::atomic<unsigned> serial{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        directory = fs::temp_directory_path() /
                    ("kadrel-test-" + std::to_string(stamp) + "-" + std::to_string(serial++));
        if (fs::create_directory(directory)) {
            fs::current_path(directory);
            return;
        }
    }
    throw std::runtime_error("cannot make a scratch directory");
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::current_path(previous, ignored);
    fs::remove_all(directory, ignored);
}

void ScratchDir::write(const std::string& name, std::string_view contents) const {
    std::ofstream file(directory / name, std::ios::binary | std::ios::trunc);
    file.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!file) throw std::runtime_error("cannot write " + name);
}

std::string ScratchDir::read(const std::string& name) const {
    std::ifstream file(directory / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> ScratchDir::readBytes(const std::string& name) const {
    const std::string contents = read(name);
    return std::vector<uint8_t>(contents.begin(), contents.end());
}

bool ScratchDir::exists(const std::string& name) const { return fs::exists(directory / name); }

}  // namespace kadrel::testing
