#include "tests/support/qt/qt_rig.h"

#include <QLabel>
#include <QTableWidget>
#include <QTimer>

#include <filesystem>

#include "app/paths.h"
#include "tests/support/refused_line_client.h"

namespace snimac::test {

TQtRig::TQtRig(bool trayAvailable_, const std::string& description, sim::TSimReaderConfig config)
    : trayAvailable(trayAvailable_) {
  reader = &bus.AddDevice(description, "A1B2", config);
  dbFile = (std::filesystem::temp_directory_path() /
            ("snimac-qt-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".db"))
               .string();
  platform.d2xx = &bus;
  platform.clock = &clock;
  platform.typist = &typist;
  platform.simulatedReader = true;
  platform.makeLineClient = [] { return std::make_unique<TRefusedLineClient>(); };
  platform.defaultDbFileName = dbFile;
  platform.defaultLogDir = "/nonexistent/";
  platform.pathStyle = NativePathStyle();
  view = std::make_unique<TQtView>([this] { return trayAvailable; });
}

// The window goes first (it stops the link), as the program's teardown does.
TQtRig::~TQtRig() {
  frm.reset();
  view.reset();
  std::filesystem::remove(dbFile);
}

void TQtRig::Start(const std::vector<std::string>& args) {
  frm = std::make_unique<TMainFrm>(*view, platform);
  frm->StartUp(args);
}

bool TQtRig::RunUntil(const std::function<bool()>& done, int timeoutMs) {
  bool reached = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (reached || !done()) return;
    reached = true;
    view->Quit();
  });
  poll.start(5);
  QTimer::singleShot(timeoutMs, &poll, [&] { view->Quit(); });
  view->RunMessageLoop(*frm);
  return reached;
}

std::string TQtRig::LabelText(TLabel label) { return view->MainWindow().Label(label)->text().toStdString(); }

std::string TQtRig::Cell(int row, int column) {
  const QTableWidgetItem* item = view->MainWindow().Grid()->item(row, column);
  return item ? item->text().toStdString() : "";
}

}  // namespace snimac::test
