#include "app/process_entry.h"

#include <exception>
#include <memory>

#include "app/main_frm.h"
#include "app/startup_error.h"
#include "app/texts.h"

namespace snimac {

TRunResult RunApplication(TView& ui, const TPlatformServices& platform, const std::vector<std::string>& args,
                          const std::function<void(TMainFrm&)>& messageLoop) {
  std::unique_ptr<TMainFrm> mainFrm;
  try {
    ui.SetApplicationTitle(texts::kApplicationTitle);
    mainFrm = std::make_unique<TMainFrm>(ui, platform);
    mainFrm->StartUp(args);
    messageLoop(*mainFrm);
    return TRunResult::Finished;
  } catch (const TStartupError& e) {
    ui.ShowMessageBox(e.what(), texts::kErrorCaption, TMessageButtons::Ok);
  } catch (const std::exception& e) {
    ui.ShowException(e.what());
  } catch (...) {
    ui.ShowException("");
  }
  return TRunResult::StartupFailed;
}

}  // namespace snimac
