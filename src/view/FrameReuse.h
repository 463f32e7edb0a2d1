#pragma once

// Which part of a frame can come from pictures kept from earlier frames. A
// repaint of an unchanged view needs no drawing at all, and while a result is
// animated only the body moves: the springs, loads and points before it in the
// scene are drawn once into a kept layer (colours and depths) and every later
// frame starts from a copy of that layer. The items are drawn in the same order
// on the same depths either way, so the picture is exactly the one drawn whole.

#include "view/Scene.h"

#include <cstddef>
#include <vector>

namespace quav {

/// Everything besides the scene's items that decides the picture's pixels.
struct FrameKey {
    float panX = 0.0f;
    float panY = 0.0f;
    float rotX = 0.0f;
    float rotY = 0.0f;
    int width = 0; ///< framebuffer [pixels]
    int height = 0;
    unsigned outline = 0; ///< changes with each imported outline
    UpAxis up = UpAxis::Y;
    bool operator==(const FrameKey&) const = default;
};

class FrameReuse {
public:
    struct Plan {
        bool reuseFrame = false;  ///< the last picture is this frame's picture
        bool storeLayer = false;  ///< draw items [0, layerEnd) into the kept layer first
        std::size_t layerEnd = 0; ///< items [0, layerEnd) come from the kept layer; 0: none
    };

    /// The plan for drawing `items` under `key`; it assumes the plan is carried
    /// out. The first frame after a change of the key is drawn whole.
    Plan plan(const std::vector<DrawItem>& items, const FrameKey& key);
    /// Forgets the last picture and the layer (a new framebuffer or context).
    void clear();

private:
    FrameKey key_;
    bool haveLast_ = false;
    std::vector<DrawItem> last_;  ///< the items of the last picture
    std::vector<DrawItem> layer_; ///< the items drawn into the kept layer
};

} // namespace quav
