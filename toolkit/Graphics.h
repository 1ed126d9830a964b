// Pictures (JPEG and animated GIF, decoded by GDI+) and cached fonts.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// Binds GDI+ from the system directory and starts it. Harmless to call again.
void InitGraphics();

// A picture held as its compressed bytes and decoded when it is first
// needed (its size asked for, or drawn). Release drops the decoded bitmap
// again; the next use decodes anew. Pictures that no visible component shows
// are released, so a skin of many pictures costs memory only for the few
// on screen.
class Image {
 public:
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  // Decoded at once to see it is a picture: null when the bytes are no
  // picture GDI+ understands. The bytes are copied.
  static std::shared_ptr<Image> FromMemory(const void* data, size_t size);
  // An RCDATA resource of the running program, by name; null when there is
  // no such resource. Nothing is decoded until it is needed.
  static std::shared_ptr<Image> FromResource(const char* name);

  int Width() const;
  int Height() const;
  // Only a GIF can have frames to animate; telling costs no decoding.
  bool MayAnimate() const;
  int FrameCount() const;
  int FrameDelayMs(int frame) const;
  void Draw(HDC dc, int x, int y, int width, int height, int frame) const;

  // Whether the bitmap is decoded now.
  bool Decoded() const { return image_ != nullptr || bitmap_ != nullptr; }
  // Frees the decoded bitmap (its size and frames stay known).
  void Release() const;

  // How many visible components show this picture; at 0 it is released.
  void AddViewer() const { ++viewers_; }
  void RemoveViewer() const;

 private:
  Image(const void* data, size_t size) : data_(static_cast<const BYTE*>(data)), size_(size) {}
  // Decodes the bytes if that has not been done; false when they are no
  // picture.
  bool Decode() const;
  // Size, frames and frame delays of the decoded picture.
  void ReadFormat() const;

  const BYTE* data_;  // not owned: the resource, or copy_
  size_t size_;
  std::vector<BYTE> copy_;            // FromMemory's own bytes
  mutable void* image_ = nullptr;     // owned GpImage, while decoded (animations keep theirs)
  mutable HBITMAP bitmap_ = nullptr;  // owned: a still picture, drawn once from its decoder
  mutable HGLOBAL memory_ = nullptr;  // owned: the stream GDI+ reads from, while decoded
  mutable bool known_ = false;        // size and frames read (they outlive a release)
  mutable bool broken_ = false;       // the bytes are no picture
  mutable int width_ = 0;
  mutable int height_ = 0;
  mutable std::vector<int> delaysMs_;
  mutable int viewers_ = 0;
};

using ImagePtr = std::shared_ptr<Image>;

// A top-down DIB section of the given size and depth (24 or 32 bits per
// pixel), its pixels undefined; null when the system refuses. Its
// memory is its own and goes back whole when the bitmap is deleted.
HBITMAP NewDibSection(int width, int height, int bitsPerPixel);

// The depth of the bitmaps the panels paint with: their back buffers and the
// still pictures share it, so drawing a picture into a buffer is a plain
// copy. 24 bits hold every colour the screen shows, in three quarters of the
// memory of 32.
constexpr int kPaintBitsPerPixel = 24;

// Copies `rect` of `source` to the same place of `dest`, a band of a few rows
// at a time. Where the two formats differ (a back buffer and the screen) the
// system converts through a buffer the size of one copy, and under Wine the
// C heap keeps such buffers after they are freed: a band is all it keeps.
void CopyInBands(HDC dest, HDC source, const RECT& rect);

// Fonts live until the program ends; the same request gives the same handle.
HFONT GetFont(const std::string& face, int pixelHeight, bool bold = false);
// A font whose characters all have one width: the face when the system has
// it, else the system's nearest fixed-pitch font, so columns line up anyway.
HFONT GetFixedPitchFont(const std::string& face, int pixelHeight);
