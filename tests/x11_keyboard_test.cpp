// The X11 keyboard against a real X server (Xvfb) with real XKB layouts: what
// a window receives when card texts are typed, the layout questions, the
// active window's title.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cards/keyboard_typist.h"
#include "platform/posix/x11_keyboard.h"
#include "sim/virtual_clock.h"
#include "tests/support/posix/child_process.h"

// After gtest: Xlib defines macros such as None and Bool.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace snimac {
namespace {

using namespace std::chrono_literals;

// The full path of `program` on PATH; "" when it is not installed.
std::string FindProgram(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (size_t start = 0; start <= dirs.size();) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, end - start) + "/" + program;
    if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

// An X server of the test's own, on a display number it picks itself. It
// ends when its last client goes, so that a crashed test leaves none behind;
// until the end of the test its own connection keeps it (and the layout set
// on it) alive.
class TXvfb {
 public:
  TXvfb(const std::string& program, const std::vector<std::string>& extraArguments) {
    std::vector<std::string> argv = {program, "-displayfd", "1", "-nolisten", "tcp", "-terminate",
                                     "-screen", "0", "320x240x24"};
    argv.insert(argv.end(), extraArguments.begin(), extraArguments.end());
    server_ = std::make_unique<test::TChildProcess>(argv);
    // Xvfb writes the display number once it accepts connections.
    const std::optional<std::string> number = server_->ReadLine(20s);
    if (!number || number->empty()) throw std::runtime_error("Xvfb did not start");
    display_ = ":" + *number;
    keeper_ = XOpenDisplay(display_.c_str());
    if (!keeper_) throw std::runtime_error("cannot connect to Xvfb on " + display_);
  }
  ~TXvfb() {
    XCloseDisplay(keeper_);
    server_->Signal(SIGTERM);
    server_->Wait(10s);
  }
  TXvfb(const TXvfb&) = delete;
  TXvfb& operator=(const TXvfb&) = delete;
  const std::string& display() const { return display_; }

 private:
  std::unique_ptr<test::TChildProcess> server_;
  std::string display_;
  Display* keeper_ = nullptr;
};

// A top-level window with the keyboard focus that the test itself marks as
// the active one (there is no window manager under Xvfb).
class TTestWindow {
 public:
  explicit TTestWindow(const std::string& displayName) : display_(XOpenDisplay(displayName.c_str())) {
    if (!display_) throw std::runtime_error("cannot open " + displayName);
    root_ = DefaultRootWindow(display_);
    window_ = XCreateSimpleWindow(display_, root_, 0, 0, 100, 100, 0, 0, 0);
    XSelectInput(display_, window_, KeyPressMask | StructureNotifyMask);
    XMapWindow(display_, window_);
    XEvent event;
    do {
      XNextEvent(display_, &event);
    } while (event.type != MapNotify);
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    SetActive(window_);
  }
  ~TTestWindow() { XCloseDisplay(display_); }
  TTestWindow(const TTestWindow&) = delete;
  TTestWindow& operator=(const TTestWindow&) = delete;

  Display* display() const { return display_; }
  Window window() const { return window_; }

