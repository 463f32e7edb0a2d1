// Feeds arbitrary text to the JSON model reader. Whatever it accepts must be
// JSON, must save as a model file that reads back to the same bytes (the
// running size it checked being the file's exact size), and must write as
// JSON that reads back to the same JSON.
#include "document/ModelFile.h"
#include "exchange/ModelJson.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quav;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    StudyRead first = modelFromJson(text);
    if (!first.ok())
        return 0;
    if (!nlohmann::json::accept(text))
        __builtin_trap();
    const ModelBytes file = writeModelBytes(*first.model, first.optimizer);
    if (!file.ok() || checkModelFile(*first.model, first.optimizer).bytes != file.bytes.size())
        __builtin_trap();
    StudyRead reread = readModelBytes(file.bytes);
    if (!reread.ok())
        __builtin_trap();
    const ModelBytes rewritten = writeModelBytes(*reread.model, reread.optimizer);
    if (!rewritten.ok() || rewritten.bytes != file.bytes)
        __builtin_trap();
    const std::string json = modelToJson(*first.model, first.optimizer);
    StudyRead second = modelFromJson(json);
    if (!second.ok() || modelToJson(*second.model, second.optimizer) != json)
        __builtin_trap();
    return 0;
}
