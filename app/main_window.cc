#include "app/main_window.h"

#include "app/constants.h"
#include "ui/grid_control.h"
#include "ui/kernel_controls.h"
#include "ui/template_writer.h"

namespace app {
namespace {

// Controls store the visible flag and bit 2; the window and the label only the visible flag.
constexpr uint32_t kControlFlags = 5;
constexpr uint32_t kWindowFlags = ui::kStateVisible;

std::string EditBox(std::string content, bool readOnly) {
  ui::EditBoxTypeData d;
  d.content = std::move(content);
  d.flags = ui::EditBoxTypeData::kMultiLine | ui::EditBoxTypeData::kHideSelection |
            (readOnly ? ui::EditBoxTypeData::kReadOnly : 0);
  d.maxLength = 0;
  d.background = ui::kColourWhite;
  return d.Encode();
}

// Report view with the columns "id", "清晰度", "下载地址".
std::string AddressListData() {
  ui::ListViewTypeData d;
  d.columns = {{"id", 50}, {"清晰度", 50}, {"下载地址", 300}};
  return d.Encode();
}

// One row and five columns, the title row and the number column fixed; rows 24 and columns 60
// pixels.
std::string ResultGridData() {
  ui::GridTypeData d;
  d.rows = 1;
  d.columns = 5;
  d.fixedRows = 1;
  d.fixedColumns = 1;
  d.rowHeight = 24;
  d.columnWidth = 60;
  return d.Encode();
}

}  // namespace

std::string SampleAddress() { return kSampleAddress; }

ui::WindowData MainWindowDescription() {
  ui::WindowTemplate w;
  w.id = kMainWindowId;
  w.indexWord = 0x17E19BD0;
  w.reserved = {0, 0x19010003, 0, 0};
  w.units = {
      ui::ControlUnit(ui::kWindowUnitId, rt::kTypeWindow, "", 50, 50, 1211, 684, kWindowFlags,
                      ui::WindowTypeData{"", 0}.Encode(), {{kWindowCreatedEvent, kInitResultGridSlot}}),
      ui::ControlUnit(k标签1, rt::kTypeLabel, "标签1", 792, 80, 152, 16, ui::kStateVisible,
                      ui::CaptionTypeData{"单击复制", 0}.Encode()),
      ui::ControlUnit(k超级列表框1, rt::kTypeListView, "超级列表框1", 784, 104, 416, 240, kControlFlags,
                      AddressListData(), {{kListClickedEvent, kCopySelectedAddressSlot}}),
      ui::ControlUnit(k编辑框2, rt::kTypeEditBox, "编辑框2", 784, 8, 416, 40, kControlFlags,
                      EditBox(SampleAddress(), false)),
      ui::ControlUnit(k编辑框1, rt::kTypeEditBox, "编辑框1", 8, 576, 1192, 72, kControlFlags,
                      EditBox("", true)),
      ui::ControlUnit(k高级表格1, rt::kTypeGrid, "高级表格1", 8, 8, 776, 560, kControlFlags, ResultGridData(),
                      {{kGridLeftButtonUpEvent, kShowRowAddressesSlot}}),
      ui::ControlUnit(k按钮1, rt::kTypeButton, "按钮1", 1096, 48, 104, 48, kControlFlags,
                      ui::CaptionTypeData{kLookUpButtonCaption, 1}.Encode(),
                      {{kButtonClickedEvent, kLookUpVideosSlot}}),
  };
  return ui::WindowData{{w}};
}

const std::vector<unsigned char>& MainWindowData() {
  static const std::vector<unsigned char> data = ui::SerializeWindowData(MainWindowDescription());
  return data;
}

}  // namespace app
