// What the black-box tests need to play a host of the real Orbisk.wlx64: the library
// and its two exports, parent windows of the right classes, a message pump that waits
// for what a user would see, the settings file and profile values, test pictures and
// a look at the pixels of a window.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace wintest {

using ListLoadEntry = HWND(__stdcall*)(HWND, char*, int);
using ListCloseEntry = void(__stdcall*)(HWND);

struct Library {
  HMODULE module = nullptr;
  ListLoadEntry listLoad = nullptr;
  ListCloseEntry listClose = nullptr;
};
// Orbisk.wlx64 (or .wlx) beside the test program, loaded once.
const Library& Viewer();

// The folder of the test program, with a trailing backslash.
std::wstring BinFolder();
// A file of the tests' data folder ($ORBISK_TEST_DATA), e.g. L"win/two-sizes.tif".
std::wstring TestData(const wchar_t* relative);

// Runs the thread's messages until the condition holds; false after the timeout.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 20000);
// Runs the messages posted to this thread so far, and those they post in turn, until
// only timers and paints are left; false when that takes longer than the timeout.
// After it, a key or command posted before has had every effect it posts.
bool RunPostedMessages(DWORD timeoutMs = 20000);

// The settings file where the library looks for it, written or read as text.
// WriteIni turns the question about changed pictures off unless the lines set it.
void WriteIni(const std::string& settingsLines);
std::string ReadIni();
// What each test starts from: the library loaded, the profile reset and the settings
// file holding the lines; false when the library is missing.
bool FreshStart(const std::string& settingsLines = "AutoLoadLastImage=#0\r\n");

// Profile values under HKEY_CURRENT_USER\Software\Quintel\Settings.
void SetProfileString(const wchar_t* name, const std::wstring& value);
std::wstring ProfileString(const wchar_t* name);
void SetProfileNumber(const wchar_t* name, DWORD value);
DWORD ProfileNumber(const wchar_t* name);
void ResetProfile();

// A solid 24-bit BMP file; colour as 0xRRGGBB. With a right colour, the right half
// has that one.
void WriteBmp(const std::wstring& path, int width, int height, uint32_t colour,
              int64_t rightColour = -1);
// A shell link (".lnk") at `link` that points at `target`; false when the shell
// could not make it.
bool WriteShortcut(const std::wstring& link, const std::wstring& target);
// A fresh folder for one test's files, removed with the object.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  std::wstring File(const wchar_t* name) const { return path_ + name; }

 private:
  std::wstring path_;
};

// Windows and their texts.
std::wstring Text(HWND window);
std::wstring ClassOf(HWND window);
HWND Child(HWND parent, const wchar_t* className);
std::wstring StatusText(HWND viewer, int pane);
// The text of a menu item by command, as shown (key texts after a tab dropped).
std::wstring MenuItemText(HMENU menu, UINT command);
// Sends WM_INITMENUPOPUP for each popup of the bar through `host`, as opening the
// menu does, and returns the states of the item.
UINT MenuState(HWND host, HMENU bar, UINT command);
// Drops one file on the window, as the shell's drag and drop does.
void DropFile(HWND window, const std::wstring& path);
// The information panel of a viewer (its container window) and the list inside it.
HWND InfoPanel(HWND viewer);
HWND InfoListBox(HWND viewer);
// The panel's rows as the list holds them: a group title, or "name\tvalue".
std::vector<std::wstring> InfoRows(HWND viewer);
// Clicks a row of a list box as a user does; false when the row is not there.
bool ClickListRow(HWND list, int row);
// The clipboard's text in the plain 8-bit format; "<none>" when it has none.
std::string ClipboardText();
// From another thread: waits for a dialog of this process with the caption (and,
// when given, a static text containing `containing`), then acts on it as a user
// would. The destructor joins the thread: let it run after the modal call that shows
// the dialog has returned.
class DialogAnswer {
 public:
  DialogAnswer(std::wstring caption, std::function<void(HWND dialog)> act,
               std::wstring containing = L"");
  ~DialogAnswer();
  bool Answered() const { return answered_; }
  // What the dialog's static texts said, joined by line breaks.
  const std::wstring& SeenText() const { return seen_; }

