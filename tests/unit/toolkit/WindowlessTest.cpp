#include <gtest/gtest.h>

#include <memory>

#include "toolkit/Application.h"
#include "toolkit/Controls.h"
#include "toolkit/TestForm.h"

TEST(Skin, EveryPictureDecodesAtItsSizeAndFrameCount) {
  struct Case {
    const char* name;
    int width, height, frames;
  } cases[] = {
      {"imgHeader", 800, 43, 1},         {"imgBackground", 800, 600, 1}, {"imgSuccess", 18, 18, 1},
      {"imgUtilHover", 143, 140, 1},     {"imgAutoHover", 143, 140, 1},  {"imgRefHover", 50, 50, 1},
      {"imgHelpHover", 40, 40, 1},       {"imgUtilBack", 657, 534, 1},   {"imgFWOff", 163, 36, 1},
      {"imgFWDisable", 162, 36, 1},      {"imgToolWarn", 530, 32, 1},    {"imgToolFail", 530, 32, 1},
      {"imgWarnIncomplete", 530, 32, 1}, {"imgFailGetData", 530, 32, 1}, {"imgToolSucceed", 530, 32, 1},
      {"imgCascade", 614, 436, 1},       {"imgAutoBack", 657, 534, 1},   {"imgTesting", 199, 55, 1},
      {"imgStart", 199, 54, 1},          {"imgFail01", 222, 24, 1},      {"imgFail02", 222, 22, 1},
      {"imgFail03", 222, 21, 1},         {"imgFail04", 222, 23, 1},      {"imgFail05", 222, 22, 1},
      {"imgFail06", 222, 21, 1},         {"imgFail07", 222, 22, 1},      {"imgWarn04", 222, 23, 1},
      {"imgWarn05", 222, 22, 1},         {"imgConfirm", 350, 117, 1},    {"imgLoading", 30, 30, 8},
      {"imgLoadingTools", 30, 30, 8},    {"imgVPN", 186, 31, 2},         {"imgProxy", 203, 31, 2},
      {"ForceUpdate", 16, 16, 1},
  };
  for (const Case& c : cases) {
    ImagePtr img = Image::FromResource(c.name);
    ASSERT_TRUE(img) << c.name;
    EXPECT_EQ(img->Width(), c.width) << c.name;
    EXPECT_EQ(img->Height(), c.height) << c.name;
    EXPECT_EQ(img->FrameCount(), c.frames) << c.name;
  }
}

TEST(Panel, PaintsInOrderAndHitTestsTheTopmostVisibleEnabledChild) {
  TestForm form;
  auto* back = form.Make<Picture>(&form, "back");
  back->SetBounds(0, 0, 300, 200);
  auto* a = form.Make<FlatButton>(&form, "a");
  a->SetBounds(10, 10, 50, 50);
  auto* b = form.Make<FlatButton>(&form, "b");
  b->SetBounds(30, 30, 50, 50);
  EXPECT_EQ(form.ControlAt(POINT{40, 40}), b) << "later children lie in front";
  EXPECT_EQ(form.ControlAt(POINT{15, 15}), a);
  EXPECT_EQ(form.ControlAt(POINT{200, 150}), back);
  b->SetEnabled(false);
  EXPECT_EQ(form.ControlAt(POINT{40, 40}), a) << "a disabled control lets the mouse through";
  b->SetEnabled(true);
  b->Hide();
  EXPECT_EQ(form.ControlAt(POINT{40, 40}), a);
  EXPECT_EQ(form.FindComponent("b"), b);
  EXPECT_EQ(form.FindComponent("nothing"), nullptr);
}

