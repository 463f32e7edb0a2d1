// Feeds arbitrary bytes to the model-file reader, as a file of their own and as
// what follows a small valid model (so that the extension block's framing and
// sections are reached at once). Whatever the reader accepts must save again,
// saving what was read back must give the same bytes, and the model must go
// through JSON and back to the same bytes too.
#include "document/ModelFile.h"
#include "exchange/ModelJson.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

/// A model with two characteristics (so that table sections can name either),
/// written as a model file: what the tail of an input follows.
const std::string& modelPrefix() {
    static const std::string bytes = [] {
        quav::AnalysisModel m;
        m.mass = 10.0;
        m.addCharacteristic({});
        m.addCharacteristic({});
        return quav::writeModelBytes(m, quav::Optimizer{}).bytes;
    }();
    return bytes;
}

void check(std::string_view bytes) {
    using namespace quav;
    StudyRead first = readModelBytes(bytes);
    if (!first.ok())
        return;
    const ModelBytes written = writeModelBytes(*first.model, first.optimizer);
    if (!written.ok())
        __builtin_trap();
    StudyRead second = readModelBytes(written.bytes);
    if (!second.ok())
        __builtin_trap();
    const ModelBytes rewritten = writeModelBytes(*second.model, second.optimizer);
    if (!rewritten.ok() || rewritten.bytes != written.bytes)
        __builtin_trap();
    StudyRead json = modelFromJson(modelToJson(*first.model, first.optimizer));
    if (!json.ok())
        __builtin_trap();
    const ModelBytes throughJson = writeModelBytes(*json.model, json.optimizer);
    if (!throughJson.ok() || throughJson.bytes != written.bytes)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    check(bytes);
    check(modelPrefix() + std::string(bytes));
    return 0;
}
