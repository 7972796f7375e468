// Any bytes as a project file: open, and when it opens, save and reopen it identical.
#include "RoundTrip.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Not copied: a read past the end of the input is caught by AddressSanitizer.
    RoundTrip::checkProjectBytes(
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
