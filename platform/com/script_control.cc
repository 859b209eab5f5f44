// ScriptControl: the script automation object over Duktape. Scripts see only the standard
// built-ins (no host objects); each evaluation runs under the object's Timeout and is stopped
// with an error when it runs longer. The engine is reached only through protected calls.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "duktape.h"
#include "platform/com/automation.h"
#include "platform/com/builtin_classes.h"

namespace {

// What the engine's time-out check reads: the deadline of the running evaluation.
struct EngineClock {
  bool limited = false;
  std::chrono::steady_clock::time_point deadline;
};

// Allocation with a ceiling, so that a runaway script fails inside the engine instead of
// exhausting the process.
struct Budget {
  size_t used = 0;
  size_t limit = size_t{256} << 20;
  EngineClock clock;
};

void* BudgetAlloc(void* udata, duk_size_t size) {
  auto* b = static_cast<Budget*>(udata);
  if (size == 0) return nullptr;
  if (b->used + size > b->limit) return nullptr;
  auto* p = static_cast<size_t*>(std::malloc(size + sizeof(size_t) * 2));
  if (p == nullptr) return nullptr;
  p[0] = size;
  b->used += size;
  return p + 2;
}

void BudgetFree(void* udata, void* ptr) {
  if (ptr == nullptr) return;
  auto* p = static_cast<size_t*>(ptr) - 2;
  static_cast<Budget*>(udata)->used -= p[0];
  std::free(p);
}

void* BudgetRealloc(void* udata, void* ptr, duk_size_t size) {
  if (ptr == nullptr) return BudgetAlloc(udata, size);
  if (size == 0) {
    BudgetFree(udata, ptr);
    return nullptr;
  }
  auto* b = static_cast<Budget*>(udata);
  auto* p = static_cast<size_t*>(ptr) - 2;
  size_t old = p[0];
  if (size > old && b->used + (size - old) > b->limit) return nullptr;
  auto* q = static_cast<size_t*>(std::realloc(p, size + sizeof(size_t) * 2));
  if (q == nullptr) return nullptr;
  b->used = b->used - old + size;
  q[0] = size;
  return q + 2;
}

// Reached only outside protected calls, which this object never makes.
void FatalEngineError(void*, const char* message) {
  std::fprintf(stderr, "script engine: fatal error: %s\n", message ? message : "");
  std::abort();
}

}  // namespace

// The engine's time-out check: asked between instructions and, within one regular expression
// match, every 65536 steps of the matcher (the build adds that call to the engine's source).
// Once past the deadline it keeps answering yes until the evaluation has ended.
extern "C" int wl_duktape_timed_out(void* udata) {
  if (udata == nullptr) return 0;
  const EngineClock& c = static_cast<Budget*>(udata)->clock;
  return c.limited && std::chrono::steady_clock::now() >= c.deadline ? 1 : 0;
}

