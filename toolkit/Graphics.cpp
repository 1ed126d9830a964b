#include "toolkit/Graphics.h"

#include <cstring>
#include <map>
#include <tuple>

#include "platform/Sys.h"

namespace {

// The few GDI+ flat-API entries pictures need, bound at run time.
typedef int GpStatus;
struct StartupInput {
  UINT32 version;
  void* debugCallback;
  BOOL suppressBackgroundThread;
  BOOL suppressExternalCodecs;
};
struct PropertyItem {
  ULONG id;
  ULONG length;
  WORD type;
  void* value;
};
const GUID kFrameDimensionTime = {0x6aedbd6d, 0x3fb5, 0x418a, {0x83, 0xa6, 0x7f, 0x45, 0x22, 0x9d, 0xc8, 0x72}};
const ULONG kPropertyTagFrameDelay = 0x5100;

struct GdiPlus {
  GpStatus(WINAPI* Startup)(ULONG_PTR*, const StartupInput*, void*) = nullptr;
  GpStatus(WINAPI* CreateBitmapFromStream)(IStream*, void**) = nullptr;
  GpStatus(WINAPI* DisposeImage)(void*) = nullptr;
  GpStatus(WINAPI* GetImageWidth)(void*, UINT*) = nullptr;
  GpStatus(WINAPI* GetImageHeight)(void*, UINT*) = nullptr;
  GpStatus(WINAPI* ImageGetFrameCount)(void*, const GUID*, UINT*) = nullptr;
  GpStatus(WINAPI* ImageSelectActiveFrame)(void*, const GUID*, UINT) = nullptr;
  GpStatus(WINAPI* GetPropertyItemSize)(void*, ULONG, UINT*) = nullptr;
  GpStatus(WINAPI* GetPropertyItem)(void*, ULONG, UINT, PropertyItem*) = nullptr;
  GpStatus(WINAPI* CreateFromHDC)(HDC, void**) = nullptr;
  GpStatus(WINAPI* DeleteGraphics)(void*) = nullptr;
  GpStatus(WINAPI* DrawImageRectI)(void*, void*, INT, INT, INT, INT) = nullptr;
  bool ready = false;
};

GdiPlus gdip;

template <class Fn>
bool BindProc(HMODULE lib, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
  return slot != nullptr;
}

}  // namespace

void InitGraphics() {
  if (gdip.ready) return;
  HMODULE lib = LoadSystemLibrary("gdiplus.dll");
  if (!lib) return;
  bool ok = BindProc(lib, "GdiplusStartup", gdip.Startup) &&
            BindProc(lib, "GdipCreateBitmapFromStream", gdip.CreateBitmapFromStream) &&
            BindProc(lib, "GdipDisposeImage", gdip.DisposeImage) &&
            BindProc(lib, "GdipGetImageWidth", gdip.GetImageWidth) &&
            BindProc(lib, "GdipGetImageHeight", gdip.GetImageHeight) &&
            BindProc(lib, "GdipImageGetFrameCount", gdip.ImageGetFrameCount) &&
            BindProc(lib, "GdipImageSelectActiveFrame", gdip.ImageSelectActiveFrame) &&
            BindProc(lib, "GdipGetPropertyItemSize", gdip.GetPropertyItemSize) &&
            BindProc(lib, "GdipGetPropertyItem", gdip.GetPropertyItem) &&
            BindProc(lib, "GdipCreateFromHDC", gdip.CreateFromHDC) &&
            BindProc(lib, "GdipDeleteGraphics", gdip.DeleteGraphics) &&
            BindProc(lib, "GdipDrawImageRectI", gdip.DrawImageRectI);
  if (!ok) return;
  ULONG_PTR token = 0;
  StartupInput input{1, nullptr, FALSE, FALSE};
  gdip.ready = gdip.Startup(&token, &input, nullptr) == 0;
}

Image::~Image() { Release(); }

void Image::Release() const {
  if (image_ && gdip.DisposeImage) gdip.DisposeImage(image_);
  image_ = nullptr;
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = nullptr;
  if (memory_) GlobalFree(memory_);
  memory_ = nullptr;
}

void Image::RemoveViewer() const {
  if (viewers_ > 0 && --viewers_ == 0) Release();
}

HBITMAP NewDibSection(int width, int height, int bitsPerPixel) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<WORD>(bitsPerPixel);
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

namespace {

// A 24-bit bitmap of the picture, drawn by GDI+ once.
HBITMAP RenderStill(void* image, int width, int height) {
  HBITMAP bitmap = NewDibSection(width, height, 24);
  if (!bitmap) return nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  void* graphics = nullptr;
  bool drawn = false;
  if (gdip.CreateFromHDC(dc, &graphics) == 0) {
    drawn = gdip.DrawImageRectI(graphics, image, 0, 0, width, height) == 0;
    gdip.DeleteGraphics(graphics);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  if (!drawn) {
    DeleteObject(bitmap);
    return nullptr;
  }
  return bitmap;
}

}  // namespace

bool Image::Decode() const {
  if (image_ || bitmap_) return true;
  if (broken_) return false;
  InitGraphics();
  if (!gdip.ready || !data_ || size_ == 0) {
    broken_ = true;
    return false;
  }
  HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE, size_);
  if (!global) return false;
  memcpy(GlobalLock(global), data_, size_);
  GlobalUnlock(global);
  IStream* stream = nullptr;
  if (CreateStreamOnHGlobal(global, FALSE, &stream) != S_OK) {
    GlobalFree(global);
    return false;
  }
  void* bitmap = nullptr;
  const GpStatus st = gdip.CreateBitmapFromStream(stream, &bitmap);
  stream->Release();
  if (st != 0 || !bitmap) {
    GlobalFree(global);
    broken_ = true;
    return false;
  }
  image_ = bitmap;
  memory_ = global;  // GDI+ may read the stream lazily while the bitmap lives
  if (!known_) ReadFormat();
  // A still picture is drawn once into a plain bitmap: the decoder, and the
  // copy of the picture it keeps for frames it never has, can go.
  if (!MayAnimate() && width_ > 0 && height_ > 0) {
    if (HBITMAP still = RenderStill(image_, width_, height_)) {
      gdip.DisposeImage(image_);
      image_ = nullptr;
      GlobalFree(memory_);
      memory_ = nullptr;
      bitmap_ = still;
    }
  }
  return true;
}

