#include "dialog_template.h"

#include "res/resource.h"

namespace {

constexpr std::uint32_t kControl = kWsChild | kWsVisible;
constexpr std::uint32_t kLabelStyle = kControl | kSsLeft | kWsGroup;
constexpr std::uint32_t kFieldStyle = kControl | kEsLeft | kEsAutoHScroll | kWsBorder | kWsTabStop;
constexpr std::uint32_t kButtonStyle = kControl | kBsPushButton | kWsTabStop;
constexpr std::uint32_t kDefaultButtonStyle = kControl | kBsDefPushButton | kWsTabStop;

constexpr ControlClass kPush = ControlClass::kButton;
constexpr ControlClass kEdit = ControlClass::kEdit;
constexpr ControlClass kStatic = ControlClass::kStatic;

// The labels end with a full-width colon; the formula has one space on each side of "=" and
// five on each side of each "+".
const ControlTemplate kHintTableControls[] = {
    {IDOK, kPush, u"生成", 174, 81, 50, 14, kDefaultButtonStyle},
    {IDC_STATIC, kStatic, u"提示编码表：", 16, 26, 42, 8, kLabelStyle},
    {IDC_CODE_TABLE_PATH, kEdit, u"", 69, 26, 96, 14, kFieldStyle},
    {IDC_BROWSE_CODE_TABLE, kPush, u"浏览(&B)", 171, 26, 50, 14, kButtonStyle},
    {IDC_STATIC, kStatic, u"提示内容表：", 16, 7, 42, 8, kLabelStyle},
    {IDC_CONTENT_TABLE_PATH, kEdit, u"", 69, 7, 96, 14, kFieldStyle},
    {IDC_BROWSE_CONTENT_TABLE, kPush, u"浏览(&B)", 171, 7, 50, 14, kButtonStyle},
    {IDC_STATIC, kStatic, u"最终编码 = 前缀     +     提示编码     +     后缀", 9, 84, 148, 8,
     kLabelStyle},
    {IDC_FINAL_PREFIX, kEdit, u"", 69, 47, 51, 14, kFieldStyle},
    {IDC_STATIC, kStatic, u"最终编码前缀：", 9, 47, 49, 8, kLabelStyle},
    {IDC_STATIC, kStatic, u"最终编码后缀：", 9, 65, 49, 8, kLabelStyle},
    {IDC_FINAL_SUFFIX, kEdit, u"", 69, 65, 51, 14, kFieldStyle},
};

}  // namespace

const DialogTemplate kHintTableDialog = {
    IDD_HINT_TABLE_DIALOG,
    kLanguageChinesePrc,
    u"kesu编码提示码表生成工具",
    0,
    0,
    231,
    105,
    kWsPopup | kWsVisible | kWsCaption | kWsSysMenu | kDsModalFrame | kDsSetFont | kDsFixedSys,
    kWsExAppWindow,
    u"MS Shell Dlg",
    9,
    0,
    false,
    1,
    kHintTableControls,
};

const DialogTemplate* FindDialogTemplate(int id) {
  return id == kHintTableDialog.id ? &kHintTableDialog : nullptr;
}
