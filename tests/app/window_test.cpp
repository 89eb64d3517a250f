// The window on the offscreen platform: the layout as the user gets it, the keys, the two box
// operations, and the Open command with a stand-in opener that records what it was given.
#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <limits>
#include <memory>

#include "app/main_window.h"
#include "app/open_address.h"
#include "app/share_link_resolver.h"

namespace morvane {

class WindowTest : public QObject {
  Q_OBJECT

 private:
  int resolveRuns_ = 0;
  QList<Text> opened_;
  std::unique_ptr<MainWindow> window_;

  template <typename T>
  T* Control(const char* name) {
    T* control = window_->findChild<T*>(QString::fromUtf8(name));
    if (!control) qFatal("no control %s", name);
    return control;
  }
  QLineEdit* InputBox() { return Control<QLineEdit>("编辑框1"); }
  QLineEdit* ResultBox() { return Control<QLineEdit>("编辑框2"); }

  void ShowWindow(WindowCommands commands) {
    window_ = std::make_unique<MainWindow>(std::move(commands));
    window_->show();
    QApplication::setActiveWindow(window_.get());
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  }

  QString FocusName() {
    QWidget* focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QStringLiteral("(none)");
  }

 private slots:
  void init() {
    resolveRuns_ = 0;
    opened_.clear();
    ShowWindow({.resolve = [this](BoxAccess&) { ++resolveRuns_; },
                .open = [this](const Text& address) { opened_.append(address); }});
  }
  void cleanup() { window_.reset(); }

