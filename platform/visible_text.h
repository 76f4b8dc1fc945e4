#pragma once
// The one way text from the network (camera names, product names, TXT values,
// HTTP bodies, OID values) is shown to a person: whatever bytes a camera
// sends, they print as plain characters on the line they were put on, and
// cannot steer a terminal, the journal or a widget.
#include <string>
#include <string_view>

namespace platform {

// `text` (UTF-8) with every byte that a person could not see for what it is
// written out as an escape:
// - C0 controls (tab, CR and LF included) and DEL: \xNN, the byte;
// - C1 controls, U+0080 to U+009F: \xNN, the code point, as UTF-8 or as a
//   raw byte alike;
// - any other byte that is no part of well-formed UTF-8 (stray continuation,
//   overlong form, surrogate, beyond U+10FFFF, cut sequence): \xNN, the byte;
// - line and paragraph separators and bidirectional controls (U+2028,
//   U+2029, U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069): \uNNNN;
// - the backslash itself: \\, so a name that holds the text "\x1b" never
//   reads as one that holds an ESC.
// Printable UTF-8 ("Café", "カメラ") passes unchanged.
std::string VisibleText(std::string_view text);

// A message of the program that carries a camera's text ("Query for 2.4
// failed with\n" and the camera's explanation): its first line break, the
// message's own, stays as it is ("\n" or "\r\n"); the rest is VisibleText.
// The program's messages have at most one line break, before any camera text.
std::string VisibleMessage(std::string_view text);

// An 8-bit record text (as the discoveries store them: Latin-1) in UTF-8.
std::string Latin1ToUtf8(std::string_view text);

}  // namespace platform
