// Adodb.Stream: an in-memory stream of bytes that is read and written as binary data or as
// text in a named charset.
#include <cstring>
#include <string>
#include <vector>

#include "platform/com/automation.h"
#include "platform/com/builtin_classes.h"
#include "platform/com/charsets.h"

namespace platform::com {
namespace {

const CLSID kStreamClsid = {0x00000566, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};

constexpr int32_t kTypeBinary = 1;
constexpr int32_t kTypeText = 2;
constexpr int32_t kReadAll = -1;
constexpr int32_t kReadLine = -2;

struct Charset {
  const char16_t* name;
  const char* iconvName;
};
// The names a user of the stream expects, and the conversion each stands for.
const Charset kCharsets[] = {
    {u"unicode", "UTF-16LE"},
    {u"utf-16", "UTF-16LE"},
    {u"utf-16le", "UTF-16LE"},
    {u"unicodefffe", "UTF-16BE"},
    {u"utf-16be", "UTF-16BE"},
    {u"utf-8", "UTF-8"},
    {u"utf8", "UTF-8"},
    {u"gb2312", "CP936"},
    {u"gbk", "CP936"},
    {u"x-gbk", "CP936"},
    {u"cp936", "CP936"},
    {u"gb18030", "GB18030"},
    {u"big5", "BIG5"},
    {u"shift_jis", "CP932"},
    {u"euc-jp", "EUC-JP"},
    {u"euc-kr", "CP949"},
    {u"ks_c_5601-1987", "CP949"},
    {u"iso-8859-1", "WINDOWS-1252"},
    {u"windows-1252", "WINDOWS-1252"},
    {u"us-ascii", "ASCII"},
    {u"ascii", "ASCII"},
    {u"windows-1251", "WINDOWS-1251"},
    {u"koi8-r", "KOI8-R"},
};

const Charset* FindCharset(std::u16string_view name) {
  for (const Charset& c : kCharsets) {
    if (EqualsNoCase(c.name, name)) return &c;
  }
  return nullptr;
}

bool IsUtf16(const char* iconvName) { return std::strncmp(iconvName, "UTF-16", 6) == 0; }

enum : DISPID {
  kSize = 1,
  kEos = 2,
  kPosition = 3,
  kType = 4,
  kLineSeparator = 5,
  kState = 6,
  kMode = 7,
  kCharset = 8,
  kRead = 9,
  kOpen = 10,
  kClose = 11,
  kSkipLine = 12,
  kWrite = 13,
  kSetEos = 14,
  kCopyTo = 15,
  kFlush = 16,
  kReadText = 19,
  kWriteText = 20,
  kCancel = 21,
};

class AdodbStream final : public AutomationObject {
 public:
  static const TypeInfo& Type() {
    static const TypeInfo type(
        u"Stream",
        {
            PropertyGet(kSize, "Size", VT_I4),
            PropertyGet(kEos, "EOS", VT_BOOL),
            PropertyGet(kPosition, "Position", VT_I4),
            PropertyPut(kPosition, "Position", VT_I4),
            PropertyGet(kType, "Type", VT_I4),
            PropertyPut(kType, "Type", VT_I4),
            PropertyGet(kLineSeparator, "LineSeparator", VT_I4),
            PropertyPut(kLineSeparator, "LineSeparator", VT_I4),
            PropertyGet(kState, "State", VT_I4),
            PropertyGet(kMode, "Mode", VT_I4),
            PropertyPut(kMode, "Mode", VT_I4),
            PropertyGet(kCharset, "Charset", VT_BSTR),
            PropertyPut(kCharset, "Charset", VT_BSTR),
            Method(kRead, "Read", VT_VARIANT, {Param(VT_I4, PARAMFLAG_FOPT)}),
            Method(kOpen, "Open", VT_EMPTY,
                   {Param(VT_VARIANT, PARAMFLAG_FOPT), Param(VT_I4, PARAMFLAG_FOPT),
                    Param(VT_I4, PARAMFLAG_FOPT), Param(VT_BSTR, PARAMFLAG_FOPT),
                    Param(VT_BSTR, PARAMFLAG_FOPT)}),
            Method(kClose, "Close", VT_EMPTY),
            Method(kSkipLine, "SkipLine", VT_EMPTY),
            Method(kWrite, "Write", VT_EMPTY, {Param(VT_VARIANT)}),
            Method(kSetEos, "SetEOS", VT_EMPTY),
            Method(kFlush, "Flush", VT_EMPTY),
            Method(kReadText, "ReadText", VT_BSTR, {Param(VT_I4, PARAMFLAG_FOPT)}),
            Method(kWriteText, "WriteText", VT_EMPTY, {Param(VT_BSTR), Param(VT_I4, PARAMFLAG_FOPT)}),
            Method(kCancel, "Cancel", VT_EMPTY),
        });
    return type;
  }
  AdodbStream() : AutomationObject(Type()) {}

