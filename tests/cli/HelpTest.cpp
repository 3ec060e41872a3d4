// Every option the parser knows is documented where users look, --help, the
// manual page and the help page, each with an example command that uses it.
// The list comes from the parser's own table, so an option added without
// its help fails here.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "cli/CliSupport.h"
#include "cli/CommandLine.h"

namespace qarn::test::cli {
namespace {

// One documented option: the names in its heading and its example commands.
struct DocEntry {
    std::set<std::string> names;
    std::vector<std::string> examples;
};

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::set<std::string> OptionWords(const std::string& heading) {
    std::set<std::string> names;
    for (std::string w : Words(heading))
        if (w.size() > 1 && w[0] == '-') names.insert(w.back() == ',' ? w.substr(0, w.size() - 1) : w);
    return names;
}

std::string Replace(const std::string& text, const char* pattern, const char* with) {
    return std::regex_replace(text, std::regex(pattern), with);
}

// --help: "  -c, --connection CONNECTION" begins an entry, an indented
// "qarnSqlGenCli ..." line is one of its examples, a heading ends it.
std::vector<DocEntry> HelpEntries(const std::string& help) {
    std::vector<DocEntry> entries;
    bool inEntry = false;
    std::istringstream in(help);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("  -"))
            entries.push_back({OptionWords(line), {}});
        else if (inEntry && line.starts_with("      qarnSqlGenCli "))
            entries.back().examples.push_back(line);
        inEntry = line.starts_with(" ") && (inEntry || line.starts_with("  -"));
    }
    return entries;
}

// The manual page: the line after .TP is an entry's heading, "qarnSqlGenCli
// ..." lines between .EX and .EE are its examples, .SH and .SS end it.
std::vector<DocEntry> ManualEntries(const std::string& page) {
    std::vector<DocEntry> entries;
    bool inEntry = false, heading = false, example = false;
    std::istringstream in(page);
    for (std::string line; std::getline(in, line);) {
        const std::string text = Replace(Replace(line, R"(\\f.)", ""), R"(\\-)", "-");  // no font changes
        if (heading)
            entries.push_back({OptionWords(text), {}});
        else if (text.starts_with(".SH") || text.starts_with(".SS"))
            inEntry = false;
        else if (text == ".EX" || text == ".EE")
            example = text == ".EX";
        else if (inEntry && example && text.starts_with("qarnSqlGenCli "))
            entries.back().examples.push_back(text);
        inEntry = inEntry || heading;
        heading = text == ".TP";
    }
    return entries;
}

// The help page: a table row whose first cell names the option and whose
// last cell is an example command.
std::vector<DocEntry> HelpPageEntries(const std::string& page) {
    std::vector<DocEntry> entries;
    std::istringstream in(page);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("  <tr><td>"))
            entries.push_back({OptionWords(Replace(line.substr(0, line.find("</td>")), "<[^>]*>", "")),
                               {Replace(line.substr(line.rfind("<td>")), "<[^>]*>", "")}});
    return entries;
}

void ExpectEveryOptionWithAnExample(const std::vector<DocEntry>& entries, const std::string& where) {
    ASSERT_FALSE(entries.empty()) << where;
    for (const auto& option : qarn::cli::KnownOptions()) {
        const std::string longName(option.longName), shortName(option.shortName);
        const DocEntry* entry = nullptr;
        for (const auto& e : entries)
            if (e.names.contains(longName)) entry = &e;
        if (!entry) {
            ADD_FAILURE() << where << " has no entry for " << longName;
            continue;
        }
        EXPECT_TRUE(shortName.empty() || entry->names.contains(shortName))
            << where << ": " << longName << " without " << shortName;
        bool used = false;
        for (const auto& example : entry->examples)
            for (const auto& w : Words(example)) used = used || entry->names.contains(w.substr(0, w.find('=')));
        EXPECT_TRUE(used) << where << " has no example that uses " << longName;
    }
}

TEST(CliDocumentation, EveryOptionIsInTheHelpTheManualAndTheHelpPageWithAnExample) {
    const CliRun help = RunCli({"--help"});
    ASSERT_EQ(help.exitCode, 0);
    ExpectEveryOptionWithAnExample(HelpEntries(help.out), "--help");
    ExpectEveryOptionWithAnExample(ManualEntries(ReadBytes(QARN_MAN_PAGE_SOURCE)), "the manual page");
    ExpectEveryOptionWithAnExample(HelpPageEntries(ReadBytes(QARN_HELP_PAGE_SOURCE)), "the help page");
}

}  // namespace
}  // namespace qarn::test::cli
