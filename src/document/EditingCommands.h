#pragma once

namespace quav {

class CQUAVDoc;
class DocumentUi;

// The commands that create and change model objects. Each opens its dialog
// through `ui`, checks what came back, changes the model and announces the
// change; a refusal or "入力エラー" leaves the model and the selection as they
// were. The commands that need a model do nothing without one (the operation
// tree refuses them first).

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
/// Remove the selected elements of the kind without asking. Removing any
/// marks the document modified and invalidates the results, which described
/// the model before.
void deleteSprings(CQUAVDoc& doc);
void deleteLoads(CQUAVDoc& doc);
void deleteObservationPoints(CQUAVDoc& doc);
/// The memo; OK marks the document modified even when the text is unchanged.
void editMemo(CQUAVDoc& doc, DocumentUi& ui);

} // namespace quav
