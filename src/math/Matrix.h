#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>

namespace quav {

/// Dense row-major matrix of doubles: the one numeric type of the engine.
///
/// Element (r, c) sits at linear index c + r * cols; a column vector is n x 1.
/// A value type: copies are deep, every allocation is zero-filled. Up to 36
/// elements (3 x 1 ... 6 x 6) live inside the object, so the vectors and small
/// matrices that make up a model never touch the heap; larger ones are heap
/// allocated. Indices and operand dimensions are the caller's responsibility.
/// Sums of products accumulate in long double and are stored as double.
class Matrix {
public:
    static constexpr int inlineCapacity = 36;

    Matrix() noexcept {} // empty; no element is ever read
    Matrix(int rows, int cols);
    /// Row-major initialiser: Matrix(2, 2, {a, b, c, d}).
    Matrix(int rows, int cols, std::initializer_list<double> values);
    Matrix(const Matrix& other);
    Matrix(Matrix&& other) noexcept;
    Matrix& operator=(const Matrix& other);
    Matrix& operator=(Matrix&& other) noexcept;
    ~Matrix() = default;

    /// An n x 1 zero column.
    static Matrix column(int n) { return Matrix(n, 1); }
    /// A column holding the given values.
    static Matrix vector(std::initializer_list<double> values);
    /// The n x n identity.
    static Matrix identity(int n);

    int rows() const { return rows_; }
    int cols() const { return cols_; }
    int size() const { return rows_ * cols_; }
    bool empty() const { return size() == 0; }

    /// Discards the contents and zero-fills rows x cols elements.
    void resize(int rows, int cols);
    void resizeColumn(int n) { resize(n, 1); }
    /// Sets every element to 0, keeping the dimensions.
    void zero();
    /// Frees the storage; the matrix becomes 0 x 0.
    void clear();

    double& operator()(int r, int c) { return data()[c + r * cols_]; }
    double operator()(int r, int c) const { return data()[c + r * cols_]; }
    double& operator[](int i) { return data()[i]; }
    double operator[](int i) const { return data()[i]; }
    double& rowStart(int r) { return data()[r * cols_]; }

    double* data() { return heap_ ? heap_.get() : inline_; }
    const double* data() const { return heap_ ? heap_.get() : inline_; }

    /// Writes 1.0 on the diagonal of a square matrix, leaving other elements as they
    /// are. Returns the number of diagonal elements written, or the column count
    /// unchanged when the matrix is not square.
    int setIdentityDiagonal();

    Matrix operator+(const Matrix& b) const;
    Matrix operator-(const Matrix& b) const;
    /// Product; element (i, j) sums over k < rows(b).
    Matrix operator*(const Matrix& b) const;
    Matrix operator*(double s) const;
    Matrix operator/(double s) const;
    friend Matrix operator*(double s, const Matrix& a) { return a * s; }

    /// Transposes in place; the dimensions swap.
    void transpose();
    /// Transposed copy.
    Matrix transposed() const;
    /// Square root of the sum of squares of all elements.
    double norm() const;
    /// Divides the matrix (normally a column vector) by its Euclidean norm.
    void normalise();

    /// Inverse by LU factorisation with partial (row) pivoting. A singular matrix
    /// yields infinities or NaNs; nothing is reported.
    Matrix inverse() const;
    /// Solves A x = b for this square A and the column b. A is overwritten by its
    /// row-permuted LU factors (unit lower factor below the diagonal, upper factor
    /// on and above it). A singular A yields infinities or NaNs.
    Matrix solve(const Matrix& b);

    /// Exact element-wise equality of dimensions and values.
    bool operator==(const Matrix& b) const;

private:
    /// A matrix whose every element the caller writes next.
    struct Unfilled {};
    Matrix(int rows, int cols, Unfilled) { allocate(rows, cols, false); }

    /// Sets the dimensions and provides storage; `zeroFill` false leaves the
    /// elements for the caller to write.
    void allocate(int rows, int cols, bool zeroFill = true);

    std::unique_ptr<double[]> heap_;
    int rows_ = 0;
    int cols_ = 0;
    // Only the first size() elements are ever read; the rest stay unwritten.
    double inline_[inlineCapacity];
};

} // namespace quav
