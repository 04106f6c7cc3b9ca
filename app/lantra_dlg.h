// The main dialog: two table paths, the final-code prefix and suffix, Browse and Generate.
#pragma once

#include "messages.h"
#include "ui/ui.h"

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
