// morvane: the window program.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <memory>
#include <new>

#include "app/fatal.h"
#include "app/main_window.h"
#include "app/open_address.h"
#include "app/share_link_resolver.h"

namespace morvane {
namespace {

QtMessageHandler toolkitHandler = nullptr;
bool windowShown = false;

// Until the window is up, a fatal toolkit message (no display, no platform plug-in) means the
// window cannot be built: it ends the process as that failure does, with the toolkit's own message
// before ours.
void StartupMessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (toolkitHandler) toolkitHandler(type, context, text);
  if (type == QtFatalMsg && !windowShown) FailStartup();
}

void ShowErrorBox(const std::string& message) {
  QMessageBox::critical(nullptr, QStringLiteral("Morvane"), QString::fromStdString(message));
}

int Run(int argc, char** argv) {
  toolkitHandler = qInstallMessageHandler(StartupMessageHandler);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("morvane"));
  QApplication::setDesktopFileName(QStringLiteral("morvane"));
  SetFatalPresenter(ShowErrorBox);
  QDir::setCurrent(QCoreApplication::applicationDirPath());

  std::unique_ptr<MainWindow> window;
  try {
    window = std::make_unique<MainWindow>(WindowCommands{
        .resolve = [](BoxAccess& boxes) { ShareLinkResolver(boxes).Resolve(); },
        .open = [](const Text& address) { OpenAddress(address); },
    });
    window->show();
  } catch (const std::bad_alloc&) {
    FailMemory(std::nullopt);
  } catch (...) {
    FailStartup();
  }
  windowShown = true;
  return application.exec();
}

}  // namespace
}  // namespace morvane

int main(int argc, char** argv) { return morvane::Run(argc, argv); }
