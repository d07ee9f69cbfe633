#include "platform/posix/x11_keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string_view>

namespace snimac {
namespace {

constexpr unsigned kGroupCount = 4;
constexpr int kLevelCount = 4;  // Base, Shift, AltGr, Shift+AltGr
constexpr size_t kTitleLimit = 127;
constexpr int kVkScanAltGr = kVkScanCtrl | kVkScanAlt;

// Keys Windows names by their place on a US keyboard (XKB key names), for
// keys that do not type a Latin letter.
struct TPlacedKey {
  std::string_view name;
  uint8_t vk;
};
constexpr TPlacedKey kPlacedKeys[] = {
    {"TLDE", 0xC0}, {"AE01", '1'},  {"AE02", '2'},  {"AE03", '3'},  {"AE04", '4'},  {"AE05", '5'},
    {"AE06", '6'},  {"AE07", '7'},  {"AE08", '8'},  {"AE09", '9'},  {"AE10", '0'},  {"AE11", 0xBD},
    {"AE12", 0xBB}, {"AD01", 'Q'},  {"AD02", 'W'},  {"AD03", 'E'},  {"AD04", 'R'},  {"AD05", 'T'},
    {"AD06", 'Y'},  {"AD07", 'U'},  {"AD08", 'I'},  {"AD09", 'O'},  {"AD10", 'P'},  {"AD11", 0xDB},
    {"AD12", 0xDD}, {"BKSL", 0xDC}, {"AC01", 'A'},  {"AC02", 'S'},  {"AC03", 'D'},  {"AC04", 'F'},
    {"AC05", 'G'},  {"AC06", 'H'},  {"AC07", 'J'},  {"AC08", 'K'},  {"AC09", 'L'},  {"AC10", 0xBA},
    {"AC11", 0xDE}, {"LSGT", 0xE2}, {"AB01", 'Z'},  {"AB02", 'X'},  {"AB03", 'C'},  {"AB04", 'V'},
    {"AB05", 'B'},  {"AB06", 'N'},  {"AB07", 'M'},  {"AB08", 0xBC}, {"AB09", 0xBE}, {"AB10", 0xBF},
    {"SPCE", 0x20},
};

// Keys found by what they type at the base level.
struct TNamedKey {
  uint8_t vk;
  KeySym keysym;
};
constexpr TNamedKey kNamedKeys[] = {
    {kVkShift, XK_Shift_L},
    {kVkControl, XK_Control_L},
    {kVkMenu, XK_Alt_L},
    {kVkRMenu, XK_ISO_Level3_Shift},  // AltGr
    {kVkReturn, XK_Return},
};
constexpr int kFunctionKeyCount = 24;  // F1..F24 follow each other in both numberings

// The group a key uses when `group` is active: keys with fewer groups wrap,
// clamp or redirect as their keymap entry says. -1 for keys without symbols.
int EffectiveGroup(const XkbDescRec* xkb, unsigned keycode, unsigned group) {
  const int count = XkbKeyNumGroups(xkb, keycode);
  if (count == 0) return -1;
  if (static_cast<int>(group) < count) return static_cast<int>(group);
  const unsigned info = XkbKeyGroupInfo(xkb, keycode);
  switch (XkbOutOfRangeGroupAction(info)) {
    case XkbRedirectIntoRange: {
      const int target = XkbOutOfRangeGroupNumber(info);
      return target < count ? target : 0;
    }
    case XkbClampIntoRange:
      return count - 1;
    default:
      return static_cast<int>(group) % count;
  }
}

KeySym SymAt(const XkbDescRec* xkb, unsigned keycode, int group, int level) {
  if (group < 0 || level >= XkbKeyGroupWidth(xkb, keycode, group)) return NoSymbol;
  return XkbKeySymEntry(xkb, keycode, level, group);
}

std::string_view KeyName(const XkbDescRec* xkb, unsigned keycode) {
  const char* name = xkb->names->keys[keycode].name;
  return {name, strnlen(name, XkbKeyNameLength)};
}

// Xlib reports protocol errors to a process-wide handler that by default
// ends the process; a window can vanish between two requests, so errors are
// ignored while a title is read.
class TIgnoreXErrors {
 public:
  explicit TIgnoreXErrors(Display* display) : display_(display) {
    XSync(display_, False);
    previous_ = XSetErrorHandler(&Ignore);
  }
  ~TIgnoreXErrors() {
    XSync(display_, False);
    XSetErrorHandler(previous_);
  }
  TIgnoreXErrors(const TIgnoreXErrors&) = delete;
  TIgnoreXErrors& operator=(const TIgnoreXErrors&) = delete;

