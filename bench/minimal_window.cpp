// The baselines for the window's start-up: the least a Qt Widgets program does to show a window,
// and (with the argument "text") the same window with one line of Chinese text, which is where
// the toolkit first loads its fonts.
#include <QApplication>
#include <QLabel>
#include <QWidget>
#include <cstring>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Minimal"));
  window.resize(788, 210);
  if (argc > 1 && std::strcmp(argv[1], "text") == 0) {
    new QLabel(QString::fromUtf8("视频地址"), &window);
  }
  window.show();
  return application.exec();
}
