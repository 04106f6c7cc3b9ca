// The parts of the window layer that every back end shares.
#include "ui.h"

#include "res/resource.h"

namespace {

CShell* g_pShell = nullptr;
CApplication* g_pApplication = nullptr;

}  // namespace

CModalDialog::CModalDialog(int templateId, CModalDialog* parent)
    : m_nTemplateId(templateId), m_pParent(parent) {}

CModalDialog::~CModalDialog() = default;

bool CModalDialog::OnInitDialog() {
  return true;
}

IconHandle CModalDialog::OnQueryDragIcon() {
  return nullptr;
}

std::span<const CommandEntry> CModalDialog::GetMessageMap() const {
  return {};
}

void CModalDialog::OnCommand(int id) {
  for (const CommandEntry& entry : GetMessageMap()) {
    if (entry.id == id) {
      (this->*entry.handler)();
      return;
    }
  }
  if (id == IDOK || id == IDCANCEL) EndDialog(id);
}

CShell& Shell() {
  return g_pShell != nullptr ? *g_pShell : DesktopShell();
}

void SetShell(CShell* shell) {
  g_pShell = shell;
}

CApplication::CApplication() {
  g_pApplication = this;
}

CApplication::~CApplication() {
  if (g_pApplication == this) g_pApplication = nullptr;
}

bool CApplication::InitInstance() {
  return true;
}

int RunApplication() {
  if (g_pApplication == nullptr) return 1;
  g_pApplication->InitInstance();
  return 0;
}
