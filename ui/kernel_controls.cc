#include "ui/kernel_controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/byte_io.h"
#include "ui/control.h"
#include "ui/event_dispatch.h"
#include "ui/qt_text.h"
#include "ui/window_frame.h"

namespace ui {
namespace {

constexpr int32_t kKernelLibrary = 0;
constexpr int32_t kTextProperty = 0;  // property 8

const char* TextOf(int64_t value) {
  return rt::OrEmpty(reinterpret_cast<const char*>(static_cast<intptr_t>(value)));
}
int64_t NewTextValue(const std::string& s) {
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(rt::NewText(s)));
}

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
    setWidget(frame);
  }
  int64_t GetTypeProperty(int32_t number, int32_t) override {
    if (number != kTextProperty || widget() == nullptr) return 0;
    return NewTextValue(FromQString(widget()->windowTitle()));
  }
  void SetTypeProperty(int32_t number, int32_t, int64_t value) override {
    if (number == kTextProperty && widget()) widget()->setWindowTitle(ToQString(TextOf(value)));
  }
};

// ---- EditBox ---------------------------------------------------------------------------

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
      auto* edit = new PlainEdit(c.parent);
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
      setWidget(edit);
    } else {
      auto* edit = new QLineEdit(c.parent);
      edit->setPalette(pal);
      edit->setReadOnly(readOnly);
      if (data.maxLength > 0) edit->setMaxLength(data.maxLength);
      edit->setText(ToQString(data.content));
      QObject::connect(edit, &QLineEdit::textEdited, edit,
                       [this] { RaiseEvent(windowId(), unitId(), kEventContentChanged); });
      line_ = edit;
      setWidget(edit);
    }
  }
  int64_t GetTypeProperty(int32_t number, int32_t) override {
    if (number != kTextProperty || widget() == nullptr) return 0;
    return NewTextValue(FromQString(plain_ ? plain_->toPlainText() : line_->text()));
  }
  void SetTypeProperty(int32_t number, int32_t, int64_t value) override {
    if (number != kTextProperty || widget() == nullptr) return;
    QString text = ToQString(TextOf(value));
    if (plain_) {
      settingText_ = true;
      plain_->setPlainText(text);
      settingText_ = false;
    } else {
      line_->setText(text);
    }
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
    label_ = new ClickLabel(c.parent, [this] { RaiseEvent(windowId(), unitId(), kEventClicked); });
    label_->setText(ToQString(data.caption));
    label_->setAlignment(AlignmentOf(data.alignment));
    label_->setTextFormat(Qt::PlainText);
    setWidget(label_);
  }
  int64_t GetTypeProperty(int32_t number, int32_t) override {
    if (number != kTextProperty || !label_) return 0;
    return NewTextValue(FromQString(label_->text()));
  }
  void SetTypeProperty(int32_t number, int32_t, int64_t value) override {
    if (number == kTextProperty && label_) label_->setText(ToQString(TextOf(value)));
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
    button_ = new QPushButton(ToQString(data.caption), c.parent);
    QObject::connect(button_, &QPushButton::clicked, button_,
                     [this] { RaiseEvent(windowId(), unitId(), kEventClicked); });
    setWidget(button_);
  }
  int64_t GetTypeProperty(int32_t number, int32_t) override {
    if (number != kTextProperty || !button_) return 0;
    return NewTextValue(FromQString(button_->text()));
  }
  void SetTypeProperty(int32_t number, int32_t, int64_t value) override {
    if (number == kTextProperty && button_) button_->setText(ToQString(TextOf(value)));
  }

 private:
  QPointer<QPushButton> button_;
};

}  // namespace

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
