#pragma once
// The bytes that split the lines and items of a text file.

namespace mergon {

inline bool isBlank(int c) { return c == ' ' || c == '\t'; }
inline bool isLineEnd(int c) { return c == '\r' || c == '\n'; }

} // namespace mergon
