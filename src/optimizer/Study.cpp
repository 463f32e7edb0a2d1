#include "optimizer/Study.h"

namespace quav {

Study::Study(const Study& other)
    : model(other.model ? std::make_unique<AnalysisModel>(*other.model) : nullptr),
      optimizer(other.optimizer) {}

Study& Study::operator=(const Study& other) {
    if (this != &other)
        *this = Study(other);
    return *this;
}

} // namespace quav
