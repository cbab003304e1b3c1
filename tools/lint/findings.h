// What kadrel lint found, each with the file, section and key it concerns.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "tools/closest_word.h"

namespace kadrel::tools {

enum class Severity {
    Error,    // the plug-in rejects it
    Warning,  // the plug-in takes it, but not as it was probably meant
};

struct Finding {
    Severity severity;
    std::string file;
    std::string section;  // empty for the whole file
    std::string key;      // empty for the whole section
    std::string message;
};

class Findings {
public:
    void error(const std::string& file, const std::string& section, const std::string& key, const std::string& message);
    void warning(const std::string& file, const std::string& section, const std::string& key,
                 const std::string& message);

    size_t errors() const;
    size_t warnings() const;
    void print(std::ostream& out) const;

private:
    std::vector<Finding> found;
};

}  // namespace kadrel::tools
