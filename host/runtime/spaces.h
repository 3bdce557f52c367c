// Coordinate systems: each space's matrix into world space. Current, object and world
// coincide unless set otherwise.
#pragma once

#include <map>
#include <string>

#include "rix/types.h"

namespace tessera::host {

struct Matrix4 {
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    static Matrix4 translate(double x, double y, double z);
    static Matrix4 scale(double x, double y, double z);
    Matrix4 operator*(const Matrix4& b) const;  // this applied after b
    Matrix4 inverse() const;                    // identity for a singular matrix
    RtFloat3 transformPoint(RtFloat3 p) const;
    RtFloat3 transformVector(RtFloat3 v) const;
    RtFloat3 transformNormal(RtFloat3 n) const;  // by the inverse transpose
    double linearScale() const;                  // cube root of |det| of the 3x3 part
};

class Spaces {
public:
    // Sets the matrix that takes points of space name into world space.
    void set(const std::string& name, const Matrix4& toWorld);
    // False for a space that is not known.
    bool toWorld(RtUString name, Matrix4* m) const;

private:
    std::map<std::string, Matrix4> m_toWorld;
};

}  // namespace tessera::host
