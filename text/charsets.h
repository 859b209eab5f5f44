// Charsets and escapes: UTF-8 bodies to texts, decoding of "\u" and "%" escapes through the
// platform's script engine, and UTF-16 bytes to texts through the stream object.
//
// Texts are code page 936. Ownership: results are new texts the caller owns.
// Thread contract: the calling thread; UnescapeText and StreamBytesToText initialise COM
// around their own use (nested initialisation is fine) and block while the platform objects
// work. REQUIRES: the program's declared DLL commands are set up (rt::InitDllCommands).
#ifndef TEXT_CHARSETS_H_
#define TEXT_CHARSETS_H_

#include "runtime/kernel.h"

namespace text {

// The UTF-8 bytes as a code-page-936 text, cut at the first zero. Invalid UTF-8 becomes
// U+FFFD and characters code page 936 lacks become "?" before the cut.
rt::Text Utf8BytesToText(kernel::BytesRef bytes);

// The UTF-8 bytes as an ASCII text in which every other character is written as its JSON
// escape "\uXXXX" (upper-case hex; UTF-16 surrogate pairs for characters past U+FFFF), cut
// at the first zero. Invalid UTF-8 becomes U+FFFD. For JSON documents read by the byte-driven
// parser: no byte of the result can be taken for a quote or a backslash of the document, and
// the values' decoding gives each character in the code page (or "?" where it has none).
rt::Text Utf8BytesToEscapedText(kernel::BytesRef bytes);

// Decodes the escapes of a text as a JScript string literal followed by unescape() would:
// "\/" gives "/", "\u4e2d" and "%u4e2d" give the character, "%41" gives "A". CR LF pairs and
// apostrophes survive; a text that starts with a lone CR loses it. A text that the engine
// cannot take as a string literal (one with a bare CR or LF, or with an apostrophe that the
// character walk could not replace, as after the single-byte euro sign 0x80) never reaches
// the engine and comes back as it is, apart from those rules and "\u" turned into "%u".
rt::Text UnescapeText(kernel::TextRef text);

// The bytes read as UTF-16 little-endian text ("unicode") by the platform's stream object;
// a trailing odd byte is dropped. Empty when the stream object is not available.
rt::Text StreamBytesToText(kernel::BytesRef bytes);

}  // namespace text

#endif  // TEXT_CHARSETS_H_