  void SetActive(Window window) {
    const long value = static_cast<long>(window);
    XChangeProperty(display_, root_, Intern("_NET_ACTIVE_WINDOW"), XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
    XSync(display_, False);
  }
  void SetUtf8Name(const std::string& name) {
    XChangeProperty(display_, window_, Intern("_NET_WM_NAME"), Intern("UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(name.data()), static_cast<int>(name.size()));
    XSync(display_, False);
  }
  void SetLatin1Name(const std::string& name) {
    XStoreName(display_, window_, name.c_str());
    XSync(display_, False);
  }
  void LockGroup(unsigned group) {
    XkbLockGroup(display_, XkbUseCoreKbd, group);
    XSync(display_, False);
  }

  struct TPress {
    KeySym keysym;
    unsigned state;
  };
  struct TArrival {
    std::string text;             // what the presses typed
    std::vector<TPress> presses;  // of keys other than modifiers
    bool enter = false;           // ended by Enter (else the time ran out)
  };
  // Key presses up to Enter.
  TArrival ReadUntilEnter() {
    TArrival arrival;
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < end) {
      if (XPending(display_) == 0) {
        pollfd p{ConnectionNumber(display_), POLLIN, 0};
        poll(&p, 1, 100);
        continue;
      }
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type != KeyPress) continue;
      char text[16];
      KeySym keysym = NoSymbol;
      const int length = XLookupString(&event.xkey, text, sizeof text, &keysym, nullptr);
      if (IsModifierKey(keysym)) continue;
      if (keysym == XK_Return) {
        arrival.enter = true;
        break;
      }
      arrival.presses.push_back({keysym, event.xkey.state});
      arrival.text.append(text, static_cast<size_t>(length));
    }
    return arrival;
  }
  // True when no key is held down on the server.
  bool AllKeysUp() {
    char keys[32];
    XQueryKeymap(display_, keys);
    for (const char k : keys) {
      if (k != 0) return false;
    }
    return true;
  }

 private:
  Atom Intern(const char* name) { return XInternAtom(display_, name, False); }

  Display* display_;
  Window root_;
  Window window_;
};

class X11Keyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    xvfbProgram = FindProgram("Xvfb");
    setxkbmapProgram = FindProgram("setxkbmap");
    if (xvfbProgram.empty() || setxkbmapProgram.empty()) {
      GTEST_SKIP() << "Xvfb or setxkbmap is not installed (packages xvfb, x11-xkb-utils, xkb-data)";
    }
  }
  void StartServer(const std::vector<std::string>& extraArguments = {}) {
    xvfb = std::make_unique<TXvfb>(xvfbProgram, extraArguments);
  }
  void SetLayouts(const std::string& layouts) {
    test::TChildProcess setxkbmap({setxkbmapProgram, "-display", xvfb->display(), "-layout", layouts});
    ASSERT_EQ(setxkbmap.Wait(20s), 0) << "setxkbmap -layout " << layouts;
  }

  std::string xvfbProgram;
  std::string setxkbmapProgram;
  std::unique_ptr<TXvfb> xvfb;
  sim::TVirtualClock clock;  // the pauses need not be waited for here
};

TEST_F(X11Keyboard, CardTextsArriveAsTypedOnEachLayout) {
  struct TCase {
    const char* layouts;
    unsigned group;
    std::vector<std::string> texts;
  };
  const std::vector<TCase> cases = {
      {"us", 0, {"04a1b2c3", "1234567890", "04a1b2c3;Zeleny;Cap;2011-09-01", "user@host"}},
      // Digits need Shift, Y and Z trade places, '@' needs AltGr.
      {"cz", 0, {"04a1b2c3", "1234567890", "04a1b2c3;Zeleny;Cap;2011-09-01", "user@host"}},
      {"us,cz", 1, {"1234567890", "04a1b2c3;Zeleny;Cap;2011-09-01", "user@host"}},
      {"de", 0, {"1234567890", "04a1b2c3;Zeleny;Cap;2011-09-01", "user@host"}},
  };
  StartServer();
  // Made before any layout is set: it must follow every change.
  TX11Keyboard keyboard(xvfb->display());
  TKeyboardTypist typist(keyboard, clock);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.layouts);
    SetLayouts(c.layouts);
    TTestWindow window(xvfb->display());  // reads the new keymap
    window.LockGroup(c.group);
    EXPECT_EQ(keyboard.ForegroundLayout(), c.group);
    for (const std::string& text : c.texts) {
      typist.TypeText(text, {.PrefixKey = 0, .PrefixModifiers = 0, .PressEnter = true});
      const TTestWindow::TArrival arrival = window.ReadUntilEnter();
      EXPECT_TRUE(arrival.enter) << "no Enter after " << text;
      EXPECT_EQ(arrival.text, text);
      keyboard.ForegroundLayout();  // a round trip: the server has seen every key event
      EXPECT_TRUE(window.AllKeysUp()) << "a key stays down after " << text;
    }
  }
}

TEST_F(X11Keyboard, PrefixHotKeyArrivesWithItsModifiers) {
  StartServer();
  SetLayouts("us");
  TTestWindow window(xvfb->display());
  TX11Keyboard keyboard(xvfb->display());
  TKeyboardTypist typist(keyboard, clock);
  typist.TypeText("1a", {.PrefixKey = kVkF1 + 4, .PrefixModifiers = kModifierCtrl | kModifierShift, .PressEnter = true});
  const TTestWindow::TArrival arrival = window.ReadUntilEnter();
  ASSERT_TRUE(arrival.enter);
  ASSERT_EQ(arrival.presses.size(), 3u);
  EXPECT_EQ(arrival.presses[0].keysym, static_cast<KeySym>(XK_F5));
  EXPECT_EQ(arrival.presses[0].state & (ShiftMask | ControlMask | Mod1Mask),
            static_cast<unsigned>(ShiftMask | ControlMask));
  EXPECT_EQ(arrival.presses[1].state & (ShiftMask | ControlMask), 0u) << "modifiers still held after the prefix";
  EXPECT_EQ(arrival.text, "1a");
}

