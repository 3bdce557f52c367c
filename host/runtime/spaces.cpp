#include "spaces.h"

#include <cmath>

namespace tessera::host {

Matrix4 Matrix4::translate(double x, double y, double z) {
    Matrix4 r;
    r.m[0][3] = x, r.m[1][3] = y, r.m[2][3] = z;
    return r;
}

Matrix4 Matrix4::scale(double x, double y, double z) {
    Matrix4 r;
    r.m[0][0] = x, r.m[1][1] = y, r.m[2][2] = z;
    return r;
}

Matrix4 Matrix4::operator*(const Matrix4& b) const {
    Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = 0;
            for (int k = 0; k < 4; ++k) r.m[i][j] += m[i][k] * b.m[k][j];
        }
    return r;
}

Matrix4 Matrix4::inverse() const {
    // Gauss-Jordan elimination with partial pivoting.
    double a[4][8];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 8; ++j) a[i][j] = j < 4 ? m[i][j] : (j - 4 == i ? 1 : 0);
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        if (std::fabs(a[pivot][c]) < 1e-300) return Matrix4();
        for (int j = 0; j < 8; ++j) std::swap(a[c][j], a[pivot][j]);
        const double inv = 1.0 / a[c][c];
        for (int j = 0; j < 8; ++j) a[c][j] *= inv;
        for (int r = 0; r < 4; ++r) {
            if (r == c) continue;
            const double f = a[r][c];
            for (int j = 0; j < 8; ++j) a[r][j] -= f * a[c][j];
        }
    }
    Matrix4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) r.m[i][j] = a[i][j + 4];
    return r;
}

RtFloat3 Matrix4::transformPoint(RtFloat3 p) const {
    double o[4];
    for (int i = 0; i < 4; ++i) o[i] = m[i][0] * p.x + m[i][1] * p.y + m[i][2] * p.z + m[i][3];
    const double w = o[3] != 0 ? o[3] : 1;
    return {float(o[0] / w), float(o[1] / w), float(o[2] / w)};
}

RtFloat3 Matrix4::transformVector(RtFloat3 v) const {
    return {float(m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z),
            float(m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z),
            float(m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z)};
}

RtFloat3 Matrix4::transformNormal(RtFloat3 n) const {
    const Matrix4 inv = inverse();
    return {float(inv.m[0][0] * n.x + inv.m[1][0] * n.y + inv.m[2][0] * n.z),
            float(inv.m[0][1] * n.x + inv.m[1][1] * n.y + inv.m[2][1] * n.z),
            float(inv.m[0][2] * n.x + inv.m[1][2] * n.y + inv.m[2][2] * n.z)};
}

double Matrix4::linearScale() const {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    return std::cbrt(std::fabs(det));
}

void Spaces::set(const std::string& name, const Matrix4& toWorld) { m_toWorld[name] = toWorld; }

bool Spaces::toWorld(RtUString name, Matrix4* m) const {
    const std::string key = name.CStr();
    const auto it = m_toWorld.find(key);
    if (it != m_toWorld.end()) {
        *m = it->second;
        return true;
    }
    *m = Matrix4();
    return key == "current" || key == "object" || key == "world";
}

}  // namespace tessera::host
