#include "toolkit/Graphics.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>

#include "platform/Sys.h"

namespace {

// The frame dimension of animated pictures, and the tag of their delays.
const GUID kFrameDimensionTime = {0x6aedbd6d, 0x3fb5, 0x418a, {0x83, 0xa6, 0x7f, 0x45, 0x22, 0x9d, 0xc8, 0x72}};
const PROPID kPropertyTagFrameDelay = 0x5100;

// GDI+ is started: its entries are bound and GdiplusStartup succeeded.
bool gdiplusReady = false;

// The decoded picture as the flat API takes it (Image keeps it untyped).
Gdiplus::GpImage* AsImage(void* image) { return static_cast<Gdiplus::GpImage*>(image); }

}  // namespace

void InitGraphics() {
  if (gdiplusReady) return;
  if (!BindSystemLibrary(SysLibrary::gdiplus)) return;
  const bool complete = Sys.GdiplusStartup && Sys.GdipCreateBitmapFromStream && Sys.GdipDisposeImage &&
                        Sys.GdipGetImageWidth && Sys.GdipGetImageHeight && Sys.GdipImageGetFrameCount &&
                        Sys.GdipImageSelectActiveFrame && Sys.GdipGetPropertyItemSize && Sys.GdipGetPropertyItem &&
                        Sys.GdipCreateFromHDC && Sys.GdipDeleteGraphics && Sys.GdipDrawImageRectI;
  if (!complete) return;
  ULONG_PTR token = 0;
  const Gdiplus::GdiplusStartupInput input;
  gdiplusReady = Sys.GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
}

Image::~Image() { Release(); }

void Image::Release() const {
  if (image_ && Sys.GdipDisposeImage) Sys.GdipDisposeImage(AsImage(image_));
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

void CopyInBands(HDC dest, HDC source, const RECT& rect) {
  // 16,384 pixels: 64 KB at four bytes each, below the size from which the
  // C heap maps a block of its own (and then raises that size).
  const LONG width = rect.right - rect.left;
  if (width <= 0) return;
  const LONG rows = std::max<LONG>(1, 16384 / width);
  for (LONG top = rect.top; top < rect.bottom; top += rows)
    BitBlt(dest, rect.left, top, width, std::min(rows, rect.bottom - top), source, rect.left, top, SRCCOPY);
}

namespace {

// A bitmap of the picture, drawn by GDI+ once. It has the format of the
// panels' back buffers, so drawing it is a plain copy: a bitmap of another
// format is converted through a buffer of the whole picture on every paint
// (under Wine from the C heap, which keeps megabytes of them).
HBITMAP RenderStill(Gdiplus::GpImage* image, int width, int height) {
  HBITMAP bitmap = NewDibSection(width, height, kPaintBitsPerPixel);
  if (!bitmap) return nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  Gdiplus::GpGraphics* graphics = nullptr;
  bool drawn = false;
  if (Sys.GdipCreateFromHDC(dc, &graphics) == Gdiplus::Ok) {
    drawn = Sys.GdipDrawImageRectI(graphics, image, 0, 0, width, height) == Gdiplus::Ok;
    Sys.GdipDeleteGraphics(graphics);
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
  if (!gdiplusReady || !data_ || size_ == 0) {
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
  Gdiplus::GpBitmap* bitmap = nullptr;
  const Gdiplus::GpStatus st = Sys.GdipCreateBitmapFromStream(stream, &bitmap);
  stream->Release();
  if (st != Gdiplus::Ok || !bitmap) {
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
    if (HBITMAP still = RenderStill(AsImage(image_), width_, height_)) {
      Sys.GdipDisposeImage(AsImage(image_));
      image_ = nullptr;
      GlobalFree(memory_);
      memory_ = nullptr;
      bitmap_ = still;
    }
  }
  return true;
}

void Image::ReadFormat() const {
  Gdiplus::GpImage* bitmap = AsImage(image_);
  known_ = true;
  UINT w = 0, h = 0;
  Sys.GdipGetImageWidth(bitmap, &w);
  Sys.GdipGetImageHeight(bitmap, &h);
  width_ = static_cast<int>(w);
  height_ = static_cast<int>(h);
  UINT frames = 1;
  if (Sys.GdipImageGetFrameCount(bitmap, &kFrameDimensionTime, &frames) != Gdiplus::Ok || frames == 0) frames = 1;
  delaysMs_.assign(frames, 100);
  UINT propSize = 0;
  if (frames > 1 && Sys.GdipGetPropertyItemSize(bitmap, kPropertyTagFrameDelay, &propSize) == Gdiplus::Ok &&
      propSize > sizeof(Gdiplus::PropertyItem)) {
    std::vector<BYTE> buf(propSize);
    auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buf.data());
    if (Sys.GdipGetPropertyItem(bitmap, kPropertyTagFrameDelay, propSize, item) == Gdiplus::Ok) {
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
  if (FrameCount() > 1)
    Sys.GdipImageSelectActiveFrame(AsImage(image_), &kFrameDimensionTime, static_cast<UINT>(frame % FrameCount()));
  Gdiplus::GpGraphics* graphics = nullptr;
  if (Sys.GdipCreateFromHDC(dc, &graphics) != Gdiplus::Ok) return;
  Sys.GdipDrawImageRectI(graphics, AsImage(image_), x, y, width, height);
  Sys.GdipDeleteGraphics(graphics);
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
