// The fixed layout of the one window: its frame properties and its seven controls, described once
// here and built from this description alone. Coordinates are client pixels from the top-left.
#pragma once

#include <array>
#include <string_view>

namespace morvane {

inline constexpr std::string_view WINDOW_TITLE = "Morvane";
// Outer size, frame and title bar included; without a drawn frame the whole size is client area.
inline constexpr int WINDOW_WIDTH = 788;
inline constexpr int WINDOW_HEIGHT = 210;
// Stored with the layout but never used for placement: the window is centred at start.
inline constexpr int STORED_LEFT = 50;
inline constexpr int STORED_TOP = 50;
// The name under which the program's icon is stored as a resource.
inline constexpr std::string_view ICON_RESOURCE = "DEFAULT_ICON";

enum class ControlKind { LABEL, EDIT_BOX, PUSH_BUTTON };

struct ControlLayout {
  std::string_view name;  // object name of the control, kept from the layout
  ControlKind kind;
  int left;
  int top;
  int width;
  int height;
  std::string_view text;  // UTF-8 text at start
  bool tabStop;
};

inline constexpr std::string_view INPUT_BOX_NAME = "编辑框1";
inline constexpr std::string_view RESULT_BOX_NAME = "编辑框2";
inline constexpr std::string_view RESOLVE_BUTTON_NAME = "按钮1";
inline constexpr std::string_view OPEN_BUTTON_NAME = "按钮2";

inline constexpr std::array<ControlLayout, 7> CONTROLS = {{
    {"标签1", ControlKind::LABEL, 8, 16, 48, 24, "视频地址", false},
    {INPUT_BOX_NAME, ControlKind::EDIT_BOX, 80, 16, 560, 32, "", true},
    {RESOLVE_BUTTON_NAME, ControlKind::PUSH_BUTTON, 672, 8, 80, 40, "解析", true},
    {"标签2", ControlKind::LABEL, 8, 64, 64, 32, "无水印地址", false},
    {RESULT_BOX_NAME, ControlKind::EDIT_BOX, 80, 72, 560, 32, "", true},
    {OPEN_BUTTON_NAME, ControlKind::PUSH_BUTTON, 672, 64, 80, 40, "下载", true},
    {"标签4", ControlKind::LABEL, 648, 136, 104, 32, "Morvane 项目", false},
}};

// Tab walks this order forward, Shift+Tab backward; both wrap around. Labels are not in it.
inline constexpr std::array<std::string_view, 4> FOCUS_ORDER = {INPUT_BOX_NAME, RESOLVE_BUTTON_NAME,
                                                                RESULT_BOX_NAME, OPEN_BUTTON_NAME};

// Left or top of the outer frame that centres a span on a screen span; truncated toward zero as
// integer division does, so a screen smaller than the window gives a negative offset.
constexpr int CentredOffset(int screenSpan, int windowSpan) {
  return (screenSpan - windowSpan) / 2;
}

}  // namespace morvane
