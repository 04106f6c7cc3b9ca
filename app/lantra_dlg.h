// The main dialog: two table paths, the final-code prefix and suffix, Browse and Generate.
#pragma once

#include "ui/ui.h"

// The messages of a failed Generate, all with the caption kGenerateErrorCaption.
inline constexpr char16_t kGenerateErrorCaption[] = u"生成错误";
inline constexpr char16_t kNoCodeTableMessage[] = u"必须定义提示编码表。";
inline constexpr char16_t kNoContentMessage[] =
    u"无法读取提示内容表，请确认提示内容表路径的访问权限。";
inline constexpr char16_t kNothingGeneratedMessage[] =
    u"无法创建提示码表，请检查提示编码表、提示内容表文件格式是否符合kesu码表格式。";

// Where the icon of a minimised dialog goes: centred in the client area, each coordinate
// (client - icon + 1) / 2 with the division truncating toward zero.
UiPoint MinimizedIconPosition(UiSize client, UiSize icon);

class CLantraDlg : public CModalDialog {
 public:
  // Made from IDD_HINT_TABLE_DIALOG, without owner; loads the application icon.
  CLantraDlg();

 protected:
  bool OnInitDialog() override;
  void OnPaint() override;
  IconHandle OnQueryDragIcon() override;
  std::span<const CommandEntry> GetMessageMap() const override;

  // Generate (IDOK, also Enter in any field): writes the hint table from the four fields and
  // opens it with its associated program, or shows why it cannot. Changes no field.
  void OnGenerate();
  // Browse: puts the path of a file chosen in the open-file dialog into the table's field.
  void OnBrowseContentTable();
  void OnBrowseCodeTable();

 private:
  void BrowseInto(int fieldId);
  // After a message about the field: focus, whole text selected, caret in view.
  void MarkField(int fieldId);

  static const CommandEntry kMessageMap[];

  IconHandle m_hAppIcon;
};
