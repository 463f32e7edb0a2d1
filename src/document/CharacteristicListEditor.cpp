#include "document/CharacteristicListEditor.h"

#include "document/DocumentUi.h"
#include "document/InputRules.h"
#include "document/ModelValues.h"

namespace quav {

CharacteristicListEditor::CharacteristicListEditor(std::vector<SpringCharacteristic> entries,
                                                   DocumentUi& ui)
    : entries_(std::move(entries)), ui_(ui) {}

std::vector<std::string> CharacteristicListEditor::names() const {
    std::vector<std::string> names;
    names.reserve(entries_.size());
    for (const SpringCharacteristic& c : entries_)
        names.push_back(c.name);
    return names;
}

bool CharacteristicListEditor::valid(int index) const {
    if (index >= 0 && index < static_cast<int>(entries_.size()))
        return true;
    ui_.message("ばね特性を選択してください");
    return false;
}

void CharacteristicListEditor::edit(int index) {
    if (!valid(index))
        return;
    CharacteristicValues values = characteristicValues(entries_[index]);
    if (!ui_.runCharacteristicValues(values))
        return;
    if (const std::optional<FieldProblem> problem = inputProblem(values, false))
        ui_.message(inputErrorText(*problem));
    else
        storeCharacteristic(values, entries_[index]);
}

void CharacteristicListEditor::remove(int index) {
    if (valid(index))
        entries_.erase(entries_.begin() + index);
}

} // namespace quav