void Image::ReadFormat() const {
  void* bitmap = image_;
  known_ = true;
  UINT w = 0, h = 0;
  gdip.GetImageWidth(bitmap, &w);
  gdip.GetImageHeight(bitmap, &h);
  width_ = static_cast<int>(w);
  height_ = static_cast<int>(h);
  UINT frames = 1;
  if (gdip.ImageGetFrameCount(bitmap, &kFrameDimensionTime, &frames) != 0 || frames == 0) frames = 1;
  delaysMs_.assign(frames, 100);
  UINT propSize = 0;
  if (frames > 1 && gdip.GetPropertyItemSize(bitmap, kPropertyTagFrameDelay, &propSize) == 0 && propSize > sizeof(PropertyItem)) {
    std::vector<BYTE> buf(propSize);
    auto* item = reinterpret_cast<PropertyItem*>(buf.data());
    if (gdip.GetPropertyItem(bitmap, kPropertyTagFrameDelay, propSize, item) == 0) {
      const UINT count = item->length / 4;
      const auto* delays = static_cast<const UINT32*>(item->value);
      for (UINT i = 0; i < frames && i < count; ++i) {
        // GIF delays are hundredths of a second; browsers treat tiny ones as 100 ms.
        const int ms = static_cast<int>(delays[i]) * 10;
        delaysMs_[i] = ms < 20 ? 100 : ms;
      }
    }
  }
}

std::shared_ptr<Image> Image::FromMemory(const void* data, size_t size) {
  if (!data || size == 0) return nullptr;
  std::shared_ptr<Image> img(new Image(nullptr, 0));
  img->copy_.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
  img->data_ = img->copy_.data();
  img->size_ = size;
  if (!img->Decode()) return nullptr;
  return img;
}

std::shared_ptr<Image> Image::FromResource(const char* name) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC res = FindResourceA(module, name, MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  if (!res) return nullptr;
  HGLOBAL loaded = LoadResource(module, res);
  if (!loaded) return nullptr;
  // A resource stays mapped as long as the program runs: no copy needed.
  return std::shared_ptr<Image>(new Image(LockResource(loaded), SizeofResource(module, res)));
}

int Image::Width() const {
  if (!known_) Decode();
  return width_;
}

int Image::Height() const {
  if (!known_) Decode();
  return height_;
}

bool Image::MayAnimate() const { return size_ >= 3 && data_ && memcmp(data_, "GIF", 3) == 0; }

int Image::FrameCount() const {
  if (!known_) Decode();
  return delaysMs_.empty() ? 1 : static_cast<int>(delaysMs_.size());
}

int Image::FrameDelayMs(int frame) const {
  if (frame < 0 || frame >= FrameCount()) return 100;
  return delaysMs_[static_cast<size_t>(frame)];
}

void Image::Draw(HDC dc, int x, int y, int width, int height, int frame) const {
  if (!Decode()) return;
  if (bitmap_) {
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, bitmap_);
    if (width == width_ && height == height_)
      BitBlt(dc, x, y, width, height, source, 0, 0, SRCCOPY);
    else
      StretchBlt(dc, x, y, width, height, source, 0, 0, width_, height_, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
    return;
  }
  if (FrameCount() > 1) gdip.ImageSelectActiveFrame(image_, &kFrameDimensionTime, static_cast<UINT>(frame % FrameCount()));
  void* graphics = nullptr;
  if (gdip.CreateFromHDC(dc, &graphics) != 0) return;
  gdip.DrawImageRectI(graphics, image_, x, y, width, height);
  gdip.DeleteGraphics(graphics);
}

namespace {

HFONT CachedFont(const std::string& face, int pixelHeight, bool bold, DWORD pitchAndFamily) {
  static std::map<std::tuple<std::string, int, bool, DWORD>, HFONT> cache;
  auto key = std::make_tuple(face, pixelHeight, bold, pitchAndFamily);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  HFONT font = CreateFontA(-pixelHeight, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitchAndFamily, face.c_str());
  cache[key] = font;
  return font;
}

}  // namespace

HFONT GetFont(const std::string& face, int pixelHeight, bool bold) {
  return CachedFont(face, pixelHeight, bold, DEFAULT_PITCH | FF_DONTCARE);
}

HFONT GetFixedPitchFont(const std::string& face, int pixelHeight) {
  return CachedFont(face, pixelHeight, false, FIXED_PITCH | FF_MODERN);
}
