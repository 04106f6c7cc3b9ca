// The application object: it shows the main dialog, and the process ends when it closes.
#pragma once

#include "ui/ui.h"

class CLantraApp : public CApplication {
 public:
  // Shows the main dialog modally until it is closed, then returns false.
  bool InitInstance() override;
};

// The one application object of the process.
extern CLantraApp theApp;
