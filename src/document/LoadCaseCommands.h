#pragma once

namespace quav {

class CQUAVDoc;
class DocumentUi;

/// "荷重ケース" of the analysis menu: solves every load case of the model as it
/// is (the document and its results stay unchanged) and shows their table.
/// Without a model: "モデルがありません"; without cases: "荷重ケースがありません";
/// a model the calculation refuses: "ｴﾗｰ" with the reasons.
void showLoadCases(CQUAVDoc& doc, DocumentUi& ui);

// The cases themselves, from the operation tree's "荷重ケース" branches. Each
// change is one undo step that marks the document modified; the results stay
// current, as no calculation reads the cases. A refusal or Cancel changes nothing.

/// A new case from the case dialog (a factor for every static load and the
/// g-load), appended to the model's cases.
void createLoadCase(CQUAVDoc& doc, DocumentUi& ui);
/// The case dialog on a case chosen from the list. Terms whose static load no
/// longer exists stay as they were (the analysis names them).
void editLoadCase(CQUAVDoc& doc, DocumentUi& ui);
/// Removes a case chosen from the list.
void deleteLoadCase(CQUAVDoc& doc, DocumentUi& ui);

} // namespace quav
