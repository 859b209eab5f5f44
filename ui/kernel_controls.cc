#include "ui/kernel_controls.h"

#include "ui/byte_io.h"

namespace ui {

std::string WindowTypeData::Encode() const {
  ByteWriter w;
  w.Text(caption);
  w.U32(style);
  return w.str();
}

bool WindowTypeData::Decode(std::string_view bytes, WindowTypeData* out) {
  ByteReader r(bytes);
  return r.ReadText(&out->caption) && r.ReadU32(&out->style) && r.atEnd();
}

std::string EditBoxTypeData::Encode() const {
  ByteWriter w;
  w.Text(content);
  w.U32(flags);
  w.I32(maxLength);
  w.U32(background);
  return w.str();
}

bool EditBoxTypeData::Decode(std::string_view bytes, EditBoxTypeData* out) {
  ByteReader r(bytes);
  return r.ReadText(&out->content) && r.ReadU32(&out->flags) && r.ReadI32(&out->maxLength) &&
         r.ReadU32(&out->background) && r.atEnd();
}

std::string CaptionTypeData::Encode() const {
  ByteWriter w;
  w.Text(caption);
  w.U32(alignment);
  return w.str();
}

bool CaptionTypeData::Decode(std::string_view bytes, CaptionTypeData* out) {
  ByteReader r(bytes);
  return r.ReadText(&out->caption) && r.ReadU32(&out->alignment) && r.atEnd();
}

}  // namespace ui
