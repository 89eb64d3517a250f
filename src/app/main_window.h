// MainWindow: the one window of the program, built from the fixed layout in layout.h. It only
// builds the controls and routes clicks; the commands live elsewhere and reach the boxes through
// BoxAccess.
#pragma once

#include <QWidget>
#include <functional>

#include "app/box_access.h"

class QLineEdit;
class QPushButton;

namespace morvane {

struct WindowCommands {
  std::function<void(BoxAccess& boxes)> resolve;  // 按钮1
  std::function<void(const Text& address)> open;  // 按钮2, with the result box's text
};

class MainWindow : public QWidget, public BoxAccess {
 public:
  explicit MainWindow(WindowCommands commands);

  Text GetBoxText(Box box) override;
  void SetBoxText(Box box, const Text& text) override;

  // The outer frame's top-left that centres the window on the primary screen.
  static QPoint CentredPosition();

 protected:
  bool event(QEvent* event) override;

 private:
  void BuildControls();
  void FitFrame();
  void RunCommand(const std::function<void()>& command);
  QLineEdit* BoxEdit(Box box) const;

  WindowCommands commands_;
  QLineEdit* inputBox_ = nullptr;
  QLineEdit* resultBox_ = nullptr;
  QMargins fittedFrame_;
};

}  // namespace morvane
