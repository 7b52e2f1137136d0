// The text-editing core behind every entry field: it owns a selection and the line starts of
// a wrapped text and turns clicks, drags and keys into edits. It owns neither the text nor the
// screen; everything else (text, geometry, measuring, drawing, word and character stepping) it
// asks of its host through a table of callbacks. Positions are byte offsets into UTF-8 text.
// One thread (the one that owns the text and draws it) calls all of this.
#pragma once

#include <vector>

struct OGLE_Rec;

// The host's table, slot order fixed. Every callback gets the record first.
struct OGLE_Callbacks {
  // Visible rectangle: left, bottom, right, top.
  void (*GetVisibleBounds)(OGLE_Rec* rec, float* l, float* b, float* r, float* t);
  // The whole laid-out text in the same coordinates: width = wrap width, top = top of line 0.
  void (*GetLogicalBounds)(OGLE_Rec* rec, float* l, float* b, float* r, float* t);
  void (*SetLogicalHeight)(OGLE_Rec* rec, float height);
  // The new scroll offset: visible left-bottom minus logical left-bottom.
  void (*ScrollTo)(OGLE_Rec* rec, float x, float y);
  void (*GetText)(OGLE_Rec* rec, const char** begin, const char** end);
  // Replaces bytes [from, to) by [begin, end); begin == end deletes.
  void (*ReplaceText)(OGLE_Rec* rec, int from, int to, const char* begin, const char* end);
  float (*GetLineHeight)(OGLE_Rec* rec);
  float (*MeasureString)(OGLE_Rec* rec, const char* begin, const char* end);
  // Bytes of the longest prefix (suffix) of [begin, end) that fits width.
  int (*FitStringFwd)(OGLE_Rec* rec, const char* begin, const char* end, float width);
  int (*FitStringRev)(OGLE_Rec* rec, const char* begin, const char* end, float width);
  // One line, left edge at x, baseline (bottom of the line's box) at y.
  void (*DrawString)(OGLE_Rec* rec, const char* begin, const char* end, float x, float y);
  // One selection rectangle; left == right is the caret.
  void (*DrawSelection)(OGLE_Rec* rec, float l, float b, float r, float t);
  // The end of the next word: a run of blanks, then a run of non-blanks, never past end.
  const char* (*WordBreak)(OGLE_Rec* rec, const char* begin, const char* end);
  // Character stepping. A null slot means plain UTF-8 stepping over the host's text.
  const char* (*MBCS_Next)(OGLE_Rec* rec, const char* p);
  int (*MBCS_NextPos)(OGLE_Rec* rec, int offset);
  int (*MBCS_PrevPos)(OGLE_Rec* rec, int offset);
};

struct OGLE_Rec {
  OGLE_Callbacks callbacks;
  void* ref = nullptr;
  std::vector<int> line_starts;  // first byte of each laid-out line, ascending, [0] == 0
  int sel_start = 0;
  int sel_end = 0;
  int caret_at_end = 1;     // 1: sel_end is the end that moves; 0: sel_start
  float desired_x = -1.0f;  // x kept by runs of Up and Down; -1 = none
};

// Key codes of the keys the engine acts on; any other code is a typed byte.
enum : int { OGLE_key_backspace = 8, OGLE_key_left = 28, OGLE_key_right = 29, OGLE_key_up = 30, OGLE_key_down = 31 };

// Creating and reading a record
OGLE_Rec* OGLE_Create(const OGLE_Callbacks* callbacks, void* ref);
void OGLE_Destroy(OGLE_Rec* rec);
void* OGLE_GetRef(OGLE_Rec* rec);
void OGLE_GetSelection(OGLE_Rec* rec, int* start, int* end);
void OGLE_SetSelection(OGLE_Rec* rec, int start, int end);

// Layout, drawing, scrolling
void OGLE_Repaginate(OGLE_Rec* rec);
void OGLE_Draw(OGLE_Rec* rec, int draw_caret);
void OGLE_RevealSelection(OGLE_Rec* rec);

