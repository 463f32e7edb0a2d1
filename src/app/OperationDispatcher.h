#pragma once

#include "view/DisplayState.h"

#include <string>
#include <vector>

namespace quav {

class CQUAVDoc;
class DocumentUi;

/// The operation tree as the dispatcher sees it: items are opaque handles,
/// recognised by their text and their parent's text.
class OperationTreeAccess {
public:
    using Item = const void*;
    virtual ~OperationTreeAccess() = default;
    virtual std::string text(Item item) const = 0;
    /// nullptr for the root.
    virtual Item parent(Item item) const = 0;
    /// Selects `item`; the tree reports the change, so the dispatcher runs
    /// again, nested, for it.
    virtual void select(Item item) = 0;
    /// Replaces every child of `item` by items with these texts.
    virtual void setChildren(Item item, const std::vector<std::string>& texts) = 0;
};

/// Where the dispatcher's commands act: the document, the dialogs, and the
/// display and pick state the main window owns.
struct DispatchTarget {
    CQUAVDoc& doc;
    DocumentUi& ui;
    DisplayState& display;
    SelectionMode& selectionMode;
};

/// Runs the command of the operation tree item just selected: mode items
/// (display or pick modes) stay selected and are remembered; one-shot items
/// run and move the selection back, to their parent or to the remembered item.
class OperationDispatcher {
public:
    OperationDispatcher(OperationTreeAccess& tree, DispatchTarget target)
        : tree_(tree), t_(target) {}

    /// The tree's selection-changed notification.
    void selectionChanged(OperationTreeAccess::Item item);

    OperationTreeAccess::Item rememberedItem() const { return remembered_; }
    /// Selects the remembered item, if there is one.
    void selectRemembered();
    /// A new document: nothing is remembered any more.
    void forget() { remembered_ = nullptr; }

private:
    /// The item being handled.
    struct Call {
        OperationTreeAccess::Item item;
        std::string text;
        OperationTreeAccess::Item parent;
        std::string parentText;
        bool& returned; ///< the selection has moved back to the parent
    };

    /// Runs the steps of the dispatch table that match the item; false when
    /// handling stopped early.
    bool dispatch(OperationTreeAccess::Item item, bool& returnedToParent);
    void prompt(const Call& c);
    void returnToParent(Call& c);
    static bool thenReturn(OperationDispatcher& d, Call& c);
    static bool updateViews(OperationDispatcher& d, Call& c);
    using Command = void (*)(CQUAVDoc&, DocumentUi&);
    /// Runs a document command.
    bool run(Command command);
    /// With a model: runs a document command and returns to the parent.
    bool withModel(Call& c, Command command);
    /// Enters a pick mode and says what it expects.
    bool pickMode(Call& c, SelectionMode mode);
    /// True with a model; else shows `message`, returns to the parent, false.
    bool modelOrMessage(Call& c, const char* message);
    void showLoadBranch(const std::string& t, bool dynamic);
    void rebuildLoadBranch(OperationTreeAccess::Item branch, bool dynamic);

    OperationTreeAccess& tree_;
    DispatchTarget t_;
    OperationTreeAccess::Item remembered_ = nullptr;
    int depth_ = 0; ///< nesting of selectionChanged: 1 for the user's own choice
};

} // namespace quav
