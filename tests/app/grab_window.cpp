// grab_window WINDOW_ID FILE.png: saves what an X window shows, for the tests under a virtual
// display and for the README's screenshot.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: grab_window WINDOW_ID FILE.png\n");
    return 2;
  }
  bool ok = false;
  const WId window = QString::fromLocal8Bit(argv[1]).toULongLong(&ok, 0);
  if (!ok) return 2;
  const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(window);
  return !picture.isNull() && picture.save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
}
