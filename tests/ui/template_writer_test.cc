#include "ui/template_writer.h"

#include <gtest/gtest.h>

#include "tests/ui/test_window_data.h"
#include "ui/byte_io.h"

namespace ui {
namespace {

int32_t WordAt(const std::vector<unsigned char>& b, size_t pos) {
  ByteReader r(b.data() + pos, 4);
  int32_t v = 0;
  r.ReadI32(&v);
  return v;
}

TEST(TemplateWriterTest, LaysOutIndexHeaderIdsOffsetsAndRecords) {
  const WindowData d = ui_test::TestWindowData();
  const std::vector<unsigned char> b = SerializeWindowData(d);
  const auto& units = d.windows[0].units;
  const size_t n = units.size();
  EXPECT_EQ(WordAt(b, 0), 16);  // two windows, 8 bytes each
  EXPECT_EQ(WordAt(b, 4), ui_test::kWindow);
  EXPECT_EQ(WordAt(b, 8), 0x17E19BD0);
  EXPECT_EQ(WordAt(b, 12), ui_test::kOtherWindow);
  EXPECT_EQ(WordAt(b, 20), 0);
  EXPECT_EQ(WordAt(b, 24), 0x19010003);
  EXPECT_EQ(WordAt(b, 32), 7);
  EXPECT_EQ(WordAt(b, 36), static_cast<int32_t>(n));
  const size_t idsAt = 44, offsetsAt = idsAt + 4 * n, recordsAt = offsetsAt + 4 * n;
  const size_t windowEnd = 44 + static_cast<size_t>(WordAt(b, 40));
  ASSERT_LT(windowEnd, b.size());
  size_t pos = recordsAt;
  for (size_t i = 0; i < n; ++i) {
    EXPECT_EQ(WordAt(b, idsAt + 4 * i), units[i].id);
    EXPECT_EQ(static_cast<size_t>(WordAt(b, offsetsAt + 4 * i)), pos - recordsAt);
    EXPECT_EQ(static_cast<rt::TypeCode>(WordAt(b, pos + 4)), units[i].type);
    pos += 4 + static_cast<size_t>(WordAt(b, pos));
  }
  EXPECT_EQ(pos, windowEnd);  // the remaining length covers ids, offsets and records exactly
  // The window's own record: type, link, 16 reserved bytes, then its name.
  const char* name = reinterpret_cast<const char*>(b.data() + recordsAt + 4 + 4 + 4 + 16);
  EXPECT_STREQ(name, "测试窗口");
}

TEST(TemplateWriterTest, ControlRecordFieldsStandInOrder) {
  WindowData d;
  WindowTemplate w;
  w.id = 1;
  UnitRecord win = ui_test::Unit(kWindowUnitId, rt::kTypeWindow, "", 1, 2, 3, 4, 1, "");
  win.list = {7, 8};
  win.pointerBlock = "PB";
  win.tag = "t";
  win.reserved2 = 11;
  win.reserved3 = 13;
  win.bindings = {{0, 3}, {4, -1}};
  win.typeData = "TD";
  w.units.push_back(win);
  d.windows.push_back(w);
  const std::vector<unsigned char> b = SerializeWindowData(d);
  ByteWriter expected;
  expected.U32(rt::kTypeWindow);
  expected.I32(0);  // link
  expected.Bytes(std::string(16, '\0'));
  expected.Text("");
  expected.Text("");
  for (int32_t v : {0, 1, 2, 3, 4, 0, 0, 2, 7, 8, 2}) expected.I32(v);
  expected.Bytes("PB");
  expected.Text("t");
  for (int32_t v : {11, 1, 13, 2, 0, 3, 4, -1}) expected.I32(v);
  expected.Bytes("TD");
  const std::string record = expected.str();
  const size_t recordAt = 4 + 8 + 16 + 8 + 8 + 4;  // index, header, one id, one offset, the length
  ASSERT_EQ(b.size(), recordAt + record.size());
  EXPECT_EQ(WordAt(b, recordAt - 4), static_cast<int32_t>(record.size()));
  EXPECT_EQ(std::string(b.begin() + recordAt, b.end()), record);
  EXPECT_TRUE(SerializeWindowData(WindowData{}).empty());
}

}  // namespace
}  // namespace ui
