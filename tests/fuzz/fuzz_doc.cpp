// The .doc reader: any bytes either read or give a FormatError; nothing else may happen (a
// crash, a sanitizer finding, another exception, more memory than the fuzzer's limit).
#include "docengine/Readers.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        (void)vexlo::doc::ReadLegacyDoc(std::string_view(reinterpret_cast<const char *>(data), size));
    } catch (const vexlo::doc::FormatError &) {
    }
    return 0;
}
