// Feeds arbitrary bytes to the model-file reader. Whatever the reader accepts
// must save again, saving what was read back must give the same bytes, and
// the model must go through JSON and back to the same bytes too.
#include "document/ModelFile.h"
#include "exchange/ModelJson.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quav;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    ModelReadResult first = readModelBytes(bytes);
    if (!first.ok())
        return 0;
    const ModelBytes written = writeModelBytes(*first.model, first.optimizer);
    if (!written.ok())
        __builtin_trap();
    ModelReadResult second = readModelBytes(written.bytes);
    if (!second.ok())
        __builtin_trap();
    const ModelBytes rewritten = writeModelBytes(*second.model, second.optimizer);
    if (!rewritten.ok() || rewritten.bytes != written.bytes)
        __builtin_trap();
    JsonModel json = modelFromJson(modelToJson(*first.model, first.optimizer));
    if (!json.ok())
        __builtin_trap();
    const ModelBytes throughJson = writeModelBytes(*json.model, json.optimizer);
    if (!throughJson.ok() || throughJson.bytes != written.bytes)
        __builtin_trap();
    return 0;
}
