// Where a link label draws: its DrawText format, the extent of its underline and how much
// of its text it reads. Portable: no <windows.h>, the system's values are spelled out.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrin {

// DrawText format bits and static-control style bits the label looks at.
constexpr unsigned kDrawTextCenter = 0x1;      // DT_CENTER
constexpr unsigned kDrawTextRight = 0x2;       // DT_RIGHT
constexpr unsigned kDrawTextWordBreak = 0x10;  // DT_WORDBREAK
constexpr std::uint32_t kStaticCenter = 0x1;   // SS_CENTER
constexpr std::uint32_t kStaticRight = 0x2;    // SS_RIGHT

// The text is read into a buffer of this size with a count one less, terminator
// included, so at most kLinkTextMaxCount - 1 characters are drawn.
constexpr std::size_t kLinkTextBufferSize = 4096;
constexpr int kLinkTextMaxCount = 4095;

// Word-wrapped, aligned as the control's style says.
unsigned LinkLabelDrawFormat(std::uint32_t style);

// One underline stroke: the pen moves to `from` and draws to `to`, `to` itself left out.
struct UnderlineSpan {
  int from;
  int to;
};

// The underline for a text `textWidth` pixels wide (measured as one line) in a client
// area `right` pixels wide, placed by `format` (right alignment wins over centring).
UnderlineSpan LinkUnderlineSpan(unsigned format, int right, int textWidth);

// Characters drawn of a text whose copy reported `copied` characters: never more than
// the buffer holds before its terminator, never negative.
std::size_t LinkTextDrawnLength(int copied);

}  // namespace kestrin