 private:
  void* thread_ = nullptr;
  std::wstring caption_, containing_, seen_;
  std::function<void(HWND)> act_;
  volatile bool answered_ = false;
  static unsigned long __stdcall Run(void* self);
};
// Posts the message to the window and answers with the button (ticking the check box
// with the label, when given) the box of this caption that shows `containing`; what
// the box said, empty when it did not come. A box's own loop runs the message.
std::wstring PostAnswering(HWND window, UINT message, WPARAM wparam, const wchar_t* caption,
                           const wchar_t* containing, int button,
                           const wchar_t* checkLabel = nullptr);
// A dialog's static texts that are not empty, each followed by a line break.
std::wstring StaticTexts(HWND dialog);
// Types the path into a common file dialog's name box and presses OK.
void AnswerFileDialog(HWND dialog, const std::wstring& path);
// Ticks the check box with the label (when given) and presses the button.
void AnswerMessageBox(HWND box, int button, const wchar_t* checkLabel = nullptr);

// The pixel at client coordinates of a window, as 0xRRGGBB.
uint32_t PixelAt(HWND window, int x, int y);
// The same from the whole window, frame included (0, 0 is the window's top-left).
uint32_t WindowPixelAt(HWND window, int x, int y);
// What a window shows, sampled on a 31 x 31 grid over its client area after it has
// painted: enough to tell two pictures apart that differ in small parts.
std::vector<uint32_t> PictureGrid(HWND window);

// Parent windows of the hosts. Each is a top-level window of its class unless said.
struct HostWindow {
  HWND hwnd = nullptr;
  std::vector<UINT> keys;  // WM_KEYDOWN keys the window's own procedure received
  HWND stub = nullptr;     // what ListLoad returned, closed when the host closes
  bool destroyed = false;
  // WM_COMMAND messages from a window (lParam set): a plug-in telling of its options.
  std::vector<std::pair<WPARAM, LPARAM>> commands;
};
// A Lister-like window: Esc closes it (and the plug-in), a digit switches its mode
// (the plug-in is closed, the window stays).
void CreateHostWindow(HostWindow& host, const wchar_t* className, DWORD style, HWND parent,
                      HMENU menu);
void DestroyHostWindow(HostWindow& host);
// The viewer behind the stub window ListLoad gives a Lister.
HWND ViewerOf(HWND stub);
// ListLoad into the host's window (made a Lister window when it has none yet) on the
// file by its 8-bit name; the viewer once the title names the file and the status bar
// describes the picture, null otherwise.
HWND OpenInLister(HostWindow& lister, const std::wstring& file);
// The status text of the viewer starts with `start` before the deadline.
bool StatusStarts(HWND viewer, const std::wstring& start, int pane = 1);

// ---- the controls of a dialog, driven from DialogAnswer's thread as a user would ----

// The text of a dialog's control.
std::wstring ItemText(HWND dialog, int id);
// Replaces an edit's text as typing does: the dialog hears of the change.
void TypeInto(HWND dialog, int id, const std::wstring& text);
// Picks an entry of a drop-down list and tells the dialog, as a choice with the mouse
// does.
void ChooseListEntry(HWND dialog, int id, int entry);
// The selected entry of a drop-down list (-1 when none) and its number of entries.
int ListSelection(HWND dialog, int id);
int ListCount(HWND dialog, int id);
// Clicks a push button, check box or radio button.
void ClickButton(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
bool IsItemEnabled(HWND dialog, int id);
// The left mouse button pressed, moved with and released over a window, at client
// coordinates.
void MouseDown(HWND window, int x, int y);
void MouseMove(HWND window, int x, int y);
void MouseUp(HWND window, int x, int y);
// A solid 32-bit BMP whose alpha bytes are all 255; colour as 0xRRGGBB.
void WriteBmp32(const std::wstring& path, int width, int height, uint32_t colour);
// Checks the condition until it holds; false after the timeout. For a thread other
// than the dialog's: it runs no messages (the dialog's own thread does).
bool PollUntil(const std::function<bool()>& condition, DWORD timeoutMs = 20000);
// The shown child dialog of a dialog (the page or pane in front); null when none.
HWND VisibleChildDialog(HWND dialog);
// Selects the entry with the text in a list box of a dialog as a click does, the
// dialog told by LBN_SELCHANGE; false when there is no such entry.
bool ChooseListEntry(HWND list, const std::wstring& text);
// Presses a button of a dialog. Waiting, this returns when the dialog has done what
// the button does; not waiting, at once (for buttons that open a modal dialog).
void PressButton(HWND dialog, int id, bool wait);

}  // namespace wintest

