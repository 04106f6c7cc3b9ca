// Lantra's dialog templates as data. The Qt back end of the window layer lays its windows out
// from them; app/res/lantra.rc says the same to the Windows resource compiler and is checked
// against them. Positions and sizes are in dialog units: a horizontal unit is a quarter of the
// dialog font's average character width, a vertical unit an eighth of its character height.
// Styles carry the values of the Win32 style bits, so that both can be compared as numbers.
#pragma once

#include <cstdint>
#include <span>

// Window styles (WS_), dialog styles (DS_) and the control styles (BS_, ES_, SS_) in use.
constexpr std::uint32_t kWsPopup = 0x80000000;
constexpr std::uint32_t kWsChild = 0x40000000;
constexpr std::uint32_t kWsVisible = 0x10000000;
constexpr std::uint32_t kWsCaption = 0x00C00000;
constexpr std::uint32_t kWsBorder = 0x00800000;
constexpr std::uint32_t kWsSysMenu = 0x00080000;
constexpr std::uint32_t kWsGroup = 0x00020000;
constexpr std::uint32_t kWsTabStop = 0x00010000;
constexpr std::uint32_t kDsModalFrame = 0x0080;
constexpr std::uint32_t kDsSetFont = 0x0040;
constexpr std::uint32_t kDsFixedSys = 0x0008;
constexpr std::uint32_t kBsPushButton = 0x0000;
constexpr std::uint32_t kBsDefPushButton = 0x0001;
constexpr std::uint32_t kEsLeft = 0x0000;
constexpr std::uint32_t kEsAutoHScroll = 0x0080;
constexpr std::uint32_t kSsLeft = 0x0000;
// Extended window style: the window has its own taskbar button.
constexpr std::uint32_t kWsExAppWindow = 0x00040000;

// Language of a resource: Chinese (PRC).
constexpr std::uint16_t kLanguageChinesePrc = 2052;

// The window class of a control, by the atom that a DIALOGEX template gives it.
enum class ControlClass : std::uint16_t {
  kButton = 0x0080,
  kEdit = 0x0081,
  kStatic = 0x0082,
};

struct ControlTemplate {
  int id;
  ControlClass kind;
  const char16_t* text;  // "&" marks the access key; "&&" is a plain "&"
  int x, y, width, height;
  std::uint32_t style;  // WS_CHILD and WS_VISIBLE included
};

struct DialogTemplate {
  int id;
  std::uint16_t language;
  const char16_t* title;
  int x, y, width, height;
  std::uint32_t style;
  std::uint32_t exStyle;
  const char16_t* fontName;
  int fontPointSize;
  int fontWeight;  // 0: the font's normal weight
  bool fontItalic;
  int fontCharset;
  // In template order, which is also the tab order of the controls with WS_TABSTOP.
  std::span<const ControlTemplate> controls;
};

// IDD_HINT_TABLE_DIALOG: the main dialog.
extern const DialogTemplate kHintTableDialog;

// The template with the id `id`, or null.
const DialogTemplate* FindDialogTemplate(int id);
