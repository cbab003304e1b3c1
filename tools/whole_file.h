// Reading a whole file for the kadrel program's sub-commands.
#pragma once

#include <optional>
#include <string>

namespace kadrel::tools {

// The file's bytes, or std::nullopt when it cannot be opened or a read fails
// (a directory, say).
std::optional<std::string> readWholeFile(const std::string& path);

}  // namespace kadrel::tools