// Input
void OGLE_Click(OGLE_Rec* rec, float x, float y, int extend);
void OGLE_Drag(OGLE_Rec* rec, float x, float y);
void OGLE_Key(OGLE_Rec* rec, char key, int shift);
void OGLE_Key_MBCS(OGLE_Rec* rec, int count, const char* bytes, int shift);
// A replacement made by the host; the selection follows the text.
void OGLE_ReplaceText(OGLE_Rec* rec, int from, int to, const char* begin, const char* end);

// The same engine as an object: its callbacks are virtual operations. Character stepping is
// plain UTF-8 over the object's text.
class OGLE {
 public:
  OGLE();
  virtual ~OGLE();
  OGLE(const OGLE&) = delete;
  OGLE& operator=(const OGLE&) = delete;

  virtual void GetVisibleBounds(float* l, float* b, float* r, float* t) = 0;
  virtual void GetLogicalBounds(float* l, float* b, float* r, float* t) = 0;
  virtual void SetLogicalHeight(float height) = 0;
  virtual void ScrollTo(float x, float y) = 0;
  virtual void GetText(const char** begin, const char** end) = 0;
  virtual void ReplaceText(int from, int to, const char* begin, const char* end) = 0;
  virtual float GetLineHeight() = 0;
  virtual float MeasureString(const char* begin, const char* end) = 0;
  virtual int FitStringFwd(const char* begin, const char* end, float width) = 0;
  virtual int FitStringRev(const char* begin, const char* end, float width) = 0;
  virtual void DrawString(const char* begin, const char* end, float x, float y) = 0;
  virtual void DrawSelection(float l, float b, float r, float t) = 0;
  virtual const char* WordBreak(const char* begin, const char* end) = 0;

  void GetSelection(int* start, int* end) { OGLE_GetSelection(rec_, start, end); }
  void SetSelection(int start, int end) { OGLE_SetSelection(rec_, start, end); }
  void Draw(int draw_caret) { OGLE_Draw(rec_, draw_caret); }
  void RevealSelection() { OGLE_RevealSelection(rec_); }
  void Drag(float x, float y) { OGLE_Drag(rec_, x, y); }
  void Click(float x, float y, int extend) { OGLE_Click(rec_, x, y, extend); }
  void Key(int key, int shift) { OGLE_Key(rec_, static_cast<char>(key), shift); }
  void Key_MBCS(int count, const char* bytes, int shift) { OGLE_Key_MBCS(rec_, count, bytes, shift); }
  void Repaginate() { OGLE_Repaginate(rec_); }
  void DoReplaceText(int from, int to, const char* begin, const char* end) {
    OGLE_ReplaceText(rec_, from, to, begin, end);
  }

  static void GetVisibleBoundsCB(OGLE_Rec* rec, float* l, float* b, float* r, float* t);
  static void GetLogicalBoundsCB(OGLE_Rec* rec, float* l, float* b, float* r, float* t);
  static void SetLogicalHeightCB(OGLE_Rec* rec, float height);
  static void ScrollToCB(OGLE_Rec* rec, float x, float y);
  static void GetTextCB(OGLE_Rec* rec, const char** begin, const char** end);
  static void ReplaceTextCB(OGLE_Rec* rec, int from, int to, const char* begin, const char* end);
  static float GetLineHeightCB(OGLE_Rec* rec);
  static float MeasureStringCB(OGLE_Rec* rec, const char* begin, const char* end);
  static int FitStringFwdCB(OGLE_Rec* rec, const char* begin, const char* end, float width);
  static int FitStringRevCB(OGLE_Rec* rec, const char* begin, const char* end, float width);
  static void DrawStringCB(OGLE_Rec* rec, const char* begin, const char* end, float x, float y);
  static void DrawSelectionCB(OGLE_Rec* rec, float l, float b, float r, float t);
  static const char* WordBreakCB(OGLE_Rec* rec, const char* begin, const char* end);

 private:
  OGLE_Rec* rec_;
};

// UTF-8 stepping over [begin, end), used when a host leaves the stepping slots empty and by
// hosts that step over plain UTF-8 text: the start of the next character after p, and the
// start of the character before offset.
const char* OGLE_utf8_next(const char* p, const char* begin, const char* end);
int OGLE_utf8_prev_pos(const char* begin, const char* end, int offset);
// The blank test of layout and word stepping: space, tab, vertical tab and form feed, on
// unsigned bytes, never a line break.
bool OGLE_is_blank(unsigned char c);
