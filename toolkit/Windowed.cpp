#include "toolkit/Windowed.h"

#include <commctrl.h>

#include <stdexcept>

#include "platform/Sys.h"

void InitCommonControlsLibrary() {
  static bool done = false;
  if (done) return;
  done = true;
  if (!BindSystemLibrary(SysLibrary::comctl32) || !Sys.InitCommonControlsEx) return;
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  Sys.InitCommonControlsEx(&icc);
}

// ---- Memo ---------------------------------------------------------------------

Memo::Memo(Form* owner, Panel* parent, const std::string& name, const Options& o)
    : WinControl(owner, parent, name), lines_(*this) {
  DWORD style = ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL;
  if (o.readOnly) style |= ES_READONLY;
  if (o.vScroll) style |= WS_VSCROLL;
  if (o.hScroll) style |= WS_HSCROLL;
  if (!o.wordWrap) style |= ES_AUTOHSCROLL;
  Create("EDIT", style, o.border ? WS_EX_CLIENTEDGE : 0, "");
  SendMessageA(hwnd_, EM_SETLIMITTEXT, 0, 0);
}

std::string Memo::Text() const { return WindowText(hwnd_); }

bool Memo::HasSelection() const {
  DWORD start = 0, end = 0;
  SendMessageA(hwnd_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return end > start;
}

void Memo::Command(WORD code) {
  if (code == EN_CHANGE && !lines_.writing_) lines_.stale_ = true;
}

void Memo::MemoLines::Sync() const {
  if (!stale_) return;
  stale_ = false;
  const std::string text = WindowText(memo_.hwnd_);
  lines_.clear();
  if (!text.empty()) lines_ = SplitLineBreaks(text);
}

int Memo::MemoLines::Count() const {
  Sync();
  return static_cast<int>(lines_.size());
}

std::string Memo::MemoLines::Get(int index) const {
  Sync();
  if (index < 0 || index >= static_cast<int>(lines_.size()))
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return lines_[static_cast<size_t>(index)];
}

void Memo::MemoLines::Add(const std::string& text) {
  memo_.ContinueReplace(INFINITE);
  Sync();
  const bool wasEmpty = lines_.empty();
  const std::vector<std::string> parts = SplitLineBreaks(text);
  lines_.insert(lines_.end(), parts.begin(), parts.end());
  if (updating_ > 0) {
    pending_ = true;
    return;
  }
  std::string chunk;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0 || !wasEmpty) chunk += "\r\n";
    chunk += parts[i];
  }
  writing_ = true;
  const int end = GetWindowTextLengthA(memo_.hwnd_);
  SendMessageA(memo_.hwnd_, EM_SETSEL, end, end);
  SendMessageA(memo_.hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(chunk.c_str()));
  writing_ = false;
}

void Memo::MemoLines::Clear() {
  memo_.ContinueReplace(INFINITE);
  lines_.clear();
  stale_ = false;
  if (updating_ > 0) {
    pending_ = true;
    return;
  }
  writing_ = true;
  SetWindowTextA(memo_.hwnd_, "");
  writing_ = false;
}

