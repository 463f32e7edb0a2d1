#pragma once

namespace quav {

class CQUAVDoc;
class DocumentUi;

/// "荷重ケース" of the analysis menu: solves every load case of the model as it
/// is (the document and its results stay unchanged) and shows their table.
/// Without a model: "モデルがありません"; without cases: "荷重ケースがありません";
/// a model the calculation refuses: "ｴﾗｰ" with the reasons.
void showLoadCases(CQUAVDoc& doc, DocumentUi& ui);

} // namespace quav
