#include "ui/Handles.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class CountingWindow : public ui::Window {
 public:
  int creates = 0;
  int paints = 0;
  bool finalDestroy = false;
  std::wstring lastText;

 protected:
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override {
    switch (message) {
      case WM_CREATE:
        ++creates;
        return 0;
      case WM_SETTEXT:
        lastText = reinterpret_cast<const wchar_t*>(lparam);
        break;
      case WM_APP:
        return LRESULT(this);
    }
    return Default(message, wparam, lparam);
  }
  void OnFinalDestroy() noexcept override { finalDestroy = true; }
};

TEST(Window, EachWindowReachesItsOwnObject) {
  CountingWindow a, b;
  ui::Window::CreateArgs args;
  args.className = L"OrbiskTestWindow";
  args.style = WS_OVERLAPPEDWINDOW;
  ASSERT_NE(a.Create(args), nullptr);
  ASSERT_NE(b.Create(args), nullptr);  // the class is registered once and reused
  EXPECT_EQ(a.creates, 1);
  EXPECT_EQ(b.creates, 1);
  EXPECT_EQ(SendMessageW(a.hwnd(), WM_APP, 0, 0), LRESULT(&a));
  EXPECT_EQ(SendMessageW(b.hwnd(), WM_APP, 0, 0), LRESULT(&b));
  SetWindowTextW(b.hwnd(), L"second");
  EXPECT_EQ(b.lastText, L"second");
  EXPECT_TRUE(a.lastText.empty());
}

TEST(Window, DestroyingTheWindowDetachesTheObject) {
  CountingWindow window;
  ui::Window::CreateArgs args;
  args.className = L"OrbiskTestWindow";
  HWND hwnd = window.Create(args);
  ASSERT_NE(hwnd, nullptr);
  DestroyWindow(hwnd);
  EXPECT_TRUE(window.finalDestroy);
  EXPECT_EQ(window.hwnd(), nullptr);
  EXPECT_FALSE(IsWindow(hwnd));
}

TEST(Window, ObjectDestructionDestroysTheWindow) {
  HWND hwnd;
  {
    CountingWindow window;
    ui::Window::CreateArgs args;
    args.className = L"OrbiskTestWindow";
    hwnd = window.Create(args);
    ASSERT_NE(hwnd, nullptr);
  }
  EXPECT_FALSE(IsWindow(hwnd));
}

TEST(Handles, OwnersReleaseAndMove) {
  ui::UniqueBrush brush(CreateSolidBrush(RGB(1, 2, 3)));
  ASSERT_TRUE(brush);
  HBRUSH raw = brush.get();
  ui::UniqueBrush moved(std::move(brush));
  EXPECT_FALSE(brush);
  EXPECT_EQ(moved.get(), raw);
  moved.reset();
  EXPECT_EQ(GetObjectType(raw), 0u);  // deleted
}

}  // namespace