 private:
  static int Ignore(Display*, XErrorEvent*) { return 0; }
  Display* display_;
  int (*previous_)(Display*, XErrorEvent*) = nullptr;
};

// Reads a property of at most `limit` bytes; nothing when it is absent or of another type.
std::optional<std::string> ReadProperty(Display* display, Window window, Atom property, Atom type, size_t limit) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const long longs = static_cast<long>((limit + 3) / 4);
  if (XGetWindowProperty(display, window, property, 0, longs, False, type, &actualType, &format, &count, &after,
                         &data) != Success) {
    return std::nullopt;
  }
  std::optional<std::string> value;
  if (data && actualType == type) {
    const size_t bytes = count * static_cast<size_t>(format == 32 ? sizeof(long) : format / 8);
    value.emplace(reinterpret_cast<const char*>(data), bytes);
  }
  if (data) XFree(data);
  return value;
}

std::string DisplayNameForMessages(const std::string& displayName) {
  if (!displayName.empty()) return displayName;
  const char* env = std::getenv("DISPLAY");
  return env ? env : "(DISPLAY is not set)";
}

}  // namespace

void TX11Keyboard::TDisplayCloser::operator()(_XDisplay* display) const { XCloseDisplay(display); }

void TX11Keyboard::TKeymapFree::operator()(_XkbDesc* xkb) const { XkbFreeKeyboard(xkb, XkbAllComponentsMask, True); }

TX11Keyboard::TX11Keyboard(const std::string& displayName)
    : display_(XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str())) {
  const std::string shown = DisplayNameForMessages(displayName);
  if (!display_) throw std::runtime_error("Cannot open the X display " + shown);
  Display* display = display_.get();
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
    throw std::runtime_error("The X display " + shown + " has no XTEST extension; card numbers cannot be typed");
  }
  int opcode = 0;
  major = XkbMajorVersion;
  minor = XkbMinorVersion;
  if (!XkbQueryExtension(display, &opcode, &xkbEventType_, &errorBase, &major, &minor)) {
    throw std::runtime_error("The X display " + shown + " has no usable XKEYBOARD extension");
  }
  // Told when the keymap changes, so that it is read again (see Sync).
  const unsigned changes = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
  XkbSelectEvents(display, XkbUseCoreKbd, changes, changes);
  activeWindowAtom_ = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  wmNameAtom_ = XInternAtom(display, "_NET_WM_NAME", False);
  utf8StringAtom_ = XInternAtom(display, "UTF8_STRING", False);
  LoadKeymap();
  if (!xkb_) throw std::runtime_error("Cannot read the keyboard map of the X display " + shown);
}

TX11Keyboard::~TX11Keyboard() = default;

unsigned TX11Keyboard::Sync() {
  Display* display = display_.get();
  XkbStateRec state{};
  // A round trip: every event the server sent before it is queued now.
  const bool known = XkbGetState(display, XkbUseCoreKbd, &state) == Success;
  bool changed = false;
  while (XEventsQueued(display, QueuedAlready) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == xkbEventType_) changed = true;
  }
  if (changed) LoadKeymap();
  return known ? state.group % kGroupCount : 0;
}

void TX11Keyboard::LoadKeymap() {
  Display* display = display_.get();
  groups_ = {};
  xkb_.reset(XkbGetMap(display, XkbAllClientInfoMask, XkbUseCoreKbd));
  if (!xkb_ || XkbGetNames(display, XkbKeyNamesMask, xkb_.get()) != Success || !xkb_->names ||
      !xkb_->names->keys) {
    xkb_.reset();
    return;
  }
  for (unsigned group = 0; group < kGroupCount; ++group) groups_[group] = BuildGroup(group);
}

TX11Keyboard::TGroupKeys TX11Keyboard::BuildGroup(unsigned group) const {
  const XkbDescRec* xkb = xkb_.get();
  TGroupKeys keys;
  auto assign = [&](unsigned keycode, uint8_t vk) {
    if (keys.keycodeOfVk[vk] != 0 || keys.vkOfKeycode[keycode] != 0) return;
    keys.keycodeOfVk[vk] = static_cast<uint8_t>(keycode);
    keys.vkOfKeycode[keycode] = vk;
  };
  // Letter keys first: a key is named by the letter it types, wherever it is
  // (so Y and Z trade names on QWERTZ).
  for (unsigned kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc) {
    const KeySym base = SymAt(xkb, kc, EffectiveGroup(xkb, kc, group), 0);
    if (base >= XK_a && base <= XK_z) assign(kc, static_cast<uint8_t>(base - XK_a + 'A'));
  }
  // Then the other keys of the main block by their place.
  for (unsigned kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc) {
    if (EffectiveGroup(xkb, kc, group) < 0) continue;
    const std::string_view name = KeyName(xkb, kc);
    for (const TPlacedKey& placed : kPlacedKeys) {
      if (placed.name == name) assign(kc, placed.vk);
    }
  }
  // Modifiers, Enter and function keys by what they type. Of several keys
  // (AltGr is often on two), one that sets a modifier is taken.
  auto find = [&](KeySym keysym) -> unsigned {
    unsigned found = 0;
    for (unsigned kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc) {
      if (SymAt(xkb, kc, EffectiveGroup(xkb, kc, group), 0) != keysym) continue;
      if (xkb->map->modmap[kc] != 0) return kc;
      if (found == 0) found = kc;
    }
    return found;
  };
  for (const TNamedKey& named : kNamedKeys) keys.keycodeOfVk[named.vk] = static_cast<uint8_t>(find(named.keysym));
  for (int n = 0; n < kFunctionKeyCount; ++n) {
    keys.keycodeOfVk[kVkF1 + n] = static_cast<uint8_t>(find(XK_F1 + static_cast<KeySym>(n)));
  }
  if (const uint8_t altGr = keys.keycodeOfVk[kVkRMenu]) keys.level3Mask = xkb->map->modmap[altGr];
  return keys;
}

