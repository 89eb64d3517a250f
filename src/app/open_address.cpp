#include <QProcess>
#include <QString>
#include <QStringList>

#include "app/open_address.h"

namespace morvane {

void OpenAddress(const Text& address) {
  // Detached: the opener outlives the command and the window, and leaves no child to collect.
  QProcess::startDetached(QString::fromUtf8(OPEN_PROGRAM),
                          QStringList{QString::fromStdU16String(OpenArgument(address))});
}

}  // namespace morvane