// ---- the save dialog: a common file dialog with a page of options, and the
// standalone viewer it is opened from ----
namespace app {
class StandaloneFrame;
}
namespace wintest {

// A common file dialog's file types (its type box, cmb1) as listed.
std::vector<std::wstring> FileTypes(HWND dialog);
// The 1-based filter index of the first type whose text contains `part`; 0 if none.
int FileTypeIndex(HWND dialog, const std::wstring& part);
// Chooses a file type by filter index as a user does in the type box; the dialog
// tells its hook (CDN_TYPECHANGE).
void ChooseFileType(HWND dialog, int filterIndex);
// The folder a common file dialog shows.
std::wstring DialogFolder(HWND dialog);
// The text of the chosen file type.
std::wstring ChosenFileType(HWND dialog);
// The list of the property editor somewhere inside a window; null when there is none.
HWND PropertyList(HWND window);
// A property row's value text by its label; empty when there is no such row.
std::wstring PropertyValue(HWND list, const std::wstring& label);
int PropertyRowCount(HWND list);
// Edits the row with the label as a user does: Enter on the row, the choice picked
// or the text typed in the cell's control, Enter. True when the cell then shows it.
bool EditProperty(HWND list, const std::wstring& label, const std::wstring& value);
// The standalone frame as Orbisk.exe makes it, with a viewer opened in it on a file.
class StandaloneViewer {
 public:
  StandaloneViewer();
  ~StandaloneViewer();
  // The viewer window (null when ListLoad declined); waits until the frame's title
  // names the file and the status bar describes the picture (the load has ended).
  HWND Open(const std::wstring& file);
  // ListLoad with the name (or none) in a fresh frame, without waiting for a picture,
  // and (unless told not to) what it posts run: the viewer, or null when declined.
  HWND Start(const wchar_t* file, bool runPosted = true);
  HWND Frame() const;
  HWND Window() const { return viewer_; }
  HWND Display() const;
  // Closes the viewer as the host does and waits until both windows are gone.
  bool Close();
  // True once the viewer and its frame have gone by themselves.
  bool Gone();
  // Gives the command as the menu does and lets everything it posts run.
  void Command(UINT command);
  // The state of a command in the frame's menu, its popups opened first.
  bool Greyed(UINT command) const;
  bool Checked(UINT command) const;
  std::wstring Status(int pane) const;
  // The title names the file and the size pane starts with `size`, before the deadline.
  bool Shows(const std::wstring& fileName, const std::wstring& size);

 private:
  std::unique_ptr<app::StandaloneFrame> frame_;
  HWND viewer_ = nullptr;
};
// The frame's title while it shows a file.
std::wstring TitleFor(const std::wstring& fileName);
// A string value of a key of HKEY_CURRENT_USER (the key's default when the name is
// null); `missing` when there is none.
std::wstring RegistryString(const std::wstring& path, const wchar_t* name,
                            const wchar_t* missing = L"(absent)");
// Values the save dialog keeps in its key of HKEY_CURRENT_USER (software, Quintel,
// Dorvane, this program's name, the section): a string ("<none>" when missing), a
// number (or `missing`), and the whole key removed.
std::wstring SaveDialogString(const wchar_t* section, const wchar_t* name);
DWORD SaveDialogNumber(const wchar_t* section, const wchar_t* name, DWORD missing = 0);
void RemoveSaveDialogValues(const wchar_t* section);
// The bytes of a file; empty when it cannot be read.
std::string FileBytes(const std::wstring& path);

// ---- the registry as a user's programs see it ----
// Everything under a key of HKEY_CURRENT_USER, values and sub-keys in order, as text;
// "(absent)" when the key is missing.
std::wstring RegistrySnapshot(const std::wstring& path);
// Ticks or clears the check box of the row of a check-box list view whose first cell
// reads `label`; false when no row does.
bool TickListRow(HWND dialog, int id, const std::wstring& label, bool tick);
// ---- skins ----
// The pixel (0xRRGGBB) at x, y of an uncompressed 8-bit RGB TIFF's first image held in
// `file`; nothing when the file is not one or the place lies outside it.
std::optional<uint32_t> TiffRgbPixel(const std::string& file, int x, int y);
// How many pixels of a window's client area inside `area` have exactly this colour.
int CountPixels(HWND window, const RECT& area, uint32_t colour);
// A top-level window: no parent and not a child.
bool IsTopLevel(HWND window);
// The navigation window a press in the box between a display's scroll bars opens,
// once the display has both bars; null when none shows.
HWND OpenNavigation(HWND display);
// The first place (dx, dy) where two equal-sized rectangles of a skin picture (a TIFF
// file's bytes) differ; nothing when they do not.
std::optional<POINT> FirstDifference(const std::string& file, POINT a, POINT b, SIZE size);
// Runs `show`, which opens a popup menu of this process and returns when it closes;
// meanwhile another thread reads the menu's items and closes it with Esc. Each item
// is its text ("-" for a separator); a submenu's items follow its item, indented by
// two spaces per level. Empty when no menu showed before the deadline.
std::vector<std::wstring> PopupMenuItems(const std::function<void()>& show);

}  // namespace wintest