namespace platform::com {
namespace {

const CLSID kScriptControlClsid = {
    0x0E59F1D5, 0x1FBE, 0x11D0, {0x8F, 0xF2, 0x00, 0xA0, 0xD1, 0x00, 0x38, 0xBC}};

// Duktape keeps strings as CESU-8: each UTF-16 unit on its own, 1 to 3 bytes.
std::string ToCesu8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char16_t u : s) {
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

// Back to UTF-16; a four-byte sequence (a code point above U+FFFF) becomes a surrogate pair.
std::u16string FromCesu8(const char* p, size_t n) {
  std::u16string out;
  out.reserve(n);
  const auto* s = reinterpret_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n;) {
    unsigned c = s[i];
    int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    if (c >= 0x80 && c < 0xC0) extra = 0;
    uint32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
    if (extra && i + extra >= n) {
      out += u'\xFFFD';
      break;
    }
    for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
    i += 1 + extra;
    if (cp > 0xFFFF) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 | (cp >> 10));
      out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

enum : DISPID {
  kLanguage = 1500,
  kTimeout = 1501,
  kAllowUI = 1502,
  kUseSafeSubset = 1503,
  kAddCode = 2000,
  kEval = 2001,
  kExecuteStatement = 2002,
  kRun = 2003,
  kReset = 2004,
};

class ScriptControl final : public AutomationObject {
 public:
  static const TypeInfo& Type() {
    static const TypeInfo type(
        u"ScriptControl",
        {
            PropertyGet(kLanguage, "Language", VT_BSTR),
            PropertyPut(kLanguage, "Language", VT_BSTR),
            PropertyGet(kTimeout, "Timeout", VT_I4),
            PropertyPut(kTimeout, "Timeout", VT_I4),
            PropertyGet(kAllowUI, "AllowUI", VT_BOOL),
            PropertyPut(kAllowUI, "AllowUI", VT_BOOL),
            PropertyGet(kUseSafeSubset, "UseSafeSubset", VT_BOOL),
            PropertyPut(kUseSafeSubset, "UseSafeSubset", VT_BOOL),
            Method(kAddCode, "AddCode", VT_EMPTY, {Param(VT_BSTR)}),
            Method(kEval, "Eval", VT_VARIANT, {Param(VT_BSTR)}),
            Method(kExecuteStatement, "ExecuteStatement", VT_EMPTY, {Param(VT_BSTR)}),
            Method(kRun, "Run", VT_VARIANT, {Param(VT_BSTR), Param(VT_VARIANT, PARAMFLAG_FOPT)}, true),
            Method(kReset, "Reset", VT_EMPTY),
        });
    return type;
  }

  ScriptControl() : AutomationObject(Type()) {}
  ~ScriptControl() override { DropEngine(); }

 protected:
  HRESULT Call(DISPID id, uint16_t kind, InvokeArgs& args, VARIANT* result) override {
    const bool put = kind == DISPATCH_PROPERTYPUT;
    switch (id) {
      case kLanguage:
        if (!put) {
          *result = MakeBstrVariant(language_);
          return S_OK;
        }
        return SetLanguage(args.Text(0));
      case kTimeout:
        if (!put) {
          *result = MakeI4Variant(timeoutMs_);
          return S_OK;
        }
        if (args.Int(0) < -1) return DISP_E_EXCEPTION;
        timeoutMs_ = args.Int(0);
        return S_OK;
      case kAllowUI:
      case kUseSafeSubset:
        // Scripts here never show anything and never reach host objects: stored only.
        if (!put) {
          *result = MakeBoolVariant(id == kAllowUI ? allowUi_ : true);
          return S_OK;
        }
        if (id == kAllowUI) allowUi_ = args.Bool(0);
        return S_OK;
      case kReset:
        DropEngine();
        return language_.empty() ? S_OK : StartEngine();
      case kAddCode:
      case kExecuteStatement:
        return Evaluate(args.Text(0), nullptr);
      case kEval:
        return Evaluate(args.Text(0), result);
      case kRun:
        return Run(args, result);
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  HRESULT SetLanguage(const std::u16string& language) {
    if (!EqualsNoCase(language, u"JScript") && !EqualsNoCase(language, u"JavaScript"))
      return DISP_E_EXCEPTION;
    language_ = language;
    DropEngine();
    return StartEngine();
  }

  // Every use of the engine, pushing values included (an allocation may fail and throw), runs
  // inside duk_safe_call: nothing can reach the fatal handler.
  struct Job {
    ScriptControl* self;
    std::string source;      // Evaluate: the code; Run: the procedure name
    const InvokeArgs* args;  // Run: the arguments after the name
    VARIANT* result;         // may be null
    bool notFound = false;
  };

  HRESULT StartEngine() {
    budget_ = Budget{};
    ctx_ = duk_create_heap(&BudgetAlloc, &BudgetRealloc, &BudgetFree, &budget_, &FatalEngineError);
    if (ctx_ == nullptr) return E_OUTOFMEMORY;
    // Scripts get the standard built-ins only: the engine's own "Duktape" object goes too.
    Job job{this, {}, nullptr, nullptr};
    if (Protected(&SafeStart, &job) != S_OK) {
      DropEngine();
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }

  void DropEngine() {
    if (ctx_ == nullptr) return;
    StartClock();  // finalisers run at destruction: they get the same time limit
    duk_destroy_heap(ctx_);
    budget_.clock.limited = false;
    ctx_ = nullptr;
  }

  void StartClock() {
    budget_.clock.limited = timeoutMs_ >= 0;
    budget_.clock.deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs_ < 0 ? 0 : timeoutMs_);
  }

  HRESULT Protected(duk_safe_call_function fn, Job* job) {
    StartClock();
    duk_int_t rc = duk_safe_call(ctx_, fn, job, 0, 1);
    budget_.clock.limited = false;
    duk_pop(ctx_);  // the error, or the safe function's undefined
    if (rc != DUK_EXEC_SUCCESS) {
      if (job->result) VariantClear(job->result);
      return DISP_E_EXCEPTION;
    }
    return job->notFound ? DISP_E_MEMBERNOTFOUND : S_OK;
  }

  static duk_ret_t SafeStart(duk_context* ctx, void*) {
    duk_push_global_object(ctx);
    duk_del_prop_string(ctx, -1, "Duktape");
    return 0;
  }

  static duk_ret_t SafeEval(duk_context* ctx, void* udata) {
    auto* job = static_cast<Job*>(udata);
    duk_push_lstring(ctx, job->source.data(), job->source.size());
    duk_eval(ctx);  // global code, as if by indirect eval
    if (job->result) job->self->ToVariant(ctx, -1, job->result);
    return 0;
  }

  static duk_ret_t SafeRun(duk_context* ctx, void* udata) {
    auto* job = static_cast<Job*>(udata);
    duk_push_global_object(ctx);
    duk_get_prop_lstring(ctx, -1, job->source.data(), job->source.size());
    if (!duk_is_callable(ctx, -1)) {
      job->notFound = true;
      return 0;
    }
    const InvokeArgs& args = *job->args;
    for (size_t i = 1; i < args.size(); ++i) PushVariant(ctx, args[i]);
    duk_call(ctx, static_cast<duk_idx_t>(args.size() - 1));
    job->self->ToVariant(ctx, -1, job->result);
    return 0;
  }

  HRESULT Evaluate(const std::u16string& code, VARIANT* result) {
    if (ctx_ == nullptr) return DISP_E_EXCEPTION;  // no language chosen yet
    Job job{this, ToCesu8(code), nullptr, result};
    return Protected(&SafeEval, &job);
  }

  HRESULT Run(InvokeArgs& args, VARIANT* result) {
    if (ctx_ == nullptr) return DISP_E_EXCEPTION;
    Job job{this, ToCesu8(args.Text(0)), &args, result};
    return Protected(&SafeRun, &job);
  }

  static void PushVariant(duk_context* ctx, const VARIANT& v) {
    switch (v.vt) {
      case VT_EMPTY:
      case VT_ERROR:
        duk_push_undefined(ctx);
        return;
      case VT_NULL:
        duk_push_null(ctx);
        return;
      case VT_BOOL:
        duk_push_boolean(ctx, v.boolVal != 0);
        return;
      case VT_BSTR: {
        std::string s = ToCesu8(BstrView(v.bstrVal));
        duk_push_lstring(ctx, s.data(), s.size());
        return;
      }
      default: {
        VARIANT d;
        VariantInit(&d);
        if (Succeeded(VariantChangeType(&d, &v, 0, VT_R8))) {
          duk_push_number(ctx, d.dblVal);
        } else {
          duk_push_undefined(ctx);
        }
        return;
      }
    }
  }

  // The value at idx as a VARIANT: integers that fit as VT_I4, other numbers VT_R8, strings
  // VT_BSTR, booleans, null, undefined as VT_EMPTY, anything else by its string form.
  void ToVariant(duk_context* ctx, duk_idx_t idx, VARIANT* out) {
    VariantClear(out);
    switch (duk_get_type(ctx, idx)) {
      case DUK_TYPE_BOOLEAN:
        *out = MakeBoolVariant(duk_get_boolean(ctx, idx));
        return;
      case DUK_TYPE_NULL:
        out->vt = VT_NULL;
        return;
      case DUK_TYPE_NUMBER: {
        double d = duk_get_number(ctx, idx);
        if (d >= -2147483648.0 && d <= 2147483647.0 && d == static_cast<double>(static_cast<int32_t>(d)) &&
            !(d == 0 && std::signbit(d))) {
          *out = MakeI4Variant(static_cast<int32_t>(d));
        } else {
          *out = MakeR8Variant(d);
        }
        return;
      }
      case DUK_TYPE_UNDEFINED:
      case DUK_TYPE_NONE:
        return;
      default: {
        duk_size_t n = 0;
        const char* s = duk_to_lstring(ctx, idx, &n);  // may run script code: still protected and timed
        *out = MakeBstrVariant(FromCesu8(s, n));
        return;
      }
    }
  }

  std::u16string language_;
  int32_t timeoutMs_ = 10000;
  bool allowUi_ = true;
  Budget budget_;
  duk_context* ctx_ = nullptr;
};

}  // namespace

void RegisterScriptControlClass() {
  AddBuiltinClass("ScriptControl", kScriptControlClsid, [] { return NewObject<ScriptControl>(); });
  AddBuiltinClass("MSScriptControl.ScriptControl", kScriptControlClsid,
                  [] { return NewObject<ScriptControl>(); });
}

}  // namespace platform::com
