#pragma once

#include "math/Matrix.h"
#include "model/AnalysisModel.h"

#include <memory>

namespace quav {

// Steady harmonic response of the CoG to each dynamic load on its own, with dynamic
// spring rates and the characteristics' damping. A characteristic with a frequency
// table takes its complex rates k*_d(f) = k_d r_d(f) (1 + i eta_d(f)) + i w c_d at
// the load's frequency: the real part in the stiffness, the imaginary part in H,
// which is w C for the others. Row i belongs to `dynamicLoads[i]`:
// columns 0-5 amplitudes of x, y, z [m] and Rx, Ry, Rz [rad], columns 6-11 their
// phases relative to the load [rad, -pi..pi]. At an undamped resonance the row holds
// infinities or NaNs.

/// Each load at its own `frequency`.
Matrix responseAtOwnFrequencies(const AnalysisModel& model);

/// Every load at the common frequency f [Hz]; f = 0 gives the static response with
/// dynamic rates (phases 0 or pi).
Matrix responseAtCommonFrequency(const AnalysisModel& model, double frequency);

/// f = 0: each load at its own frequency; otherwise every load at f [Hz].
Matrix responseAtFrequency(const AnalysisModel& model, double frequency);

/// The harmonic response of one model at many frequencies: what does not depend on
/// the frequency (stiffness and damping about the CoG, each load's generalised
/// force) is built once; with frequency tables, what their rates at a frequency
/// change is found at each frequency asked for. Holds the model by reference; the
/// model must outlive it and stay unchanged. Results equal those of the functions
/// above exactly.
class HarmonicResponse {
public:
    explicit HarmonicResponse(const AnalysisModel& model);
    ~HarmonicResponse();
    HarmonicResponse(const HarmonicResponse&) = delete;
    HarmonicResponse& operator=(const HarmonicResponse&) = delete;

    /// Every load at f [Hz], as responseAtCommonFrequency.
    Matrix atCommonFrequency(double frequency) const;
    /// Each load at its own frequency, as responseAtOwnFrequencies.
    Matrix atOwnFrequencies() const;

    /// The complex motion x = re + i im of the CoG (x, y, z [m], Rx, Ry, Rz [rad],
    /// global) that solves (K - w^2 M + i H) x = Fg for dynamic load `load`
    /// (0-based) at f [Hz], H = w C without tables; the amplitudes and phases above
    /// are its moduli and arguments.
    struct ComplexMotion {
        double re[6];
        double im[6];
    };
    ComplexMotion complexMotion(int load, double frequency) const;

    /// True when dynamic load `load` (0-based) has no finite response at f [Hz]
    /// by definition: the system K - w^2 M + i H is exactly singular there (a
    /// resonance with no damping acting on it) while the load's generalised force
    /// is finite. An infinite amplitude is then the answer, not a fault.
    bool resonantAt(int load, double frequency) const;

private:
    /// What the system at one frequency is made of.
    struct Rates {
        const double* stiffness;  ///< K about the CoG, global
        const double* hysteresis; ///< what the tables' loss factors add to H; null without
        const double* forces;     ///< 6 per load: the generalised force about the CoG
    };
    class Tables;
    /// Calls `use(rates)` with the rates at f [Hz]: those built once without tables;
    /// with tables, those at f, with the force of load `load` (every load for -1).
    template <class Use> auto withRates(double frequency, int load, Use use) const;
    /// The 12 x 12 real form [[S, -H], [H, S]] of K - w^2 M + i H at f [Hz].
    void system(double frequency, const Rates& rates, double* g) const;
    ComplexMotion motion(const double* force, double frequency, const Rates& rates) const;
    Matrix evaluate(bool ownFrequencies, double common) const;

    static constexpr int kInlineLoads = 4;
    const AnalysisModel* model_;
    int loads_;
    double stiffness_[36] = {}; ///< dynamic rates, about the CoG, global (no tables)
    double damping_[36] = {};   ///< about the CoG, global
    double inlineForces_[6 * kInlineLoads] = {};
    std::unique_ptr<double[]> heapForces_;
    double* forces_ = inlineForces_;       ///< 6 per load: the generalised force (no tables)
    std::unique_ptr<const Tables> tables_; ///< null when no table takes part
};

} // namespace quav
