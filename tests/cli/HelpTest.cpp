// Every option the parser knows is documented where users look, --help, the
// manual page and the help page, under its names and with an example command
// that uses it.  The list comes from the parser's own table, so an option
// added without its help fails here.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "cli/CliSupport.h"
#include "cli/CommandLine.h"

namespace qarn::test::cli {
namespace {

// The text as it reads: no font changes or escaped hyphens of the manual
// page, no tags of the help page.
std::string Plain(const std::string& text) {
    return std::regex_replace(std::regex_replace(text, std::regex(R"(\\f.|</?[a-z][^<>\n]*>)"), ""),
                              std::regex(R"(\\-)"), "-");
}

// The option names in the example commands: each line's text from
// "qarnSqlGenCli " on.
std::set<std::string> ExampleWords(const std::string& text) {
    std::set<std::string> words;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.find("qarnSqlGenCli ") == std::string::npos) continue;
        std::istringstream example(line.substr(line.find("qarnSqlGenCli ")));
        for (std::string w; example >> w;) words.insert(w.substr(0, w.find('=')));
    }
    return words;
}

TEST(CliDocumentation, EveryOptionIsInTheHelpTheManualAndTheHelpPageWithAnExample) {
    const CliRun help = RunCli({"--help"});
    ASSERT_EQ(help.exitCode, 0);
    const std::pair<const char*, std::string> documents[] = {
        {"--help", help.out},
        {"the manual page", Plain(ReadBytes(QARN_MAN_PAGE_SOURCE))},
        {"the help page", Plain(ReadBytes(QARN_HELP_PAGE_SOURCE))}};
    for (const auto& [where, text] : documents) {
        const std::set<std::string> examples = ExampleWords(text);
        for (const auto& option : qarn::cli::KnownOptions()) {
            const std::string longName(option.longName), shortName(option.shortName);
            const std::string names = shortName.empty() ? longName : shortName + ", " + longName;
            EXPECT_TRUE(Contains(text, names)) << where << " has no entry for " << names;
            EXPECT_TRUE(examples.contains(longName) || examples.contains(shortName))
                << where << " has no example that uses " << longName;
        }
    }
}

}  // namespace
}  // namespace qarn::test::cli
