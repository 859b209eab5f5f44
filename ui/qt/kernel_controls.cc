// The Qt backend of the kernel's controls: a top-level frame, QPlainTextEdit or QLineEdit,
// QLabel and QPushButton.
#include "ui/kernel_controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/control.h"
#include "ui/event_dispatch.h"
#include "ui/qt/native_view.h"
#include "ui/qt/popup_menu.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/window_frame.h"

namespace ui {
namespace {

constexpr int32_t kKernelLibrary = 0;
constexpr int32_t kTextProperty = 0;  // property 8


QColor FromColourRef(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

Qt::Alignment AlignmentOf(uint32_t a) {
  Qt::Alignment h = a == 1 ? Qt::AlignHCenter : a == 2 ? Qt::AlignRight : Qt::AlignLeft;
  return h | Qt::AlignTop;
}

// ---- The window ------------------------------------------------------------------------

class WindowControl : public Control {
 public:
  explicit WindowControl(const ControlContext& c) : Control(c.windowId, c.unit->id) {
    WindowTypeData data;
    WindowTypeData::Decode(c.unit->typeData, &data);
    auto* frame = new WindowFrame();
    frame->setWindowTitle(ToQString(data.caption));
    setView(ViewOf(frame));
  }
  int64_t GetTypeProperty(int32_t number, int32_t) override {
    QWidget* frame = WidgetOf(this);
    if (number != kTextProperty || frame == nullptr) return 0;
    return NewPropertyText(FromQString(frame->windowTitle()));
  }
  void SetTypeProperty(int32_t number, int32_t, int64_t value) override {
    QWidget* frame = WidgetOf(this);
    if (number == kTextProperty && frame) frame->setWindowTitle(ToQString(PropertyText(value)));
  }
};

// ---- EditBox ---------------------------------------------------------------------------

// `area` is the widget whose coordinates the menu request gives.
template <typename Edit>
void AttachEditMenu(Edit* edit, QWidget* area, MenuProvider provider) {
  edit->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::disconnect(edit, &QWidget::customContextMenuRequested, nullptr, nullptr);
  QObject::connect(edit, &QWidget::customContextMenuRequested, edit,
                   [edit, area, provider](const QPoint& pos) {
                     QMenu* menu = edit->createStandardContextMenu();
                     menu->setAttribute(Qt::WA_DeleteOnClose);
                     const std::vector<MenuEntry> entries = provider(-1);
                     if (!entries.empty()) menu->addSeparator();
                     AddMenuEntries(menu, edit, entries);
                     menu->popup(area->mapToGlobal(pos));
                   });
}

class PlainEdit : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;
};

class EditBoxControl : public Control {
 public:
  explicit EditBoxControl(const ControlContext& c) : Control(c.windowId, c.unit->id) {
    EditBoxTypeData data;
    EditBoxTypeData::Decode(c.unit->typeData, &data);
    QPalette pal;
    pal.setColor(QPalette::Base, FromColourRef(data.background));
    if (data.flags & EditBoxTypeData::kHideSelection) {
      // Without the focus the selection looks like the rest of the text.
      pal.setColor(QPalette::Inactive, QPalette::Highlight, FromColourRef(data.background));
      pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   pal.color(QPalette::Active, QPalette::Text));
    }
    const bool readOnly = (data.flags & EditBoxTypeData::kReadOnly) != 0;
    if (data.flags & EditBoxTypeData::kMultiLine) {
      auto* edit = new PlainEdit(WidgetOf(c.parent));
      edit->setPalette(pal);
      edit->setAutoFillBackground(true);
      edit->setReadOnly(readOnly);
      edit->setHorizontalScrollBarPolicy((data.flags & EditBoxTypeData::kHorizontalScrollBar)
                                             ? Qt::ScrollBarAsNeeded
                                             : Qt::ScrollBarAlwaysOff);
      edit->setVerticalScrollBarPolicy((data.flags & EditBoxTypeData::kVerticalScrollBar)
                                           ? Qt::ScrollBarAsNeeded
                                           : Qt::ScrollBarAlwaysOff);
      edit->setLineWrapMode((data.flags & EditBoxTypeData::kHorizontalScrollBar)
                                ? QPlainTextEdit::NoWrap
                                : QPlainTextEdit::WidgetWidth);
      edit->setPlainText(ToQString(data.content));
      QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [this] {
        if (!settingText_) RaiseEvent(windowId(), unitId(), kEventContentChanged);
      });
      plain_ = edit;
      setView(ViewOf(edit));
    } else {
      auto* edit = new QLineEdit(WidgetOf(c.parent));
      edit->setPalette(pal);
      edit->setReadOnly(readOnly);
      if (data.maxLength > 0) edit->setMaxLength(data.maxLength);
      edit->setText(ToQString(data.content));
      QObject::connect(edit, &QLineEdit::textEdited, edit,
                       [this] { RaiseEvent(windowId(), unitId(), kEventContentChanged); });
      line_ = edit;
      setView(ViewOf(edit));
    }
  }
  int64_t GetTypeProperty(int32_t number, int32_t) override {
    if (number != kTextProperty || view() == nullptr) return 0;
    return NewPropertyText(FromQString(plain_ ? plain_->toPlainText() : line_->text()));
  }
  void SetTypeProperty(int32_t number, int32_t, int64_t value) override {
    if (number != kTextProperty || view() == nullptr) return;
    QString text = ToQString(PropertyText(value));
    if (plain_) {
      settingText_ = true;
      plain_->setPlainText(text);
      settingText_ = false;
    } else {
      line_->setText(text);
    }
  }
  // The edit's own menu, then the provider's entries.
  bool SetContextMenuProvider(MenuProvider provider) override {
    if (plain_) {
      AttachEditMenu(plain_.data(), plain_->viewport(), std::move(provider));  // a scroll area
    } else if (line_) {
      AttachEditMenu(line_.data(), line_.data(), std::move(provider));
    } else {
      return false;
    }
    return true;
  }

