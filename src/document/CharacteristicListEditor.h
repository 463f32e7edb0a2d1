#pragma once

#include "model/ModelElements.h"

#include <string>
#include <vector>

namespace quav {

class DocumentUi;

/// The working copy behind the characteristic list dialog: its edit and
/// delete buttons act here, the model changes only when the list is confirmed.
class CharacteristicListEditor {
public:
    CharacteristicListEditor(std::vector<SpringCharacteristic> entries, DocumentUi& ui);

    /// The names to list, in order.
    std::vector<std::string> names() const;
    /// Opens the values dialog on entry `index` (-1: none selected, refused
    /// with a message); its OK writes the values back unchecked.
    void edit(int index);
    /// Drops entry `index` at once (-1: refused with a message).
    void remove(int index);

    const std::vector<SpringCharacteristic>& entries() const { return entries_; }

private:
    bool valid(int index) const;
    std::vector<SpringCharacteristic> entries_;
    DocumentUi& ui_;
};

} // namespace quav