 protected:
  HRESULT Call(DISPID id, uint16_t kind, InvokeArgs& args, VARIANT* result) override {
    const bool put = kind == DISPATCH_PROPERTYPUT;
    switch (id) {
      case kSize:
        if (!open_) return DISP_E_EXCEPTION;
        *result = MakeI4Variant(static_cast<int32_t>(data_.size()));
        return S_OK;
      case kEos:
        if (!open_) return DISP_E_EXCEPTION;
        *result = MakeBoolVariant(position_ >= data_.size());
        return S_OK;
      case kPosition:
        if (!put) {
          if (!open_) return DISP_E_EXCEPTION;
          *result = MakeI4Variant(static_cast<int32_t>(position_));
          return S_OK;
        }
        if (!open_ || args.Int(0) < 0) return DISP_E_EXCEPTION;
        // Beyond the end the stream grows, as the platform's stream does.
        position_ = static_cast<size_t>(args.Int(0));
        if (position_ > data_.size()) data_.resize(position_);
        return S_OK;
      case kType:
        if (!put) {
          *result = MakeI4Variant(type_);
          return S_OK;
        }
        // The type changes only at the start of the stream.
        if ((args.Int(0) != kTypeBinary && args.Int(0) != kTypeText) || (open_ && position_ != 0)) {
          return DISP_E_EXCEPTION;
        }
        type_ = args.Int(0);
        return S_OK;
      case kLineSeparator:
        if (!put) {
          *result = MakeI4Variant(lineSeparator_);
          return S_OK;
        }
        if (args.Int(0) != -1 && args.Int(0) != 10 && args.Int(0) != 13) return DISP_E_EXCEPTION;
        lineSeparator_ = args.Int(0);
        return S_OK;
      case kState:
        *result = MakeI4Variant(open_ ? 1 : 0);
        return S_OK;
      case kMode:
        if (!put) {
          *result = MakeI4Variant(mode_);
          return S_OK;
        }
        if (open_) return DISP_E_EXCEPTION;  // the mode is fixed while the stream is open
        mode_ = args.Int(0);
        return S_OK;
      case kCharset: {
        if (!put) {
          *result = MakeBstrVariant(charset_->name);
          return S_OK;
        }
        const Charset* c = FindCharset(args.Text(0));
        if (c == nullptr || (open_ && position_ != 0)) return DISP_E_EXCEPTION;
        charset_ = c;
        return S_OK;
      }
      case kOpen:
        if (open_ || (args.Has(0) && args[0].vt != VT_BSTR && args[0].vt != VT_EMPTY))
          return DISP_E_EXCEPTION;
        if (args.Has(0) && args[0].vt == VT_BSTR && !BstrView(args[0].bstrVal).empty()) {
          return DISP_E_EXCEPTION;  // opening a source (URL or record) is not offered
        }
        if (args.Has(1)) mode_ = args.Int(1);
        open_ = true;
        data_.clear();
        position_ = 0;
        return S_OK;
      case kClose:
        if (!open_) return DISP_E_EXCEPTION;
        open_ = false;
        data_.clear();
        position_ = 0;
        return S_OK;
      case kWrite:
        return Write(args[0]);
      case kRead:
        return Read(args.Has(0) ? args.Int(0) : kReadAll, result);
      case kWriteText:
        return WriteText(args.Text(0), args.Has(1) ? args.Int(1) : 0);
      case kReadText:
        return ReadText(args.Has(0) ? args.Int(0) : kReadAll, result);
      case kSkipLine: {
        VARIANT ignored;
        VariantInit(&ignored);
        HRESULT hr = ReadText(kReadLine, &ignored);
        VariantClear(&ignored);
        return hr;
      }
      case kSetEos:
        if (!open_) return DISP_E_EXCEPTION;
        data_.resize(position_);
        return S_OK;
      case kFlush:
      case kCancel:
        return open_ ? S_OK : DISP_E_EXCEPTION;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  bool Writable() const { return open_ && mode_ != 1; }  // 1: read only
  bool Readable() const { return open_ && mode_ != 2; }  // 2: write only

  void Put(std::string_view bytes) {
    if (position_ + bytes.size() > data_.size()) data_.resize(position_ + bytes.size());
    std::memcpy(data_.data() + position_, bytes.data(), bytes.size());
    position_ += bytes.size();
  }

  HRESULT Write(const VARIANT& buffer) {
    if (!Writable() || type_ != kTypeBinary) return DISP_E_EXCEPTION;
    if (buffer.vt != (VT_ARRAY | VT_UI1) && buffer.vt != (VT_ARRAY | VT_I1)) return DISP_E_TYPEMISMATCH;
    if (buffer.parray == nullptr) return S_OK;
    Put(std::string_view(static_cast<const char*>(buffer.parray->pvData),
                         buffer.parray->rgsabound[0].cElements));
    return S_OK;
  }

  HRESULT Read(int32_t count, VARIANT* result) {
    if (!Readable() || type_ != kTypeBinary || count < kReadAll) return DISP_E_EXCEPTION;
    size_t left = data_.size() - std::min(position_, data_.size());
    size_t n = count == kReadAll ? left : std::min(left, static_cast<size_t>(count));
    if (n == 0) {
      result->vt = VT_NULL;  // nothing left: the platform's stream gives Null
      return S_OK;
    }
    SAFEARRAY* sa = SafeArrayCreateVector(VT_UI1, 0, static_cast<uint32_t>(n));
    if (sa == nullptr) return E_OUTOFMEMORY;
    std::memcpy(sa->pvData, data_.data() + position_, n);
    position_ += n;
    result->vt = VT_ARRAY | VT_UI1;
    result->parray = sa;
    return S_OK;
  }

  HRESULT WriteText(const std::u16string& text, int32_t option) {
    if (!Writable() || type_ != kTypeText) return DISP_E_EXCEPTION;
    std::u16string all = option == 1 ? text + u"\r\n" : text;
    std::string_view units(reinterpret_cast<const char*>(all.data()), all.size() * 2);
    if (IsUtf16(charset_->iconvName) && position_ == 0) {
      Put(std::strcmp(charset_->iconvName, "UTF-16LE") == 0 ? std::string_view("\xFF\xFE", 2)
                                                            : std::string_view("\xFE\xFF", 2));
    } else if (std::strcmp(charset_->iconvName, "UTF-8") == 0 && position_ == 0) {
      Put("\xEF\xBB\xBF");
    }
    Put(ConvertCharset("UTF-16LE", charset_->iconvName, units, "?", 2));
    return S_OK;
  }

  HRESULT ReadText(int32_t count, VARIANT* result) {
    if (!Readable() || type_ != kTypeText || count < kReadLine) return DISP_E_EXCEPTION;
    std::string_view rest;
    if (position_ < data_.size()) rest = std::string_view(data_.data() + position_, data_.size() - position_);
    // A byte-order mark at the start of the stream is not part of the text.
    const char* name = charset_->iconvName;
    size_t skipped = 0;
    if (position_ == 0) {
      if ((std::strcmp(name, "UTF-16LE") == 0 && rest.starts_with("\xFF\xFE")) ||
          (std::strcmp(name, "UTF-16BE") == 0 && rest.starts_with("\xFE\xFF"))) {
        skipped = 2;
      } else if (std::strcmp(name, "UTF-8") == 0 && rest.starts_with("\xEF\xBB\xBF")) {
        skipped = 3;
      }
    }
    rest.remove_prefix(skipped);
    size_t unit = IsUtf16(name) ? 2 : 1;
    // A trailing odd byte of UTF-16 text is no character.
    std::string_view whole = rest.substr(0, rest.size() - rest.size() % unit);
    std::string utf16 = ConvertCharset(name, "UTF-16LE", whole, std::string_view("\xFD\xFF", 2), unit);
    std::u16string text(utf16.size() / 2, u'\0');
    std::memcpy(text.data(), utf16.data(), text.size() * 2);
    // How much to hand out: everything, a line, or a count of characters. The position moves
    // by the bytes consumed; with a count, they are measured by encoding the part back.
    size_t take = text.size();
    size_t after = text.size();
    if (count == kReadLine) {
      std::u16string_view sep = lineSeparator_ == 10 ? u"\n" : lineSeparator_ == 13 ? u"\r" : u"\r\n";
      size_t at = text.find(sep);
      if (at != std::u16string::npos) {
        take = at;
        after = at + sep.size();
      }
    } else if (count >= 0) {
      take = after = std::min(text.size(), static_cast<size_t>(count));
    }
    if (after == text.size()) {
      position_ = data_.size();
    } else {
      std::string_view consumed(reinterpret_cast<const char*>(text.data()), after * 2);
      position_ += skipped + ConvertCharset("UTF-16LE", name, consumed, "?", 2).size();
    }
    *result = MakeBstrVariant(std::u16string_view(text).substr(0, take));
    return S_OK;
  }

  bool open_ = false;
  int32_t type_ = kTypeBinary;
  int32_t mode_ = 0;
  int32_t lineSeparator_ = -1;
  const Charset* charset_ = &kCharsets[0];
  std::string data_;
  size_t position_ = 0;
};

}  // namespace

void RegisterAdodbStreamClass() {
  AddBuiltinClass("Adodb.Stream", kStreamClsid, [] { return NewObject<AdodbStream>(); });
}

}  // namespace platform::com
