#include "lantra_dlg.h"

#include "hint_table.h"
#include "platform/file_system.h"
#include "res/resource.h"

namespace {

constexpr OpenFileRequest kTableFileRequest = {u"文本文件(*.txt)", u"*.txt", u"txt", u"*.txt"};

}  // namespace

const CommandEntry CLantraDlg::kMessageMap[] = {
    OnClicked(IDOK, &CLantraDlg::OnGenerate),
    OnClicked(IDC_BROWSE_CONTENT_TABLE, &CLantraDlg::OnBrowseContentTable),
    OnClicked(IDC_BROWSE_CODE_TABLE, &CLantraDlg::OnBrowseCodeTable),
};

UiPoint MinimizedIconPosition(UiSize client, UiSize icon) {
  return {(client.width - icon.width + 1) / 2, (client.height - icon.height + 1) / 2};
}

CLantraDlg::CLantraDlg()
    : CModalDialog(IDD_HINT_TABLE_DIALOG, nullptr), m_hAppIcon(LoadAppIcon(IDI_APP_ICON)) {}

bool CLantraDlg::OnInitDialog() {
  CModalDialog::OnInitDialog();
  SetIcon(m_hAppIcon, true);
  SetIcon(m_hAppIcon, false);
  return true;
}

void CLantraDlg::OnPaint() {
  if (!IsMinimized()) {
    CModalDialog::OnPaint();
    return;
  }
  CPaintContext paint(*this);
  paint.EraseIconBackground();
  paint.DrawIconAt(MinimizedIconPosition(ClientSize(), SystemIconSize()), m_hAppIcon);
}

IconHandle CLantraDlg::OnQueryDragIcon() {
  return m_hAppIcon;
}

std::span<const CommandEntry> CLantraDlg::GetMessageMap() const {
  return kMessageMap;
}

void CLantraDlg::OnGenerate() {
  LoadedText content;
  ContentIndex index = nullptr;
  char16_t resultPath[kPathLength];
  char16_t codePath[kPathLength];
  char16_t contentPath[kPathLength];
  char16_t prefix[kAffixLength];
  char16_t suffix[kAffixLength];

  // An empty result path shows up later as a count of 0.
  GetResultPath(resultPath);
  GetItemText(IDC_CODE_TABLE_PATH, codePath, kPathLength);
  GetItemText(IDC_FINAL_PREFIX, prefix, kAffixLength);
  GetItemText(IDC_FINAL_SUFFIX, suffix, kAffixLength);
  if (codePath[0] == 0) {
    ShowErrorBox(kNoCodeTableMessage, kGenerateErrorCaption);
    MarkField(IDC_CODE_TABLE_PATH);
    return;
  }
  // An empty content table path cannot be loaded and so ends in the message below.
  GetItemText(IDC_CONTENT_TABLE_PATH, contentPath, kPathLength);
  BuildContentIndex(&content, contentPath, &index);
  if (index == nullptr) {
    ShowErrorBox(kNoContentMessage, kGenerateErrorCaption);
    MarkField(IDC_CONTENT_TABLE_PATH);
  } else if (GenerateHintTable(index, prefix, resultPath, codePath, suffix) != 0) {
    Shell().OpenDocument(Handle(), resultPath);
  } else {
    ShowErrorBox(kNothingGeneratedMessage, kGenerateErrorCaption);
  }
  IndexRelease(&index);
  ReleaseLoadedText(&content);
}

void CLantraDlg::OnBrowseContentTable() {
  BrowseInto(IDC_CONTENT_TABLE_PATH);
}

void CLantraDlg::OnBrowseCodeTable() {
  BrowseInto(IDC_CODE_TABLE_PATH);
}

void CLantraDlg::BrowseInto(int fieldId) {
  const std::u16string path = Shell().ChooseFileToOpen(Handle(), kTableFileRequest);
  if (PathExists(path.c_str())) SetItemText(fieldId, path.c_str());
}

void CLantraDlg::MarkField(int fieldId) {
  FocusItem(fieldId);
  SelectItemText(fieldId);
}
