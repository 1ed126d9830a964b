#include "text/Lines.h"

#include <algorithm>
#include <stdexcept>

#include "text/Format.h"

std::string Lines::Text() const {
  std::string text;
  const int n = Count();
  for (int i = 0; i < n; ++i) {
    text += Get(i);
    text += "\r\n";
  }
  return text;
}

void Lines::AddLines(const Lines& other) {
  LinesUpdate update(*this);
  const int n = other.Count();
  for (int i = 0; i < n; ++i) Add(other.Get(i));
}

void Lines::DeleteFirst(int count) {
  if (count <= 0) return;
  std::vector<std::string> kept;
  for (int i = count; i < Count(); ++i) kept.push_back(Get(i));
  LinesUpdate update(*this);
  Clear();
  for (const std::string& line : kept) Add(line);
}

void StringList::DeleteFirst(int count) {
  if (count <= 0) return;
  items_.erase(items_.begin(), items_.begin() + std::min<std::size_t>(static_cast<std::size_t>(count), items_.size()));
}

std::string StringList::Get(int index) const {
  if (index < 0 || index >= Count()) throw std::out_of_range(FormatLine("List index out of bounds (%d)", index));
  return items_[static_cast<size_t>(index)];
}

std::vector<std::string> SplitLineBreaks(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(current);
      current.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      current += c;
    }
  }
  lines.push_back(current);
  return lines;
}
