// Stories told as arena scripts, played against the built plug-in in this
// process and compared with their expected transcripts. NAME.arena plays with
// NAME.credits.ini and NAME.buy.ini when they exist, and must print exactly
// NAME.expected, as kadrel arena would; the demo match plays with the example
// files an operator starts from.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <sstream>

#include "scratch_dir.h"
#include "test_host.h"
#include "tools/arena/arena.h"
#include "tools/arena/script.h"
#include "tools/whole_file.h"

namespace kadrel::testing {
namespace {

namespace fs = std::filesystem;

// Made absolute before any test leaves the build folder: under Wine a path
// from the root names a folder on the current drive.
const fs::path transcripts = fs::absolute(KADREL_TRANSCRIPTS);
const fs::path examples = fs::absolute(KADREL_EXAMPLES);

struct Story {
    std::string name;
    fs::path script;
    fs::path iniFolder;
    std::string iniPrefix;  // the INI files are iniFolder/iniPrefix + credits.ini and + buy.ini
};

void PrintTo(const Story& story, std::ostream* out) { *out << story.name; }

std::vector<Story> stories() {
    std::vector<Story> found = {{"demo", examples / "demo.arena", examples, ""}};
    for (const fs::directory_entry& entry : fs::directory_iterator(transcripts)) {
        if (entry.path().extension() != ".arena") continue;
        const std::string name = entry.path().stem().string();
        found.push_back({name, entry.path(), transcripts, name + "."});
    }
    return found;
}

std::string contents(const fs::path& path) {
    const std::optional<std::string> bytes = tools::readWholeFile(path.string());
    EXPECT_TRUE(bytes) << "cannot read " << path;
    return bytes.value_or("");
}

class Transcript : public ::testing::TestWithParam<Story> {};

TEST_P(Transcript, IsPlayedAsWritten) {
    const Story& story = GetParam();
    ScratchDir scratch;
    for (const char* ini : {"credits.ini", "buy.ini"}) {
        const fs::path source = story.iniFolder / (story.iniPrefix + ini);
        if (fs::exists(source)) scratch.write(ini, contents(source));
    }
    std::istringstream script(contents(story.script));
    std::ostringstream errors;
    const auto lines = tools::readScript(script, story.name + ".arena", errors);
    ASSERT_TRUE(lines) << errors.str();
    std::ostringstream out;
    {
        tools::Arena arena(pluginLibraryPath(), out);
        EXPECT_TRUE(tools::playScript(*lines, arena, story.name + ".arena", errors)) << errors.str();
    }
    EXPECT_EQ(out.str(), contents(transcripts / (story.name + ".expected")));
}

INSTANTIATE_TEST_SUITE_P(Stories, Transcript, ::testing::ValuesIn(stories()),
                         [](const ::testing::TestParamInfo<Story>& info) { return info.param.name; });

}  // namespace
}  // namespace kadrel::testing
