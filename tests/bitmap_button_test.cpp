// The launcher's bitmap button: which bitmap each state draws, hover with
// leave tracking, the hand cursor, the icons drawn over the bitmap and their
// ownership, and how loading fails.
#include "controls/bitmap_button.h"
#include "framework/afx_dialog.h"
#include "tests/fixtures_window/window_fixture.h"
#include "tests/fixtures_window/window_test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kBitmapWidth = 48;  // the fixture bitmaps' size
constexpr int kBitmapHeight = 36;
constexpr DWORD kLeaveTimeoutMs = 5000;
constexpr int kSmallIcon = 16;
constexpr int kLargeIcon = 32;
// The shield icon in user32's resources.
constexpr WORD kUser32ShieldIcon = 106;
constexpr WORD kSystemShieldIcon = 32518;  // OIC_SHIELD
constexpr COLORREF kBackground = RGB(255, 255, 255);

// Records what DrawItem chose, then draws as usual.
class recording_button : public CzBitmapButton {
public:
  void DrawButton(HDC dc, HBITMAP bitmap, RECT rect) override {
    drawn.push_back(bitmap);
    CzBitmapButton::DrawButton(dc, bitmap, rect);
  }

  // The five bitmaps as held, null when not loaded.
  HBITMAP normal() const { return m_bitmap; }
  HBITMAP selected() const { return m_bitmapSel; }
  HBITMAP focus() const { return m_bitmapFocus; }
  HBITMAP disabled() const { return m_bitmapDisabled; }
  HBITMAP hover() const { return m_bitmapHover; }

  std::vector<HBITMAP> drawn;
};

class buttons_dialog : public CDialog {
public:
  buttons_dialog() : CDialog(IDD_FIXTURE_BUTTONS, nullptr) {}
  void DoDataExchange() override {
    DDX_Control(IDC_FIXTURE_FIRST, first);
    DDX_Control(IDC_FIXTURE_SECOND, second);
  }

  recording_button first;
  recording_button second;
};

// The dialog, shown: painting needs a visible window.
class ButtonDialog : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dialog.Create(IDD_FIXTURE_BUTTONS));
    dialog.ShowWindow(SW_SHOWNOACTIVATE);
    pump_pending();
  }

  // Draws `button` into `canvas` as WM_DRAWITEM would with `state`.
  static void draw(recording_button& button, UINT state, dib_canvas& canvas) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = static_cast<UINT>(::GetDlgCtrlID(button.GetSafeHwnd()));
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = state;
    item.hwndItem = button.GetSafeHwnd();
    item.hDC = canvas.dc();
    item.rcItem = RECT{0, 0, canvas.width(), canvas.height()};
    button.DrawItem(&item);
  }

  buttons_dialog dialog;
};

// A fresh canvas holding bitmap resource `id`.
struct resource_canvas : dib_canvas {
  explicit resource_canvas(UINT id) : dib_canvas(kBitmapWidth, kBitmapHeight) {
    fill(kBackground);
    draw_resource(id);
  }
};

// ---------------------------------------------------------------------------

enum loaded_bitmaps : unsigned {
  kSelected = 1,
  kFocus = 2,
  kDisabled = 4,
  kHover = 8,
  kAll = kSelected | kFocus | kDisabled | kHover,
};

UINT id_if(unsigned loaded, unsigned which, UINT id) { return (loaded & which) ? id : 0; }

struct state_case {
  const char* name;
  unsigned loaded;
  UINT state;
  BOOL hover;
  UINT expected;
};

class StateBitmap : public ButtonDialog, public ::testing::WithParamInterface<state_case> {};

