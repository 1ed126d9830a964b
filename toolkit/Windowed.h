// Thin wrappers over the standard window classes: memo (EDIT), list box,
// static text, check box, and the page control with its tab sheets.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/Control.h"
#include "text/Lines.h"
#include "toolkit/Windowless.h"

class Memo : public WinControl {
 public:
  struct Options {
    bool readOnly = true;
    bool border = false;
    bool vScroll = false;
    bool hScroll = false;
    bool wordWrap = true;
  };
  Memo(Form* owner, Panel* parent, const std::string& name, const Options& options);
  Lines& GetLines() { return lines_; }
  // What the control holds (part of the text while a replacement goes on).
  std::string Text() const;
  // Some of its text is selected (a copy key then copies that).
  bool HasSelection() const;
  void Command(WORD code) override;

  // Shows lines in place of the memo's text. Only the span that differs is
  // replaced, the first visible line stays where the user left it (unless
  // the text got shorter than that), and nothing is painted until the text
  // is complete. An edit control lays out every line it is given, which
  // takes a while for thousands, so the text goes in by pieces: the lines
  // read back at once, and ContinueReplace completes the control's text.
  void BeginReplace(const std::vector<std::string>& lines);
  // Goes on with the replacement for about budgetMs (INFINITE: to the end);
  // true when the control's text is complete.
  bool ContinueReplace(DWORD budgetMs);
  bool Replacing() const { return replacement_ != nullptr; }

 private:
  // A replacement under way: the new span, inserted piece by piece.
  struct Replacement {
    std::string text;      // the new span, inserted from done on
    std::size_t done = 0;  // bytes of text in the control already
    WPARAM at = 0;         // where the next piece goes
    LRESULT firstVisible = 0;
    DWORD selStart = 0;
    DWORD selEnd = 0;
    bool redrawOff = false;  // painting is off until the text is complete
  };
  std::unique_ptr<Replacement> replacement_;

  class MemoLines : public Lines {
   public:
    explicit MemoLines(Memo& memo) : memo_(memo) {}
    int Count() const override;
    std::string Get(int index) const override;
    void Add(const std::string& text) override;
    void Clear() override;
    void DeleteFirst(int count) override;
    void BeginUpdate() override { ++updating_; }
    void EndUpdate() override;

   private:
    void Sync() const;
    friend class Memo;
    Memo& memo_;
    mutable std::vector<std::string> lines_;
    mutable bool stale_ = false;  // the user typed into the control
    int updating_ = 0;
    bool pending_ = false;
    bool writing_ = false;
  };
  MemoLines lines_;
};

class ListBox : public WinControl {
 public:
  ListBox(Form* owner, Panel* parent, const std::string& name, bool border);
  Lines& GetLines() { return lines_; }
  void SetItemHeight(int height);
  // Scrolls so that the last item is in view.
  void ShowLast();

 private:
  class ListLines : public Lines {
   public:
    explicit ListLines(ListBox& box) : box_(box) {}
    int Count() const override;
    std::string Get(int index) const override;
    void Add(const std::string& text) override;
    void Clear() override;
    void BeginUpdate() override;
    void EndUpdate() override;

   private:
    ListBox& box_;
    int updating_ = 0;
  };
  ListLines lines_;
};

class StaticText : public WinControl {
 public:
  StaticText(Form* owner, Panel* parent, const std::string& name, const std::string& caption, bool centred);
  std::string Caption() const;
};

class CheckBox : public WinControl {
 public:
  CheckBox(Form* owner, Panel* parent, const std::string& name, const std::string& caption);
  bool Checked() const;
  // Changing the state runs the click handler, as a click would.
  void SetChecked(bool checked);
  void Click() override;
  void Command(WORD code) override;
};

class TabSheet : public Panel {
 public:
  TabSheet(Form* owner, class PageControl* control, const std::string& name, const std::string& caption);
  const std::string& Caption() const { return caption_; }

 private:
  std::string caption_;
};

class PageControl : public Panel {
 public:
  PageControl(Form* owner, Panel* parent, const std::string& name);
  void AddSheet(TabSheet* sheet);
  const std::vector<TabSheet*>& Sheets() const { return sheets_; }
  TabSheet* ActivePage() const { return active_; }
  void SetActivePage(TabSheet* sheet);
  // The tab captions take the control's font too.
  void SetFont(HFONT font) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void LayoutSheets();
  HWND tabs_ = nullptr;
  std::vector<TabSheet*> sheets_;  // not owned
  TabSheet* active_ = nullptr;     // not owned
};
