// Script and data-link files: what the writer refuses, and how lines of
// every encoding come back (what is written is proven by the round trips).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ado/AdoError.h"
#include "support/TestSupport.h"
#include "textfile/TextFile.h"

using namespace qarn;
using namespace qarn::textfile;
using namespace std::string_literals;

namespace {
std::vector<std::string> AllLines(const std::string& path) {
    TextReader r(path);
    std::vector<std::string> lines;
    while (!r.AtEndOfStream()) lines.push_back(r.ReadLine());
    return lines;
}

std::string Utf16Le(const std::u16string& s, bool bom = true) {
    std::string out = bom ? "\xFF\xFE" : "";
    for (char16_t c : s) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}
}  // namespace

TEST(TextFileTest, WriterRefusesAFolderAndAMissingFolder) {
    std::string dir = test::ScratchPath("folder");
    std::filesystem::create_directory(dir);
    EXPECT_THROW(TextWriter w(dir), ado::AdoError);
    EXPECT_TRUE(std::filesystem::is_directory(dir));
    EXPECT_THROW(TextWriter w(dir + "/missing/x.sql"), ado::AdoError);
    EXPECT_FALSE(FileExists(dir));
    EXPECT_THROW(DeleteFile(dir), ado::AdoError);
    EXPECT_TRUE(std::filesystem::is_directory(dir));
}

TEST(TextFileTest, Utf16WithMarkIsDecodedAcrossChunkBoundaries) {
    // A long line whose surrogate pair straddles the reader's chunk size.
    std::string path = test::ScratchPath("long16.txt");
    std::u16string longLine(32766, u'x');  // after the mark, the high half ends the first 64 KB
    longLine += u"\U0001F377";
    longLine += std::u16string(40000, u'y');
    test::WriteBytes(path, Utf16Le(longLine + u"\r\nend"));
    auto lines = AllLines(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(32766, 'x') + "🍷" + std::string(40000, 'y'));
    EXPECT_EQ(lines[1], "end");
}

TEST(TextFileTest, EveryEncodingReadsAlikeFromAFileAndAPipe) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"UTF-8 with its mark",
         "\xEF\xBB\xBF"
         "a\r\nb\n",
         {"a", "b"}},
        // A line ends at LF, one CR before it dropped.
        {"mixed endings", "a\r\nb\nc\r\r\n\r\nlast", {"a", "b", "c\r", "", "last"}},
        {"empty", "", {}},
        {"UTF-16BE",
         "\xFE\xFF\x00"
         "a\x00\r\x00\n\xD8\x3C\xDF\x77"s,
         {"a", "🍷"}},
        // A file cut inside a character shows that something was there.
        {"UTF-16LE cut short", Utf16Le(u"ab") + "c", {"ab\uFFFD"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = test::ScratchPath("enc.txt");
        test::WriteBytes(path, c.bytes);
        EXPECT_EQ(AllLines(path), c.lines);
        test::PipeFile pipe(c.bytes);
        EXPECT_EQ(AllLines(pipe.path()), c.lines);
    }
}

TEST(TextFileTest, LinesUpTo256MBAreReadAndALongerOneFailsNamingFileAndLine) {
    // Sparse files: the lines are runs of NUL bytes that take no disk space.
    constexpr uintmax_t kLimit = uintmax_t{256} << 20;
    std::string path = test::ScratchPath("long.sql");
    test::WriteBytes(path, "first\n");
    std::filesystem::resize_file(path, 6 + kLimit);
    std::ofstream(path, std::ios::app | std::ios::binary) << "\nlast";
    {
        TextReader r(path);
        EXPECT_EQ(r.ReadLine(), "first");
        EXPECT_EQ(r.ReadLine().size(), kLimit);
        EXPECT_EQ(r.ReadLine(), "last");
    }
    path = test::ScratchPath("longer.sql");
    test::WriteBytes(path, "first\n");
    std::filesystem::resize_file(path, 6 + kLimit + 1);
    TextReader r(path);
    EXPECT_EQ(r.ReadLine(), "first");
    try {
        r.ReadLine();
        FAIL() << "a line over 256 MB was read";
    } catch (const ado::AdoError& e) {
        EXPECT_EQ(e.Description(), "Line 2 of '" + path + "' is longer than 256 MB");
    }
}
