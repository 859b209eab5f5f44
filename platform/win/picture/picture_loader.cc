// Picture loading on Windows: BMP, JPEG, PNG, GIF, ICO and CUR through the Windows Imaging
// Component, PCX through the shared decoder. The cap is checked on the frame's size before any
// pixel is converted.
#include "platform/picture/picture_loader.h"

#include <cstring>

#include "platform/picture/decoders.h"

// After the platform's headers: Windows' macros would rename platform/com's names.
#include <objbase.h>
#include <wincodec.h>
#include <windows.h>

namespace platform {
namespace {

// Releases a COM interface at the end of its scope.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T** out() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// COM for the calling thread (pictures are decoded on pool threads as well as the GUI thread),
// ended again when this call started it.
class ComScope {
 public:
  ComScope() : started_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
  ~ComScope() {
    if (started_) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool started_;
};

Picture DecodeWithWic(const unsigned char* data, size_t length, bool severalFrames, int64_t maxPixels) {
  if (length > 0xFFFFFFFFu) return Picture();
  ComScope com;
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out())))) {
    return Picture();
  }
  ComPtr<IWICStream> stream;
  if (FAILED(factory->CreateStream(stream.out())) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(length)))) {
    return Picture();
  }
  ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              decoder.out()))) {
    return Picture();
  }
  // An icon file holds several images: the largest that the cap allows. An animation shows its
  // first frame.
  UINT frames = 1;
  if (severalFrames && FAILED(decoder->GetFrameCount(&frames))) return Picture();
  UINT best = 0;
  int64_t bestArea = -1;
  for (UINT i = 0; i < frames && i < 256; ++i) {
    ComPtr<IWICBitmapFrameDecode> frame;
    UINT w = 0, h = 0;
    if (FAILED(decoder->GetFrame(i, frame.out())) || FAILED(frame->GetSize(&w, &h))) continue;
    if (!picture::FitsPixelCap(w, h, maxPixels)) continue;
    if (int64_t{w} * h > bestArea) {
      bestArea = int64_t{w} * h;
      best = i;
    }
  }
  if (bestArea < 0) return Picture();
  ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(best, frame.out()))) return Picture();
  WICPixelFormatGUID format;
  if (FAILED(frame->GetPixelFormat(&format))) return Picture();
  ComPtr<IWICComponentInfo> info;
  ComPtr<IWICPixelFormatInfo2> formatInfo;
  BOOL transparency = TRUE;
  if (SUCCEEDED(factory->CreateComponentInfo(format, info.out())) &&
      SUCCEEDED(info->QueryInterface(IID_IWICPixelFormatInfo2, reinterpret_cast<void**>(formatInfo.out())))) {
    formatInfo->SupportsTransparency(&transparency);
  }
  // Straight-alpha BGRA words are the picture's 0xAARRGGBB pixels on a little-endian machine.
  ComPtr<IWICBitmapSource> converted;
  if (FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.get(), converted.out()))) {
    return Picture();
  }
  UINT w = 0, h = 0;
  if (FAILED(converted->GetSize(&w, &h)) || !picture::FitsPixelCap(w, h, maxPixels)) return Picture();
  Picture picture;
  picture.width = static_cast<int32_t>(w);
  picture.height = static_cast<int32_t>(h);
  picture.hasAlpha = transparency != FALSE;
  picture.pixels.resize(static_cast<size_t>(w) * h);
  if (FAILED(converted->CopyPixels(nullptr, w * 4, static_cast<UINT>(picture.pixels.size() * 4),
                                   reinterpret_cast<BYTE*>(picture.pixels.data())))) {
    return Picture();
  }
  return picture;
}

}  // namespace

Picture LoadPicture(const unsigned char* data, size_t length, int64_t maxPixels) {
  switch (DetectPictureFormat(data, length)) {
    case PictureFormat::kBmp:
    case PictureFormat::kJpeg:
    case PictureFormat::kPng:
    case PictureFormat::kGif:
      return DecodeWithWic(data, length, false, maxPixels);
    case PictureFormat::kIcon:
      return DecodeWithWic(data, length, true, maxPixels);
    case PictureFormat::kPcx:
      return picture::DecodePcx(data, length, maxPixels);
    case PictureFormat::kNone:
      break;
  }
  return Picture();
}

}  // namespace platform
