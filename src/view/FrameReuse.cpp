#include "view/FrameReuse.h"

#include <algorithm>

namespace quav {

FrameReuse::Plan FrameReuse::plan(const std::vector<DrawItem>& items, const FrameKey& key) {
    if (key != key_)
        clear();
    key_ = key;
    Plan p;
    if (haveLast_ && items == last_) {
        p.reuseFrame = true;
        return p;
    }
    if (!layer_.empty() && items.size() >= layer_.size() &&
        std::equal(layer_.begin(), layer_.end(), items.begin())) {
        p.layerEnd = layer_.size();
    } else {
        layer_.clear();
        // The items that stayed since the last frame are likely to stay on. A
        // layer of only a few of them would cost more to copy than to draw.
        const std::size_t same =
            haveLast_
                ? static_cast<std::size_t>(
                      std::mismatch(items.begin(), items.end(), last_.begin(), last_.end()).first -
                      items.begin())
                : 0;
        if (same > 0 && 2 * same >= items.size()) {
            layer_.assign(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(same));
            p.storeLayer = true;
            p.layerEnd = same;
        }
    }
    last_ = items;
    haveLast_ = true;
    return p;
}

void FrameReuse::clear() {
    haveLast_ = false;
    last_.clear();
    layer_.clear();
}

} // namespace quav