TEST_P(StateBitmap, FirstMatchWins) {
  const state_case& c = GetParam();
  recording_button& button = dialog.first;
  ASSERT_TRUE(button.LoadBitmaps(IDB_FIXTURE_NORMAL, id_if(c.loaded, kSelected, IDB_FIXTURE_SELECTED),
                                 id_if(c.loaded, kFocus, IDB_FIXTURE_FOCUS),
                                 id_if(c.loaded, kDisabled, IDB_FIXTURE_DISABLED),
                                 id_if(c.loaded, kHover, IDB_FIXTURE_HOVER)));
  button.m_bHover = c.hover;
  dib_canvas canvas(kBitmapWidth, kBitmapHeight);
  canvas.fill(kBackground);
  draw(button, c.state, canvas);

  EXPECT_TRUE(canvas.same_as(resource_canvas(c.expected)));
  for (UINT other : {IDB_FIXTURE_NORMAL, IDB_FIXTURE_SELECTED, IDB_FIXTURE_FOCUS,
                     IDB_FIXTURE_DISABLED, IDB_FIXTURE_HOVER}) {
    if (other != c.expected) {
      EXPECT_FALSE(canvas.same_as(resource_canvas(other))) << other;
    }
  }
}

const state_case kStateCases[] = {
    {"normal", kAll, 0, FALSE, IDB_FIXTURE_NORMAL},
    {"selected_over_all", kAll, ODS_SELECTED | ODS_FOCUS | ODS_DISABLED, TRUE, IDB_FIXTURE_SELECTED},
    {"hover_over_focus", kAll, ODS_FOCUS | ODS_DISABLED, TRUE, IDB_FIXTURE_HOVER},
    {"focus_over_disabled", kAll, ODS_FOCUS | ODS_DISABLED, FALSE, IDB_FIXTURE_FOCUS},
    {"disabled", kAll, ODS_DISABLED, FALSE, IDB_FIXTURE_DISABLED},
    {"no_selected_gives_hover", kAll & ~kSelected, ODS_SELECTED, TRUE, IDB_FIXTURE_HOVER},
    {"no_hover_gives_focus", kAll & ~kHover, ODS_FOCUS, TRUE, IDB_FIXTURE_FOCUS},
    {"no_focus_gives_disabled", kAll & ~kFocus, ODS_FOCUS | ODS_DISABLED, FALSE,
     IDB_FIXTURE_DISABLED},
    {"no_disabled_gives_normal", kAll & ~kDisabled, ODS_DISABLED, FALSE, IDB_FIXTURE_NORMAL},
    {"normal_only", 0, ODS_SELECTED | ODS_FOCUS | ODS_DISABLED, TRUE, IDB_FIXTURE_NORMAL},
};

