#pragma once

#include "model/AnalysisModel.h"

#include <cstddef>
#include <memory>

namespace quav {
class VariantBasis;
}

namespace quav::detail {

// Fixed-size kernels of the analyses on plain row-major arrays. They do
// exactly the arithmetic of the Matrix operations they replace, in the same order,
// without building a Matrix for every 3 x 3 block.

/// n elements of T: inside the object up to N, on the heap beyond.
template <class T, int N> class SmallArray {
public:
    explicit SmallArray(int n) {
        if (n > N) {
            heap_ = std::make_unique<T[]>(static_cast<std::size_t>(n));
            data_ = heap_.get();
        }
    }
    SmallArray(const SmallArray&) = delete;
    SmallArray& operator=(const SmallArray&) = delete;
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](int i) { return data_[i]; }
    const T& operator[](int i) const { return data_[i]; }

private:
    T inline_[N];
    std::unique_ptr<T[]> heap_;
    T* data_ = inline_;
};

/// r = a b for 3 x 3 a and b, sums in long double.
void product3(const double* a, const double* b, double* r);

/// Rx(-thetaY) Rz(thetaZ + 90 deg) of the spring.
void springOrientation(const SpringElement& spring, double* r);

/// Rx(a) Ry(b) Rz(c).
void rotationFromAngles(double a, double b, double c, double* r);

/// The finite-rotation transfer of a 6-element motion from `from` to `to`.
void pointTransfer(const double* motion, const double* from, const double* to, double* result);

/// The springs of a model prepared for one analysis: each characteristic looked up
/// and each orientation computed once, however many systems the analysis assembles.
class SpringSet {
public:
    /// With `basis`, the orientations of springs whose angles it knows are taken
    /// from it rather than found again.
    explicit SpringSet(const AnalysisModel& model, const VariantBasis* basis = nullptr);

    int count() const { return count_; }

    /// The 3 x 3 stiffness (scaled by the dynamic factor when `dynamic`) or damping
    /// of every spring in frame T: 9 elements per spring into `out`.
    void springMatrices(const double* frame, bool damping, bool dynamic, double* out) const;

    /// The 6 x 6 system of the per-spring matrices `blocks` about the point q in
    /// frame T, exactly symmetric.
    void assemble(const double* blocks, const double* q, const double* frame, double* out) const;

private:
    struct Spring {
        const SpringCharacteristic* characteristic;
        const double* position;
        double orientation[9];
        const double* principal; ///< the orientation in the basis's frame, or null
    };
    // Mount layouts rarely exceed this; more springs move to the heap.
    static constexpr int kInlineSprings = 16;

    int count_;
    SmallArray<Spring, kInlineSprings> springs_;
    const double* basisFrame_ = nullptr;
};

/// Storage for the per-spring 3 x 3 blocks of a SpringSet.
class SpringBlocks : public SmallArray<double, 9 * 16> {
public:
    explicit SpringBlocks(const SpringSet& set) : SmallArray(9 * set.count()) {}
};

/// Row-major 3 x 3 identity, the global frame.
inline constexpr double kGlobalFrame[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

} // namespace quav::detail
