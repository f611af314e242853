#pragma once
// Makes the program's forms. The first form made is the main form: closing it for real ends the main
// loop, and the forms made after it are owned by it (kept above it, no task-bar buttons of their own).
#include "platform/ui.h"
#include "platform/win32/ui_context.h"

namespace qv::platform::win32 {

class Win32UiFactory final : public UiFactory {
 public:
  Win32UiFactory(Dialogs& dialogs, MainLoop& mainLoop) : ctx_(dialogs, mainLoop) {}
  std::unique_ptr<Form> createForm(const FormSpec& spec) override;

 private:
  UiContext ctx_;
  HWND mainWindow_ = nullptr;
};

}  // namespace qv::platform::win32