  void layoutTable_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("tabStop");
    auto row = [](const char* name, const char* kind, QRect geometry, const char* text, bool tab) {
      QTest::newRow(name) << QString(kind) << geometry << QString::fromUtf8(text) << tab;
    };
    row("标签1", "QLabel", QRect(8, 16, 48, 24), "视频地址", false);
    row("编辑框1", "QLineEdit", QRect(80, 16, 560, 32), "", true);
    row("按钮1", "QPushButton", QRect(672, 8, 80, 40), "解析", true);
    row("标签2", "QLabel", QRect(8, 64, 64, 32), "无水印地址", false);
    row("编辑框2", "QLineEdit", QRect(80, 72, 560, 32), "", true);
    row("按钮2", "QPushButton", QRect(672, 64, 80, 40), "下载", true);
    row("标签4", "QLabel", QRect(648, 136, 104, 32), nullptr, false);
  }
  void layoutTable() {
    QFETCH(QString, kind);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, tabStop);
    const QString name = QString::fromUtf8(QTest::currentDataTag());
    QWidget* control = window_->findChild<QWidget*>(name);
    QVERIFY2(control, qPrintable(name));
    QCOMPARE(control->metaObject()->className(), kind);
    QCOMPARE(control->parentWidget(), window_.get());
    QCOMPARE(control->geometry(), geometry);
    QVERIFY(control->isVisible());
    QVERIFY(control->isEnabled());
    QCOMPARE(control->font(), QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    QCOMPARE(bool(control->focusPolicy() & Qt::TabFocus), tabStop);
    QString shown;
    if (auto* label = qobject_cast<QLabel*>(control)) {
      shown = label->text();
      QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
      QVERIFY(!label->wordWrap());
      QVERIFY(label->autoFillBackground());
      QCOMPARE(label->palette().color(QPalette::Window),
               window_->palette().color(QPalette::Window));
      QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::black));
      QVERIFY(label->testAttribute(Qt::WA_TransparentForMouseEvents));
    } else if (auto* box = qobject_cast<QLineEdit*>(control)) {
      shown = box->text();
      QCOMPARE(box->maxLength(), std::numeric_limits<int>::max());
      QVERIFY(!box->isReadOnly());
      QCOMPARE(box->echoMode(), QLineEdit::Normal);
      QVERIFY(box->hasFrame());
      QCOMPARE(box->cursorPosition(), 0);
      QCOMPARE(box->palette().color(QPalette::Base), QColor(Qt::white));
      QCOMPARE(box->palette().color(QPalette::Text), QColor(Qt::black));
    } else if (auto* button = qobject_cast<QPushButton*>(control)) {
      shown = button->text();
      QVERIFY(!button->isDefault());
      QVERIFY(!button->autoDefault());
      QVERIFY(button->icon().isNull());
    }
    if (!text.isNull()) QCOMPARE(shown, text);
    if (text.isNull()) QVERIFY(!shown.isEmpty());  // the credit text, ours to choose
  }

  void noOverlaps() {
    const auto controls = window_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(controls.size(), 7);
    for (QWidget* a : controls) {
      QVERIFY(window_->rect().contains(a->geometry()));
      for (QWidget* b : controls) {
        if (a != b) QVERIFY2(!a->geometry().intersects(b->geometry()), qPrintable(a->objectName()));
      }
    }
  }

  void windowProperties() {
    QCOMPARE(window_->windowTitle(), QStringLiteral("Morvane"));
    // The outer size is fixed, frame included; the client area is what the frame leaves (this
    // platform reports a thin frame), and it cannot be resized.
    QCOMPARE(window_->frameGeometry().size(), QSize(788, 210));
    const QMargins frame = window_->windowHandle()->frameMargins();
    QCOMPARE(window_->size(),
             QSize(788 - frame.left() - frame.right(), 210 - frame.top() - frame.bottom()));
    QCOMPARE(window_->minimumSize(), window_->size());
    QCOMPARE(window_->maximumSize(), window_->size());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(window_->frameGeometry().topLeft(),
             QPoint(screen.left() + (screen.width() - 788) / 2,
                    screen.top() + (screen.height() - 210) / 2));
    const Qt::WindowFlags flags = window_->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window);
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowStaysOnTopHint));
    QVERIFY(window_->autoFillBackground());
    QCOMPARE(window_->palette().color(QPalette::Window),
             QApplication::palette().color(QPalette::Button));
    QCOMPARE(window_->font(), QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    QVERIFY(QFile::exists(QStringLiteral(":/DEFAULT_ICON")));
    QVERIFY(!window_->windowIcon().isNull());
  }

  void tabWalksTheFocusOrderBothWays() {
    const QStringList forward = {"按钮1", "编辑框2", "按钮2", "编辑框1", "按钮1"};
    InputBox()->setFocus();
    QCOMPARE(FocusName(), QStringLiteral("编辑框1"));
    for (const QString& next : forward) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(FocusName(), next);
    }
    InputBox()->setFocus();
    const QStringList backward = {"按钮2", "编辑框2", "按钮1", "编辑框1", "按钮2"};
    for (const QString& next : backward) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
      QCOMPARE(FocusName(), next);
    }
  }

  void escapeFromEitherBoxEndsTheLoop_data() {
    QTest::addColumn<QString>("box");
    QTest::newRow("input box") << QStringLiteral("编辑框1");
    QTest::newRow("result box") << QStringLiteral("编辑框2");
    QTest::newRow("button") << QStringLiteral("按钮2");
  }
  void escapeFromEitherBoxEndsTheLoop() {
    QFETCH(QString, box);
    QWidget* focus = window_->findChild<QWidget*>(box);
    focus->setFocus();
    QLineEdit* input = InputBox();
    QTest::keyClicks(input, "typed");  // text in a box does not hold the close up
    QTimer::singleShot(0, focus, [focus] { QTest::keyClick(focus, Qt::Key_Escape); });
    // A bound, not a timing: if Esc did nothing the loop ends with 99 instead of 0.
    QTimer::singleShot(20000, qApp, [] { QCoreApplication::exit(99); });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!window_->isVisible());
  }

  void enterStartsNothing() {
    QLineEdit* input = InputBox();
    input->setFocus();
    QTest::keyClicks(input, "http://127.0.0.1/s/x");
    QTest::keyClick(input, Qt::Key_Return);
    QTest::keyClick(input, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(FocusName(), QStringLiteral("编辑框1"));  // Enter does not move the focus either
    QPushButton* resolve = Control<QPushButton>("按钮1");
    resolve->setFocus();
    QTest::keyClick(resolve, Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    QCOMPARE(resolveRuns_, 0);
    QVERIFY(window_->isVisible());
    // The button does answer its own keys and clicks.
    QTest::keyClick(resolve, Qt::Key_Space);
    QCOMPARE(resolveRuns_, 1);
    QTest::mouseClick(resolve, Qt::LeftButton);
    QCOMPARE(resolveRuns_, 2);
  }

  void openGetsTheResultBoxAsItStands() {
    ResultBox()->setText(QString::fromUtf8("  我输入的 地址 "));
    QTest::mouseClick(Control<QPushButton>("按钮2"), Qt::LeftButton);
    ResultBox()->clear();
    QTest::mouseClick(Control<QPushButton>("按钮2"), Qt::LeftButton);
    QCOMPARE(opened_, (QList<Text>{"  \xCE\xD2\xCA\xE4\xC8\xEB\xB5\xC4 \xB5\xD8\xD6\xB7 ", ""}));
    QCOMPARE(resolveRuns_, 0);
  }

  void boxTextIsCodePage936() {
    window_->SetBoxText(Box::RESULT, "\xC4\xE3\xBA\xC3 ok");
    QCOMPARE(ResultBox()->text(), QString::fromUtf8("你好 ok"));
    QCOMPARE(ResultBox()->cursorPosition(), 0);
    InputBox()->setText(QString::fromUtf8("视频 😀 é"));  // neither has a code page 936 form
    QCOMPARE(window_->GetBoxText(Box::INPUT), Text("\xCA\xD3\xC6\xB5 ? \xA8\xA6"));
    InputBox()->clear();
    QCOMPARE(window_->GetBoxText(Box::INPUT), Text());
  }

  void selectionHiddenWithoutFocus() {
    QLineEdit* input = InputBox();
    input->setFocus();
    QTest::keyClicks(input, "http://a/b");
    input->selectAll();
    QVERIFY(input->hasSelectedText());
    // Moving the focus inside the window drops the selection from view.
    QTest::keyClick(input, Qt::Key_Tab);
    QVERIFY(!input->hasFocus());
    QVERIFY(!input->hasSelectedText());
    // When the window loses activation the selection stays but is drawn in the box's own colours.
    const QPalette palette = input->palette();
    QCOMPARE(palette.color(QPalette::Inactive, QPalette::Highlight),
             palette.color(QPalette::Inactive, QPalette::Base));
    QCOMPARE(palette.color(QPalette::Inactive, QPalette::HighlightedText),
             palette.color(QPalette::Inactive, QPalette::Text));
  }

  void busyCursorWhileACommandRuns() {
    window_.reset();
    bool sawBusy = false, buttonsEnabled = false;
    ShowWindow({.resolve =
                    [&](BoxAccess&) {
                      const QCursor* cursor = QGuiApplication::overrideCursor();
                      sawBusy = cursor && cursor->shape() == Qt::WaitCursor;
                      buttonsEnabled = Control<QPushButton>("按钮1")->isEnabled() &&
                                       Control<QPushButton>("按钮2")->isEnabled();
                    },
                .open = [](const Text&) {}});
    QTest::mouseClick(Control<QPushButton>("按钮1"), Qt::LeftButton);
    QVERIFY(sawBusy);
    QVERIFY(buttonsEnabled);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
  }

  // The real command with a canned page: every press replaces the whole result box, also text the
  // user typed there, and also when nothing is found.
  void resolveReplacesTheWholeResultBox() {
    window_.reset();
    ByteArray page = ToBytes(R"(<p>{"uri":"ABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789"}</p>)");
    QList<Text> links;
    ShowWindow({.resolve =
                    [&](BoxAccess& boxes) {
                      ShareLinkResolver(boxes, [&](const Text& link) {
                        links.append(link);
                        return page;
                      }).Resolve();
                    },
                .open = [](const Text&) {}});
    InputBox()->setText(QString::fromUtf8("看看 http://127.0.0.1/s/abc 复制"));
    ResultBox()->setText(QStringLiteral("typed by the user, quite a long text"));
    QTest::mouseClick(Control<QPushButton>("按钮1"), Qt::LeftButton);
    QCOMPARE(ResultBox()->text(),
             QString(PLAY_ADDRESS_PREFIX) + QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ_01234"));
    page.clear();
    QTest::mouseClick(Control<QPushButton>("按钮1"), Qt::LeftButton);
    QCOMPARE(ResultBox()->text(), QString(PLAY_ADDRESS_PREFIX));
    QCOMPARE(links, (QList<Text>{"http://127.0.0.1/s/abc \xB8\xB4\xD6\xC6",
                                 "http://127.0.0.1/s/abc \xB8\xB4\xD6\xC6"}));
  }
};

// The Open command itself, with a stand-in opener first on PATH that writes its arguments to a
// file, NUL after each.
class OpenAddressTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;
  QByteArray savedPath_;

  QByteArray RecordedArguments(const Text& address) {
    const QString record = folder_.filePath("record");
    QFile::remove(record);
    OpenAddress(address);
    // The opener runs detached; wait (bounded) until its record is complete.
    for (int i = 0; i < 1000 && !QFile::exists(record + ".done"); ++i) QTest::qWait(10);
    QFile::remove(record + ".done");
    QFile file(record);
    if (!file.open(QIODevice::ReadOnly)) return "(not started)";
    return file.readAll();
  }

 private slots:
  void initTestCase() {
    QVERIFY(folder_.isValid());
    const QString opener = folder_.filePath("xdg-open");
    QFile script(opener);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(("#!/bin/sh\n"
                  "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > '" +
                  folder_.filePath("record") + "'\n: > '" + folder_.filePath("record.done") + "'\n")
                     .toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    savedPath_ = qgetenv("PATH");
    qputenv("PATH", folder_.path().toUtf8() + ":" + savedPath_);
  }
  void cleanupTestCase() { qputenv("PATH", savedPath_); }

  void handsTheAddressOverAsOneArgument_data() {
    QTest::addColumn<QByteArray>("address");   // code page 936
    QTest::addColumn<QByteArray>("argument");  // what the opener receives, UTF-8
    QTest::newRow("web address") << QByteArray("https://play.example.net/p?video_id=abc&x=1")
                                 << QByteArray("https://play.example.net/p?video_id=abc&x=1");
    QTest::newRow("empty") << QByteArray("") << QByteArray("");
    QTest::newRow("spaces kept") << QByteArray("  a b  ") << QByteArray("  a b  ");
    QTest::newRow("no shell") << QByteArray("x; touch gone $(id) `id` 'q' \"d\" *")
                              << QByteArray("x; touch gone $(id) `id` 'q' \"d\" *");
    QTest::newRow("Chinese") << QByteArray("\xCA\xD3\xC6\xB5.mp4") << QByteArray("视频.mp4");
    QTest::newRow("leading dash") << QByteArray("--help") << QByteArray("./--help");
    QTest::newRow("dash later") << QByteArray("a-b") << QByteArray("a-b");
  }
  void handsTheAddressOverAsOneArgument() {
    QFETCH(QByteArray, address);
    QFETCH(QByteArray, argument);
    QCOMPARE(RecordedArguments(Text(address.toStdString())), argument + '\0');
  }
};

}  // namespace morvane

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  int failures = 0;
  {
    morvane::WindowTest test;
    failures += QTest::qExec(&test, argc, argv);
  }
  {
    morvane::OpenAddressTest test;
    failures += QTest::qExec(&test, argc, argv);
  }
  return failures ? 1 : 0;
}

#include "window_test.moc"
