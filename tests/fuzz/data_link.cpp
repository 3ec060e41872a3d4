// Data-link (UDL) files: the connection line of any bytes.
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "textfile/DataLinkFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto line = qarn::textfile::ConnectionLineOfDataLink(std::string(reinterpret_cast<const char*>(data), size));
    if (line) {
        FUZZ_CHECK(!line->empty());
        FUZZ_CHECK(line->find('\n') == std::string::npos);
        FUZZ_CHECK(line->back() != '\r');
    }
    return 0;
}
