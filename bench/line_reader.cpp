// Reads a script file line by line through the library's TextReader and
// prints how many lines it has and how long the longest is, so that
// line_reader.sh can time the reader and take its peak memory.
#include <cstdio>
#include <exception>

#include "textfile/TextFile.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: line_reader FILE\n");
        return 2;
    }
    try {
        qarn::textfile::TextReader reader(argv[1]);
        size_t lines = 0, longest = 0;
        while (!reader.AtEndOfStream()) {
            std::string line = reader.ReadLine();
            ++lines;
            if (line.size() > longest) longest = line.size();
        }
        std::printf("%zu lines, longest %zu bytes\n", lines, longest);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "line_reader: %s\n", e.what());
        return 1;
    }
}