// ---- the Options dialog: its tree of pages, list-view rows, keys, the settings file ----
namespace wintest {

// Selects the item with the text in a tree-view control of a dialog as a click does;
// false when there is no such item at the top level.
bool SelectTreeItem(HWND dialog, int id, const std::wstring& text);
// The row of a list-view control of a dialog whose first cell reads `label`, selected
// and focused as a click does; -1 when no row does.
int SelectListViewRow(HWND dialog, int id, const std::wstring& label);
// A key stroke sent to a window of this thread with the modifiers held, as the
// keyboard would deliver it (key down, then up); the modifiers are released after.
void PressKeyWith(HWND window, UINT key, bool ctrl, bool shift, bool alt);
// The value of a key in a settings file's text; "<none>" when the key is missing.
std::string IniValue(const std::string& ini, const std::string& key);
// A menu item's whole text (after its tab too), once the popups leading to it have
// been opened as a user opens them.
std::wstring DecoratedMenuItemText(HWND host, HMENU bar, UINT command);
// The window that has the focus in another thread's window (a dialog's control).
HWND FocusOfThreadOf(HWND window);

}  // namespace wintest

// ---- the rest of the file manager's plug-in interface ----
namespace wintest {

struct ListerEntries {
  HWND(__stdcall* loadW)(HWND, WCHAR*, int) = nullptr;
  int(__stdcall* loadNext)(HWND, HWND, char*, int) = nullptr;
  int(__stdcall* loadNextW)(HWND, HWND, WCHAR*, int) = nullptr;
  int(__stdcall* sendCommand)(HWND, int, int) = nullptr;
  void(__stdcall* detectString)(char*, int) = nullptr;
  void(__stdcall* setDefaultParams)(void*) = nullptr;
  HBITMAP(__stdcall* previewW)(WCHAR*, int, int, char*, int) = nullptr;
  HBITMAP(__stdcall* preview)(char*, int, int, char*, int) = nullptr;
  bool Complete() const {
    return loadW && loadNext && loadNextW && sendCommand && detectString && setDefaultParams &&
           previewW && preview;
  }
};
// The library's other exports, found once.
const ListerEntries& Lister();

// Whether a detect string of EXT="X" terms joined by " | " takes the file's name, as
// the file manager evaluates it; false for a term of another kind.
bool DetectStringTakes(const std::string& detect, const std::wstring& fileName);

// A JPEG of four flat quadrants, red and green above, blue and white below, written
// by the format plug-in beside the tests; false when it could not be written.
bool WriteQuadrantJpeg(const std::wstring& path, int width, int height);

// A bitmap's size and pixels, read back as a 32-bit top-down picture.
struct BitmapPixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0xRRGGBB
  // The pixel at a fraction of the width and height.
  uint32_t At(double fx, double fy) const;
};
BitmapPixels ReadBitmap(HBITMAP bitmap);
// True when every channel of two 0xRRGGBB colours is within `tolerance`.
bool ColourNear(uint32_t a, uint32_t b, int tolerance = 24);

// The texts of every tool of the tooltip windows a window owns, in tool order.
std::vector<std::wstring> ToolTipTexts(HWND owner);

}  // namespace wintest
