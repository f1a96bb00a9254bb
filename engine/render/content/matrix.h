// Matrix arithmetic of the content code. A matrix [a b c d e f] stands for
// the 3x3 matrix with rows (a b 0), (c d 0), (e f 1); points are row vectors,
// so multiply(m, n) applies m first.
#pragma once

#include <cmath>

#include "engine/object/pdf_object.h"

namespace vistrel {

inline Matrix multiply(const Matrix& m, const Matrix& n) {
    return Matrix{m.a * n.a + m.b * n.c, m.a * n.b + m.b * n.d,       m.c * n.a + m.d * n.c,
                  m.c * n.b + m.d * n.d, m.e * n.a + m.f * n.c + n.e, m.e * n.b + m.f * n.d + n.f};
}

// m := m x other.
inline void concatMatrix(Matrix& m, const Matrix& other) {
    m = multiply(m, other);
}

// The translation by (tx, ty) applied before m.
inline Matrix translated(const Matrix& m, double tx, double ty) {
    Matrix t = m;
    t.e += tx * m.a + ty * m.c;
    t.f += tx * m.b + ty * m.d;
    return t;
}

// The factor by which m scales lengths on average: the square root of the
// absolute determinant.
inline double lengthScale(const Matrix& m) {
    return std::sqrt(std::fabs(m.a * m.d - m.b * m.c));
}

}  // namespace vistrel
