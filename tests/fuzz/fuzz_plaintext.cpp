// Plain text: any bytes open, and the plain-text save of the result never fails.
#include "docengine/Document.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    vexlo::doc::Document document =
        vexlo::doc::OpenPlainText(std::string_view(reinterpret_cast<const char *>(data), size));
    (void)vexlo::doc::SavePlainText(document);
    return 0;
}
