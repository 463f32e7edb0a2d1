#include "exchange/ObjectivesJson.h"

#include <algorithm>
#include <limits>
#include <string>

namespace quav {

std::vector<std::pair<const char*, int>> objectiveJsonFields(const Objective& o) {
    switch (o.kind) {
    case ObjectiveKind::Frequency:
        return {{"mode", o.mode}};
    case ObjectiveKind::Transmissibility:
        return {{"load", o.load}};
    case ObjectiveKind::StaticDisplacement:
        return {{"object", o.object}, {"load", o.load}};
    default:
        return {};
    }
}

std::vector<Objective> readObjectivesJson(JsonReader& in, const JsonPath& at) {
    std::vector<Objective> objectives;
    in.array(at, [&](const JsonPath& e) {
        if (objectives.size() == kMaxObjectives)
            failAt(e, "at most " + std::to_string(kMaxObjectives) + " objectives");
        Objective o;
        bool hasKind = false, hasSense = false;
        int numbers = 0; // of the kind's fields, counted once the kind is known
        std::vector<std::string> given;
        in.object(e, [&](std::string_view key, const JsonPath& k) {
            if (key == "kind") {
                const auto kind = objectiveKindFromKey(in.string(k, 64));
                if (!kind)
                    failAt(k, "unknown objective");
                o.kind = *kind;
                hasKind = true;
            } else if (key == "sense") {
                const std::string sense = in.string(k, 8);
                if (sense != "min" && sense != "max")
                    failAt(k, "expected \"min\" or \"max\"");
                o.maximise = sense == "max";
                hasSense = true;
            } else if (key == "mode" || key == "load" || key == "object") {
                const std::int64_t v = in.integer(k);
                if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
                    failAt(k, "integer out of range");
                (key == "mode" ? o.mode : key == "load" ? o.load : o.object) = static_cast<int>(v);
                given.emplace_back(key);
            } else {
                failAt(k, "unknown key");
            }
        });
        if (!hasKind || !hasSense)
            failAt(e, hasKind ? "missing \"sense\"" : "missing \"kind\"");
        // Exactly the kind's numbers: a stray one would be lost on the next save.
        for (const auto& [name, value] : objectiveJsonFields(o)) {
            (void)value;
            if (std::find(given.begin(), given.end(), name) == given.end())
                failAt(e, std::string("missing \"") + name + "\"");
            ++numbers;
        }
        if (static_cast<std::size_t>(numbers) != given.size())
            failAt(e, "a key this objective does not have");
        objectives.push_back(o);
    });
    if (objectives.empty())
        failAt(at, "at least one objective");
    return objectives;
}

} // namespace quav
