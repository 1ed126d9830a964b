// Pictures (JPEG and animated GIF, decoded by GDI+) and cached fonts.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// Binds GDI+ from the system directory and starts it. Harmless to call again.
void InitGraphics();

class Image {
 public:
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  // Null when the bytes are no picture GDI+ understands.
  static std::shared_ptr<Image> FromMemory(const void* data, size_t size);
  // An RCDATA resource of the running program, by name.
  static std::shared_ptr<Image> FromResource(const char* name);

  int Width() const { return width_; }
  int Height() const { return height_; }
  int FrameCount() const { return static_cast<int>(delaysMs_.size()); }
  int FrameDelayMs(int frame) const;
  void Draw(HDC dc, int x, int y, int width, int height, int frame) const;

 private:
  Image() = default;
  void* image_ = nullptr;  // owned GpImage
  std::vector<HGLOBAL> memory_;
  int width_ = 0;
  int height_ = 0;
  std::vector<int> delaysMs_;
};

using ImagePtr = std::shared_ptr<Image>;

// Fonts live until the program ends; the same request gives the same handle.
HFONT GetFont(const std::string& face, int pixelHeight, bool bold = false);
// A font whose characters all have one width: the face when the system has
// it, else the system's nearest fixed-pitch font, so columns line up anyway.
HFONT GetFixedPitchFont(const std::string& face, int pixelHeight);
