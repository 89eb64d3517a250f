#include "app/main_window.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <limits>
#include <new>

#include "app/fatal.h"
#include "app/layout.h"
#include "platform/code_page.h"

namespace morvane {
namespace {

QString FromLayout(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Puts the busy cursor up for the length of a command and takes it down however the command ends.
// The window system is flushed at once: the command blocks the event loop, which would otherwise
// send the change only after the command.
class BusyCursor {
 public:
  BusyCursor() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QGuiApplication::sync();
  }
  ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

void SetupLabel(QLabel* label) {
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setWordWrap(false);
  label->setFocusPolicy(Qt::NoFocus);
  label->setTextInteractionFlags(Qt::NoTextInteraction);
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  // Fills its rectangle with the window's button-face colour and draws black text over it.
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, Qt::black);
  label->setPalette(palette);
}

void SetupEditBox(QLineEdit* box) {
  // No limit of the box's own: the largest length the toolkit can hold.
  box->setMaxLength(std::numeric_limits<int>::max());
  box->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  box->setFrame(true);
  box->setFocusPolicy(Qt::StrongFocus);
  QPalette palette = box->palette();
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::Text, Qt::black);
  // The selection is not drawn while the box lacks the focus: the toolkit drops it when the focus
  // moves inside the window, and keeps it, drawn with the inactive colours, when the window loses
  // activation; those colours are made the box's own.
  palette.setColor(QPalette::Inactive, QPalette::Highlight, Qt::white);
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
  box->setPalette(palette);
}

void SetupButton(QPushButton* button) {
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setFocusPolicy(Qt::StrongFocus);
}

}  // namespace

MainWindow::MainWindow(WindowCommands commands) : QWidget(nullptr), commands_(std::move(commands)) {
  setObjectName("MainWindow");
  setWindowTitle(FromLayout(WINDOW_TITLE));
  // A fixed frame with a title bar, the system menu, Close and minimise, no maximise; a plain
  // top-level window keeps its own task-bar entry and is not kept above others.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(QIcon(QStringLiteral(":/") + FromLayout(ICON_RESOURCE)));
  setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Button));
  setPalette(palette);

  // Until the window system reports a frame, the whole size is client area.
  setFixedSize(WINDOW_WIDTH, WINDOW_HEIGHT);
  move(CentredPosition());
  BuildControls();

  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void MainWindow::BuildControls() {
  for (const ControlLayout& control : CONTROLS) {
    QWidget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::LABEL: {
        auto* label = new QLabel(FromLayout(control.text), this);
        SetupLabel(label);
        widget = label;
        break;
      }
      case ControlKind::EDIT_BOX: {
        auto* box = new QLineEdit(FromLayout(control.text), this);
        SetupEditBox(box);
        (control.name == INPUT_BOX_NAME ? inputBox_ : resultBox_) = box;
        widget = box;
        break;
      }
      case ControlKind::PUSH_BUTTON: {
        auto* button = new QPushButton(FromLayout(control.text), this);
        SetupButton(button);
        if (control.name == RESOLVE_BUTTON_NAME) {
          connect(button, &QPushButton::clicked, this,
                  [this] { RunCommand([this] { commands_.resolve(*this); }); });
        } else {
          connect(button, &QPushButton::clicked, this,
                  [this] { RunCommand([this] { commands_.open(GetBoxText(Box::RESULT)); }); });
        }
        widget = button;
        break;
      }
    }
    widget->setObjectName(FromLayout(control.name));
    widget->setGeometry(control.left, control.top, control.width, control.height);
    if (!control.tabStop) widget->setFocusPolicy(Qt::NoFocus);
  }
  for (std::size_t i = 0; i + 1 < FOCUS_ORDER.size(); ++i) {
    setTabOrder(findChild<QWidget*>(FromLayout(FOCUS_ORDER[i])),
                findChild<QWidget*>(FromLayout(FOCUS_ORDER[i + 1])));
  }
  inputBox_->setFocus(Qt::OtherFocusReason);
}

QPoint MainWindow::CentredPosition() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->geometry() : QRect(0, 0, WINDOW_WIDTH, WINDOW_HEIGHT);
  return {area.left() + CentredOffset(area.width(), WINDOW_WIDTH),
          area.top() + CentredOffset(area.height(), WINDOW_HEIGHT)};
}

bool MainWindow::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  switch (event->type()) {
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
      FitFrame();
      break;
    default:
      break;
  }
  return handled;
}

// The window manager tells the frame's size only once the window is shown. The outer size is
// fixed, so the client area gives up what the frame takes, and the window is centred again.
void MainWindow::FitFrame() {
  const QRect outer = frameGeometry();
  const QRect client = geometry();
  const QMargins frame(client.left() - outer.left(), client.top() - outer.top(),
                       outer.right() - client.right(), outer.bottom() - client.bottom());
  if (frame == fittedFrame_) return;
  fittedFrame_ = frame;
  setFixedSize(WINDOW_WIDTH - frame.left() - frame.right(),
               WINDOW_HEIGHT - frame.top() - frame.bottom());
  move(CentredPosition());
}

void MainWindow::RunCommand(const std::function<void()>& command) {
  try {
    BusyCursor busy;
    command();
  } catch (const std::bad_alloc&) {
    // The toolkit's own containers report a failed allocation this way, without its size.
    FailMemory(std::nullopt);
  }
}

QLineEdit* MainWindow::BoxEdit(Box box) const { return box == Box::INPUT ? inputBox_ : resultBox_; }

Text MainWindow::GetBoxText(Box box) {
  const QString text = BoxEdit(box)->text();
  return FromWide(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                      static_cast<std::size_t>(text.size())));
}

void MainWindow::SetBoxText(Box box, const Text& text) {
  QLineEdit* edit = BoxEdit(box);
  edit->setText(QString::fromStdU16String(ToWide(text)));
  edit->setCursorPosition(0);  // the start of the new text is in view
}

}  // namespace morvane