void Memo::MemoLines::DeleteFirst(int count) {
  memo_.ContinueReplace(INFINITE);
  Sync();
  if (count <= 0) return;
  if (static_cast<std::size_t>(count) >= lines_.size()) {
    Clear();
    return;
  }
  // Counted in the lines, not the control's: a wrapped line is one line.
  std::size_t end = 0;
  for (int i = 0; i < count; ++i) end += lines_[static_cast<std::size_t>(i)].size() + 2;
  lines_.erase(lines_.begin(), lines_.begin() + count);
  if (updating_ > 0) {
    pending_ = true;
    return;
  }
  writing_ = true;
  SendMessageA(memo_.hwnd_, EM_SETSEL, 0, static_cast<LPARAM>(end));
  SendMessageA(memo_.hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
  const int length = GetWindowTextLengthA(memo_.hwnd_);
  SendMessageA(memo_.hwnd_, EM_SETSEL, length, length);
  writing_ = false;
}

void Memo::MemoLines::EndUpdate() {
  if (updating_ > 0 && --updating_ == 0 && pending_) {
    memo_.ContinueReplace(INFINITE);
    pending_ = false;
    std::string text;
    for (size_t i = 0; i < lines_.size(); ++i) {
      if (i) text += "\r\n";
      text += lines_[i];
    }
    writing_ = true;
    SetWindowTextA(memo_.hwnd_, text.c_str());
    writing_ = false;
  }
}

// ---- ListBox ------------------------------------------------------------------

ListBox::ListBox(Form* owner, Panel* parent, const std::string& name, bool border)
    : WinControl(owner, parent, name), lines_(*this) {
  Create("LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS | WS_VSCROLL, border ? WS_EX_CLIENTEDGE : 0, "");
}

void ListBox::SetItemHeight(int height) { SendMessageA(hwnd_, LB_SETITEMHEIGHT, 0, height); }

int ListBox::ListLines::Count() const { return static_cast<int>(SendMessageA(box_.hwnd_, LB_GETCOUNT, 0, 0)); }

std::string ListBox::ListLines::Get(int index) const {
  if (index < 0 || index >= Count())
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  const LRESULT len = SendMessageA(box_.hwnd_, LB_GETTEXTLEN, index, 0);
  std::string s(static_cast<size_t>(len) + 1, '\0');
  SendMessageA(box_.hwnd_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&s[0]));
  s.resize(static_cast<size_t>(len));
  return s;
}

void ListBox::ListLines::Add(const std::string& text) {
  SendMessageA(box_.hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (updating_ == 0) box_.ShowLast();
}

void ListBox::ShowLast() {
  // Like a memo, the list follows its newest line (the system stops at the
  // last full page, so a short list does not move).
  const LRESULT count = SendMessageA(hwnd_, LB_GETCOUNT, 0, 0);
  if (count > 0) SendMessageA(hwnd_, LB_SETTOPINDEX, static_cast<WPARAM>(count - 1), 0);
}

void ListBox::ListLines::Clear() { SendMessageA(box_.hwnd_, LB_RESETCONTENT, 0, 0); }

void ListBox::ListLines::BeginUpdate() {
  if (updating_++ == 0) SendMessageA(box_.hwnd_, WM_SETREDRAW, FALSE, 0);
}

void ListBox::ListLines::EndUpdate() {
  if (updating_ > 0 && --updating_ == 0) {
    box_.ShowLast();
    SendMessageA(box_.hwnd_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(box_.hwnd_, nullptr, TRUE);
  }
}

// ---- StaticText / CheckBox ----------------------------------------------------

StaticText::StaticText(Form* owner, Panel* parent, const std::string& name, const std::string& caption, bool centred)
    : WinControl(owner, parent, name) {
  Create("STATIC", SS_NOPREFIX | SS_SUNKEN | (centred ? SS_CENTER : SS_LEFT), 0, caption.c_str());
}

std::string StaticText::Caption() const { return WindowText(hwnd_); }

CheckBox::CheckBox(Form* owner, Panel* parent, const std::string& name, const std::string& caption)
    : WinControl(owner, parent, name) {
  Create("BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0, caption.c_str());
}

bool CheckBox::Checked() const { return SendMessageA(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void CheckBox::SetChecked(bool checked) {
  if (checked == Checked()) return;
  SendMessageA(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  Control::Click();
}

void CheckBox::Click() { SetChecked(!Checked()); }

void CheckBox::Command(WORD code) {
  // The control has already toggled itself.
  if (code == BN_CLICKED) Control::Click();
}

// ---- PageControl / TabSheet ---------------------------------------------------

TabSheet::TabSheet(Form* owner, PageControl* control, const std::string& name, const std::string& caption)
    : Panel(owner, control, name), caption_(caption) {
  SetWindowTextA(hwnd_, caption.c_str());
  control->AddSheet(this);
}

PageControl::PageControl(Form* owner, Panel* parent, const std::string& name) : Panel(owner, parent, name) {
  tabs_ = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0, hwnd_, nullptr,
                          GetModuleHandleA(nullptr), nullptr);
}

void PageControl::AddSheet(TabSheet* sheet) {
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<char*>(sheet->Caption().c_str());
  SendMessageA(tabs_, TCM_INSERTITEMA, sheets_.size(), reinterpret_cast<LPARAM>(&item));
  sheets_.push_back(sheet);
  if (!active_) SetActivePage(sheet);
  LayoutSheets();
}

void PageControl::SetActivePage(TabSheet* sheet) {
  active_ = sheet;
  for (size_t i = 0; i < sheets_.size(); ++i) {
    sheets_[i]->SetVisible(sheets_[i] == sheet);
    if (sheets_[i] == sheet) SendMessageA(tabs_, TCM_SETCURSEL, i, 0);
  }
  if (sheet) SetWindowPos(sheet->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void PageControl::SetFont(HFONT font) {
  Panel::SetFont(font);
  SendMessageA(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  LayoutSheets();
}

void PageControl::LayoutSheets() {
  RECT r{};
  GetClientRect(hwnd_, &r);
  MoveWindow(tabs_, 0, 0, r.right, r.bottom, TRUE);
  SendMessageA(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  for (TabSheet* s : sheets_) s->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

LRESULT PageControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SIZE) {
    LayoutSheets();
    return 0;
  }
  if (msg == WM_NOTIFY) {
    auto* hdr = reinterpret_cast<NMHDR*>(lp);
    if (hdr->hwndFrom == tabs_ && hdr->code == static_cast<UINT>(TCN_SELCHANGE)) {
      const int sel = static_cast<int>(SendMessageA(tabs_, TCM_GETCURSEL, 0, 0));
      if (sel >= 0 && sel < static_cast<int>(sheets_.size())) SetActivePage(sheets_[static_cast<size_t>(sel)]);
      return 0;
    }
  }
  return Panel::WndProc(msg, wp, lp);
}