TEST_F(X11Keyboard, LayoutAnswersOnCzech) {
  StartServer();
  SetLayouts("cz");
  TX11Keyboard keyboard(xvfb->display());
  struct TCase {
    char c;
    int16_t expected;
  };
  const std::vector<TCase> cases = {
      // Letter keys are named by their letter, not their place: Y and Z trade keys.
      {'a', 'A'},
      {'A', 0x100 | 'A'},
      {'z', 'Z'},
      {'y', 'Y'},
      // The digits need Shift; the digit keys type '+' and accented letters.
      {'1', 0x100 | '1'},
      {'+', '1'},
      // Other keys are named by their place on a US keyboard.
      {';', 0xC0},
      {'-', 0xBF},
      {' ', 0x20},
      // AltGr comes as Ctrl+Alt, as Windows reports it. '~' is on AltGr+A and
      // on Shift+AltGr of the ';' key: the fewer modifiers win.
      {'@', 0x600 | '2'},
      {'~', 0x600 | 'A'},
      // Not printable ASCII.
      {'\t', -1},
      {'\x7F', -1},
      {'\xE1', -1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "char " << static_cast<int>(static_cast<unsigned char>(c.c)));
    EXPECT_EQ(keyboard.VirtualKeyForChar(c.c, 0), c.expected);
  }
  EXPECT_EQ(keyboard.VirtualKeyForChar('a', 5), -1) << "a group that cannot exist";
  EXPECT_NE(keyboard.VirtualKeyToScanCode(kVkShift), 0u);
  EXPECT_NE(keyboard.VirtualKeyToScanCode(kVkRMenu), 0u);
  EXPECT_NE(keyboard.VirtualKeyToScanCode(kVkReturn), 0u);
  EXPECT_NE(keyboard.VirtualKeyToScanCode(kVkF1), 0u);
  EXPECT_NE(keyboard.VirtualKeyToScanCode('Z'), keyboard.VirtualKeyToScanCode('Y'));
  EXPECT_EQ(keyboard.VirtualKeyToScanCode(0x07), 0u) << "an unassigned virtual key";
  EXPECT_EQ(keyboard.VirtualKeyToScanCode(0x1234), 0u);
}

TEST_F(X11Keyboard, ForegroundTitleOfTheActiveWindow) {
  StartServer();
  TTestWindow window(xvfb->display());
  TX11Keyboard keyboard(xvfb->display());
  TKeyboardTypist typist(keyboard, clock);

  window.SetActive(None);
  EXPECT_EQ(keyboard.ForegroundTitle(), "");
  window.SetActive(window.window());
  EXPECT_EQ(keyboard.ForegroundTitle(), "") << "a window without a name";

  window.SetLatin1Name("Evidence");
  EXPECT_EQ(keyboard.ForegroundTitle(), "Evidence");
  window.SetLatin1Name("Doch\xE1zka");  // WM_NAME is Latin-1
  EXPECT_EQ(keyboard.ForegroundTitle(), "Doch\xC3\xA1zka");

  const std::string czech = "Docházka – Čáp";
  window.SetUtf8Name(czech);  // preferred over WM_NAME
  EXPECT_EQ(keyboard.ForegroundTitle(), czech);
  EXPECT_EQ(typist.ForegroundTitle(), czech);

  window.SetUtf8Name(std::string(200, 'x'));
  EXPECT_EQ(keyboard.ForegroundTitle(), std::string(127, 'x'));

  // The active window is gone (its id is stale): no title, no X error.
  const Window gone = XCreateSimpleWindow(window.display(), window.window(), 0, 0, 1, 1, 0, 0, 0);
  XDestroyWindow(window.display(), gone);
  window.SetActive(gone);
  EXPECT_EQ(keyboard.ForegroundTitle(), "");
}

TEST_F(X11Keyboard, ClearErrorsWhenTheDisplayCannotBeUsed) {
  try {
    TX11Keyboard keyboard(":9876");
    FAIL() << "opened a display that does not exist";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(":9876"), std::string::npos) << e.what();
  }
  StartServer({"-extension", "XTEST"});
  try {
    TX11Keyboard keyboard(xvfb->display());
    FAIL() << "a display without XTEST was accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("XTEST"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find(xvfb->display()), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace snimac
