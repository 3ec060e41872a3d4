// Every option the parser knows is documented where users look, --help, the
// manual page and the help page, each with an example command that uses it.  The list
// comes from the parser's own table, so an option added without its help
// fails here.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

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
        if (w.size() > 1 && w[0] == '-') {
            if (w.back() == ',') w.pop_back();
            names.insert(w);
        }
    return names;
}

// --help: "  -c, --connection CONNECTION" begins an entry, an indented
// "qarnSqlGenCli ..." line is one of its examples, a heading ends it.
std::vector<DocEntry> HelpEntries(const std::string& help) {
    std::vector<DocEntry> entries;
    bool inEntry = false;
    std::istringstream in(help);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("  -")) {
            entries.push_back({OptionWords(line), {}});
            inEntry = true;
        } else if (!line.starts_with(" ")) {
            inEntry = false;
        } else if (inEntry && line.find_first_not_of(' ') == 6 && line.substr(6).starts_with("qarnSqlGenCli ")) {
            entries.back().examples.push_back(line);
        }
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
        std::string text;  // without font changes, "\-" as "-"
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '-') {
                text += '-';
                ++i;
            } else if (line[i] == '\\' && i + 2 < line.size() && line[i + 1] == 'f') {
                i += 2;
            } else {
                text += line[i];
            }
        }
        if (heading) {
            entries.push_back({OptionWords(text), {}});
            inEntry = true;
            heading = false;
        } else if (text == ".TP") {
            heading = true;
        } else if (text.starts_with(".SH") || text.starts_with(".SS")) {
            inEntry = false;
        } else if (text == ".EX" || text == ".EE") {
            example = text == ".EX";
        } else if (inEntry && example && text.starts_with("qarnSqlGenCli ")) {
            entries.back().examples.push_back(text);
        }
    }
    return entries;
}

// The help page: a table row whose first cell names the option and whose
// last cell is an example command.
std::vector<DocEntry> HelpPageEntries(const std::string& page) {
    auto withoutTags = [](const std::string& cell) {
        std::string text;
        bool inTag = false;
        for (char ch : cell) {
            if (ch == '<' || ch == '>') inTag = ch == '<';
            else if (!inTag) text += ch;
        }
        return text;
    };
    std::vector<DocEntry> entries;
    std::istringstream in(page);
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with("  <tr><td>")) continue;
        const std::string first = line.substr(0, line.find("</td>"));
        const std::string last = line.substr(line.rfind("<td>"));
        entries.push_back({OptionWords(withoutTags(first)), {withoutTags(last)}});
    }
    return entries;
}

std::string ReadText(const char* path) {
    std::ifstream in(path);
    EXPECT_TRUE(in) << path;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void ExpectEveryOptionWithAnExample(const std::vector<DocEntry>& entries, const std::string& where) {
    for (const auto& option : qarn::cli::KnownOptions()) {
        const std::string longName(option.longName), shortName(option.shortName);
        const DocEntry* entry = nullptr;
        for (const auto& e : entries)
            if (e.names.contains(longName)) entry = &e;
        if (!entry) {
            ADD_FAILURE() << where << " has no entry for " << longName;
            continue;
        }
        if (!shortName.empty()) {
            EXPECT_TRUE(entry->names.contains(shortName)) << where << ": " << longName << " without " << shortName;
        }
        bool used = false;
        for (const auto& example : entry->examples)
            for (const auto& w : Words(example)) used = used || entry->names.contains(w.substr(0, w.find('=')));
        EXPECT_TRUE(used) << where << " has no example that uses " << longName;
    }
}

TEST(CliDocumentation, EveryOptionIsInTheHelpTheManualAndTheHelpPageWithAnExample) {
    CliRun help = RunCli({"--help"});
    ASSERT_EQ(help.exitCode, 0);
    const std::vector<DocEntry> helpEntries = HelpEntries(help.out);
    ASSERT_FALSE(helpEntries.empty()) << help.out;
    ExpectEveryOptionWithAnExample(helpEntries, "--help");

    const std::vector<DocEntry> manualEntries = ManualEntries(ReadText(QARN_MAN_PAGE_SOURCE));
    ASSERT_FALSE(manualEntries.empty());
    ExpectEveryOptionWithAnExample(manualEntries, "the manual page");

    const std::vector<DocEntry> pageEntries = HelpPageEntries(ReadText(QARN_HELP_PAGE_SOURCE));
    ASSERT_FALSE(pageEntries.empty());
    ExpectEveryOptionWithAnExample(pageEntries, "the help page");
}

}  // namespace
}  // namespace qarn::test::cli
