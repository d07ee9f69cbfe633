// The toolkit's own texts (the OK, Cancel, Yes and No of the boxes) in the
// user's language, where the system carries Qt's translations.
#pragma once

class QCoreApplication;

namespace snimac {

// Installs Qt's translation for the system locale when one is found; nothing otherwise.
void InstallToolkitTranslations(QCoreApplication& app);

}  // namespace snimac
