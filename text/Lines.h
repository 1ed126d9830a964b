// The list-of-text-lines interface shared by memos, list boxes and
// free-standing string lists. Reports and workers write through it.
#pragma once

#include <string>
#include <vector>

class Lines {
 public:
  virtual ~Lines() = default;

  virtual int Count() const = 0;
  virtual std::string Get(int index) const = 0;
  // Appends one entry. A memo shows every line break inside the text as a
  // new line; a string list or list box keeps the text as one entry.
  virtual void Add(const std::string& text) = 0;
  virtual void Clear() = 0;
  // Removes the first count entries (all of them when there are fewer).
  virtual void DeleteFirst(int count);

  // Between BeginUpdate and the matching EndUpdate a window-backed list
  // costs one repaint, not one per line. Calls nest.
  virtual void BeginUpdate() {}
  virtual void EndUpdate() {}

  std::string operator[](int index) const { return Get(index); }
  // All entries, each followed by CR LF.
  std::string Text() const;
  // Appends every entry of other, in order.
  void AddLines(const Lines& other);
};

// Keeps BeginUpdate/EndUpdate paired on every path.
class LinesUpdate {
 public:
  explicit LinesUpdate(Lines& lines) : lines_(lines) { lines_.BeginUpdate(); }
  ~LinesUpdate() { lines_.EndUpdate(); }
  LinesUpdate(const LinesUpdate&) = delete;
  LinesUpdate& operator=(const LinesUpdate&) = delete;

 private:
  Lines& lines_;
};

class StringList : public Lines {
 public:
  int Count() const override { return static_cast<int>(items_.size()); }
  std::string Get(int index) const override;
  void Add(const std::string& text) override { items_.push_back(text); }
  void Clear() override { items_.clear(); }
  void DeleteFirst(int count) override;
  const std::vector<std::string>& Items() const { return items_; }

 private:
  std::vector<std::string> items_;
};

// Splits text at CR LF, lone LF and lone CR. "a\r\nb" gives a, b; an empty
// text gives one empty line; a trailing break gives a last empty line.
std::vector<std::string> SplitLineBreaks(const std::string& text);