std::optional<int> TX11Keyboard::ModifiersForLevel(unsigned keycode, int group, int level, unsigned level3Mask) const {
  if (level == 0) return 0;
  const XkbKeyTypeRec* type = XkbKeyKeyType(xkb_.get(), keycode, group);
  const unsigned usable = ShiftMask | level3Mask;
  std::optional<int> best;
  // The key type lists which modifier combinations select which level; take
  // the simplest one made of Shift and AltGr alone.
  for (int i = 0; i < type->map_count; ++i) {
    const XkbKTMapEntryRec& entry = type->map[i];
    const unsigned mask = entry.mods.mask;
    if (!entry.active || entry.level != level || mask == 0 || (mask & ~usable) != 0) continue;
    const int bits = ((mask & ShiftMask) ? kVkScanShift : 0) | ((mask & level3Mask) ? kVkScanAltGr : 0);
    if (!best || bits < *best) best = bits;
  }
  return best;
}

void TX11Keyboard::KeybdEvent(uint8_t vk, uint8_t /*scan*/, uint32_t flags) {
  const uint8_t keycode = groups_[Sync()].keycodeOfVk[vk];
  if (keycode == 0) return;
  XTestFakeKeyEvent(display_.get(), keycode, (flags & kKeyEventKeyUp) ? False : True, CurrentTime);
  XFlush(display_.get());
}

uint32_t TX11Keyboard::VirtualKeyToScanCode(uint32_t code) {
  const unsigned group = Sync();
  return code < 256 ? groups_[group].keycodeOfVk[code] : 0;
}

int16_t TX11Keyboard::VirtualKeyForChar(char ch, TKeyboardLayout layout) {
  Sync();
  const auto c = static_cast<unsigned char>(ch);
  // Printable ASCII characters are their own keysyms.
  if (c < 0x20 || c > 0x7E || layout >= kGroupCount || !xkb_) return -1;
  const XkbDescRec* xkb = xkb_.get();
  const TGroupKeys& keys = groups_[layout];
  const auto group = static_cast<unsigned>(layout);
  // Of all keys that type it, the one that needs the fewest modifiers.
  std::optional<int> best;
  for (unsigned kc = xkb->min_key_code; kc <= xkb->max_key_code; ++kc) {
    const uint8_t vk = keys.vkOfKeycode[kc];
    if (vk == 0) continue;  // a key the typist could not press
    const int effective = EffectiveGroup(xkb, kc, group);
    for (int level = 0; level < kLevelCount; ++level) {
      if (SymAt(xkb, kc, effective, level) != c) continue;
      const std::optional<int> modifiers = ModifiersForLevel(kc, effective, level, keys.level3Mask);
      if (modifiers && (!best || *modifiers < (*best & ~0xFF))) best = *modifiers | vk;
    }
  }
  return static_cast<int16_t>(best.value_or(-1));
}

TKeyboardLayout TX11Keyboard::ForegroundLayout() { return Sync(); }

std::string TX11Keyboard::ForegroundTitle() {
  Display* display = display_.get();
  const TIgnoreXErrors ignore(display);
  const auto active = ReadProperty(display, DefaultRootWindow(display), activeWindowAtom_, XA_WINDOW, sizeof(long));
  if (!active || active->size() < sizeof(long)) return "";
  long window = 0;
  std::memcpy(&window, active->data(), sizeof window);
  if (window == 0) return "";
  std::string title = TitleProperty(static_cast<Window>(window)).value_or("");
  // Like a window text: up to the first NUL, at most 127 bytes.
  title = title.substr(0, std::min(title.find('\0'), kTitleLimit));
  return title;
}

std::optional<std::string> TX11Keyboard::TitleProperty(unsigned long window) {
  Display* display = display_.get();
  if (auto name = ReadProperty(display, window, wmNameAtom_, utf8StringAtom_, kTitleLimit)) return name;
  // WM_NAME may be Latin-1 or compound text; Xlib converts it.
  XTextProperty property{};
  if (!XGetWMName(display, window, &property) || !property.value) return std::nullopt;
  std::optional<std::string> title;
  char** list = nullptr;
  int count = 0;
  if (Xutf8TextPropertyToTextList(display, &property, &list, &count) >= Success && count > 0 && list) {
    title.emplace(list[0]);
  } else {
    title.emplace(reinterpret_cast<const char*>(property.value), property.nitems);
  }
  if (list) XFreeStringList(list);
  XFree(property.value);
  return title;
}

}  // namespace snimac
