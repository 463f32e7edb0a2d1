#pragma once

namespace quav {

class CQUAVDoc;
class DocumentUi;

// The commands that create and change model objects. Each opens its dialog
// through `ui`, checks what came back, records an undo step, changes the
// model and announces the change; a refusal or "入力エラー" leaves the model
// and the selection as they were. Creation dialogs open with the values the
// last one of their kind was confirmed with. The commands that need a model do nothing without one
// (the operation tree refuses them first).

/// Creates the model on the first valid OK.
void defineMassElement(CQUAVDoc& doc, DocumentUi& ui);
void createSpring(CQUAVDoc& doc, DocumentUi& ui);
/// Binds the selected springs to a characteristic, found by name or new.
void assignCharacteristic(CQUAVDoc& doc, DocumentUi& ui);
void createStaticLoad(CQUAVDoc& doc, DocumentUi& ui);
void createDynamicLoad(CQUAVDoc& doc, DocumentUi& ui);
void createObservationPoint(CQUAVDoc& doc, DocumentUi& ui);
/// The characteristic list: edit and delete on a copy, kept only on OK.
void editCharacteristics(CQUAVDoc& doc, DocumentUi& ui);
/// Edit the one selected element of the kind.
void editSpring(CQUAVDoc& doc, DocumentUi& ui);
void editLoad(CQUAVDoc& doc, DocumentUi& ui);
void editObservationPoint(CQUAVDoc& doc, DocumentUi& ui);
/// Remove the selected elements of the kind without asking: each removal is
/// one undo step, and the status line names what went and how to bring it
/// back. Removing any marks the document modified and makes the results
/// stale, as they described the model before.
void deleteSprings(CQUAVDoc& doc, DocumentUi& ui);
void deleteLoads(CQUAVDoc& doc, DocumentUi& ui);
void deleteObservationPoints(CQUAVDoc& doc, DocumentUi& ui);
/// Edit the spring, load or observation point `id` (the model browser's
/// double-click): it alone of its kind is selected, then its edit command runs.
void editElement(CQUAVDoc& doc, DocumentUi& ui, int id);
/// The values dialog of the characteristic `id`; OK keeps valid values.
void editCharacteristic(CQUAVDoc& doc, DocumentUi& ui, int id);
/// The memo; OK marks the document modified even when the text is unchanged.
void editMemo(CQUAVDoc& doc, DocumentUi& ui);

} // namespace quav