 private:
  QPointer<PlainEdit> plain_;
  QPointer<QLineEdit> line_;
  bool settingText_ = false;
};

// ---- Label -----------------------------------------------------------------------------

class ClickLabel : public QLabel {
 public:
  ClickLabel(QWidget* parent, std::function<void()> clicked) : QLabel(parent), clicked_(std::move(clicked)) {}

 protected:
  void mouseReleaseEvent(QMouseEvent* e) override {
    QLabel::mouseReleaseEvent(e);
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) clicked_();
  }

 private:
  std::function<void()> clicked_;
};

class LabelControl : public Control {
 public:
  explicit LabelControl(const ControlContext& c) : Control(c.windowId, c.unit->id) {
    CaptionTypeData data;
    CaptionTypeData::Decode(c.unit->typeData, &data);
    label_ = new ClickLabel(WidgetOf(c.parent), [this] { RaiseEvent(windowId(), unitId(), kEventClicked); });
    label_->setText(ToQString(data.caption));
    label_->setAlignment(AlignmentOf(data.alignment));
    label_->setTextFormat(Qt::PlainText);
    setView(ViewOf(label_));
  }
  int64_t GetTypeProperty(int32_t number, int32_t) override {
    if (number != kTextProperty || !label_) return 0;
    return NewPropertyText(FromQString(label_->text()));
  }
  void SetTypeProperty(int32_t number, int32_t, int64_t value) override {
    if (number == kTextProperty && label_) label_->setText(ToQString(PropertyText(value)));
  }

 private:
  QPointer<ClickLabel> label_;
};

// ---- Button ----------------------------------------------------------------------------

class ButtonControl : public Control {
 public:
  explicit ButtonControl(const ControlContext& c) : Control(c.windowId, c.unit->id) {
    CaptionTypeData data;
    CaptionTypeData::Decode(c.unit->typeData, &data);
    button_ = new QPushButton(ToQString(data.caption), WidgetOf(c.parent));
    QObject::connect(button_, &QPushButton::clicked, button_,
                     [this] { RaiseEvent(windowId(), unitId(), kEventClicked); });
    setView(ViewOf(button_));
  }
  int64_t GetTypeProperty(int32_t number, int32_t) override {
    if (number != kTextProperty || !button_) return 0;
    return NewPropertyText(FromQString(button_->text()));
  }
  void SetTypeProperty(int32_t number, int32_t, int64_t value) override {
    if (number == kTextProperty && button_) button_->setText(ToQString(PropertyText(value)));
  }

 private:
  QPointer<QPushButton> button_;
};

}  // namespace

void RegisterKernelControls() {
  RegisterControlType(
      {rt::kTypeWindow, kKernelLibrary, true, CheckTypeData<WindowTypeData>, CreateControl<WindowControl>});
  RegisterControlType({rt::kTypeEditBox, kKernelLibrary, true, CheckTypeData<EditBoxTypeData>,
                       CreateControl<EditBoxControl>});
  RegisterControlType(
      {rt::kTypeLabel, kKernelLibrary, true, CheckTypeData<CaptionTypeData>, CreateControl<LabelControl>});
  RegisterControlType(
      {rt::kTypeButton, kKernelLibrary, true, CheckTypeData<CaptionTypeData>, CreateControl<ButtonControl>});
}

}  // namespace ui