INSTANTIATE_TEST_SUITE_P(States, StateBitmap, ::testing::ValuesIn(kStateCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ButtonDialog, WithoutNormalBitmapNothingIsDrawn) {
  recording_button& button = dialog.first;
  EXPECT_FALSE(button.LoadBitmaps(IDB_FIXTURE_MISSING, IDB_FIXTURE_SELECTED, 0, 0, 0));
  dib_canvas canvas(kBitmapWidth, kBitmapHeight), blank(kBitmapWidth, kBitmapHeight);
  canvas.fill(kBackground);
  blank.fill(kBackground);
  draw(button, ODS_SELECTED, canvas);
  EXPECT_TRUE(button.drawn.empty());
  EXPECT_TRUE(canvas.same_as(blank));
}

TEST_F(ButtonDialog, BitmapGoesToTheItemRectangle) {
  recording_button& button = dialog.first;
  ASSERT_TRUE(button.LoadBitmaps(IDB_FIXTURE_NORMAL, 0, 0, 0, 0));
  constexpr int kLeft = 5, kTop = 3;
  dib_canvas canvas(kBitmapWidth + 2 * kLeft, kBitmapHeight + 2 * kTop);
  canvas.fill(kBackground);
  button.DrawButton(canvas.dc(), button.normal(),
                    RECT{kLeft, kTop, kLeft + kBitmapWidth, kTop + kBitmapHeight});
  const resource_canvas normal(IDB_FIXTURE_NORMAL);
  EXPECT_EQ(canvas.pixel(kLeft, kTop), normal.pixel(0, 0));
  EXPECT_EQ(canvas.pixel(kLeft + kBitmapWidth - 1, kTop + kBitmapHeight - 1), normal.pixel(0, 0));
  EXPECT_EQ(canvas.pixel(kLeft - 1, kTop), dib_colour(kBackground));
  EXPECT_EQ(canvas.pixel(kLeft, kTop + kBitmapHeight), dib_colour(kBackground));
}

TEST_F(ButtonDialog, SizesToTheNormalBitmap) {
  ASSERT_TRUE(dialog.first.LoadBitmaps(IDB_FIXTURE_NORMAL, 0, 0, 0, 0));
  dialog.first.SizeToContent();
  RECT client{};
  dialog.first.GetClientRect(&client);
  EXPECT_EQ(client.right, kBitmapWidth);
  EXPECT_EQ(client.bottom, kBitmapHeight);
}

// ---------------------------------------------------------------------------

// The cursor stays put: Wine under Xvfb does not warp it. Instead the dialog
// goes over the cursor (on top of everything), and the button moves within it,
// which no window manager has a say in.
bool cursor_over(HWND window) {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return ::PtInRect(&rect, cursor) != FALSE;
}

void bring_over_cursor(CWnd& dialog) {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  RECT rect{};
  dialog.GetWindowRect(&rect);
  const int x = cursor.x - (rect.right - rect.left) / 2;
  const int y = cursor.y - (rect.bottom - rect.top) / 2;
  const UINT keep = cursor_over(dialog) ? SWP_NOMOVE : 0u;
  dialog.SetWindowPos(HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | keep);
  pump_pending();
}

// Puts the middle of `control` under the cursor, or the whole of it to the
// cursor's right.
void move_control(CWnd& control, bool under_cursor) {
  POINT at{};
  ::GetCursorPos(&at);
  ::ScreenToClient(control.GetParent(), &at);
  RECT size{};
  control.GetClientRect(&size);
  const int x = under_cursor ? at.x - size.right / 2 : at.x + size.right;
  control.SetWindowPos(nullptr, x, at.y - size.bottom / 2, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  pump_pending();
}

HWND window_under_cursor() {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  return ::WindowFromPoint(cursor);
}

// The workflows disable their button while they run, so the mouse may leave
// a disabled button, which gets no mouse messages.
struct leave_case {
  const char* name;
  BOOL enabled_when_leaving;
};

class HoverLeave : public ButtonDialog, public ::testing::WithParamInterface<leave_case> {};

TEST_P(HoverLeave, IsTrackedUntilTheMouseLeaves) {
  recording_button& button = dialog.first;
  ASSERT_TRUE(button.LoadBitmaps(IDB_FIXTURE_NORMAL, IDB_FIXTURE_SELECTED, 0, 0, IDB_FIXTURE_HOVER));
  // Wine tracks the leave only when the mouse is over the window when the
  // tracking starts (Windows reports it at once otherwise).
  bring_over_cursor(dialog);
  ASSERT_TRUE(cursor_over(dialog)) << "the window manager keeps the dialog elsewhere";
  button.drawn.clear();
  move_control(button, true);
  ASSERT_EQ(window_under_cursor(), button.GetSafeHwnd());

  // The move under the mouse may bring its own WM_MOUSEMOVE first.
  button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
  EXPECT_TRUE(button.m_bHover);
  EXPECT_EQ(button.m_trackMouseEvent.hwndTrack, button.GetSafeHwnd());
  // Redrawn at once, in the hover bitmap.
  ASSERT_FALSE(button.drawn.empty());
  EXPECT_EQ(button.drawn.back(), button.hover());

  // Moving on over the button changes nothing.
  button.drawn.clear();
  button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(6, 6));
  EXPECT_TRUE(button.drawn.empty());

  // The button moves away from the mouse: the tracking asked for reports the leave.
  button.EnableWindow(GetParam().enabled_when_leaving);
  move_control(button, false);
  ASSERT_NE(window_under_cursor(), button.GetSafeHwnd());
  ASSERT_TRUE(pump_until([&] { return !button.m_bHover; }, kLeaveTimeoutMs));
  ASSERT_FALSE(button.drawn.empty());
  EXPECT_EQ(button.drawn.back(), button.normal());
}

const leave_case kLeaveCases[] = {{"enabled", TRUE}, {"disabled", FALSE}};

INSTANTIATE_TEST_SUITE_P(States, HoverLeave, ::testing::ValuesIn(kLeaveCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A press dragged off the button: the button holds the capture, so its moves
// arrive while the mouse is over something else, and no leave can be tracked
// from there. The hover look must still end without the mouse coming back.
TEST_F(ButtonDialog, HoverEndsAfterAPressDraggedOff) {
  recording_button& button = dialog.first;
  ASSERT_TRUE(button.LoadBitmaps(IDB_FIXTURE_NORMAL, IDB_FIXTURE_SELECTED, 0, 0, IDB_FIXTURE_HOVER));
  move_control(button, false);
  ASSERT_NE(window_under_cursor(), button.GetSafeHwnd());

  button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  ASSERT_EQ(::GetCapture(), button.GetSafeHwnd());
  button.drawn.clear();
  const LPARAM off_the_button = MAKELPARAM(kBitmapWidth + 20, kBitmapHeight + 20);
  button.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, off_the_button);
  EXPECT_TRUE(button.m_bHover);
  button.SendMessage(WM_LBUTTONUP, 0, off_the_button);
  ASSERT_NE(::GetCapture(), button.GetSafeHwnd());

  ASSERT_TRUE(pump_until([&] { return !button.m_bHover; }, kLeaveTimeoutMs));
  ASSERT_FALSE(button.drawn.empty());
  EXPECT_EQ(button.drawn.back(), button.normal());
}

TEST_F(ButtonDialog, PressEndsHover) {
  recording_button& button = dialog.first;
  ASSERT_TRUE(button.LoadBitmaps(IDB_FIXTURE_NORMAL, IDB_FIXTURE_SELECTED, 0, 0, IDB_FIXTURE_HOVER));
  button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
  ASSERT_TRUE(button.m_bHover);
  button.drawn.clear();

  button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  EXPECT_FALSE(button.m_bHover);
  // Only the button's own pressed look was drawn.
  for (HBITMAP drawn : button.drawn) EXPECT_EQ(drawn, button.selected());
  button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  ::ReleaseCapture();
}

TEST_F(ButtonDialog, NoHoverBitmapNoHover) {
  recording_button& button = dialog.second;
  ASSERT_TRUE(button.LoadBitmaps(IDB_FIXTURE_NORMAL, IDB_FIXTURE_SELECTED, 0, 0, 0));
  pump_pending();
  button.drawn.clear();
  button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
  EXPECT_FALSE(button.m_bHover);
  EXPECT_TRUE(button.drawn.empty());
}

TEST_F(ButtonDialog, ReloadingForgetsTheHoverBitmap) {
  recording_button& button = dialog.first;
  ASSERT_TRUE(button.LoadBitmaps(IDB_FIXTURE_NORMAL, 0, 0, 0, IDB_FIXTURE_HOVER));
  ASSERT_TRUE(button.LoadBitmaps(IDB_FIXTURE_OTHER, 0, 0, 0, 0));
  button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
  EXPECT_FALSE(button.m_bHover);
}

struct cursor_case {
  const char* name;
  BOOL enabled;
  bool hand;
};

class HandCursor : public ButtonDialog, public ::testing::WithParamInterface<cursor_case> {};

TEST_P(HandCursor, OverEnabledButtonsOnly) {
  recording_button& button = dialog.first;
  ASSERT_TRUE(button.LoadBitmaps(IDB_FIXTURE_NORMAL, 0, 0, 0, 0));
  button.EnableWindow(GetParam().enabled);
  const HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
  ::SetCursor(::LoadCursorW(nullptr, IDC_CROSS));
  const LRESULT answer = button.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(button.GetSafeHwnd()),
                                            MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(::GetCursor() == hand, GetParam().hand);
  if (GetParam().hand) {
    EXPECT_EQ(answer, TRUE);
  }
}

const cursor_case kCursorCases[] = {{"enabled", TRUE, true}, {"disabled", FALSE, false}};

INSTANTIATE_TEST_SUITE_P(States, HandCursor, ::testing::ValuesIn(kCursorCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------

// An owned shield icon of `size` pixels from user32's resources. Wine's user32
// lacks Windows' icon 106: its own shield (OIC_SHIELD) stands in.
HICON load_shield(int size) {
  for (const WORD id : {kUser32ShieldIcon, kSystemShieldIcon}) {
    if (HANDLE icon = ::LoadImageW(::GetModuleHandleW(L"user32.dll"), MAKEINTRESOURCEW(id),
                                   IMAGE_ICON, size, size, 0)) {
      return static_cast<HICON>(icon);
    }
  }
  return nullptr;
}

// Wine's buttons keep an image only when their style says BS_ICON.
void set_button_image(CButton& button, HICON image) {
  button.ModifyStyle(0, BS_ICON);
  button.SetIcon(image);
}

bool icon_alive(HICON icon) {
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) return false;
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  return true;
}

struct icon_case {
  const char* name;
  bool own_icon;  // m_hIcon with m_bDrawIcon, at its natural 32 pixels
  bool button_image;  // BM_SETIMAGE icon at m_ptImage, m_sizeImage
  POINT image_position;
  // Where the icon must show, and where the bitmap must stay bare.
  RECT covered;
  RECT bare;
};

class IconOverlay : public ButtonDialog, public ::testing::WithParamInterface<icon_case> {};

TEST_P(IconOverlay, IsDrawnOverTheBitmap) {
  const icon_case& c = GetParam();
  recording_button& button = dialog.first;
  ASSERT_TRUE(button.LoadBitmaps(IDB_FIXTURE_NORMAL, 0, 0, 0, 0));
  resource_canvas expected(IDB_FIXTURE_NORMAL);
  const resource_canvas bare(IDB_FIXTURE_NORMAL);
  if (c.own_icon) {
    const HICON icon = load_shield(kLargeIcon);
    ASSERT_NE(icon, nullptr);
    button.m_hIcon.Reset(icon);
    button.m_bDrawIcon = TRUE;
    ::DrawIconEx(expected.dc(), 0, 0, icon, kLargeIcon, kLargeIcon, 0, nullptr, DI_NORMAL);
  }
  HICON image = nullptr;
  if (c.button_image) {
    image = load_shield(kSmallIcon);
    ASSERT_NE(image, nullptr);
    set_button_image(button, image);
    button.m_ptImage = c.image_position;
    ::DrawIconEx(expected.dc(), c.image_position.x, c.image_position.y, image, kSmallIcon,
                 kSmallIcon, 0, nullptr, DI_NORMAL);
  }
  dib_canvas canvas(kBitmapWidth, kBitmapHeight);
  draw(button, 0, canvas);

  EXPECT_TRUE(canvas.same_as(expected));
  EXPECT_EQ(button.m_hImage, image);
  EXPECT_GE(canvas.first_difference(bare, c.covered).x, 0) << "no icon where expected";
  EXPECT_LT(canvas.first_difference(bare, c.bare).x, 0) << "icon where none belongs";
}

const icon_case kIconCases[] = {
    // The lower right quarter of 32 pixels shows only when drawn at 32.
    {"own_icon_at_32", true, false, {0, 0}, {16, 16, 32, 32}, {32, 0, 48, 36}},
    {"button_image_at_16", false, true, {0, 0}, {0, 0, 16, 16}, {16, 0, 48, 36}},
    {"button_image_moved", false, true, {20, 10}, {20, 10, 36, 26}, {0, 0, 20, 36}},
};

INSTANTIATE_TEST_SUITE_P(Icons, IconOverlay, ::testing::ValuesIn(kIconCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------

// A plain push button of this thread, destroyed with the object.
class button_window {
public:
  button_window()
      : window_(::CreateWindowExW(0, L"BUTTON", L"b", WS_POPUP | BS_PUSHBUTTON, 0, 0,
                                  kBitmapWidth, kBitmapHeight, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr)) {}
  ~button_window() {
    if (::IsWindow(window_)) ::DestroyWindow(window_);
  }
  HWND get() const { return window_; }

private:
  HWND window_;
};

struct ownership_case {
  const char* name;
  bool shared;  // the button's image is the very icon m_hIcon holds
};

class IconOwnership : public ::testing::TestWithParam<ownership_case> {};

TEST_P(IconOwnership, IconsGoWithTheButton) {
  button_window window;
  const HICON icon = load_shield(kLargeIcon);
  const HICON image = GetParam().shared ? icon : load_shield(kSmallIcon);
  ASSERT_NE(icon, nullptr);
  ASSERT_NE(image, nullptr);
  {
    recording_button button;
    ASSERT_TRUE(button.SubclassWindow(window.get()));
    ASSERT_TRUE(button.LoadBitmaps(IDB_FIXTURE_NORMAL, 0, 0, 0, 0));
    button.m_hIcon.Reset(icon);
    button.m_bDrawIcon = TRUE;
    set_button_image(button, image);
    dib_canvas canvas(kBitmapWidth, kBitmapHeight);
    button.DrawButton(canvas.dc(), button.normal(), RECT{0, 0, kBitmapWidth, kBitmapHeight});
    ASSERT_EQ(button.m_hImage, image);
    EXPECT_TRUE(icon_alive(icon));
  }
  EXPECT_FALSE(icon_alive(icon));
  EXPECT_FALSE(icon_alive(image));
}

const ownership_case kOwnershipCases[] = {{"distinct", false}, {"shared", true}};

INSTANTIATE_TEST_SUITE_P(Icons, IconOwnership, ::testing::ValuesIn(kOwnershipCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------

struct load_case {
  const char* name;
  UINT normal, selected, focus, disabled, hover;
  BOOL expected;
  // Held afterwards: normal, selected, focus, disabled, hover.
  bool held[5];  // in that order
};

class LoadBitmaps : public ::testing::TestWithParam<load_case> {};

TEST_P(LoadBitmaps, ResultStyleAndWhatIsHeld) {
  const load_case& c = GetParam();
  button_window window;
  recording_button button;
  ASSERT_TRUE(button.SubclassWindow(window.get()));
  // Something loaded before, which must be gone afterwards.
  ASSERT_TRUE(button.LoadBitmaps(IDB_FIXTURE_OTHER, IDB_FIXTURE_OTHER, IDB_FIXTURE_OTHER,
                                 IDB_FIXTURE_OTHER, IDB_FIXTURE_OTHER));
  const DWORD plain_style = (button.GetStyle() & ~BS_TYPEMASK) | BS_PUSHBUTTON;
  ::SetWindowLongPtrW(window.get(), GWL_STYLE, static_cast<LONG_PTR>(plain_style));

  EXPECT_EQ(button.LoadBitmaps(c.normal, c.selected, c.focus, c.disabled, c.hover), c.expected);

  const DWORD style = button.GetStyle();
  EXPECT_EQ(style & BS_TYPEMASK, static_cast<DWORD>(c.expected ? BS_OWNERDRAW : BS_PUSHBUTTON));
  EXPECT_EQ(style & ~BS_TYPEMASK, plain_style & ~BS_TYPEMASK);
  const HBITMAP held[] = {button.normal(), button.selected(), button.focus(), button.disabled(),
                          button.hover()};
  for (size_t i = 0; i < std::size(held); ++i) {
    EXPECT_EQ(held[i] != nullptr, c.held[i]) << "bitmap " << i;
  }
}

constexpr UINT N = IDB_FIXTURE_NORMAL, S = IDB_FIXTURE_SELECTED, F = IDB_FIXTURE_FOCUS,
               D = IDB_FIXTURE_DISABLED, H = IDB_FIXTURE_HOVER, M = IDB_FIXTURE_MISSING;

const load_case kLoadCases[] = {
    {"all", N, S, F, D, H, TRUE, {true, true, true, true, true}},
    {"normal_only", N, 0, 0, 0, 0, TRUE, {true, false, false, false, false}},
    {"missing_normal", M, S, F, D, H, FALSE, {false, false, false, false, false}},
    {"missing_selected", N, M, F, D, H, FALSE, {true, false, true, true, true}},
    {"missing_disabled", N, S, F, M, 0, FALSE, {true, true, true, false, false}},
    {"missing_hover", N, S, F, D, M, FALSE, {true, true, true, true, false}},
};

INSTANTIATE_TEST_SUITE_P(Cases, LoadBitmaps, ::testing::ValuesIn(kLoadCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