TEST(Panel, ClickIsAPressAndReleaseOnTheSameControlAndHidingForgetsHover) {
  TestForm form;
  auto* btn = form.Make<FlatButton>(&form, "btn");
  btn->SetBounds(10, 10, 50, 50);
  int clicks = 0;
  btn->OnClick = [&](Component* sender) {
    EXPECT_EQ(sender, btn);
    ++clicks;
  };
  HWND h = form.Handle();
  SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
  EXPECT_EQ(form.Hovered(), btn);
  SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(25, 25));
  EXPECT_EQ(clicks, 1);
  SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  SendMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(200, 150));
  EXPECT_EQ(clicks, 1) << "released elsewhere: no click";
  SendMessageA(h, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 20));
  SendMessageA(h, WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
  EXPECT_EQ(clicks, 1) << "the right button does not click";
  SendMessageA(h, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
  btn->Hide();
  EXPECT_EQ(form.Hovered(), nullptr);
}

TEST(Picture, AnAnimatedPictureRunsItsFramesOnlyWhileShownAndItsTimerGoesWithIt) {
  const std::size_t before = Application.TimerCount();
  auto form = std::make_unique<TestForm>();
  auto* spinner = form->Make<Picture>(form.get(), "spinner");
  spinner->SetPicture(Image::FromResource("imgLoading"));
  ASSERT_EQ(Application.TimerCount(), before + 1) << "a shown GIF of several frames animates";
  EXPECT_TRUE(Application.ProcessMessagesUntil([&] { return spinner->Frame() >= 2; }, 5000)) << "its frames advance";

  spinner->Hide();
  EXPECT_EQ(Application.TimerCount(), before) << "a hidden picture has no timer";
  const int frame = spinner->Frame();
  Application.ProcessMessagesUntil([] { return false; }, 400);
  EXPECT_EQ(spinner->Frame(), frame);
  spinner->Show();
  spinner->SetEnabled(false);
  EXPECT_EQ(Application.TimerCount(), before) << "nor has a disabled one";
  spinner->SetEnabled(true);
  EXPECT_EQ(Application.TimerCount(), before + 1);

  auto* still = form->Make<Picture>(form.get(), "still");
  still->SetPicture(Image::FromResource("imgSuccess"));
  EXPECT_EQ(Application.TimerCount(), before + 1) << "a picture of one frame needs none";

  form.reset();
  EXPECT_EQ(Application.TimerCount(), before) << "the form's end stops its animations";
  Application.ProcessMessagesUntil([] { return false; }, 200);  // no tick reaches the dead picture
}

// A panel goes to the screen in bands of rows: each pixel of the painted
// rectangle must arrive once, at its own place, converted to the screen's
// format, and nothing beside it may change, whatever the width (a band of
// one row when the rectangle is wider than a band) and however the last
// band falls. Each source pixel holds its own position, so a band copied
// from other rows or columns shows.
TEST(Graphics, CopyInBandsCopiesExactlyTheRectangle) {
  struct Case {
    int width, height;
    RECT rect;
  } cases[] = {
      {800, 600, {0, 0, 800, 600}},   // whole window: 20 rows a band, 30 bands
      {800, 600, {13, 7, 700, 599}},  // ragged last band, offset rectangle
      {20000, 3, {0, 0, 20000, 3}},   // wider than a band: one row each
      {50, 50, {10, 10, 10, 40}},     // empty: nothing happens
  };
  // 24 bits: ten of the row, fourteen of the column (the widest case repeats
  // its columns every 16,384, far more than a band's width apart).
  auto colourAt = [](int x, int y) { return static_cast<DWORD>(((y & 0x3FF) << 14) | (x & 0x3FFF)); };
  for (const Case& c : cases) {
    HBITMAP source = NewDibSection(c.width, c.height, kPaintBitsPerPixel);
    HBITMAP dest = NewDibSection(c.width, c.height, 32);  // the screen's format
    ASSERT_TRUE(source && dest);
    ASSERT_EQ(kPaintBitsPerPixel, 24) << "the source below is written as 24-bit pixels";
    DIBSECTION from{};
    GetObject(source, sizeof(from), &from);
    auto* row = static_cast<BYTE*>(from.dsBm.bmBits);
    for (int y = 0; y < c.height; ++y, row += from.dsBm.bmWidthBytes)
      for (int x = 0; x < c.width; ++x) {
        const DWORD colour = colourAt(x, y);  // BGR in memory
        row[3 * x] = static_cast<BYTE>(colour);
        row[3 * x + 1] = static_cast<BYTE>(colour >> 8);
        row[3 * x + 2] = static_cast<BYTE>(colour >> 16);
      }
    HDC sdc = CreateCompatibleDC(nullptr), ddc = CreateCompatibleDC(nullptr);
    SelectObject(sdc, source);
    SelectObject(ddc, dest);
    RECT all{0, 0, c.width, c.height};
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 200));
    FillRect(ddc, &all, blue);
    CopyInBands(ddc, sdc, c.rect);
    GdiFlush();
    DIBSECTION info{};
    GetObject(dest, sizeof(info), &info);
    const auto* pixels = static_cast<const DWORD*>(info.dsBm.bmBits);
    int wrong = 0;
    std::string first;
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) {
        const bool inside = x >= c.rect.left && x < c.rect.right && y >= c.rect.top && y < c.rect.bottom;
        const DWORD want = inside ? colourAt(x, y) : 0x0000C8;  // BGRX, read as 0x00RRGGBB
        const DWORD got = pixels[y * c.width + x] & 0xFFFFFF;
        if (got != want && wrong++ == 0)
          first = "first at " + std::to_string(x) + "," + std::to_string(y) + ": " + std::to_string(got) +
                  " instead of " + std::to_string(want);
      }
    EXPECT_EQ(wrong, 0) << c.width << "x" << c.height << " rect " << c.rect.left << "," << c.rect.top << " - "
                        << c.rect.right << "," << c.rect.bottom << "; " << first;
    DeleteDC(sdc);
    DeleteDC(ddc);
    DeleteObject(source);
    DeleteObject(dest);
    DeleteObject(blue);
  }
}
