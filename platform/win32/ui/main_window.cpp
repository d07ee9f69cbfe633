#include "platform/win32/ui/main_window.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/win32/adapters/wide_text.h"

namespace snimac {

namespace {

// The window's layout at 96 dpi, in client pixels.
constexpr int kLeft = 130;
constexpr int kTop = 159;
constexpr int kClientWidth = 266;
constexpr int kClientHeight = 162;
constexpr int kLabelHeight = 14;
constexpr int kComLblX = 8, kComLblY = 8;
constexpr int kStatusLblX = 8, kStatusLblY = 24;
constexpr int kHwVersionLblX = 64, kHwVersionLblY = 24;
constexpr int kLabelGap = 4;  // between the status and the version when the status is long
constexpr int kGridX = 0, kGridY = 40, kGridWidth = 265, kGridHeight = 121;
constexpr int kColumnWidth = 130;
constexpr int kFontPoints = 8;

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

}  // namespace

TWin32MainWindow::TWin32MainWindow(HINSTANCE instance, const std::string& caption, HICON icon, HICON smallIcon,
                                   TMainWindowEvents events)
    : events_(std::move(events)) {
  const HDC screen = GetDC(nullptr);
  dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  font_ = CreateFontW(-MulDiv(kFontPoints, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg 2");

  const std::wstring title = Utf8ToWide(caption);
  TWindowShape shape;
  shape.className = L"SnimacMainWindow";
  shape.style = kWindowStyle;
  shape.title = title.c_str();
  shape.frame = FrameForClient(Scaled(kLeft), Scaled(kTop), Scaled(kClientWidth), Scaled(kClientHeight), kWindowStyle, 0);
  shape.icon = icon;
  shape.smallIcon = smallIcon;
  Create(instance, shape);

  comLbl_ = CreateChild(WC_STATICW, SS_LEFT | SS_NOPREFIX, 0, kComLblX, kComLblY, 0, kLabelHeight);
  statusLbl_ = CreateChild(WC_STATICW, SS_LEFT | SS_NOPREFIX, 0, kStatusLblX, kStatusLblY, 0, kLabelHeight);
  hwVersionLbl_ = CreateChild(WC_STATICW, SS_LEFT | SS_NOPREFIX, 0, kHwVersionLblX, kHwVersionLblY, 0, kLabelHeight);

  grid_ = CreateChild(WC_LISTVIEWW, WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                      WS_EX_CLIENTEDGE, kGridX, kGridY, kGridWidth, kGridHeight);
  ListView_SetExtendedListViewStyle(grid_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
  for (int column = 0; column < 2; ++column) {
    LVCOLUMNW c{};
    c.mask = LVCF_WIDTH | LVCF_SUBITEM;
    c.cx = Scaled(kColumnWidth);
    c.iSubItem = column;
    ListView_InsertColumn(grid_, column, &c);
  }
  // Row 0: empty, and selected until the first read.
  AddGridRow(0, "", "");
  SelectGridRow(0);
}

TWin32MainWindow::~TWin32MainWindow() {
  Destroy();
  if (font_) DeleteObject(font_);
}

int TWin32MainWindow::Scaled(int pixels) const { return MulDiv(pixels, dpi_, 96); }

HWND TWin32MainWindow::CreateChild(const wchar_t* className, DWORD style, DWORD exStyle, int x, int y, int width,
                                   int height) {
  const HWND child = CreateWindowExW(exStyle, className, L"", WS_CHILD | WS_VISIBLE | style, Scaled(x), Scaled(y),
                                     Scaled(width), Scaled(height), Handle(), nullptr,
                                     reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(Handle(), GWLP_HINSTANCE)), nullptr);
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  return child;
}

HWND TWin32MainWindow::LabelWindow(TLabel label) const {
  switch (label) {
    case TLabel::ComLbl: return comLbl_;
    case TLabel::StatusLbl: return statusLbl_;
    case TLabel::HwVersionLbl: return hwVersionLbl_;
  }
  return nullptr;
}

void TWin32MainWindow::SetLabel(TLabel label, const std::string& text) {
  SetWindowTextW(LabelWindow(label), Utf8ToWide(text).c_str());
  LayOutLabels();
}

int TWin32MainWindow::TextWidth(HWND control) const {
  const int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(control, text.data(), length + 1);
  const HDC dc = GetDC(control);
  const HGDIOBJ old = SelectObject(dc, font_);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), length, &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size.cx;
}

// Labels take the width of their text, as far as the window reaches. The
// version stands at its place unless a long status text needs the room;
// then it moves right rather than being drawn over.
void TWin32MainWindow::LayOutLabels() {
  RECT client{};
  GetClientRect(Handle(), &client);
  const int height = Scaled(kLabelHeight);
  auto place = [&](HWND label, int x, int y) {
    const int width = std::max(0, std::min(TextWidth(label), static_cast<int>(client.right) - x));
    SetWindowPos(label, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    return x + width;
  };
  place(comLbl_, Scaled(kComLblX), Scaled(kComLblY));
  const int statusRight = place(statusLbl_, Scaled(kStatusLblX), Scaled(kStatusLblY));
  const bool statusEmpty = GetWindowTextLengthW(statusLbl_) == 0;
  const int versionX = statusEmpty ? Scaled(kHwVersionLblX) : std::max(Scaled(kHwVersionLblX), statusRight + Scaled(kLabelGap));
  place(hwVersionLbl_, versionX, Scaled(kHwVersionLblY));
}

void TWin32MainWindow::AddGridRow(int row, const std::string& time, const std::string& text) {
  std::wstring timeText = Utf8ToWide(time);
  std::wstring cardText = Utf8ToWide(text);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = timeText.data();
  const int at = ListView_InsertItem(grid_, &item);
  if (at < 0) return;
  ListView_SetItemText(grid_, at, 1, cardText.data());
  FitTextColumn();
}

void TWin32MainWindow::FitTextColumn() {
  RECT client{};
  GetClientRect(grid_, &client);
  const int room = static_cast<int>(client.right) - Scaled(kColumnWidth);
  ListView_SetColumnWidth(grid_, 1, std::max(0, std::min(Scaled(kColumnWidth), room)));
}

void TWin32MainWindow::SelectGridRow(int row) {
  selecting_ = true;
  ListView_SetItemState(grid_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetItemState(grid_, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(grid_, row, FALSE);
  selecting_ = false;
}

LRESULT TWin32MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SYSCOMMAND: {
      const auto byDefault = [&] { return TWindowBase::HandleMessage(message, wParam, lParam); };
      if (!events_.systemCommand) return byDefault();
      return events_.systemCommand(static_cast<std::uintptr_t>(wParam), byDefault);
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == grid_ && header->code == LVN_ITEMCHANGED && !selecting_) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        const bool nowSelected = (change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED) &&
                                 !(change->uOldState & LVIS_SELECTED);
        if (nowSelected && change->iItem >= 0 && events_.gridSelect) events_.gridSelect(change->iItem);
      }
      return 0;
    }
    case WM_SETFOCUS:
      SetFocus(grid_);
      return 0;
    case WM_CLOSE:
      if (events_.close) events_.close();
      return 0;
    default:
      return TWindowBase::HandleMessage(message, wParam, lParam);
  }
}

}  // namespace snimac
