#include "math/Matrix.h"

#include "math/LuFactors.h"

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace quav {

namespace detail {

void luFactorise(double* a, int n, int* perm) {
    for (int i = 0; i < n; ++i)
        perm[i] = i;
    for (int i = 0; i < n; ++i) {
        // The first of equally large candidates wins, so a well-ordered matrix
        // keeps its natural row order.
        int p = i;
        double best = std::fabs(a[i * n + i]);
        for (int j = i + 1; j < n; ++j) {
            const double v = std::fabs(a[j * n + i]);
            if (v > best) {
                best = v;
                p = j;
            }
        }
        if (p != i) {
            for (int k = 0; k < n; ++k)
                std::swap(a[i * n + k], a[p * n + k]);
            std::swap(perm[i], perm[p]);
        }
        const double pivot = a[i * n + i];
        for (int j = i + 1; j < n; ++j) {
            double& lji = a[j * n + i];
            lji = lji / pivot;
            for (int k = i + 1; k < n; ++k)
                a[j * n + k] = a[j * n + k] - lji * a[i * n + k];
        }
    }
}

namespace {

/// Back substitution with the upper factor, dividing by the diagonal last.
void backSubstitute(const double* lu, int n, double* x) {
    for (int i = n - 1; i >= 0; --i) {
        long double sum = x[i];
        for (int k = i + 1; k < n; ++k)
            sum -= static_cast<long double>(lu[i * n + k]) * x[k];
        x[i] = static_cast<double>(sum / lu[i * n + i]);
    }
}

} // namespace

void luSubstitute(const double* lu, int n, const int* perm, const double* b, double* x) {
    // Forward substitution with the unit lower factor.
    for (int j = 0; j < n; ++j) {
        long double sum = b[perm[j]];
        for (int k = 0; k < j; ++k)
            sum -= static_cast<long double>(lu[j * n + k]) * x[k];
        x[j] = static_cast<double>(sum);
    }
    backSubstitute(lu, n, x);
}

void luSubstitute2(const double* lu, int n, const int* perm, const double* b0, const double* b1,
                   double* x0, double* x1) {
    // The two right-hand sides side by side: each takes exactly luSubstitute's
    // steps, and their chains of wide sums overlap.
    for (int j = 0; j < n; ++j) {
        long double s0 = b0[perm[j]], s1 = b1[perm[j]];
        for (int k = 0; k < j; ++k) {
            const long double l = lu[j * n + k];
            s0 -= l * x0[k];
            s1 -= l * x1[k];
        }
        x0[j] = static_cast<double>(s0);
        x1[j] = static_cast<double>(s1);
    }
    for (int i = n - 1; i >= 0; --i) {
        long double s0 = x0[i], s1 = x1[i];
        for (int k = i + 1; k < n; ++k) {
            const long double u = lu[i * n + k];
            s0 -= u * x0[k];
            s1 -= u * x1[k];
        }
        x0[i] = static_cast<double>(s0 / lu[i * n + i]);
        x1[i] = static_cast<double>(s1 / lu[i * n + i]);
    }
}

void luInverseColumn(const double* lu, int n, int position, double* x) {
    // Before `position` the permuted unit vector is 0 and, with finite factors, so
    // is every forward sum; at `position` the sum is 1 less products with zeros.
    for (int j = 0; j < position; ++j)
        x[j] = 0.0;
    x[position] = 1.0;
    for (int j = position + 1; j < n; ++j) {
        long double sum = 0.0L;
        for (int k = position; k < j; ++k)
            sum -= static_cast<long double>(lu[j * n + k]) * x[k];
        x[j] = static_cast<double>(sum);
    }
    backSubstitute(lu, n, x);
}

bool luInverseFinite(const double* lu, int n) {
    // Substituting the all-ones vector with |L| and |U| bounds every unit vector's
    // solution element by element; the rounding of this bound and of the real
    // substitution is far inside the margin to the double range.
    constexpr double kLimit = 1e300;
    constexpr int kMaxOrder = 16;
    if (n > kMaxOrder)
        return false;
    double bound[kMaxOrder];
    for (int j = 0; j < n; ++j) {
        double sum = 1.0;
        for (int k = 0; k < j; ++k)
            sum += std::fabs(lu[j * n + k]) * bound[k];
        bound[j] = sum;
    }
    for (int i = n - 1; i >= 0; --i) {
        double sum = bound[i];
        for (int k = i + 1; k < n; ++k)
            sum += std::fabs(lu[i * n + k]) * bound[k];
        bound[i] = sum / std::fabs(lu[i * n + i]);
        if (!(bound[i] <= kLimit))
            return false;
    }
    return true;
}

} // namespace detail

namespace {

// The engine's systems are at most 12 x 12; larger ones go to the heap.
constexpr int kStackOrder = 16;

/// Work space of n elements: on the stack up to kStackOrder, else on the heap.
template <class T> class Scratch {
public:
    explicit Scratch(int n) {
        if (n > kStackOrder) {
            heap_.resize(static_cast<std::size_t>(n));
            data_ = heap_.data();
        }
    }
    T* data() { return data_; }
    T& operator[](int i) { return data_[i]; }

private:
    T stack_[kStackOrder];
    std::vector<T> heap_;
    T* data_ = stack_;
};

} // namespace

Matrix::Matrix(int rows, int cols) {
    allocate(rows, cols);
}

Matrix::Matrix(int rows, int cols, std::initializer_list<double> values) {
    allocate(rows, cols);
    int i = 0;
    for (double v : values) {
        if (i >= size())
            break;
        data()[i++] = v;
    }
}

Matrix::Matrix(const Matrix& other) {
    allocate(other.rows_, other.cols_, false);
    if (size() > 0)
        std::memcpy(data(), other.data(), sizeof(double) * static_cast<std::size_t>(size()));
}

Matrix::Matrix(Matrix&& other) noexcept
    : heap_(std::move(other.heap_)), rows_(other.rows_), cols_(other.cols_) {
    if (!heap_ && size() > 0)
        std::memcpy(inline_, other.inline_, sizeof(double) * static_cast<std::size_t>(size()));
    other.rows_ = 0;
    other.cols_ = 0;
}

Matrix& Matrix::operator=(const Matrix& other) {
    if (this == &other)
        return *this;
    if (rows_ != other.rows_ || cols_ != other.cols_)
        allocate(other.rows_, other.cols_, false);
    if (size() > 0)
        std::memcpy(data(), other.data(), sizeof(double) * static_cast<std::size_t>(size()));
    return *this;
}

Matrix& Matrix::operator=(Matrix&& other) noexcept {
    if (this == &other)
        return *this;
    heap_ = std::move(other.heap_);
    rows_ = other.rows_;
    cols_ = other.cols_;
    if (!heap_ && size() > 0)
        std::memcpy(inline_, other.inline_, sizeof(double) * static_cast<std::size_t>(size()));
    other.rows_ = 0;
    other.cols_ = 0;
    return *this;
}

Matrix Matrix::vector(std::initializer_list<double> values) {
    Matrix m(static_cast<int>(values.size()), 1);
    int i = 0;
    for (double v : values)
        m[i++] = v;
    return m;
}

Matrix Matrix::identity(int n) {
    Matrix m(n, n);
    m.setIdentityDiagonal();
    return m;
}

void Matrix::allocate(int rows, int cols, bool zeroFill) {
    if (rows <= 0 || cols <= 0) {
        heap_.reset();
        rows_ = 0;
        cols_ = 0;
        return;
    }
    const std::size_t n = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
    rows_ = rows;
    cols_ = cols;
    if (n <= static_cast<std::size_t>(inlineCapacity)) {
        heap_.reset();
        if (zeroFill)
            std::memset(inline_, 0, sizeof(double) * n);
    } else if (zeroFill) {
        heap_.reset(new double[n]()); // value-initialised: zero-filled
    } else {
        heap_.reset(new double[n]);
    }
}

void Matrix::resize(int rows, int cols) {
    allocate(rows, cols);
}

void Matrix::zero() {
    if (size() > 0)
        std::memset(data(), 0, sizeof(double) * static_cast<std::size_t>(size()));
}

void Matrix::clear() {
    allocate(0, 0);
}

int Matrix::setIdentityDiagonal() {
    if (rows_ != cols_)
        return cols_;
    for (int i = 0; i < rows_; ++i)
        (*this)(i, i) = 1.0;
    return rows_;
}

Matrix Matrix::operator+(const Matrix& b) const {
    Matrix r(rows_, cols_, Unfilled{});
    for (int i = 0; i < size(); ++i)
        r[i] = (*this)[i] + b[i];
    return r;
}

Matrix Matrix::operator-(const Matrix& b) const {
    Matrix r(rows_, cols_, Unfilled{});
    for (int i = 0; i < size(); ++i)
        r[i] = (*this)[i] - b[i];
    return r;
}

Matrix Matrix::operator*(const Matrix& b) const {
    Matrix r(rows_, b.cols_, Unfilled{});
    for (int i = 0; i < rows_; ++i) {
        for (int j = 0; j < b.cols_; ++j) {
            long double sum = 0.0L;
            for (int k = 0; k < b.rows_; ++k)
                sum += static_cast<long double>((*this)(i, k)) * b(k, j);
            r(i, j) = static_cast<double>(sum);
        }
    }
    return r;
}

Matrix Matrix::operator*(double s) const {
    Matrix r(rows_, cols_, Unfilled{});
    for (int i = 0; i < size(); ++i)
        r[i] = (*this)[i] * s;
    return r;
}

Matrix Matrix::operator/(double s) const {
    Matrix r(rows_, cols_, Unfilled{});
    for (int i = 0; i < size(); ++i)
        r[i] = (*this)[i] / s;
    return r;
}

void Matrix::transpose() {
    *this = transposed();
}

Matrix Matrix::transposed() const {
    Matrix t(cols_, rows_, Unfilled{});
    for (int i = 0; i < rows_; ++i)
        for (int j = 0; j < cols_; ++j)
            t(j, i) = (*this)(i, j);
    return t;
}

double Matrix::norm() const {
    long double sum = 0.0L;
    for (int i = 0; i < size(); ++i)
        sum += static_cast<long double>((*this)[i]) * (*this)[i];
    return static_cast<double>(std::sqrt(sum));
}

void Matrix::normalise() {
    const double n = norm();
    for (int i = 0; i < size(); ++i)
        (*this)[i] /= n;
}

Matrix Matrix::inverse() const {
    const int n = rows_;
    Matrix lu(*this);
    Scratch<int> perm(n);
    detail::luFactorise(lu.data(), n, perm.data());
    Matrix inv(n, n);
    Scratch<double> e(n), x(n);
    for (int i = 0; i < n; ++i) {
        for (int r = 0; r < n; ++r)
            e[r] = 0.0;
        e[i] = 1.0;
        detail::luSubstitute(lu.data(), n, perm.data(), e.data(), x.data());
        for (int r = 0; r < n; ++r)
            inv(r, i) = x[r];
    }
    return inv;
}

Matrix Matrix::solve(const Matrix& b) {
    const int n = rows_;
    Scratch<int> perm(n);
    detail::luFactorise(data(), n, perm.data());
    Matrix x(n, 1);
    detail::luSubstitute(data(), n, perm.data(), b.data(), x.data());
    return x;
}

bool Matrix::operator==(const Matrix& b) const {
    if (rows_ != b.rows_ || cols_ != b.cols_)
        return false;
    for (int i = 0; i < size(); ++i)
        if ((*this)[i] != b[i])
            return false;
    return true;
}

} // namespace quav
