// The kernel library's controls: the window (0x00010001), EditBox (0x00010005), Label
// (0x0001000A) and Button (0x0001000B), with their type data encoders and checkers.
//
// Type properties (number - 8 = 0): the window's caption, the EditBox's content, the Label's
// and the Button's caption; texts read are new blocks the caller owns.
// Events: window 0 created, 1 may close (a given false result keeps it open), 3 moved,
// 4 resized; EditBox 0 content changed by the user; Label 0 clicked; Button 0 clicked.
//
// Ownership: the window manager owns the live controls (see control.h).
// Thread contract: GUI thread only.
#ifndef UI_KERNEL_CONTROLS_H_
#define UI_KERNEL_CONTROLS_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace ui {

inline constexpr int32_t kEventCreated = 0;
inline constexpr int32_t kEventMayClose = 1;
inline constexpr int32_t kEventMoved = 3;
inline constexpr int32_t kEventResized = 4;
inline constexpr int32_t kEventClicked = 0;
inline constexpr int32_t kEventContentChanged = 0;

// Colours are 0x00BBGGRR.
inline constexpr uint32_t kColourWhite = 0x00FFFFFF;

// Window: caption, style word (kept).
struct WindowTypeData {
  std::string caption;
  uint32_t style = 0;
  std::string Encode() const;
  static bool Decode(std::string_view bytes, WindowTypeData* out);
};

// EditBox: content, flags, length limit (0: none), background colour.
struct EditBoxTypeData {
  static constexpr uint32_t kMultiLine = 1;
  static constexpr uint32_t kReadOnly = 2;
  static constexpr uint32_t kHideSelection = 4;
  static constexpr uint32_t kHorizontalScrollBar = 8;
  static constexpr uint32_t kVerticalScrollBar = 16;
  std::string content;
  uint32_t flags = kMultiLine | kHideSelection;
  int32_t maxLength = 0;
  uint32_t background = kColourWhite;
  std::string Encode() const;
  static bool Decode(std::string_view bytes, EditBoxTypeData* out);
};

// Label and Button: caption and alignment (0 left, 1 centre, 2 right).
struct CaptionTypeData {
  std::string caption;
  uint32_t alignment = 0;
  std::string Encode() const;
  static bool Decode(std::string_view bytes, CaptionTypeData* out);
};

// Registers the four kernel types (library 0).
void RegisterKernelControls();

}  // namespace ui

#endif  // UI_KERNEL_CONTROLS_H_
