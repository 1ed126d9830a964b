// A memo's text replaced by its changed span only, in pieces.
#include <algorithm>

#include "toolkit/Controls.h"

namespace {

// About 70 lines of a connection page: a piece the edit control lays out in
// a few milliseconds even on a slow machine.
constexpr std::size_t kPieceBytes = 8 * 1024;

std::string Joined(const std::vector<std::string>& lines) {
  std::size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) text += "\r\n";
    text += lines[i];
  }
  return text;
}

}  // namespace

void Memo::BeginReplace(const std::vector<std::string>& lines) {
  ContinueReplace(INFINITE);
  lines_.Sync();
  // A memo shows every line break inside an entry as a new line.
  std::vector<std::string> shown;
  shown.reserve(lines.size());
  for (const std::string& line : lines) {
    if (line.find_first_of("\r\n") == std::string::npos) {
      shown.push_back(line);
    } else {
      for (std::string& part : SplitLineBreaks(line)) shown.push_back(std::move(part));
    }
  }
  const std::string before = Joined(lines_.lines_);
  const std::string after = Joined(shown);
  lines_.lines_ = std::move(shown);
  if (lines_.updating_ > 0) {  // the text goes in with EndUpdate
    lines_.pending_ = true;
    return;
  }

  // The common start and end of the two texts; neither cuts a line break in
  // two, so the control never sees half of one.
  const std::size_t shorter = std::min(before.size(), after.size());
  std::size_t head = static_cast<std::size_t>(
      std::mismatch(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(shorter), after.begin()).first -
      before.begin());
  if (head > 0 && before[head - 1] == '\r') --head;
  if (head == before.size() && head == after.size()) return;
  std::size_t tail = 0;
  while (tail < shorter - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) ++tail;
  if (tail > 0 && before[before.size() - tail] == '\n') --tail;

  auto r = std::make_unique<Replacement>();
  r->text = after.substr(head, after.size() - tail - head);
  r->at = head;
  r->firstVisible = SendMessageA(hwnd_, EM_GETFIRSTVISIBLELINE, 0, 0);
  SendMessageA(hwnd_, EM_GETSEL, reinterpret_cast<WPARAM>(&r->selStart), reinterpret_cast<LPARAM>(&r->selEnd));
  // Only a window that shows itself is switched back on afterwards.
  r->redrawOff = (GetWindowLongPtrA(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
  lines_.writing_ = true;
  if (r->redrawOff) SendMessageA(hwnd_, WM_SETREDRAW, FALSE, 0);
  const std::size_t end = before.size() - tail;
  if (end > head) {
    SendMessageA(hwnd_, EM_SETSEL, head, end);
    SendMessageA(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
  }
  lines_.writing_ = false;
  replacement_ = std::move(r);
}

bool Memo::ContinueReplace(DWORD budgetMs) {
  if (!replacement_) return true;
  Replacement& r = *replacement_;
  const DWORD start = GetTickCount();
  lines_.writing_ = true;
  while (r.done < r.text.size()) {
    // A piece ends after a line break (a line longer than a piece goes whole).
    std::size_t n = std::min(kPieceBytes, r.text.size() - r.done);
    if (r.done + n < r.text.size()) {
      const std::size_t lastBreak = r.text.rfind('\n', r.done + n - 1);
      if (lastBreak != std::string::npos && lastBreak >= r.done) {
        n = lastBreak + 1 - r.done;
      } else {
        const std::size_t nextBreak = r.text.find('\n', r.done + n);
        n = (nextBreak == std::string::npos ? r.text.size() : nextBreak + 1) - r.done;
      }
    }
    const std::string piece = r.text.substr(r.done, n);
    SendMessageA(hwnd_, EM_SETSEL, r.at, r.at);
    SendMessageA(hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece.c_str()));
    r.at += n;
    r.done += n;
    if (GetTickCount() - start >= budgetMs) break;
  }
  if (r.done < r.text.size()) {
    lines_.writing_ = false;
    return false;
  }
  // Inserting moved the caret and scrolled to it; the reader's place and
  // selection come back before anything is painted.
  SendMessageA(hwnd_, EM_SETSEL, r.selStart, r.selEnd);
  const LRESULT now = SendMessageA(hwnd_, EM_GETFIRSTVISIBLELINE, 0, 0);
  SendMessageA(hwnd_, EM_LINESCROLL, 0, r.firstVisible - now);
  if (r.redrawOff) {
    SendMessageA(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  lines_.writing_ = false;
  replacement_.reset();
  return true;
}
